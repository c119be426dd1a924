#pragma once
// The focus look of the skin's own controls: only once the keyboard has moved the
// focus in the window (a click never shows it), a thin dotted frame in the colour
// of the skin's captions.

class QPainter;
class QRect;
class QWidget;

namespace skin {

bool focusLookShown(const QWidget& control);
// The frame runs along the edge pixels of `area`.
void drawFocusFrame(QPainter& painter, const QRect& area);

}  // namespace skin
