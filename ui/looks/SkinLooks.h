#pragma once
// The looks of the tool bar and the menu strip: which picture each hot zone shows,
// and the flag that holds them while a button is down or a popup menu is open; and
// the colours of the settings panel's three text buttons.
// Plain state, no widgets: the window shows what this says, and tests drive it
// without a window.

#include "layout/WindowLayout.h"

#include <array>

namespace looks {

enum class Look { Normal, Hover, Pressed };

// The settings panel's text buttons, and their colours: the system's button text
// until the pointer first moves over the panel or the window, black or blue after.
enum class Link { Default, Ok, Cancel };
constexpr int kLinkCount = 3;
enum class LinkColour { System, Black, Blue };

class SkinLooks {
public:
    Look button(int i) const { return m_buttons.at(static_cast<std::size_t>(i)); }
    Look menu(int j) const { return m_menus.at(static_cast<std::size_t>(j)); }
    LinkColour link(Link which) const { return m_links.at(static_cast<std::size_t>(which)); }

    // True from a press on a tool-bar button until its release, and while a popup
    // menu opened from the menu strip is open. Hover does nothing while it is set.
    bool MouseHeld = false;

    // Tool bar.
    void buttonHovered(int i);
    void buttonPressed(int i);
    // The release's look: every button normal, then hover on `i` unless the command
    // came from a menu.
    void buttonReleased(int i, bool withHover);

    // Menu strip. A press holds until the popup menu it opens has closed.
    void menuHovered(int j);
    void menuPressed(int j);
    void menuReleased(int j);

    // The pointer moved over the window's own surface: every zone back to normal,
    // the text buttons black.
    void surfaceMoved();
    // Over the panel's own surface: the text buttons black, the zones untouched.
    void panelMoved();
    // Over a text button: that one blue, the others as they were.
    void linkMoved(Link which);

private:
    static constexpr bool valid(int index, int count) { return index >= 0 && index < count; }
    void clearButtons() { m_buttons.fill(Look::Normal); }
    void clearMenus() { m_menus.fill(Look::Normal); }

    std::array<Look, layout::kToolButtonCount> m_buttons{};
    std::array<Look, layout::kMenuItemCount> m_menus{};
    std::array<LinkColour, kLinkCount> m_links{};
};

}  // namespace looks
