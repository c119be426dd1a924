// The program's id on the desktop: the name of its desktop entry (without
// ".desktop"), its icon and its Wayland app id. Task bars match the window, its
// launcher progress and its notifications to the entry by this name.
#pragma once

namespace tovaro {

inline constexpr const char* kDesktopEntryId = "org.tovaropro.TovaroPRO";

}  // namespace tovaro
