#include "Palette.h"

#include <QStringList>

namespace art {

QFont chineseFont(int pixelSize)
{
    QFont f;
    f.setFamilies({QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Noto Sans CJK JP")});
    f.setPixelSize(pixelSize);
    f.setStyleStrategy(QFont::PreferAntialias);
    return f;
}

QFont latinFont(int pixelSize, bool bold)
{
    QFont f;
    f.setFamilies({QStringLiteral("DejaVu Sans"), QStringLiteral("Nimbus Sans")});
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    f.setStyleStrategy(QFont::PreferAntialias);
    return f;
}

QFont displayFont(int pixelSize)
{
    QFont f;
    f.setFamilies({QStringLiteral("Nimbus Sans"), QStringLiteral("DejaVu Sans")});
    f.setPixelSize(pixelSize);
    f.setWeight(QFont::Bold);
    f.setStyleStrategy(QFont::PreferAntialias);
    return f;
}

}  // namespace art
