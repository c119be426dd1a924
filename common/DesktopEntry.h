// The program's id on the desktop: the name of its desktop entry (without
// ".desktop"), its icon and its Wayland app id. Task bars match the window, its
// launcher progress and its notifications to the entry by this name.
#pragma once

namespace tovaro {

inline constexpr const char* kDesktopEntryId = "org.tovaropro.TovaroPRO";

// Both halves of the window's X11 class, however the program was started (tovaro-pro
// on PATH, the program file itself, a renamed copy): the entry's StartupWMClass.
inline constexpr const char* kWindowClass = "tovaro-pro";

}  // namespace tovaro
