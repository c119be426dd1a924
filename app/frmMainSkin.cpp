// The live skin: hover and press looks of the tool bar and the menu strip, the popup
// menus and the command channel their entries write to, moving and minimising the
// window, and the colours of the settings panel's text buttons.

#include "frmMain.h"

#include "platform/WindowMove.h"
#include "ui/BusySquare.h"
#include "ui/FileLine.h"
#include "ui/HiddenTextBox.h"
#include "ui/PopupMenus.h"
#include "ui/SettingsPanel.h"
#include "ui/SkinImage.h"

#include <QApplication>
#include <QMenu>
#include <QMouseEvent>

namespace {

// A popup opens this far below the top of its menu-strip item: just under the item.
constexpr int kPopupBelowTwips = 250;

QPoint popupOrigin(int j)
{
    return {layout::px(layout::kMenuLeftTwips[static_cast<std::size_t>(j)]),
            layout::px(layout::kMenuTopTwips + kPopupBelowTwips)};
}

}  // namespace

void frmMain::connectSkin()
{
    for (SkinImage* zone : imgButton)
        connect(zone, &SkinImage::moved, this, [this](int i) { imgButton_MouseMove(i); });
    for (SkinImage* zone : imgMenu) {
        connect(zone, &SkinImage::moved, this, [this](int j) { imgMenu_MouseMove(j); });
        connect(zone, &SkinImage::pressed, this, [this](int j, Qt::MouseButton) { imgMenu_MouseDown(j); });
        connect(zone, &SkinImage::released, this, [this](int j, Qt::MouseButton) { imgMenu_MouseUp(j); });
    }
    connect(imgMin, &SkinImage::clicked, this, [this] { imgMin_Click(); });
    connect(menuMsg, &HiddenTextBox::textChanged, this, [this] { menuMsg_Change(); });

    connect(picSetting, &SettingsPanel::linkMoved, this, &frmMain::link_MouseMove);

    // The window's surface is its background and what is only drawn on it: the
    // status patches and the busy squares take no pointer events of their own, so
    // moving over them or pressing on them is moving over or pressing on the window.
    // The file line and the settings panel with all it holds are not surface: a
    // press there does not reach the window.
    setMouseTracking(true);
    for (QWidget* drawnOnly : {static_cast<QWidget*>(imgLoaded), static_cast<QWidget*>(imgWait)})
        drawnOnly->setAttribute(Qt::WA_TransparentForMouseEvents);
    for (BusySquare* square : SP)
        square->setAttribute(Qt::WA_TransparentForMouseEvents);
    lblFile->setAttribute(Qt::WA_NoMousePropagation);
    picSetting->setAttribute(Qt::WA_NoMousePropagation);
    picSetting->setMouseTracking(true);
    picSetting->installEventFilter(this);
}

frmPop& frmMain::popupMenus()
{
    if (!m_popupMenus)
        m_popupMenus = new frmPop(menuMsg, this);
    return *m_popupMenus;
}

void frmMain::imgButton_MouseMove(int index)
{
    looks.buttonHovered(index);
    showLooks();
}

void frmMain::imgMenu_MouseMove(int index)
{
    looks.menuHovered(index);
    showLooks();
}

// The popup's own event loop runs until it closes; a command chosen from it has run
// to its end by then. The item keeps its pressed look until the pointer next moves.
void frmMain::imgMenu_MouseDown(int index)
{
    looks.menuPressed(index);
    showLooks();
    if (QMenu* group = popupMenus().group(index)) {
        // From the window's own geometry: right after start-up the window system's
        // record of where the window is can still read (0, 0) under some window
        // managers, and mapToGlobal would take that.
        // From the widget's own geometry: mapToGlobal goes by Qt's record of the
        // native window's place, which can stay at (0, 0) after start-up.
        group->exec(geometry().topLeft() + popupOrigin(index));
        if (index == 0) {
            activateWindow();
            setFocus();
        }
    }
    looks.MouseHeld = false;
}

void frmMain::imgMenu_MouseUp(int index)
{
    looks.menuReleased(index);
    showLooks();
    QCoreApplication::processEvents();
    looks.MouseHeld = false;
}

void frmMain::Form_MouseMove()
{
    looks.surfaceMoved();
    showLooks();
    showLinkColours();
}

void frmMain::picSetting_MouseMove()
{
    looks.panelMoved();
    showLinkColours();
}

void frmMain::link_MouseMove(looks::Link which)
{
    looks.linkMoved(which);
    showLinkColours();
}

void frmMain::showLinkColours()
{
    for (looks::Link which : {looks::Link::Cancel, looks::Link::Ok, looks::Link::Default}) {
        // Until the first reset they keep the system's button text colour.
        const looks::LinkColour colour = looks.link(which);
        if (colour == looks::LinkColour::System)
            continue;
        const QColor shown = colour == looks::LinkColour::Blue ? QColor(0, 0, 255) : QColor(0, 0, 0);
        if (picSetting->linkColour(which) != shown)
            picSetting->setLinkColour(which, shown);
    }
}

// The last character is the action code. Anything but a digit is no command, though
// the flag is already set and waits for the next release.
void frmMain::menuMsg_Change()
{
    FromMenu = true;
    const QString message = menuMsg->text();
    if (message.isEmpty() || message.back() < QLatin1Char('0') || message.back() > QLatin1Char('9'))
        return;
    imgButton_MouseUp(message.back().unicode() - '0');
}

void frmMain::imgMin_Click() { showMinimized(); }

// A press alone moves nothing: only a pointer that travels with the button held is a
// drag, and the drag ends with that button's release, however soon it comes (a
// touchpad's tap sends press and release in one instant).
void frmMain::Form_MouseDown(QPoint pointer, Qt::MouseButton button)
{
    if (converting())
        return;
    m_press = SurfacePress{pointer, pointer - pos(), button, false};
}

void frmMain::mousePressEvent(QMouseEvent* event)
{
    Form_MouseDown(event->globalPosition().toPoint(), event->button());
}

void frmMain::mouseMoveEvent(QMouseEvent* event)
{
    // Its release went somewhere else: the drag is over.
    if (m_press && !(event->buttons() & m_press->button))
        m_press.reset();
    if (!m_press) {
        if (!converting())
            Form_MouseMove();
        return;
    }
    const QPoint pointer = event->globalPosition().toPoint();
    if (!m_press->following) {
        if ((pointer - m_press->at).manhattanLength() < QApplication::startDragDistance())
            return;
        // Under X11 the window follows the pointer itself, whatever the button: a move
        // handed to the window manager ends only on a release the manager sees, and
        // one that came before it took over would leave the window on the pointer.
        // Where a program cannot place its own window (Wayland), the compositor,
        // which sees the button itself, moves it.
        if (QGuiApplication::platformName() == QStringLiteral("wayland") && platform::moveWithPointer(this)) {
            m_press.reset();
            return;
        }
        m_press->following = true;
    }
    move(pointer - m_press->offset);
}

void frmMain::mouseReleaseEvent(QMouseEvent*) { m_press.reset(); }

bool frmMain::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == picSetting && event->type() == QEvent::MouseMove)
        picSetting_MouseMove();
    return QWidget::eventFilter(watched, event);
}
