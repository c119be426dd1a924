#pragma once
// Puts a widget on its rectangle of the window layout.

#include "layout/WindowLayout.h"

#include <QWidget>

inline void place(QWidget* widget, const layout::Rect& rect)
{
    widget->setGeometry(rect.left, rect.top, rect.width, rect.height);
}
