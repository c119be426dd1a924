#include "Artwork.h"
#include "Icons.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>

#include <algorithm>

namespace art {

QImage appIcon(int size)
{
    QImage img(size, size, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);

    const qreal s = size;
    const QRectF square(0.5, 0.5, s - 1, s - 1);
    QPainterPath shape;
    shape.addRoundedRect(square, s * 0.2, s * 0.2);

    QLinearGradient sweep(square.bottomLeft(), square.topRight());
    sweep.setColorAt(0.00, QColor(232, 60, 160));
    sweep.setColorAt(0.38, QColor(228, 40, 58));
    sweep.setColorAt(0.70, QColor(246, 138, 30));
    sweep.setColorAt(1.00, QColor(252, 222, 60));
    p.fillPath(shape, sweep);

    p.save();
    p.setClipPath(shape);
    QLinearGradient gloss(0, 0, 0, s * 0.55);
    gloss.setColorAt(0, QColor(255, 255, 255, 90));
    gloss.setColorAt(1, QColor(255, 255, 255, 0));
    p.fillRect(QRectF(0, 0, s, s * 0.55), gloss);
    p.restore();

    const QRectF note(s * 0.24, s * 0.2, s * 0.54, s * 0.6);
    if (size >= 24)
        drawMusicNote(p, note.translated(s * 0.02, s * 0.03), QColor(90, 10, 30, 110));
    drawMusicNote(p, note, Qt::white);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(130, 20, 50, 170), 1.0));
    p.drawPath(shape);
    return img;
}

// A pointing hand, fingertip at (6, 0): white body built from pixel spans, then a
// black outline one pixel wide all around it, as cursors traditionally look. At a
// higher density the outline stays one window pixel wide.
QImage handCursor(qreal density)
{
    constexpr int kSize = 32;
    struct Span {
        int row, from, to;
    };
    // clang-format off
    static constexpr Span kBody[] = {
        // index finger, rounded tip
        {1, 6, 7}, {2, 5, 8}, {3, 5, 8}, {4, 5, 8}, {5, 5, 8}, {6, 5, 8}, {7, 5, 8},
        {8, 5, 8}, {9, 5, 8}, {10, 5, 8}, {11, 5, 8}, {12, 5, 8}, {13, 5, 8}, {14, 5, 8},
        {15, 5, 8},
        // middle, ring and little fingers, each a little shorter
        {7, 11, 11}, {8, 10, 12}, {9, 10, 12}, {10, 10, 12}, {11, 10, 12}, {12, 10, 12},
        {13, 10, 12}, {14, 10, 12}, {15, 10, 12},
        {9, 15, 15}, {10, 14, 16}, {11, 14, 16}, {12, 14, 16}, {13, 14, 16}, {14, 14, 16},
        {15, 14, 16},
        {11, 18, 19}, {12, 18, 20}, {13, 18, 20}, {14, 18, 20}, {15, 18, 20},
        // thumb, reaching up and out to the left
        {13, 1, 2}, {14, 1, 3}, {15, 1, 3}, {16, 2, 4}, {17, 2, 4}, {18, 3, 4}, {19, 3, 4},
        // palm, narrowing to the wrist
        {16, 5, 20}, {17, 5, 20}, {18, 5, 20}, {19, 5, 20}, {20, 4, 20}, {21, 5, 20},
        {22, 5, 19}, {23, 6, 19}, {24, 6, 18}, {25, 7, 18}, {26, 7, 17}, {27, 8, 17},
    };
    // clang-format on

    const int deviceSize = qCeil(kSize * density);
    QImage body(deviceSize, deviceSize, QImage::Format_ARGB32);
    body.setDevicePixelRatio(density);
    body.fill(Qt::transparent);
    {
        QPainter p(&body);
        for (const Span& s : kBody)
            p.fillRect(QRect(s.from, s.row, s.to - s.from + 1, 1), Qt::white);
    }

    QImage img(deviceSize, deviceSize, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    auto filled = [&body](int x, int y) { return body.rect().contains(x, y) && qAlpha(body.pixel(x, y)) != 0; };
    const int outline = std::max(1, qRound(density));
    for (int y = 0; y < deviceSize; ++y)
        for (int x = 0; x < deviceSize; ++x) {
            if (filled(x, y)) {
                img.setPixel(x, y, qRgb(255, 255, 255));
                continue;
            }
            bool touches = false;
            for (int dy = -outline; dy <= outline; ++dy)
                for (int dx = -outline; dx <= outline; ++dx)
                    touches = touches || filled(x + dx, y + dy);
            if (touches)
                img.setPixel(x, y, qRgb(0, 0, 0));
        }
    img.setDevicePixelRatio(density);
    return img;
}

}  // namespace art
