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
    // window's place. When the native window was made before the window was placed,
    // that record can stay at (0, 0) once it is mapped, and the window would jump by
    // its offset on the first drag. The widget's geometry is right: hand that down.
    if (handle->position() != top->pos())
        handle->setPosition(top->pos());
    return handle->startSystemMove();
}

}  // namespace platform
