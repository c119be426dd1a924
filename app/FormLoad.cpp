// Start-up: what happens between creating the window and showing it.

#include "frmMain.h"

#include "platform/FileOperations.h"
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
    platform::setColourKey(this, key);
    BusyStep = 0;

    // The temporary folder is only used when it is safely ours.
    m_folders.temp = platform::preparePrivateTempFolder(m_paths.temporaryBase).path;
    m_folders.output = outputFolderOf(m_paths.applicationFolder);
    (void)platform::createFolder(m_folders.output);
    m_folders.data = dataFolderOf(m_paths.applicationFolder);
    (void)platform::createFolder(m_folders.data);

    FromMenu = false;
    picSetting->selectDefaults();
}
