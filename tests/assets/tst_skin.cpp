// Checks the embedded skin pictures: formats the window relies on, the colour-key
// outline, and that hover, pressed and banner pictures sit exactly on the background.

#include "assets/SkinAssets.h"
#include "layout/WindowLayout.h"

#include <QFile>
#include <QImage>
#include <QTest>
#include <QtEndian>

#include <cmath>
#include <cstdlib>

namespace {

constexpr QRgb kKey = 0xFFFF00FFu;

QByteArray resource(const QString& file)
{
    QFile f(skin::resourcePath(file));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QImage picture(const QString& file) { return QImage::fromData(resource(file)).convertToFormat(QImage::Format_RGB32); }

// Little-endian fields of a file header; -1 when the file is too short to hold one.
int le16(const QByteArray& b, qsizetype at)
{
    if (at < 0 || at + 2 > b.size())
        return -1;
    return qFromLittleEndian<quint16>(b.constData() + at);
}

qint64 le32(const QByteArray& b, qsizetype at)
{
    if (at < 0 || at + 4 > b.size())
        return -1;
    return qFromLittleEndian<qint32>(b.constData() + at);
}

int channelDiff(QRgb a, QRgb b)
{
    return (std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b))) / 3;
}

// Mean colour of a block, channels packed as a QRgb.
QRgb meanColour(const QImage& img, const QRect& r)
{
    qint64 red = 0, green = 0, blue = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) {
            const QRgb c = img.pixel(x, y);
            red += qRed(c);
            green += qGreen(c);
            blue += qBlue(c);
        }
    const qint64 n = static_cast<qint64>(r.width()) * r.height();
    return qRgb(static_cast<int>(red / n), static_cast<int>(green / n), static_cast<int>(blue / n));
}

QRect toQRect(const layout::Rect& r) { return {r.left, r.top, r.width, r.height}; }

bool anyKeyPixel(const QImage& img)
{
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (img.pixel(x, y) == kKey)
                return true;
    return false;
}

// Compares `pic` laid at `zone` (its content shifted by `shift`) with the background,
// over the pixels that the background draws clearly off the body grey: icon and text.
double contentDifference(const QImage& pic, const QImage& bg, const QRect& zone, int shift)
{
    const QRgb grey = qRgb(208, 209, 208);
    qint64 sum = 0, count = 0;
    for (int y = 0; y + shift < zone.height(); ++y)
        for (int x = 0; x + shift < zone.width(); ++x) {
            const QRgb under = bg.pixel(zone.left() + x, zone.top() + y);
            if (channelDiff(under, grey) < 48)
                continue;
            sum += channelDiff(pic.pixel(x + shift, y + shift), under);
            ++count;
        }
    return count ? static_cast<double>(sum) / static_cast<double>(count) : 1e9;
}

// Mean difference along the outer `width` pixels of the picture.
double borderDifference(const QImage& pic, const QImage& bg, const QRect& zone, int width)
{
    qint64 sum = 0, count = 0;
    for (int y = 0; y < zone.height(); ++y)
        for (int x = 0; x < zone.width(); ++x) {
            const bool border = x < width || y < width || x >= zone.width() - width || y >= zone.height() - width;
            if (!border)
                continue;
            sum += channelDiff(pic.pixel(x, y), bg.pixel(zone.left() + x, zone.top() + y));
            ++count;
        }
    return static_cast<double>(sum) / static_cast<double>(count);
}

}  // namespace

class SkinTest : public QObject {
    Q_OBJECT

    QImage m_bg;

private slots:
    void initTestCase()
    {
        m_bg = picture(skin::backgroundFile());
        QCOMPARE(m_bg.size(), QSize(layout::kBackgroundWidth, layout::kBackgroundHeight));
    }

