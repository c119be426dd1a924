#include "Artwork.h"

#include "Icons.h"
#include "Palette.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <QtMath>

#include <algorithm>
#include <vector>

namespace art {

namespace {

QRect toQRect(const layout::Rect& r) { return {r.left, r.top, r.width, r.height}; }

QRect bannerInside() { return toQRect(layout::kBannerFrame).adjusted(1, 1, -1, -1); }

// The banner is centred on the middle of its frame; the patches sit over the
// product name, so their texts are placed in window coordinates too.
constexpr qreal kBannerCentreX = (layout::kBannerFrame.left + layout::kBannerFrame.right()) / 2.0;
constexpr qreal kTitleCentreY = 236.0;
constexpr qreal kPatchLineCentreY = 201.0;

// Painters on it draw in window pixels; pixel loops go over its device pixels.
QImage newPicture(int width, int height, const QColor& fill, qreal density)
{
    QImage img(qCeil(width * density), qCeil(height * density), QImage::Format_RGB32);
    img.setDevicePixelRatio(density);
    img.fill(fill);
    return img;
}

// Three box blurs approximate a Gaussian; only alpha matters for a shadow.
void blurAlpha(QImage& img, int radius)
{
    const int w = img.width();
    const int h = img.height();
    std::vector<int> alpha(static_cast<std::size_t>(w * h));
    auto idx = [w](int x, int y) { return static_cast<std::size_t>(y * w + x); };
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            alpha[idx(x, y)] = qAlpha(img.pixel(x, y));

    std::vector<int> tmp(alpha.size());
    const int span = 2 * radius + 1;
    for (int pass = 0; pass < 3; ++pass) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                int sum = 0;
                for (int k = -radius; k <= radius; ++k)
                    sum += alpha[idx(std::clamp(x + k, 0, w - 1), y)];
                tmp[idx(x, y)] = sum / span;
            }
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                int sum = 0;
                for (int k = -radius; k <= radius; ++k)
                    sum += tmp[idx(x, std::clamp(y + k, 0, h - 1))];
                alpha[idx(x, y)] = sum / span;
            }
    }
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, qRgba(0, 0, 0, alpha[idx(x, y)]));
}

// Diagonal colour sweep, lower left to upper right. None of the stops comes near
// the colour key, so the sweep never punches a hole into the window.
QLinearGradient bannerSweep(const QRectF& area)
{
    QLinearGradient g(area.bottomLeft(), area.topRight() + QPointF(0, -area.width() * 0.25));
    g.setColorAt(0.00, QColor(92, 38, 150));
    g.setColorAt(0.22, QColor(214, 46, 164));
    g.setColorAt(0.42, QColor(230, 40, 56));
    g.setColorAt(0.62, QColor(246, 136, 30));
    g.setColorAt(0.80, QColor(250, 218, 58));
    g.setColorAt(1.00, QColor(194, 238, 156));
    return g;
}

void paintBannerBackdrop(QPainter& p)
{
    const QRectF area = bannerInside();
    p.save();
    p.setClipRect(area);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(area, bannerSweep(area));

    // Soft light from above and a little weight at the bottom.
    QLinearGradient sky(area.topLeft(), QPointF(area.left(), area.center().y()));
    sky.setColorAt(0, QColor(255, 255, 255, 60));
    sky.setColorAt(1, QColor(255, 255, 255, 0));
    p.fillRect(area, sky);
    QLinearGradient ground(QPointF(area.left(), area.bottom() - 40), area.bottomLeft());
    ground.setColorAt(0, QColor(40, 0, 40, 0));
    ground.setColorAt(1, QColor(40, 0, 40, 45));
    p.fillRect(area, ground);

    // Two sweeping ribbons of light across the banner.
    QPainterPath ribbon;
    ribbon.moveTo(area.left() - 20, area.bottom() - 30);
    ribbon.cubicTo(area.left() + 160, area.bottom() - 10, area.left() + 330, area.top() + 120, area.right() + 20,
                   area.top() + 40);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(255, 255, 255, 28), 26, Qt::SolidLine, Qt::FlatCap));
    p.drawPath(ribbon);
    p.setPen(QPen(QColor(255, 255, 255, 70), 1.4));
    p.drawPath(ribbon.translated(0, -13));
    QPainterPath ribbon2;
    ribbon2.moveTo(area.left() - 20, area.top() + 70);
    ribbon2.cubicTo(area.left() + 200, area.top() + 10, area.left() + 380, area.bottom() - 10, area.right() + 20,
                    area.bottom() - 50);
    p.setPen(QPen(QColor(255, 255, 255, 22), 14, Qt::SolidLine, Qt::FlatCap));
    p.drawPath(ribbon2);
    p.setPen(QPen(QColor(255, 255, 255, 55), 1.0));
    p.drawPath(ribbon2.translated(0, 7));

    // Faint notes at both ends, clear of the patches and the settings labels.
    drawMusicNote(p, QRectF(area.left() + 18, area.top() + 16, 40, 40), QColor(255, 255, 255, 45));
    drawMusicNote(p, QRectF(area.right() - 62, area.top() + 92, 34, 34), QColor(255, 255, 255, 55));
    p.restore();
}

