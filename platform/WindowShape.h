#pragma once
// A window shaped by a colour key: pixels of exactly the key colour are neither drawn
// nor hit by the pointer, so the window takes the outline its background paints.
// Where the window system composites windows with per-pixel alpha (Wayland), the key
// becomes transparent; elsewhere (X11, with or without a compositor) it is cut out
// as the window's shape, at the screen's own pixels when the window is scaled.

#include <QPixmap>
#include <QRgb>

class QWidget;

namespace platform {

// Makes sure the window has its native counterpart, which the shape is applied to,
// and asks for per-pixel alpha where the window system shows it. Call it before the
// window first shows.
void makeLayered(QWidget* window);

// True when makeLayered gave the window per-pixel alpha: its key pixels must then be
// painted transparent (see withKeyTransparent).
bool hasAlpha(const QWidget* window);

// The picture with its key pixels fully transparent.
QPixmap withKeyTransparent(const QPixmap& picture, QRgb key);

// Cuts every pixel of exactly `key` (or fully transparent) out of the window, as
// `background` shows them painted from the window's top-left corner at the screen's
// density. A pixel one step away from the key stays drawn.
void setColourKey(QWidget* window, const QPixmap& background, QRgb key);

}  // namespace platform
