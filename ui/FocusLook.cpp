#include "FocusLook.h"

#include <QPainter>
#include <QWidget>

namespace skin {

// Qt marks the window when the focus moves by Tab; widgets' own focus frames use the
// same mark, so the skin's controls and the settings lists show focus together.
bool focusLookShown(const QWidget& control)
{
    return control.hasFocus() && control.window()->testAttribute(Qt::WA_KeyboardFocusChange);
}

void drawFocusFrame(QPainter& painter, const QRect& area)
{
    QPen pen(QColor(24, 24, 24));
    pen.setStyle(Qt::DotLine);
    pen.setWidth(1);
    painter.save();
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(area.adjusted(0, 0, -1, -1));
    painter.restore();
}

}  // namespace skin