void paintBannerTitle(QPainter& p)
{
    const QFont font = displayFont(44);
    const QString title = QStringLiteral("Tovaro Pro");
    const QFontMetricsF fm(font);
    const QPointF base(kBannerCentreX - fm.horizontalAdvance(title) / 2, kTitleCentreY + fm.capHeight() / 2);
    QPainterPath text;
    text.addText(base, font, title);

    // Soft shadow drawn in window coordinates, so every piece cut from the
    // banner carries exactly the same pixels.
    const QRect box = text.boundingRect().toAlignedRect().adjusted(-8, -8, 10, 10);
    const qreal density = p.device()->devicePixelRatio();
    QImage shadow(box.size() * density, QImage::Format_ARGB32);
    shadow.setDevicePixelRatio(density);
    shadow.fill(Qt::transparent);
    {
        QPainter sp(&shadow);
        sp.setRenderHint(QPainter::Antialiasing);
        sp.translate(-box.topLeft() + QPoint(2, 3));
        sp.fillPath(text, QColor(30, 0, 20));
    }
    blurAlpha(shadow, qRound(2 * density));
    p.save();
    p.setOpacity(0.85);
    p.drawImage(box.topLeft(), shadow);
    p.restore();

    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(90, 20, 50, 120), 1.0));
    p.setBrush(Qt::white);
    p.drawPath(text);
    p.restore();
}

void paintPatchLine(QPainter& p, const QString& line)
{
    p.save();
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setFont(chineseFont(15));
    const QRectF box(kBannerCentreX - 200, kPatchLineCentreY - 12, 400, 24);
    p.setPen(QColor(60, 0, 30, 150));
    p.drawText(box.translated(1, 1), Qt::AlignCenter, line);
    p.setPen(Qt::white);
    p.drawText(box, Qt::AlignCenter, line);
    p.restore();
}

void paintBanner(QPainter& p)
{
    const QRect frame = toQRect(layout::kBannerFrame);
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(kBannerFrame);
    p.setBrush(Qt::NoBrush);
    p.drawRect(frame.adjusted(0, 0, -1, -1));
    p.restore();
    paintBannerBackdrop(p);
    paintBannerTitle(p);
}

void paintSeparators(QPainter& p)
{
    const int left = layout::kBody.left;
    const int right = layout::kBody.right() - 1;
    for (const int row : layout::kSeparatorRows) {
        p.setPen(kEngraveDark);
        p.drawLine(left, row, right, row);
        p.setPen(kEngraveLight);
        p.drawLine(left, row + 1, right, row + 1);
    }
}

// A band across the body, rows top..bottom, shaded from `upper` to `lower`.
QRectF shadeBand(QPainter& p, int top, int bottom, const QColor& upper, const QColor& lower)
{
    QLinearGradient shade(0, top, 0, bottom + 1);
    shade.setColorAt(0, upper);
    shade.setColorAt(1, lower);
    const QRect band(layout::kBody.left, top, layout::kBody.width, bottom - top + 1);
    p.fillRect(band, shade);
    return band;
}

