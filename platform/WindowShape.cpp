#include "WindowShape.h"

#include <QBitmap>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QRegion>
#include <QWidget>

#include <xcb/shape.h>

#include <vector>

namespace platform {

namespace {

bool cut(QRgb pixel, QRgb key) { return qAlpha(pixel) == 0 || (pixel | 0xFF000000u) == (key | 0xFF000000u); }

// The window's own pixels as rectangles, one per run of kept pixels in a row.
std::vector<xcb_rectangle_t> keptRuns(const QImage& shown, QRgb key)
{
    std::vector<xcb_rectangle_t> runs;
    const int width = shown.width();
    for (int y = 0; y < shown.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(shown.constScanLine(y));
        for (int x = 0; x < width;) {
            if (cut(row[x], key)) {
                ++x;
                continue;
            }
            const int from = x;
            while (x < width && !cut(row[x], key))
                ++x;
            runs.push_back({static_cast<int16_t>(from), static_cast<int16_t>(y), static_cast<uint16_t>(x - from), 1});
        }
    }
    return runs;
}

// The background as a window of `size` at `density` paints it from its top-left
// corner: the picture itself when it was drawn for that density and size, as the
// window's opaque pictures are.
QImage paintedBackground(const QPixmap& background, QSize size, qreal density)
{
    const QSize pixels = (QSizeF(size) * density).toSize();
    QImage picture = background.toImage();
    const bool opaqueOrPremultiplied =
        picture.format() == QImage::Format_RGB32 || picture.format() == QImage::Format_ARGB32_Premultiplied;
    if (opaqueOrPremultiplied && picture.size() == pixels && qFuzzyCompare(picture.devicePixelRatio(), density))
        return picture;
    QImage shown(pixels, QImage::Format_ARGB32_Premultiplied);
    shown.fill(Qt::transparent);
    shown.setDevicePixelRatio(density);
    QPainter(&shown).drawPixmap(0, 0, background);
    return shown;
}

// Qt takes a window's mask in window pixels and scales it, so on a scaled screen the
// shape would step in blocks that miss the finer outline of the pictures. Sets the
// X11 shape from the screen's own pixels instead.
void setDeviceShape(QWidget* window, const QImage& shown, QRgb key)
{
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11)
        return;
    const std::vector<xcb_rectangle_t> runs = keptRuns(shown, key);
    xcb_shape_rectangles(x11->connection(), XCB_SHAPE_SO_SET, XCB_SHAPE_SK_BOUNDING, XCB_CLIP_ORDERING_YX_BANDED,
                         static_cast<xcb_window_t>(window->winId()), 0, 0, static_cast<uint32_t>(runs.size()),
                         runs.data());
    xcb_flush(x11->connection());
}

}  // namespace

void makeLayered(QWidget* window)
{
    if (QGuiApplication::platformName().startsWith(QStringLiteral("wayland")))
        window->setAttribute(Qt::WA_TranslucentBackground);
    // A mask set before the native window exists is not sent to the X server until
    // the next change, so create it first.
    window->winId();
}

bool hasAlpha(const QWidget* window) { return window->testAttribute(Qt::WA_TranslucentBackground); }

QPixmap withKeyTransparent(const QPixmap& picture, QRgb key)
{
    QImage image = picture.toImage().convertToFormat(QImage::Format_ARGB32);
    const int width = image.width();
    for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            if (cut(row[x], key))
                row[x] = qRgba(0, 0, 0, 0);
    }
    return QPixmap::fromImage(image);
}

void setColourKey(QWidget* window, const QPixmap& background, QRgb key)
{
    // The background as the window paints it, not a grab of the window: a grab
    // renders every element too, all before the first frame, and at start the
    // elements draw nothing over the background.
    const qreal density = window->devicePixelRatioF();
    QImage shown = paintedBackground(background, window->size(), density);
    shown.setDevicePixelRatio(1.0);
    // The mask marks cut pixels with index 1, which a QBitmap reads as white: the
    // unset, invisible part of a widget mask. Everything else stays.
    QImage keep(shown.size(), QImage::Format_Mono);
    keep.setColor(0, qRgb(0, 0, 0));
    keep.setColor(1, qRgb(255, 255, 255));
    keep.fill(0);
    // Row by row and bit by bit (the most significant bit is the leftmost pixel):
    // pixel() and setPixel() per pixel cost more than the rest of start-up's work.
    const int width = shown.width();
    for (int y = 0; y < shown.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(shown.constScanLine(y));
        uchar* bits = keep.scanLine(y);
        for (int x = 0; x < width; ++x)
            if (cut(row[x], key))
                bits[x >> 3] |= static_cast<uchar>(0x80u >> (x & 7));
    }
    if (keep.size() != window->size())
        keep = keep.scaled(window->size());  // a scaled screen has more pixels than the widget
    window->setMask(QBitmap::fromImage(keep));
    if (density != 1.0)
        setDeviceShape(window, shown, key);
}

}  // namespace platform
