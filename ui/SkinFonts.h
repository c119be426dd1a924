#pragma once
// The window's text font: Tahoma 9 pt at 96 dpi (12 pixels), as the skin was drawn
// for. Tahoma is rarely installed here, so fontconfig picks the closest sans font;
// a CJK family follows it so every Chinese text has glyphs.

#include <QFont>

namespace skin {

inline QFont textFont(bool bold = false, bool underline = false)
{
    QFont font;
    font.setFamilies(
        {QStringLiteral("Tahoma"), QStringLiteral("Noto Sans CJK SC"), QStringLiteral("WenQuanYi Micro Hei")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(12);
    font.setBold(bold);
    font.setUnderline(underline);
    return font;
}

}  // namespace skin
