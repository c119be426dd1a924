#include "WindowMove.h"

#include <QWidget>
#include <QWindow>

namespace platform {

void moveWithPointer(QWidget* window)
{
    if (QWidget* grabber = QWidget::mouseGrabber())
        grabber->releaseMouse();
    if (QWindow* handle = window->window()->windowHandle())
        handle->startSystemMove();
}

}  // namespace platform