    void everyAssetIsEmbedded()
    {
        QStringList files{skin::backgroundFile(), skin::loadedPatchFile(), skin::waitPatchFile(), skin::iconFile(),
                          skin::handCursorFile()};
        for (int i = 0; i < layout::kToolButtonCount; ++i)
            files << skin::toolButtonHoverFile(i) << skin::toolButtonPressedFile(i);
        for (int j = 0; j < layout::kMenuItemCount; ++j)
            files << skin::menuHoverFile(j) << skin::menuPressedFile(j);
        for (const QString& file : files)
            QVERIFY2(!resource(file).isEmpty(), qPrintable(file));
    }

    void backgroundIsTwentyFourBitBmp()
    {
        const QByteArray b = resource(skin::backgroundFile());
        QVERIFY(b.size() > 54);
        QVERIFY(b.startsWith("BM"));
        QCOMPARE(le32(b, 18), layout::kBackgroundWidth);
        QCOMPARE(std::abs(le32(b, 22)), layout::kBackgroundHeight);
        QCOMPARE(le16(b, 28), 24);
        QCOMPARE(le32(b, 30), 0);  // uncompressed
    }

    // The window's outline comes from the colour key: magenta exactly around the
    // rounded body, and never inside it, not even blended into the corner pixels.
    void colourKeyShapesTheWindow()
    {
        const QRect body = toQRect(layout::kBody);
        const int r = layout::kBodyCornerRadius;
        const double left = body.left() + r, right = body.right() + 1 - r;
        const double top = body.top() + r, bottom = body.bottom() + 1 - r;
        const QPointF centres[] = {{left, top}, {right, top}, {left, bottom}, {right, bottom}};
        int cutPixels[4] = {};
        for (int y = 0; y < m_bg.height(); ++y)
            for (int x = 0; x < m_bg.width(); ++x) {
                const QRgb c = m_bg.pixel(x, y);
                const QString where = QStringLiteral("(%1, %2)").arg(x).arg(y);
                if (!body.contains(x, y)) {
                    QVERIFY2(c == kKey, qPrintable(where));
                    continue;
                }
                int corner = -1;
                for (int k = 0; k < 4; ++k)
                    if (std::abs(x + 0.5 - centres[k].x()) <= r && std::abs(y + 0.5 - centres[k].y()) <= r &&
                        (x + 0.5 - centres[k].x()) * (body.center().x() - centres[k].x()) < 0 &&
                        (y + 0.5 - centres[k].y()) * (body.center().y() - centres[k].y()) < 0)
                        corner = k;
                if (corner < 0) {
                    QVERIFY2(c != kKey, qPrintable(where));
                    continue;
                }
                const double d = std::hypot(x + 0.5 - centres[corner].x(), y + 0.5 - centres[corner].y());
                if (c == kKey) {
                    QVERIFY2(d > r - 1.0, qPrintable(where));
                    ++cutPixels[corner];
                } else {
                    QVERIFY2(d < r + 1.0, qPrintable(where));
                    // A blend with the key would show as a pink fringe.
                    QVERIFY2(std::abs(qRed(c) - qGreen(c)) < 24 && std::abs(qBlue(c) - qGreen(c)) < 24,
                             qPrintable(where));
                }
            }
        for (int k = 0; k < 4; ++k)
            QVERIFY2(cutPixels[k] >= 3, qPrintable(QString::number(k)));
    }

