#pragma once
// The drawn items that appear both on the background and on the hover and
// pressed pictures. Each takes the top-left corner of its box, so the very same
// call paints the item on the window picture and on a picture of the hot zone.

#include <QPainter>
#include <QPointF>
#include <QRectF>

namespace art {

// Tool-bar button i (0..5): a 44 px icon above its two-character caption, laid
// out inside a 60 x 72 box whose top-left corner is `origin`.
void drawToolButtonFace(QPainter& p, int i, QPointF origin);

// Menu caption j (0..3) centred in a 54 x 16 box at `origin`.
void drawMenuCaption(QPainter& p, int j, QPointF origin);

// A glossy disc in `colour` filling `box`.
void drawGlossyDisc(QPainter& p, const QRectF& box, const QColor& colour);

// Two beamed eighth notes centred in `box`, in `ink`.
void drawMusicNote(QPainter& p, const QRectF& box, const QColor& ink);

}  // namespace art