// Text pressed into the surface: a light copy one pixel below the ink.
void engravedText(QPainter& p, const QRectF& box, const QString& text, const QFont& font, const QColor& ink,
                  const QColor& light)
{
    p.save();
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setFont(font);
    p.setPen(light);
    p.drawText(box.translated(0, 1), Qt::AlignLeft | Qt::AlignVCenter, text);
    p.setPen(ink);
    p.drawText(box, Qt::AlignLeft | Qt::AlignVCenter, text);
    p.restore();
}

void paintTitleStrip(QPainter& p)
{
    const QRectF band =
        shadeBand(p, layout::kTitleStripTop, layout::kTitleStripBottom, QColor(234, 235, 235), QColor(210, 211, 210));

    const QRectF disc(11, 8, 20, 20);
    drawGlossyDisc(p, disc, QColor(232, 170, 24));
    drawMusicNote(p, disc.adjusted(5, 5, -5, -5), QColor(20, 16, 8));

    engravedText(p, QRectF(37, band.top(), 200, band.height()), QStringLiteral("Tovaro PRO"), latinFont(13, true),
                 QColor(36, 38, 42), QColor(255, 255, 255, 200));
}

// Minimise bar and close cross, both inside rows 15..22 so they sit in their hot zones.
void paintWindowGlyphs(QPainter& p)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    const int minLeft = layout::kMinimise.left + 2;
    p.fillRect(QRect(minLeft, 20, 7, 2), kGlyphInk);
    p.fillRect(QRect(minLeft, 22, 7, 1), QColor(255, 255, 255, 150));

    p.setRenderHint(QPainter::Antialiasing);
    // Pen centred on pixel centres keeps the diagonals crisp.
    p.setPen(QPen(kGlyphInk, 1.5, Qt::SolidLine, Qt::SquareCap));
    p.drawLine(QPointF(537.5, 15.5), QPointF(544.5, 22.5));
    p.drawLine(QPointF(544.5, 15.5), QPointF(537.5, 22.5));
    p.restore();
}

void paintStatusStrip(QPainter& p)
{
    const QRectF band =
        shadeBand(p, layout::kStatusStripTop, layout::kStatusStripBottom, QColor(197, 197, 197), QColor(187, 187, 188));
    engravedText(p, QRectF(20, band.top(), 300, band.height()), QStringLiteral("Tovaro V2 Professional"),
                 latinFont(11, false), QColor(104, 106, 108), QColor(228, 228, 228));

    p.save();
    // Size grip: raised dots in a triangle, kept clear of the rounded corner.
    const int gx = layout::kBody.right() - 7;
    const int gy = layout::kBody.bottom() - 7;
    for (int a = 0; a < 3; ++a)
        for (int b = 0; a + b < 3; ++b) {
            const int x = gx - 4 * a;
            const int y = gy - 4 * b;
            p.fillRect(QRect(x, y, 2, 2), QColor(250, 250, 250));
            p.fillRect(QRect(x + 1, y + 1, 2, 2), QColor(128, 128, 130));
            p.fillRect(QRect(x + 1, y + 1, 1, 1), QColor(170, 170, 172));
        }
    p.restore();
}

// No drawn pixel may equal the colour key by accident; one step away is opaque.
void avoidColourKey(QImage& img)
{
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (img.pixel(x, y) == kColourKey)
                img.setPixel(x, y, qRgb(254, 0, 255));
}

// Cuts the window outline: the rounded body stays, all else becomes the colour key.
// Corner pixels are either fully inside or fully outside, never a blend with the
// key, and the outermost ring of the body, one window pixel wide, gets a darker edge.
void cutWindowShape(QImage& img)
{
    QImage coverage(img.size(), QImage::Format_ARGB32);
    coverage.setDevicePixelRatio(img.devicePixelRatio());
    coverage.fill(Qt::transparent);
    {
        QPainter p(&coverage);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawRoundedRect(QRectF(toQRect(layout::kBody)), layout::kBodyCornerRadius, layout::kBodyCornerRadius);
    }
    auto inside = [&coverage](int x, int y) {
        return coverage.rect().contains(x, y) && qAlpha(coverage.pixel(x, y)) >= 128;
    };
    const int ring = std::max(1, qRound(img.devicePixelRatio()));
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            if (!inside(x, y))
                img.setPixel(x, y, kColourKey);
            else if (!inside(x - ring, y) || !inside(x + ring, y) || !inside(x, y - ring) || !inside(x, y + ring))
                img.setPixel(x, y, kBodyOutline.rgb());
        }
}

