// The window's commands: tool-bar hot zones to the release handler, and the actions
// it dispatches to (Add, Remove, Settings, Help, Exit; Convert has a file of its own).

#include "frmMain.h"

#include "Shutdown.h"
#include "dialogs/COMDLG.h"
#include "dialogs/MessageBox.h"
#include "dialogs/TextWindow.h"
#include "platform/ShellOpen.h"
#include "ui/FileLine.h"
#include "ui/SettingsPanel.h"
#include "ui/SkinImage.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

namespace {
const QString kHelpFile = QStringLiteral("说明.txt");
}  // namespace

void frmMain::connectElements()
{
    actionTable = {[this] { Add(); },      [this] { Remove(); }, [this] { Convert(); },
                   [this] { Settings(); }, [this] { Help(); },   [] { endProgram(); }};

    // A press grabs the pointer for its zone, so the release comes back to the same
    // zone wherever the pointer is by then, and runs the action there too.
    for (SkinImage* zone : imgButton) {
        connect(zone, &SkinImage::pressed, this, [this](int index, Qt::MouseButton) {
            looks.buttonPressed(index);
            showLooks();
        });
        connect(zone, &SkinImage::released, this, [this](int index, Qt::MouseButton) { imgButton_MouseUp(index); });
    }
    connect(imgExit, &SkinImage::clicked, this, [this] { imgExit_Click(); });
    connectSkin();
}

void frmMain::imgButton_MouseUp(int index)
{
    // During a run every button and menu is disabled. A caller that reaches the
    // handler all the same (a screen reader's press, a queued click) finds it so too.
    if (converting()) {
        looks.MouseHeld = false;
        return;
    }
    const actions::ReleaseSteps steps{
        [this](int released, bool withHover) {
            looks.buttonReleased(released, withHover);
            showLooks();
        },
        [] { QCoreApplication::processEvents(); },
        [this] { looks.MouseHeld = false; },
    };
    actions::imgButton_MouseUp(index, FromMenu, steps, actionTable);
}

void frmMain::showLooks()
{
    loadLaterPictures();
    for (int i = 0; i < layout::kToolButtonCount; ++i) {
        const auto slot = static_cast<std::size_t>(i);
        switch (looks.button(i)) {
        case looks::Look::Normal: imgButton[slot]->clearPicture(); break;
        case looks::Look::Hover: imgButton[slot]->setPicture(m_pictures.buttonHover[slot]); break;
        case looks::Look::Pressed: imgButton[slot]->setPicture(m_pictures.buttonPush[slot]); break;
        }
    }
    for (int j = 0; j < layout::kMenuItemCount; ++j) {
        const auto slot = static_cast<std::size_t>(j);
        switch (looks.menu(j)) {
        case looks::Look::Normal: imgMenu[slot]->clearPicture(); break;
        case looks::Look::Hover: imgMenu[slot]->setPicture(m_pictures.menuHover[slot]); break;
        case looks::Look::Pressed: imgMenu[slot]->setPicture(m_pictures.menuPush[slot]); break;
        }
    }
}

void frmMain::showSource()
{
    lblFile->setText(source::fileLineText(source));
    lblFile->setToolTip(source::fileLineToolTip(source));
    lblFile->setVisible(source.fileLineShown);
    if (source.loadedShown || source.waitShown)
        loadLaterPictures();
    imgLoaded->setVisible(source.loadedShown);
    imgWait->setVisible(source.waitShown);
    showStatus();
}

void frmMain::Add()
{
    addChosen([this] {
        return COMDLG::ChooseOpenFiles(this, source::openDialogTitle(), m_folders.openFrom, source::openDialogFilter(),
                                       source::kOpenDialogFlags | COMDLG::OFN_ALLOWMULTISELECT);
    });
}

void frmMain::addChosen(const std::function<QStringList()>& chooseFiles)
{
    if (source::add(source, chooseFiles) == source::AddResult::AlreadyLoaded)
        warn(source::alreadyLoadedWarning());
    showSource();
}

void frmMain::warn(const QString& text, const QString& detail)
{
    dialogs::showMessage(this, {source::warningTitle(), text, dialogs::MessageIcon::Warning, detail});
}

void frmMain::Remove()
{
    source::remove(source);
    showSource();
}

void frmMain::Settings() { picSetting->show(); }

// A missing help file shows nothing. One that no program on the desktop opens is
// shown by the program itself.
void frmMain::Help()
{
    const QString path = m_paths.applicationFolder + QLatin1Char('/') + kHelpFile;
    if (!QFileInfo(path).isFile())
        return;
    platform::shellOpen(path, this, [this, path](bool opened) {
        if (!opened)
            showHelpText(path);
    });
}

void frmMain::showHelpText(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    dialogs::showTextWindow(this, kHelpFile, QString::fromUtf8(file.readAll()));
}
