#include "ActionDispatch.h"

namespace actions {

void imgButton_MouseUp(int index, bool& fromMenu, const ReleaseSteps& steps, const ActionTable& actions)
{
    steps.showReleasedLook(index, !fromMenu);
    fromMenu = false;
    // A pointer move queued behind the release still finds the button held.
    steps.processPendingEvents();
    steps.clearMouseHeld();
    if (!isActionCode(index))
        return;
    if (const auto& action = actions[static_cast<std::size_t>(index)])
        action();
}

}  // namespace actions
