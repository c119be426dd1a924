#pragma once
// Names of the skin pictures. The generator writes files under these names and the
// window loads them, so both sides spell them once.

#include <QPoint>
#include <QString>

namespace skin {

QString backgroundFile();              // BMP, 24 bpp, the whole window at rest
QString toolButtonHoverFile(int i);    // JPEG, tool-bar button i under the pointer
QString toolButtonPressedFile(int i);  // JPEG, tool-bar button i held down
QString menuHoverFile(int j);          // JPEG, menu caption j under the pointer
QString menuPressedFile(int j);        // JPEG, menu caption j held down
QString loadedPatchFile();             // JPEG, banner patch "file loaded"
QString waitPatchFile();               // JPEG, banner patch "converting"
QString iconFile();                    // ICO, 48/32/16 px
QString handCursorFile();              // CUR, 1 bpp, hot spot (6, 0)
inline constexpr QPoint kHandHotSpot{6, 0};

// A set drawn for a scaled screen keeps every picture loss-free as PNG, its window
// icon as one PNG per size and its cursor as a PNG (hot spot as at 1x, in window
// pixels).
inline constexpr int kWindowIconSizes[] = {48, 32, 16};
QString denseFile(const QString& file);  // the 1x name with ".png"
QString denseIconFile(int size);         // "icon-48.png": 48 window pixels
QString denseCursorFile();

}  // namespace skin
