#pragma once
// The program's only visible window. It owns every element of the skin and all state
// of the running program.

#include "WorkingFolders.h"
#include "ui/SkinPictures.h"
#include "ui/WindowLayout.h"

#include <QWidget>

#include <array>

class BusySquare;
class QLabel;
class HiddenTextBox;
class QTimer;
class SettingsPanel;
class SkinImage;

class frmMain : public QWidget {
    Q_OBJECT
public:
    explicit frmMain(StartupPaths paths, QWidget* parent = nullptr);

    // The load handler: runs once, before the window first shows.
    void Form_Load();
    // Shows the window centred on its screen.
    void showCentred();

    const WorkingFolders& folders() const { return m_folders; }
    const skin::Pictures& pictures() const { return m_pictures; }

    // Window-level state.
    bool FromMenu = false;
    qint16 BusyStep = 0;

    // Elements, named as the skin's hot zones and controls.
    std::array<SkinImage*, layout::kMenuItemCount> imgMenu{};
    std::array<SkinImage*, layout::kToolButtonCount> imgButton{};
    SkinImage* imgMin = nullptr;
    SkinImage* imgExit = nullptr;
    SettingsPanel* picSetting = nullptr;
    SkinImage* imgLoaded = nullptr;
    SkinImage* imgWait = nullptr;
    std::array<BusySquare*, layout::kBusySquareCount> SP{};
    QLabel* lblFile = nullptr;
    HiddenTextBox* menuMsg = nullptr;
    QTimer* Timer1 = nullptr;

protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void createElements();
    void imgExit_Click();

    StartupPaths m_paths;
    WorkingFolders m_folders;
    skin::Pictures m_pictures;
};
