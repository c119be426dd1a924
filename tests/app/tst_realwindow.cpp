// The built program in a real X session (Xvfb with openbox): where its window opens,
// its shape, clicks through the see-through margin, what it draws and how it ends.
// Run through tests/with-display.sh, which provides the display.

#include "RealProgram.h"
#include "layout/WindowLayout.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QMouseEvent>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <memory>

using namespace realwindow;

namespace {

// A window that covers the screen behind the program and notes where it was pressed.
class Backdrop : public QWidget {
public:
    Backdrop() : QWidget(nullptr, Qt::FramelessWindowHint)
    {
        setGeometry(0, 0, kScreenWidth, kScreenHeight);
        setAutoFillBackground(true);
        QPalette blue = palette();
        blue.setColor(QPalette::Window, QColor(20, 40, 160));
        setPalette(blue);
    }
    QList<QPoint> presses;

protected:
    void mousePressEvent(QMouseEvent* event) override { presses << event->globalPosition().toPoint(); }
};

}  // namespace

class RealWindowTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // The program runs from an application folder of its own, with blanks and
        // Chinese in its name, and a private temp folder of its own.
        QVERIFY(m_scratch.isValid());
        m_program = std::make_unique<RealProgram>(QStringLiteral(TOVARO_PROGRAM),
                                                  m_scratch.filePath(QStringLiteral("Tovaro PRO 视频")));
        m_program->environment.insert(QStringLiteral("TMPDIR"), m_scratch.path());

        m_backdrop = std::make_unique<Backdrop>();
        m_backdrop->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_backdrop.get()));
    }

    void init()
    {
        QVERIFY(m_program->start());
        m_windowId = m_program->windowId();
        m_origin = m_program->origin();
    }

    void cleanup() { m_program->kill(); }

    void opensCentredFramelessAndShaped()
    {
        const QString info =
            run(QStringLiteral("xwininfo"), {QStringLiteral("-id"), m_windowId, QStringLiteral("-shape")});
        QVERIFY2(info.contains(QStringLiteral("Width: 557")), qPrintable(info));
        QVERIFY(info.contains(QStringLiteral("Height: 374")));
        QCOMPARE(m_origin, QPoint((kScreenWidth - 557) / 2, (kScreenHeight - 374) / 2));
        QVERIFY2(info.contains(QStringLiteral("Window shape extents:  548x366+5+5")), qPrintable(info));

        // No frame was added around it by the window manager.
        const QString tree =
            run(QStringLiteral("xwininfo"), {QStringLiteral("-id"), m_windowId, QStringLiteral("-frame")});
        QVERIFY2(tree.contains(QStringLiteral("Width: 557")), qPrintable(tree));

        QVERIFY(QFileInfo(m_program->applicationFolder() + QStringLiteral("/output")).isDir());
        QVERIFY(QFileInfo(m_program->applicationFolder() + QStringLiteral("/data")).isDir());

        // The icon the task bar shows comes once the window is up, in every size.
        const auto icon = [this] {
            return run(QStringLiteral("xprop"), {QStringLiteral("-id"), m_windowId, QStringLiteral("_NET_WM_ICON")});
        };
        QTRY_VERIFY(icon().contains(QStringLiteral("Icon (16 x 16)")));
        for (const int size : {48, 32})
            QVERIFY(icon().contains(QStringLiteral("Icon (%1 x %1)").arg(size)));
    }

    void clicksOnTheMarginReachTheWindowBehind()
    {
        // A click that reaches the backdrop also raises it, so the program is raised
        // again before each click.
        m_backdrop->presses.clear();
        raiseProgram();
        clickAt(m_origin + QPoint(2, 2));  // outer margin
        QTRY_COMPARE(m_backdrop->presses.size(), 1);
        raiseProgram();
        clickAt(m_origin + QPoint(5, 5));  // the cut corner of the body
        QTRY_COMPARE(m_backdrop->presses.size(), 2);
        raiseProgram();
        clickAt(m_origin + QPoint(300, 350));  // the status strip: the program's own
        // A last click on the margin: the backdrop's next press is that one.
        raiseProgram();
        clickAt(m_origin + QPoint(2, 3));
        QTRY_VERIFY(m_backdrop->presses.size() >= 3);
        QCOMPARE(m_backdrop->presses,
                 (QList<QPoint>{m_origin + QPoint(2, 2), m_origin + QPoint(5, 5), m_origin + QPoint(2, 3)}));
        QCOMPARE(m_program->process().state(), QProcess::Running);
    }

    void drawsItsSkinPixelForPixel()
    {
        const QString shotPath = m_scratch.filePath(QStringLiteral("shot.png"));
        const QImage shot = screenshot(shotPath);
        QVERIFY(!shot.isNull());
        const QImage skin = QImage(QStringLiteral(SKIN_FOLDER "/background.bmp")).convertToFormat(QImage::Format_RGB32);
        QCOMPARE(skin.size(), QSize(558, 376));

        const QRgb key = layout::argb(layout::kColourKey);
        int bodyPixels = 0, differing = 0, behind = 0, keyPixels = 0;
        for (int y = 0; y < 374; ++y) {
            for (int x = 0; x < 557; ++x) {
                const QRgb onScreen = shot.pixel(m_origin + QPoint(x, y));
                if (skin.pixel(x, y) == key) {
                    ++keyPixels;
                    behind += onScreen == qRgb(20, 40, 160);  // the backdrop shows through
                    continue;
                }
                ++bodyPixels;
                differing += onScreen != skin.pixel(x, y);
            }
        }
        QVERIFY(bodyPixels > 548 * 366 - 200);
        QCOMPARE(differing, 0);
        QCOMPARE(behind, keyPixels);

        // The menu captions ("文件(F)" ...) are there: dark text on the light strip.
        int dark = 0;
        for (int x = 16; x < 70; ++x)
            for (int y = 36; y < 52; ++y)
                dark += qGray(shot.pixel(m_origin + QPoint(x, y))) < 100;
        QVERIFY2(dark > 30, qPrintable(QString::number(dark)));
    }

    void closeGlyphEndsTheProgram()
    {
        clickAt(m_origin + QPoint(541, 18));
        QVERIFY(m_program->process().waitForFinished(10000));
        QCOMPARE(m_program->process().exitStatus(), QProcess::NormalExit);
        QCOMPARE(m_program->process().exitCode(), 0);
    }

    void windowManagerCloseEndsTheProgram()
    {
        xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), m_windowId});
        xdotool({QStringLiteral("key"), QStringLiteral("alt+F4")});
        QVERIFY(m_program->process().waitForFinished(10000));
        QCOMPARE(m_program->process().exitCode(), 0);
    }

private:
    void raiseProgram() { QVERIFY(m_program->raise()); }

    QTemporaryDir m_scratch;
    std::unique_ptr<RealProgram> m_program;
    std::unique_ptr<Backdrop> m_backdrop;
    QString m_windowId;
    QPoint m_origin;
};

REALWINDOW_TEST_MAIN(RealWindowTest)
#include "tst_realwindow.moc"
