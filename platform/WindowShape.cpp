#include "WindowShape.h"

#include <QBitmap>
#include <QImage>
#include <QPixmap>
#include <QWidget>

namespace platform {

void makeLayered(QWidget* window)
{
    // A mask set before the native window exists is not sent to the X server until
    // the next change, so create it first.
    window->winId();
}

void setColourKey(QWidget* window, QRgb key)
{
    QImage shown = window->grab().toImage().convertToFormat(QImage::Format_RGB32);
    shown.setDevicePixelRatio(1.0);
    // The mask marks key pixels with index 1, which a QBitmap reads as white: the
    // unset, invisible part of a widget mask. Everything else stays.
    QImage keep = shown.createMaskFromColor(qRgb(qRed(key), qGreen(key), qBlue(key)), Qt::MaskInColor);
    if (keep.size() != window->size())
        keep = keep.scaled(window->size());  // a high-dpi grab has more pixels than the widget
    window->setMask(QBitmap::fromImage(keep));
}

}  // namespace platform
