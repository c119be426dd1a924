#pragma once
// The skin pictures, loaded once from the program's embedded resources.

#include <QCursor>
#include <QIcon>
#include <QPixmap>

#include <array>

#include "ui/layout/WindowLayout.h"

namespace skin {

struct Pictures {
    QPixmap background;
    std::array<QPixmap, layout::kToolButtonCount> buttonHover;
    std::array<QPixmap, layout::kToolButtonCount> buttonPush;
    std::array<QPixmap, layout::kMenuItemCount> menuHover;
    std::array<QPixmap, layout::kMenuItemCount> menuPush;
    QPixmap loadedPatch;
    QPixmap waitPatch;
    QIcon icon;
    QCursor hand;
};

// Loads every picture. A picture that is missing stays null and simply shows nothing.
Pictures loadPictures();

}  // namespace skin
