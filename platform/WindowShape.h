#pragma once
// A window shaped by a colour key: pixels of exactly the key colour are neither drawn
// nor hit by the pointer, so the window takes the outline its background paints.

#include <QRgb>

class QWidget;

namespace platform {

// Makes sure the window has its native counterpart, which the shape is applied to.
void makeLayered(QWidget* window);

// Cuts every pixel of exactly `key` out of what the window currently shows.
// A pixel one step away from the key stays drawn.
void setColourKey(QWidget* window, QRgb key);

}  // namespace platform
