#pragma once
// The skin pictures, loaded once from the program's embedded resources.

#include <QCursor>
#include <QIcon>
#include <QPixmap>

#include <array>

#include "layout/WindowLayout.h"

namespace skin {

struct Pictures {
    qreal density = 1;  // device pixels per window pixel the pictures were drawn at
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

// The density of the set drawn for a screen of `screenDensity`: 1, or the nearest
// of the build's dense sets.
qreal pictureDensity(qreal screenDensity);

// Loads every picture, drawn for a screen of `screenDensity` device pixels per
// window pixel. A picture that is missing stays null and simply shows nothing.
Pictures loadPictures(qreal screenDensity = 1);

// The same in two steps, so the first frame waits only for what it shows: the
// background and the cursor, then the window icon (the icon reader to load first)
// and the JPEG pictures of the hot zones and the banner (26 to decode, and the JPEG
// reader to load first).
Pictures loadFirstFramePictures(qreal screenDensity = 1);
void loadLaterPictures(Pictures& pictures);

}  // namespace skin
