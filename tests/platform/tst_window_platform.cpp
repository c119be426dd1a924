// What the window asks of the window system: the shape cut by its colour key.

#include "layout/WindowLayout.h"
#include "platform/WindowShape.h"

#include <QTest>
#include <QWidget>

namespace {

constexpr QRgb kKey = layout::argb(layout::kColourKey);

}  // namespace

class WindowPlatformTest : public QObject {
    Q_OBJECT

private slots:
    void colourKeyCutsExactlyTheKeyColour()
    {
        QImage picture(20, 10, QImage::Format_RGB32);
        picture.fill(qRgb(208, 209, 208));
        for (int x = 0; x < 20; ++x)
            picture.setPixel(x, 0, kKey);           // a magenta top row
        picture.setPixel(5, 5, kKey);               // a hole inside
        picture.setPixel(6, 5, qRgb(254, 0, 255));  // one step away: drawn
        QWidget window;
        window.setFixedSize(picture.size());

        platform::makeLayered(&window);
        platform::setColourKey(&window, QPixmap::fromImage(picture), kKey);

        const QRegion shape = window.mask();
        QVERIFY(!shape.isEmpty());
        QVERIFY(!shape.contains(QPoint(0, 0)));
        QVERIFY(!shape.contains(QPoint(19, 0)));
        QVERIFY(!shape.contains(QPoint(5, 5)));
        QVERIFY(shape.contains(QPoint(6, 5)));
        QVERIFY(shape.contains(QPoint(0, 1)));
        QVERIFY(shape.contains(QPoint(19, 9)));
    }
};

QTEST_MAIN(WindowPlatformTest)
#include "tst_window_platform.moc"
