#pragma once

class QWidget;

namespace platform {

// Lets go of the pointer and hands the window to the window manager, which moves it
// with the mouse as if its title bar had been pressed, until the button is released.
// False when the window manager offers no such move; the caller then moves it.
bool moveWithPointer(QWidget* window);

}  // namespace platform
