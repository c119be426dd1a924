#pragma once
// The skin pictures, each drawn whole. Geometry comes from layout/WindowLayout.h so
// the pictures line up with the window's hot zones. Sizes are in window pixels; a
// picture drawn at `density` has that many device pixels to each of them (its
// device pixel ratio), for screens scaled beyond 1.

#include "layout/WindowLayout.h"

#include <QImage>
#include <QString>

namespace art {

QImage background(qreal density = 1);              // 558 x 376, magenta outside the rounded body
QImage toolButtonHover(int i, qreal density = 1);  // 60 x 72
QImage toolButtonPressed(int i, qreal density = 1);
QImage menuHover(int j, qreal density = 1);  // 54 x 16
QImage menuPressed(int j, qreal density = 1);
// A piece of the banner at `patch` with `line` above the product name.
QImage bannerPatch(const layout::Rect& patch, const QString& line, qreal density = 1);

}  // namespace art

namespace art {

QImage appIcon(int size);              // ARGB32, rounded square in the banner's colours
QImage handCursor(qreal density = 1);  // 32 x 32 ARGB32: black, white or transparent only

}  // namespace art
