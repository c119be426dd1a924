#include "frmMain.h"

#include "Shutdown.h"
#include "dialogs/MessageBox.h"
#include "ui/BusySquare.h"
#include "ui/SettingsPanel.h"
#include "ui/SkinImage.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QTimer>

#include <utility>

frmMain::frmMain(StartupPaths paths, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint),
      m_paths(std::move(paths)),
      m_pictures(skin::loadFirstFramePictures(devicePixelRatioF()))
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Tovaro PRO"));
    setFixedSize(layout::kClientWidth, layout::kClientHeight);
    setAcceptDrops(true);
    createElements();
    connectKeyboard();
    connectElements();
    connectConversion();
    // Placed before start-up makes the native window: moved afterwards, Qt's record of
    // where the window is can stay at (0, 0) while it shows centred, and popup menus
    // and message boxes then open at the screen's corner.
    centreOnScreen();
    // The task bar's icon follows the first frame: reading it loads an image reader
    // of its own, and the window manager reads it off the window again.
    connect(this, &frmMain::firstFrameShown, this, [this] {
        loadLaterPictures();
        setWindowIcon(m_pictures.icon);
    });
}

void frmMain::centreOnScreen()
{
    QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (screen) {
        const QRect area = screen->geometry();
        move(area.left() + (area.width() - width()) / 2, area.top() + (area.height() - height()) / 2);
    }
}

void frmMain::showCentred()
{
    centreOnScreen();
    show();
}

void frmMain::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_pictures.background);
    // Queued from here, it runs once this frame has gone to the screen.
    if (!m_firstFramePainted && isVisible()) {
        m_firstFramePainted = true;
        QTimer::singleShot(0, this, &frmMain::firstFrameShown);
    }
}

void frmMain::loadLaterPictures() const
{
    if (m_laterPicturesLoaded)
        return;
    m_laterPicturesLoaded = true;
    skin::loadLaterPictures(m_pictures);
    imgLoaded->setPicture(m_pictures.loadedPatch);
    imgWait->setPicture(m_pictures.waitPatch);
}

// A close request from the window manager (Alt+F4, the task bar) ends the program
// just as the drawn close glyph does. During a conversion both ask first: a source
// that never finishes reading would otherwise keep the user in the window for good.
void frmMain::closeEvent(QCloseEvent* event)
{
    event->ignore();
    if (converting())
        askToStopAndQuit();
    else
        endProgram();
}

void frmMain::imgExit_Click()
{
    if (converting())
        askToStopAndQuit();
    else
        endProgram();
}

void frmMain::askToStopAndQuit()
{
    if (m_askingToStop || !m_run)
        return;
    m_askingToStop = true;
    const bool stop = dialogs::askYesNo(
        this, {QStringLiteral("确认"), QStringLiteral("正在转换“%1”。要停止转换并退出吗？").arg(source.path),
               dialogs::MessageIcon::Question});
    m_askingToStop = false;
    const auto endedMeanwhile = std::exchange(m_endedWhileAsking, std::nullopt);
    if (stop && endedMeanwhile)
        endProgram();  // the run's work is not wanted: nothing more is told
    else if (stop && m_run)
        m_run->stop();  // its end ends the program, once it has cleaned up
    else if (endedMeanwhile)
        runEnded(*endedMeanwhile);
}

void frmMain::stopAndQuit()
{
    if (m_run)
        m_run->stop();  // its end ends the program, once it has cleaned up
    else
        endProgram();
}
