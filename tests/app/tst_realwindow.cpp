// The built program in a real X session (Xvfb with openbox): where its window opens,
// its shape, clicks through the see-through margin, what it draws and how it ends.
// Run through tests/with-display.sh, which provides the display.

#include "ui/layout/WindowLayout.h"

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

namespace {

constexpr int kScreenWidth = 1280;
constexpr int kScreenHeight = 1024;

// Runs a helper tool and returns what it printed.
QString run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(10000);
    return QString::fromLocal8Bit(process.readAllStandardOutput());
}

void xdotool(const QStringList& arguments) { run(QStringLiteral("xdotool"), arguments); }

void clickAt(QPoint global)
{
    xdotool({QStringLiteral("mousemove"), QString::number(global.x()), QString::number(global.y())});
    xdotool({QStringLiteral("click"), QStringLiteral("1")});
}

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
        m_application = m_scratch.filePath(QStringLiteral("Tovaro PRO 视频"));
        QVERIFY(QDir().mkpath(m_application));
        m_program = m_application + QStringLiteral("/tovaro");
        QVERIFY(QFile::copy(QStringLiteral(TOVARO_PROGRAM), m_program));
        QVERIFY(QFile::setPermissions(m_program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));

        m_backdrop = std::make_unique<Backdrop>();
        m_backdrop->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_backdrop.get()));
    }

    void init() { QVERIFY(startProgram()); }

    void cleanup()
    {
        if (m_process && m_process->state() != QProcess::NotRunning) {
            m_process->kill();
            m_process->waitForFinished(5000);
        }
        m_process.reset();
    }

    void opensCentredFramelessAndShaped()
    {
        const QString info = run(QStringLiteral("xwininfo"), {QStringLiteral("-id"), m_windowId, QStringLiteral("-shape")});
        QVERIFY2(info.contains(QStringLiteral("Width: 557")), qPrintable(info));
        QVERIFY(info.contains(QStringLiteral("Height: 374")));
        QCOMPARE(m_origin, QPoint((kScreenWidth - 557) / 2, (kScreenHeight - 374) / 2));
        QVERIFY2(info.contains(QStringLiteral("Window shape extents:  548x366+5+5")), qPrintable(info));

        // No frame was added around it by the window manager.
        const QString tree = run(QStringLiteral("xwininfo"), {QStringLiteral("-id"), m_windowId, QStringLiteral("-frame")});
        QVERIFY2(tree.contains(QStringLiteral("Width: 557")), qPrintable(tree));

        QVERIFY(QFileInfo(m_application + QStringLiteral("/output")).isDir());
        QVERIFY(QFileInfo(m_application + QStringLiteral("/data")).isDir());
    }

    void clicksOnTheMarginReachTheWindowBehind()
    {
        // A click that reaches the backdrop also raises it, so the program is raised
        // again before each click.
        m_backdrop->presses.clear();
        raiseProgram();
        clickAt(m_origin + QPoint(2, 2));               // outer margin
        QTRY_COMPARE(m_backdrop->presses.size(), 1);
        raiseProgram();
        clickAt(m_origin + QPoint(5, 5));               // the cut corner of the body
        QTRY_COMPARE(m_backdrop->presses.size(), 2);
        raiseProgram();
        clickAt(m_origin + QPoint(300, 350));           // the status strip: the program's own
        QTest::qWait(300);
        QCOMPARE(m_backdrop->presses.size(), 2);
        QCOMPARE(m_process->state(), QProcess::Running);
    }

    void drawsItsSkinPixelForPixel()
    {
        const QString shotPath = m_scratch.filePath(QStringLiteral("shot.png"));
        run(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"), shotPath});
        const QImage shot = QImage(shotPath).convertToFormat(QImage::Format_RGB32);
        QVERIFY(!shot.isNull());
        const QImage skin = QImage(QStringLiteral(SKIN_BACKGROUND)).convertToFormat(QImage::Format_RGB32);
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
        QVERIFY(m_process->waitForFinished(10000));
        QCOMPARE(m_process->exitStatus(), QProcess::NormalExit);
        QCOMPARE(m_process->exitCode(), 0);
    }

    void windowManagerCloseEndsTheProgram()
    {
        xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), m_windowId});
        xdotool({QStringLiteral("key"), QStringLiteral("alt+F4")});
        QVERIFY(m_process->waitForFinished(10000));
        QCOMPARE(m_process->exitCode(), 0);
    }

private:
    void raiseProgram()
    {
        xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), m_windowId});
        QTest::qWait(100);
    }

    bool startProgram()
    {
        m_process = std::make_unique<QProcess>();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("TMPDIR"), m_scratch.path());
        m_process->setProcessEnvironment(environment);
        m_process->setProcessChannelMode(QProcess::ForwardedChannels);
        m_process->setWorkingDirectory(QDir::rootPath());  // found relative to itself, not here
        m_process->start(m_program, {});
        if (!m_process->waitForStarted(10000))
            return false;

        // Wait until the window is mapped and viewable, then read where it is.
        static const QRegularExpression idPattern(QStringLiteral("Window id: (0x[0-9a-f]+)"));
        static const QRegularExpression xPattern(QStringLiteral("Absolute upper-left X:\\s+(-?\\d+)"));
        static const QRegularExpression yPattern(QStringLiteral("Absolute upper-left Y:\\s+(-?\\d+)"));
        for (int attempt = 0; attempt < 200; ++attempt) {
            const QString info = run(QStringLiteral("xwininfo"), {QStringLiteral("-name"), QStringLiteral("Tovaro PRO")});
            if (info.contains(QStringLiteral("IsViewable"))) {
                m_windowId = idPattern.match(info).captured(1);
                m_origin = {xPattern.match(info).captured(1).toInt(), yPattern.match(info).captured(1).toInt()};
                QTest::qWait(300);  // let the first frame reach the screen
                return true;
            }
            QTest::qWait(50);
        }
        return false;
    }

    QTemporaryDir m_scratch;
    QString m_application;
    QString m_program;
    std::unique_ptr<Backdrop> m_backdrop;
    std::unique_ptr<QProcess> m_process;
    QString m_windowId;
    QPoint m_origin;
};

QTEST_MAIN(RealWindowTest)
#include "tst_realwindow.moc"
