#pragma once

class QWidget;

namespace platform {

// Lets go of the pointer and hands the window to the window manager, which moves it
// with the mouse as if its title bar had been pressed, until the button is released.
void moveWithPointer(QWidget* window);

}  // namespace platform