    void bodyBandsAndBannerFrame()
    {
        const auto near = [](QRgb c, QRgb want, int tolerance) { return channelDiff(c, want) <= tolerance; };
        const QRgb emptyToolBar = meanColour(m_bg, QRect(420, 60, 30, 70));
        QVERIFY(near(emptyToolBar, qRgb(208, 209, 208), 2));
        QVERIFY(near(meanColour(m_bg, QRect(20, 322, 500, 10)), qRgb(208, 209, 208), 2));
        QVERIFY(near(meanColour(m_bg, QRect(300, 338, 200, 30)), qRgb(192, 192, 192), 6));

        for (const int row : layout::kSeparatorRows)
            for (int x = layout::kBody.left + 1; x < layout::kBody.right() - 1; ++x) {
                QCOMPARE(m_bg.pixel(x, row), qRgb(169, 172, 174));
                QCOMPARE(m_bg.pixel(x, row + 1), qRgb(242, 242, 242));
            }

        const QRect frame = toQRect(layout::kBannerFrame);
        const QRgb frameColour = qRgb(149, 150, 149);
        for (int x = frame.left(); x <= frame.right(); ++x) {
            QCOMPARE(m_bg.pixel(x, frame.top()), frameColour);
            QCOMPARE(m_bg.pixel(x, frame.bottom()), frameColour);
        }
        for (int y = frame.top(); y <= frame.bottom(); ++y) {
            QCOMPARE(m_bg.pixel(frame.left(), y), frameColour);
            QCOMPARE(m_bg.pixel(frame.right(), y), frameColour);
        }
        // Purple at the lower left, pale green at the upper right.
        const QRgb lowerLeft = meanColour(m_bg, QRect(frame.left() + 2, frame.bottom() - 12, 10, 10));
        const QRgb upperRight = meanColour(m_bg, QRect(frame.right() - 12, frame.top() + 2, 10, 10));
        QVERIFY(qBlue(lowerLeft) > qGreen(lowerLeft) + 60);
        QVERIFY(qGreen(upperRight) > qBlue(upperRight) + 40 && qGreen(upperRight) > 200);
    }

