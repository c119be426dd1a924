#pragma once
// The program's only visible window. It owns every element of the skin and all state
// of the running program.

#include "WorkingFolders.h"
#include "conversion/ConversionRun.h"
#include "conversion/QueueRun.h"
#include "layout/WindowLayout.h"
#include "ui/SkinPictures.h"
#include "ui/looks/SkinLooks.h"
#include "ui/state/ActionDispatch.h"
#include "ui/state/BusyIndicator.h"
#include "ui/state/SourceSelection.h"

#include <QWidget>

#include <array>
#include <functional>
#include <memory>
#include <optional>

class BusySquare;
class FileLine;
class HiddenTextBox;
class QTimer;
class SettingsPanel;
class SkinImage;
class frmPop;

// Every tool-bar button runs the action of its own index, and the busy indicator
// lights exactly the squares the layout places.
static_assert(actions::kActionCount == layout::kToolButtonCount);
static_assert(busy::kSquareCount == layout::kBusySquareCount);

// Its elements are reached from outside only as Qt reaches any widget: by their
// object names, which are the skin's names (imgButton_2, picSetting, lblFile, ...).
class frmMain : public QWidget {
    Q_OBJECT
public:
    explicit frmMain(StartupPaths paths, QWidget* parent = nullptr);

    // The load handler: runs once, before the window first shows.
    void Form_Load();
    // Shows the window centred on its screen.
    void showCentred();
    // Files named on the command line join the queue, at start as during a run;
    // names that are not files are told in one warning. No names change nothing.
    void openAtStart(const QStringList& names);
    // The same for files a later start of the program handed over; the window comes
    // to the front.
    void openHandedOver(const QStringList& names);
    // What 是 in the question during a run does, asked from outside the window (a
    // logout, kill, Ctrl+C): the run is asked to stop, and the program ends once it
    // has cleared up. Without a run the program ends at once.
    void stopAndQuit();

    const WorkingFolders& folders() const { return m_folders; }
    const skin::Pictures& pictures() const
    {
        loadLaterPictures();
        return m_pictures;
    }

signals:
    // Once, when the first frame has gone to the screen: what the user need not wait
    // for starts from here.
    void firstFrameShown();

protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Local files dropped on the window join the queue, also during a run.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void createElements();
    // The hot zones' and the banner's pictures, loaded once the first frame is on the
    // screen, or earlier when something asks for them or shows the banner.
    void loadLaterPictures() const;
    void centreOnScreen();
    void connectElements();
    void connectSkin();
    void Form_MouseDown(QPoint pointer, Qt::MouseButton button);
    void imgExit_Click();
    // During a run: asks whether to stop it and quit; the run's end ends the program then.
    void askToStopAndQuit();

    // The release handler every command ends in, with an action code 0 to 5.
    void imgButton_MouseUp(int index);

    // The six actions.
    void Add();
    // Add's rule: what is loaded is kept, with a warning; otherwise the chosen files load.
    void addChosen(const std::function<QStringList()>& chooseFiles);
    // Files from outside the window's dialog: the ones there join the queue.
    void arrive(const QStringList& names);
    void Remove();
    void Convert();
    void Settings();
    void Help();

    // Puts on the screen what `looks` and `source` say.
    void showLooks();
    void showLinkColours();
    void showSource();

    // Every command by keyboard and every element by name for a screen reader: the
    // focus order, the shortcuts, the accessible names, and the banner's status.
    void connectKeyboard();
    // A shortcut runs its command as the popup menus do.
    void runShortcut(int code);
    // The banner's status in words: what its picture says, with the progress the
    // title shows; `announcement` replaces it until the banner next changes, and is
    // announced even when it says what it said before.
    void showStatus();
    void announce(const QString& announcement);

    // The busy indicator's tick: the next square lights up.
    void Timer1_Timer();

    // The live skin: hover and press looks, the popup menus and their command
    // channel, minimising, the text buttons' colours.
    void imgButton_MouseMove(int index);
    void imgMenu_MouseMove(int index);
    void imgMenu_MouseDown(int index);
    void imgMenu_MouseUp(int index);
    void Form_MouseMove();
    void picSetting_MouseMove();
    void link_MouseMove(looks::Link which);
    void menuMsg_Change();
    void imgMin_Click();
    // The window that holds the popup menus, made the first time it is needed.
    frmPop& popupMenus();

    // A run in progress refuses all input but the close glyph. `converting()` is the
    // rule every handler asks; beginRun and endRun are the only places that change it.
    bool converting() const { return m_run != nullptr; }
    void beginRun(std::unique_ptr<conversion::QueueRun> run);
    // The run has ended: the window goes idle and tells its outcome.
    void runEnded(const conversion::QueueOutcome& outcome);
    void endRun(const QStringList& failed);
    void connectConversion();
    void refuseInput(bool refused);
    void showResult(const QString& resultPath);
    // The one kind of warning the window shows: titled 警告, with the warning icon;
    // `detail` (optional) is the technical reason behind a button.
    void warn(const QString& text, const QString& detail = QString());
    void showHelpText(const QString& path);
    // Progress and outcome where people look from afar: the title, the task bar's
    // launcher, and a notification when the window is not the active one.
    void showProgress(const std::optional<conversion::QueueProgress>& progress);
    void reportOutcome(const conversion::QueueOutcome& queue);
    void reportOneOutcome(const conversion::Outcome& outcome);
    void tellChanges(const conversion::QueueOutcome& queue);

    // Elements, named as the skin's hot zones and controls.
    std::array<SkinImage*, layout::kMenuItemCount> imgMenu{};
    std::array<SkinImage*, layout::kToolButtonCount> imgButton{};
    SkinImage* imgMin = nullptr;
    SkinImage* imgExit = nullptr;
    SettingsPanel* picSetting = nullptr;
    SkinImage* imgLoaded = nullptr;
    SkinImage* imgWait = nullptr;
    std::array<BusySquare*, layout::kBusySquareCount> SP{};
    FileLine* lblFile = nullptr;
    QWidget* bannerStatus = nullptr;  // draws nothing: the banner's words for a screen reader
    HiddenTextBox* menuMsg = nullptr;
    QTimer* Timer1 = nullptr;

    // The actions, by code.
    actions::ActionTable actionTable;

    // Window-level state.
    bool FromMenu = false;
    qint16 BusyStep = 0;
    looks::SkinLooks looks;     // hot-zone looks and the held flag
    source::SourceView source;  // the loaded file and the banner pictures

    StartupPaths m_paths;
    WorkingFolders m_folders;
    mutable skin::Pictures m_pictures;  // the JPEG pictures come in late
    mutable bool m_laterPicturesLoaded = false;
    bool m_firstFramePainted = false;
    frmPop* m_popupMenus = nullptr;
    // A button held down on the window's surface, until its release.
    struct SurfacePress {
        QPoint at;      // where it went down, on the screen
        QPoint offset;  // where the pointer holds the window
        Qt::MouseButton button;
        bool following;  // the window follows the pointer itself
    };
    std::optional<SurfacePress> m_press;
    // The run in progress, which a close request may stop.
    std::unique_ptr<conversion::QueueRun> m_run;
    bool m_askingToStop = false;
    // A run that ended while the question whether to stop it was open, told once it
    // has been answered.
    std::optional<conversion::QueueOutcome> m_endedWhileAsking;
};
