#include "SkinLooks.h"

namespace looks {

void SkinLooks::buttonHovered(int i)
{
    if (MouseHeld)
        return;
    clearButtons();
    if (valid(i, layout::kToolButtonCount))
        m_buttons[static_cast<std::size_t>(i)] = Look::Hover;
}

void SkinLooks::buttonPressed(int i)
{
    clearButtons();
    if (valid(i, layout::kToolButtonCount))
        m_buttons[static_cast<std::size_t>(i)] = Look::Pressed;
    MouseHeld = true;
}

void SkinLooks::buttonReleased(int i, bool withHover)
{
    clearButtons();
    if (withHover && valid(i, layout::kToolButtonCount))
        m_buttons[static_cast<std::size_t>(i)] = Look::Hover;
}

void SkinLooks::menuHovered(int j)
{
    if (MouseHeld)
        return;
    clearMenus();
    if (valid(j, layout::kMenuItemCount))
        m_menus[static_cast<std::size_t>(j)] = Look::Hover;
}

void SkinLooks::menuPressed(int j)
{
    clearMenus();
    if (valid(j, layout::kMenuItemCount))
        m_menus[static_cast<std::size_t>(j)] = Look::Pressed;
    MouseHeld = true;
}

void SkinLooks::menuReleased(int j)
{
    clearMenus();
    if (valid(j, layout::kMenuItemCount))
        m_menus[static_cast<std::size_t>(j)] = Look::Hover;
}

void SkinLooks::surfaceMoved()
{
    clearButtons();
    clearMenus();
    panelMoved();
}

void SkinLooks::panelMoved() { m_links.fill(LinkColour::Black); }

void SkinLooks::linkMoved(Link which) { m_links.at(static_cast<std::size_t>(which)) = LinkColour::Blue; }

}  // namespace looks
