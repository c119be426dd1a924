#pragma once
// The skin's controls as a screen reader sees them. A widget that carries the
// property "skinRole" (a QAccessible::Role) is reported with that role and the
// accessible name and description set on it; a button or menu item among them can
// be pressed by the reader, which clicks it as Space would, and names its shortcut
// (the property "skinShortcut", a key sequence).

#include <QAccessible>

class QWidget;

namespace skin {

// Idempotent; costs nothing until an assistive technology asks for the window.
void installAccessibility();

// Gives `control` its role (installing the above first), also when a screen reader has already met it under the
// role of its base class (a base class's constructor may have shown it to one).
void setAccessibleRole(QWidget* control, QAccessible::Role role);

}  // namespace skin