struct FrameLook {
    QColor top, bottom, edge;
    bool sunken;
};

const FrameLook kRaised{QColor(253, 253, 253), QColor(226, 228, 231), QColor(148, 152, 158), false};
const FrameLook kSunken{QColor(170, 173, 177), QColor(196, 198, 200), QColor(108, 111, 116), true};

// A rounded box filling the whole picture; the corners outside it stay body grey so
// the picture blends in when laid over the background.
QImage framedPicture(const layout::Rect& zone, qreal radius, const FrameLook& look, qreal density)
{
    QImage img = newPicture(zone.width, zone.height, kBodyGrey, density);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF frame = QRectF(0, 0, zone.width, zone.height).adjusted(0.5, 0.5, -0.5, -0.5);
    QLinearGradient fill(frame.topLeft(), frame.bottomLeft());
    fill.setColorAt(0, look.top);
    fill.setColorAt(1, look.bottom);
    p.setPen(QPen(look.edge, 1.0));
    p.setBrush(fill);
    p.drawRoundedRect(frame, radius, radius);

    // Raised: light inner rim. Sunken: shade along the top and left.
    p.setBrush(Qt::NoBrush);
    if (look.sunken) {
        p.setPen(QPen(QColor(0, 0, 0, 55), 1.0));
        p.drawLine(QPointF(radius - 1, 1.5), QPointF(frame.right() - radius + 1, 1.5));
        p.drawLine(QPointF(1.5, radius - 1), QPointF(1.5, frame.bottom() - radius + 1));
    } else {
        p.setPen(QPen(QColor(255, 255, 255, 220), 1.0));
        p.drawRoundedRect(frame.adjusted(1, 1, -1, -1), radius - 1, radius - 1);
    }
    return img;
}

QImage buttonPicture(int i, const FrameLook& look, qreal density)
{
    QImage img = framedPicture(layout::toolButton(i), 5, look, density);
    QPainter p(&img);
    // A held button's face moves one pixel down and right.
    drawToolButtonFace(p, i, look.sunken ? QPointF(1, 1) : QPointF(0, 0));
    return img;
}

QImage menuPicture(int j, const FrameLook& look, qreal density)
{
    QImage img = framedPicture(layout::menuItem(j), 2.5, look, density);
    QPainter p(&img);
    drawMenuCaption(p, j, QPointF(0, 0));
    return img;
}

}  // namespace

QImage background(qreal density)
{
    QImage img = newPicture(layout::kBackgroundWidth, layout::kBackgroundHeight, kBodyGrey, density);
    {
        QPainter p(&img);
        paintTitleStrip(p);
        paintWindowGlyphs(p);
        for (int j = 0; j < layout::kMenuItemCount; ++j) {
            const layout::Rect r = layout::menuItem(j);
            drawMenuCaption(p, j, QPointF(r.left, r.top));
        }
        for (int i = 0; i < layout::kToolButtonCount; ++i) {
            const layout::Rect r = layout::toolButton(i);
            drawToolButtonFace(p, i, QPointF(r.left, r.top));
        }
        paintBanner(p);
        paintStatusStrip(p);
        paintSeparators(p);
    }
    avoidColourKey(img);
    cutWindowShape(img);
    return img;
}

QImage toolButtonHover(int i, qreal density) { return buttonPicture(i, kRaised, density); }
QImage toolButtonPressed(int i, qreal density) { return buttonPicture(i, kSunken, density); }
QImage menuHover(int j, qreal density) { return menuPicture(j, kRaised, density); }
QImage menuPressed(int j, qreal density) { return menuPicture(j, kSunken, density); }

QImage bannerPatch(const layout::Rect& patch, const QString& line, qreal density)
{
    QImage img = newPicture(patch.width, patch.height, kBodyGrey, density);
    {
        QPainter p(&img);
        p.translate(-patch.left, -patch.top);
        paintBannerBackdrop(p);
        paintBannerTitle(p);
        paintPatchLine(p, line);
    }
    avoidColourKey(img);
    return img;
}

}  // namespace art
