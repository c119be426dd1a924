#include "WindowMove.h"

#include <QWidget>
#include <QWindow>

namespace platform {

bool moveWithPointer(QWidget* window)
{
    if (QWidget* grabber = QWidget::mouseGrabber())
        grabber->releaseMouse();
    QWidget* top = window->window();
    QWindow* handle = top->windowHandle();
    if (!handle)
        return false;
    // Qt tells the window manager where the pointer is from its own record of the
    // window's place. Under some window managers that record can still read (0, 0)
    // after the window was first placed, and the window would jump by its offset on
    // the first drag; the widget's geometry is right, so hand that down first.
    if (handle->position() != top->pos())
        handle->setPosition(top->pos());
    return handle->startSystemMove();
}

}  // namespace platform
