#pragma once
// Colours and fonts shared by every skin picture.

#include <QColor>
#include <QFont>
#include <QRgb>

#include "layout/WindowLayout.h"

namespace art {

inline constexpr QRgb kColourKey = layout::argb(layout::kColourKey);

inline const QColor kBodyGrey{208, 209, 208};
inline const QColor kStatusGrey{192, 192, 192};
inline const QColor kBodyOutline{128, 130, 133};
inline const QColor kEngraveDark{169, 172, 174};
inline const QColor kEngraveLight{242, 242, 242};
inline const QColor kBannerFrame{149, 150, 149};
inline const QColor kCaptionInk{24, 24, 24};
inline const QColor kGlyphInk{64, 66, 70};

QFont chineseFont(int pixelSize);
QFont latinFont(int pixelSize, bool bold);
QFont displayFont(int pixelSize);  // the big bold product name

}  // namespace art
