#pragma once
// Where the embedded skin pictures are found, and the window icon read from them.
// The pictures' names come from layout/SkinFiles.h, which the generator uses too.

#include "layout/SkinFiles.h"

#include <QIcon>
#include <QImage>
#include <QList>
#include <QString>

namespace skin {

// Where an asset lives once embedded: ":/skin/" + file name.
QString resourcePath(const QString& file);

// Besides the 1x set, the build draws the skin at these densities for scaled screens
// and embeds each set in its own folder.
inline constexpr qreal kDenseScales[] = {1.25, 1.5, 2.0};
QString densityFolder(qreal density);  // "2x/", "1.5x/", ...

// The window icon's images with their masks applied. Qt's ICO reader ignores the
// transparency mask of 24-bit entries (the corners would show black), so the masks
// are read here from the file itself.
QList<QImage> windowIconImages();
QIcon windowIcon();

}  // namespace skin
