#include "BusySquare.h"

#include <QPainter>

BusySquare::BusySquare(int index, QWidget* parent) : QWidget(parent), m_index(index) {}

void BusySquare::setFillColour(const QColor& colour)
{
    if (colour == m_fill)
        return;
    m_fill = colour;
    update();
}

void BusySquare::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::WindowText));
    painter.fillRect(rect().adjusted(1, 1, -1, -1), m_fill);
}
