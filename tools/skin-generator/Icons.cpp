#include "Icons.h"

#include "Palette.h"

#include <QLinearGradient>
#include <QPainterPath>
#include <QPolygonF>
#include <QRadialGradient>

#include <array>
#include <cmath>

namespace art {

namespace {

constexpr qreal kIconSize = 44.0;

// Where the icon sits inside a tool-button box: centred, near the top.
QRectF toolIconBox(QPointF origin) { return {origin.x() + 8, origin.y() + 3, kIconSize, kIconSize}; }

QColor withAlpha(QColor c, int alpha)
{
    c.setAlpha(alpha);
    return c;
}

// A soft shadow under an icon, so it does not look pasted onto the grey.
void dropShadow(QPainter& p, const QRectF& box)
{
    QRadialGradient g(box.center(), box.width() / 2);
    g.setColorAt(0.0, QColor(0, 0, 0, 70));
    g.setColorAt(0.7, QColor(0, 0, 0, 35));
    g.setColorAt(1.0, QColor(0, 0, 0, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawEllipse(box);
}

// A white symbol stroke with a faint dark edge under it, as if embossed on the disc.
void symbolStroke(QPainter& p, const QPainterPath& path, qreal width)
{
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0, 0, 0, 70), width + 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(path.translated(0.6, 0.9));
    p.setPen(QPen(Qt::white, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(path);
}

QRectF discBox(const QRectF& icon)
{
    const qreal d = 38.0;
    return {icon.center().x() - d / 2, icon.center().y() - d / 2, d, d};
}

void discWithShadow(QPainter& p, const QRectF& icon, const QColor& colour)
{
    const QRectF disc = discBox(icon);
    dropShadow(p, disc.adjusted(-1, 3, 3, 5));
    drawGlossyDisc(p, disc, colour);
}

// A disc with a white bar across it, and a second one upright for a plus.
void barIcon(QPainter& p, const QRectF& icon, const QColor& colour, bool upright)
{
    discWithShadow(p, icon, colour);
    const QPointF c = icon.center();
    QPainterPath bars;
    bars.moveTo(c.x() - 9, c.y());
    bars.lineTo(c.x() + 9, c.y());
    if (upright) {
        bars.moveTo(c.x(), c.y() - 9);
        bars.lineTo(c.x(), c.y() + 9);
    }
    symbolStroke(p, bars, 5.5);
}

void plusIcon(QPainter& p, const QRectF& icon) { barIcon(p, icon, QColor(46, 160, 60), true); }
void minusIcon(QPainter& p, const QRectF& icon) { barIcon(p, icon, QColor(206, 40, 36), false); }

void convertIcon(QPainter& p, const QRectF& icon)
{
    discWithShadow(p, icon, QColor(232, 170, 24));
    drawMusicNote(p, discBox(icon).adjusted(8, 8, -8, -8), QColor(20, 16, 8));
}

void helpIcon(QPainter& p, const QRectF& icon)
{
    discWithShadow(p, icon, QColor(36, 104, 214));
    QPainterPath mark;
    const QFont font = displayFont(30);
    const QFontMetricsF fm(font);
    const QString q = QStringLiteral("?");
    const QPointF base(icon.center().x() - fm.horizontalAdvance(q) / 2, icon.center().y() + fm.capHeight() / 2);
    mark.addText(base, font, q);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 80));
    p.drawPath(mark.translated(0.7, 1.0));
    p.setBrush(Qt::white);
    p.drawPath(mark);
}

// A glassy cube seen from above: translucent faces so the back edges show through.
void cubeIcon(QPainter& p, const QRectF& icon)
{
    const QPointF c = icon.center() + QPointF(0, 1);
    const qreal s = 16.5;      // half the width of the top face
    const qreal h = s * 0.55;  // half the height of the top face
    const qreal depth = 20.0;  // height of the side faces
    const QPointF top(c.x(), c.y() - depth / 2 - h);
    const QPointF left(c.x() - s, c.y() - depth / 2);
    const QPointF right(c.x() + s, c.y() - depth / 2);
    const QPointF front(c.x(), c.y() - depth / 2 + h);
    const QPointF down(0, depth);

    dropShadow(p, QRectF(c.x() - s - 3, c.y() + depth / 2 + h - 5, 2 * s + 6, 8));

    p.setRenderHint(QPainter::Antialiasing);
    const QPen edge(QColor(74, 110, 150), 1.1, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    const QPen hidden(QColor(74, 110, 150, 90), 0.9);

    // Back edges first; the faces in front tint them.
    p.setPen(hidden);
    const QPointF back = top + down;
    p.drawLine(back, left + down);
    p.drawLine(back, right + down);
    p.drawLine(back, top);

    QLinearGradient topFill(top, front);
    topFill.setColorAt(0, QColor(250, 253, 255, 215));
    topFill.setColorAt(1, QColor(214, 232, 250, 200));
    QLinearGradient leftFill(left, front + down);
    leftFill.setColorAt(0, QColor(196, 220, 244, 165));
    leftFill.setColorAt(1, QColor(150, 188, 228, 175));
    QLinearGradient rightFill(front, right + down);
    rightFill.setColorAt(0, QColor(170, 204, 238, 150));
    rightFill.setColorAt(1, QColor(120, 166, 216, 170));

    p.setPen(edge);
    p.setBrush(leftFill);
    p.drawPolygon(QPolygonF({left, front, front + down, left + down}));
    p.setBrush(rightFill);
    p.drawPolygon(QPolygonF({front, right, right + down, front + down}));
    p.setBrush(topFill);
    p.drawPolygon(QPolygonF({top, right, front, left}));

    // Light catching the front edges.
    p.setPen(QPen(QColor(255, 255, 255, 200), 1.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(front + QPointF(0, 1.2), front + down - QPointF(0, 1.5));
    p.drawLine(left + QPointF(2.5, 0.2), front - QPointF(0, 1.2));
}

// A running figure, limbs drawn as thick strokes with a darker rim.
void exitIcon(QPainter& p, const QRectF& icon)
{
    const QPointF c = icon.center() + QPointF(1, 1);
    auto at = [&c](qreal x, qreal y) { return QPointF(c.x() + x, c.y() + y); };

    dropShadow(p, QRectF(c.x() - 14, c.y() + 14, 28, 7));

    // Speed lines behind the runner.
    p.setPen(QPen(QColor(120, 122, 126, 160), 1.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(at(-19, -6), at(-11, -6));
    p.drawLine(at(-21, -1), at(-12, -1));
    p.drawLine(at(-19, 4), at(-13, 4));

    QPainterPath limbs;
    limbs.moveTo(at(2, -9));  // neck to hip
    limbs.lineTo(at(-2, 3));
    limbs.moveTo(at(1, -7));  // front arm
    limbs.lineTo(at(8, -3));
    limbs.lineTo(at(13, -9));
    limbs.moveTo(at(1, -7));  // back arm
    limbs.lineTo(at(-6, -4));
    limbs.lineTo(at(-9, 2));
    limbs.moveTo(at(-2, 3));  // front leg
    limbs.lineTo(at(7, 8));
    limbs.lineTo(at(6, 17));
    limbs.moveTo(at(-2, 3));  // back leg
    limbs.lineTo(at(-6, 11));
    limbs.lineTo(at(-14, 13));
    const QRectF head(c.x() + 1.5, c.y() - 19.5, 9, 9);

    const QColor rim(150, 96, 0);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(rim, 7.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(limbs);
    p.setPen(QPen(rim, 1.6));
    p.setBrush(rim);
    p.drawEllipse(head.adjusted(-1, -1, 1, 1));

    QLinearGradient fill(at(-10, -20), at(10, 18));
    fill.setColorAt(0, QColor(255, 236, 90));
    fill.setColorAt(1, QColor(250, 190, 10));
    p.setPen(QPen(QBrush(fill), 4.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(limbs);
    QRadialGradient headFill(head.center() - QPointF(1.5, 1.5), head.width() * 0.7);
    headFill.setColorAt(0, QColor(255, 248, 180));
    headFill.setColorAt(1, QColor(250, 196, 20));
    p.setPen(Qt::NoPen);
    p.setBrush(headFill);
    p.drawEllipse(head);
}

struct ToolButton {
    void (*icon)(QPainter&, const QRectF&);
    const char16_t* caption;
};

const std::array<ToolButton, 6> kToolButtons{{
    {plusIcon, u"添加"},
    {minusIcon, u"移除"},
    {convertIcon, u"转换"},
    {cubeIcon, u"设置"},
    {helpIcon, u"帮助"},
    {exitIcon, u"退出"},
}};

const std::array<const char16_t*, 4> kMenuCaptions{u"文件(F)", u"工具(T)", u"选项(S)", u"关于(A)"};

}  // namespace

void drawGlossyDisc(QPainter& p, const QRectF& box, const QColor& colour)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const qreal r = box.width() / 2;
    const QPointF c = box.center();

    QRadialGradient body(c, r, c - QPointF(r * 0.3, r * 0.45));
    body.setColorAt(0.0, colour.lighter(145));
    body.setColorAt(0.6, colour);
    body.setColorAt(1.0, colour.darker(150));
    p.setPen(QPen(colour.darker(190), 1.0));
    p.setBrush(body);
    p.drawEllipse(box.adjusted(0.5, 0.5, -0.5, -0.5));

    // Reflected light on the lower rim.
    QRadialGradient bounce(QPointF(c.x(), c.y() + r * 0.9), r * 0.8);
    bounce.setColorAt(0, withAlpha(colour.lighter(170), 120));
    bounce.setColorAt(1, withAlpha(colour.lighter(170), 0));
    p.setPen(Qt::NoPen);
    p.setBrush(bounce);
    p.drawEllipse(box.adjusted(2, 2, -2, -2));

    // Gloss: a pale cap on the upper half.
    const QRectF cap(c.x() - r * 0.68, box.top() + r * 0.1, r * 1.36, r * 0.9);
    QLinearGradient gloss(cap.topLeft(), cap.bottomLeft());
    gloss.setColorAt(0, QColor(255, 255, 255, 190));
    gloss.setColorAt(1, QColor(255, 255, 255, 10));
    p.setBrush(gloss);
    p.drawEllipse(cap);
    p.restore();
}

void drawMusicNote(QPainter& p, const QRectF& box, const QColor& ink)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const qreal w = box.width();
    const qreal h = box.height();
    auto at = [&box, w, h](qreal fx, qreal fy) { return QPointF(box.left() + fx * w, box.top() + fy * h); };

    const qreal headW = w * 0.34;
    const qreal headH = h * 0.24;
    const QPointF head1 = at(0.24, 0.80);
    const QPointF head2 = at(0.76, 0.70);
    const qreal stem = std::max(1.2, w * 0.085);

    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    for (const QPointF& head : {head1, head2}) {
        p.save();
        p.translate(head);
        p.rotate(-22);
        p.drawEllipse(QRectF(-headW / 2, -headH / 2, headW, headH));
        p.restore();
    }
    const qreal stemX1 = head1.x() + headW * 0.42;
    const qreal stemX2 = head2.x() + headW * 0.42;
    const qreal top1 = box.top() + h * 0.12;
    const qreal top2 = box.top() + h * 0.02;
    p.drawRect(QRectF(stemX1 - stem, top1, stem, head1.y() - top1 - headH * 0.1));
    p.drawRect(QRectF(stemX2 - stem, top2, stem, head2.y() - top2 - headH * 0.1));
    // The beam, slanting with the stems' tops.
    const qreal beam = h * 0.17;
    p.drawPolygon(QPolygonF({QPointF(stemX1 - stem, top1), QPointF(stemX2, top2), QPointF(stemX2, top2 + beam),
                             QPointF(stemX1 - stem, top1 + beam)}));
    p.restore();
}

void drawToolButtonFace(QPainter& p, int i, QPointF origin)
{
    const ToolButton& button = kToolButtons.at(static_cast<std::size_t>(i));
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    button.icon(p, toolIconBox(origin));

    p.setFont(chineseFont(12));
    p.setPen(kCaptionInk);
    const QRectF caption(origin.x(), origin.y() + 49, 60, 18);
    p.drawText(caption, Qt::AlignHCenter | Qt::AlignVCenter, QString::fromUtf16(button.caption));
    p.restore();
}

void drawMenuCaption(QPainter& p, int j, QPointF origin)
{
    p.save();
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setFont(chineseFont(12));
    p.setPen(kCaptionInk);
    p.drawText(QRectF(origin.x(), origin.y(), 54, 16), Qt::AlignCenter,
               QString::fromUtf16(kMenuCaptions.at(static_cast<std::size_t>(j))));
    p.restore();
}

}  // namespace art
