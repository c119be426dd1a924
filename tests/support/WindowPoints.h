#pragma once
// Points of the main window that tests point at, in window coordinates, taken from
// the layout the window itself is built from. Header only; Qt Core.

#include "layout/WindowLayout.h"

#include <QPoint>

namespace testsupport {

constexpr QPoint centreOf(const layout::Rect& rect) { return {rect.left + rect.width / 2, rect.top + rect.height / 2}; }

// The centre of `rect`, one of the settings panel's children, placed as it is in the
// panel.
constexpr QPoint centreInPanel(const layout::Rect& rect)
{
    return QPoint(layout::kSettingsPanel.left, layout::kSettingsPanel.top) + centreOf(rect);
}

// Bare window surface, no element on it: the status strip.
constexpr QPoint kBareSurface{300, 350};

}  // namespace testsupport
