#pragma once
// Writers for the Windows icon and cursor containers. Qt writes only one image
// per ICO and no CUR at all, so both are assembled here: a directory, then one
// DIB per image (colour bitmap followed by the 1-bit AND mask), rows bottom-up.

#include <QByteArray>
#include <QImage>
#include <QPoint>

#include <vector>

namespace art {

struct IconImage {
    QImage image;      // ARGB32; alpha below 128 counts as transparent
    int bitsPerPixel;  // 24 or 8 (8 needs at most 256 opaque colours)
};

QByteArray icoFile(const std::vector<IconImage>& images);

// Monochrome cursor: opaque pixels brighter than mid-grey become white, the rest black.
QByteArray curFile(const QImage& image, QPoint hotSpot);

}  // namespace art
