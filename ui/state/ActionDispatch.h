#pragma once
// Every user command ends here: a tool-bar release or a popup-menu entry gives an
// action code, and the release handler runs its common steps and then the action.
// No widgets: the window hands in what the steps do on the screen.

#include <array>
#include <functional>

namespace actions {

enum Code : int { kAdd = 0, kRemove = 1, kConvert = 2, kSettings = 3, kHelp = 4, kExit = 5 };
constexpr int kActionCount = 6;

constexpr bool isActionCode(int code) { return code >= 0 && code < kActionCount; }

using ActionTable = std::array<std::function<void()>, kActionCount>;

// What the release handler does to the window before the action runs.
struct ReleaseSteps {
    // Clears the six tool-bar pictures and, when `withHover`, gives button `index`
    // its hover picture.
    std::function<void(int index, bool withHover)> showReleasedLook;
    std::function<void()> processPendingEvents;
    std::function<void()> clearMouseHeld;
};

// The release handler: clear the tool-bar looks, hover look on the released button
// unless the command came from the menu, clear `fromMenu`, let pending events
// through, clear the held flag, then run the action for `index`. Codes outside
// 0 to 5 run nothing.
void imgButton_MouseUp(int index, bool& fromMenu, const ReleaseSteps& steps, const ActionTable& actions);

}  // namespace actions
