// Start-up: what happens between creating the window and showing it.

#include "frmMain.h"

#include "ResultFolders.h"
#include "conversion/WorkingFiles.h"
#include "platform/PrivateTempFolder.h"
#include "platform/WindowShape.h"
#include "ui/SettingsPanel.h"

// Every step runs whatever became of the one before: a folder that exists or cannot
// be made is no reason to keep the window from showing.
void frmMain::Form_Load()
{
    const QRgb key = layout::argb(layout::kColourKey);
    platform::makeLayered(this);
    if (platform::hasAlpha(this))
        m_pictures.background = platform::withKeyTransparent(m_pictures.background, key);
    platform::setColourKey(this, m_pictures.background, key);
    BusyStep = 0;

    // The temporary folder is only used when it is safely ours.
    m_folders.temp = platform::preparePrivateTempFolder(m_paths.temporaryBase).path;
    const ResultFolders results = chooseResultFolders(m_paths.applicationFolder);
    m_folders.output = results.output;
    m_folders.data = results.data;
    m_folders.openFrom = results.openFrom;
    // A run killed with the program leaves its working files; the next start clears them.
    conversion::WorkingFiles(m_folders.temp, m_folders.data).removeLeftovers();

    FromMenu = false;
    picSetting->selectDefaults();
}
