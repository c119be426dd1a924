#pragma once
// The skin pictures, each drawn whole. Geometry comes from ui/layout/WindowLayout.h so
// the pictures line up with the window's hot zones.

#include "ui/layout/WindowLayout.h"

#include <QImage>
#include <QString>

namespace art {

QImage background();                 // 558 x 376, magenta outside the rounded body
QImage toolButtonHover(int i);       // 60 x 72
QImage toolButtonPressed(int i);
QImage menuHover(int j);             // 54 x 16
QImage menuPressed(int j);
// A piece of the banner at `patch` with `line` above the product name.
QImage bannerPatch(const layout::Rect &patch, const QString &line);

}  // namespace art

namespace art {

QImage appIcon(int size);  // ARGB32, rounded square in the banner's colours
QImage handCursor();       // 32 x 32 ARGB32: black, white or transparent only

}  // namespace art