    void zonePictures_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QRect>("zone");
        QTest::addColumn<int>("shift");
        for (int i = 0; i < layout::kToolButtonCount; ++i) {
            const QRect zone = toQRect(layout::toolButton(i));
            QTest::addRow("button hover %d", i) << skin::toolButtonHoverFile(i) << zone << 0;
            QTest::addRow("button pressed %d", i) << skin::toolButtonPressedFile(i) << zone << 1;
        }
        for (int j = 0; j < layout::kMenuItemCount; ++j) {
            const QRect zone = toQRect(layout::menuItem(j));
            QTest::addRow("menu hover %d", j) << skin::menuHoverFile(j) << zone << 0;
            QTest::addRow("menu pressed %d", j) << skin::menuPressedFile(j) << zone << 0;
        }
    }

    // Laid into its hot zone, a picture shows the drawn icon and caption on the same
    // spot (a pressed button one pixel down and right), inside a frame of its own.
    void zonePictures()
    {
        QFETCH(QString, file);
        QFETCH(QRect, zone);
        QFETCH(int, shift);
        QVERIFY(resource(file).startsWith("\xFF\xD8\xFF"));
        const QImage pic = picture(file);
        QCOMPARE(pic.size(), zone.size());
        QVERIFY(!anyKeyPixel(pic));

        const double content = contentDifference(pic, m_bg, zone, shift);
        QVERIFY2(content < 16, qPrintable(QString::number(content)));
        QVERIFY2(borderDifference(pic, m_bg, zone, 1) > 12, "no visible frame");
    }

    void bannerPatches_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QRect>("zone");
        QTest::addRow("loaded") << skin::loadedPatchFile() << toQRect(layout::kLoadedPatch);
        QTest::addRow("wait") << skin::waitPatchFile() << toQRect(layout::kWaitPatch);
    }

    // A patch continues the banner around it seamlessly and adds its line of text.
    void bannerPatches()
    {
        QFETCH(QString, file);
        QFETCH(QRect, zone);
        const QImage pic = picture(file);
        QCOMPARE(pic.size(), zone.size());
        QVERIFY(!anyKeyPixel(pic));
        const double edge = borderDifference(pic, m_bg, zone, 3);
        QVERIFY2(edge < 3, qPrintable(QString::number(edge)));
        const double whole = borderDifference(pic, m_bg, zone, zone.height() / 2);
        QVERIFY2(whole > edge + 4, "the patch adds nothing to the banner");
    }

    void iconHoldsThreeImages()
    {
        const QByteArray b = resource(skin::iconFile());
        QVERIFY(b.size() > 6);
        QCOMPARE(le16(b, 0), 0);
        QCOMPARE(le16(b, 2), 1);
        QCOMPARE(le16(b, 4), 3);
        const int sizes[] = {48, 32, 16};
        const int depths[] = {24, 24, 8};
        for (int k = 0; k < 3; ++k) {
            const qsizetype entry = 6 + 16 * k;
            QCOMPARE(static_cast<uchar>(b[entry]), sizes[k]);
            QCOMPARE(static_cast<uchar>(b[entry + 1]), sizes[k]);
            QCOMPARE(le16(b, entry + 6), depths[k]);
            const qint64 length = le32(b, entry + 8);
            const qint64 offset = le32(b, entry + 12);
            QVERIFY(offset + length <= b.size());
            // The bitmap itself: width, doubled height for the mask, and depth.
            QCOMPARE(le32(b, offset), 40);
            QCOMPARE(le32(b, offset + 4), sizes[k]);
            QCOMPARE(le32(b, offset + 8), 2 * sizes[k]);
            QCOMPARE(le16(b, offset + 14), depths[k]);
            const qint64 colourBytes = sizes[k] * ((sizes[k] * depths[k] + 31) / 32) * 4;
            const qint64 maskBytes = sizes[k] * ((sizes[k] + 31) / 32) * 4;
            const qint64 palette = depths[k] == 8 ? 256 * 4 : 0;
            QCOMPARE(length, 40 + palette + colourBytes + maskBytes);
        }

        // As the window gets them: rounded corners see-through, warm colours inside.
        const QList<QImage> images = skin::windowIconImages();
        QCOMPARE(images.size(), 3);
        for (int k = 0; k < 3; ++k) {
            const QImage& img = images[k];
            QCOMPARE(img.size(), QSize(sizes[k], sizes[k]));
            QCOMPARE(qAlpha(img.pixel(0, 0)), 0);
            QCOMPARE(qAlpha(img.pixel(sizes[k] - 1, sizes[k] - 1)), 0);
            const QRgb middleLeft = img.pixel(2, sizes[k] / 2);
            QCOMPARE(qAlpha(middleLeft), 255);
            QVERIFY(qRed(middleLeft) > 180);
        }
        QCOMPARE(skin::windowIcon().availableSizes().size(), 3);
    }

    void handCursor()
    {
        const QByteArray b = resource(skin::handCursorFile());
        QVERIFY(b.size() > 22);
        QCOMPARE(le16(b, 2), 2);
        QCOMPARE(le16(b, 4), 1);
        QCOMPARE(static_cast<uchar>(b[6]), 32);
        QCOMPARE(static_cast<uchar>(b[7]), 32);
        QCOMPARE(le16(b, 10), 6);  // hot spot x
        QCOMPARE(le16(b, 12), 0);  // hot spot y
        const qint64 offset = le32(b, 18);
        QVERIFY(offset + 40 + 8 + 2 * 32 * 4 <= b.size());
        QCOMPARE(le32(b, offset + 4), 32);
        QCOMPARE(le32(b, offset + 8), 64);
        QCOMPARE(le16(b, offset + 14), 1);

        // Mask rows are stored bottom-up after the two-colour palette and the colour rows.
        const qsizetype mask = offset + 40 + 8 + 32 * 4;
        const auto transparent = [&](int x, int y) {
            return (static_cast<uchar>(b[mask + (31 - y) * 4 + x / 8]) & (0x80 >> (x % 8))) != 0;
        };
        QVERIFY2(!transparent(6, 0), "the fingertip is not on the hot spot");
        QVERIFY(transparent(0, 0) && transparent(31, 0) && transparent(31, 31) && transparent(0, 31));

        const QImage img = QImage::fromData(b, "CUR");
        QCOMPARE(img.size(), QSize(32, 32));
    }
};

QTEST_MAIN(SkinTest)
#include "tst_skin.moc"
