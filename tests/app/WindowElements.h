#pragma once
// The main window's elements as tests reach them: by object name, as any Qt code
// could, never through the window's own members.

#include "ui/BusySquare.h"
#include "ui/SkinImage.h"

#include <QString>
#include <QWidget>

namespace elements {

// The element called `name` anywhere under `window`; a missing one ends the test
// program with its name, as no test can go on without it.
template <class Element = QWidget>
Element* find(const QObject& window, const QString& name)
{
    auto* found = window.findChild<Element*>(name);
    if (!found)
        qFatal("the window has no element %s", qPrintable(name));
    return found;
}

inline QString indexed(const char* family, int index)
{
    return QString::fromLatin1(family) + QLatin1Char('_') + QString::number(index);
}

inline SkinImage* button(const QObject& window, int i) { return find<SkinImage>(window, indexed("imgButton", i)); }
inline SkinImage* menuItem(const QObject& window, int j) { return find<SkinImage>(window, indexed("imgMenu", j)); }
inline BusySquare* square(const QObject& window, int i) { return find<BusySquare>(window, indexed("SP", i)); }

}  // namespace elements
