// The live skin of the built program in a real X session (Xvfb with openbox): moving
// the window by its surface, minimising it from the drawn glyph and getting it back
// whole, the hover picture on the screen, a popup menu driven by the keyboard, the
// window on a screen scaled to 2, and the window on Wayland (weston, shown in a
// window of that X session). Run through tests/with-display.sh, which provides the
// display.

#include "RealProgram.h"
#include "WindowPoints.h"
#include "layout/WindowLayout.h"

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace realwindow;
using testsupport::centreOf;
using testsupport::kBareSurface;

namespace {

QString xwininfo(const QString& windowId) { return run(QStringLiteral("xwininfo"), {QStringLiteral("-id"), windowId}); }

// The window's top-left corner on the screen, and its size.
QRect screenRect(const QString& windowId)
{
    const QString info = xwininfo(windowId);
    const auto field = [&info](const char* name) {
        const QRegularExpression pattern(QString::fromLatin1(name) + QStringLiteral(":\\s+(-?\\d+)"));
        return pattern.match(info).captured(1).toInt();
    };
    return {field("Absolute upper-left X"), field("Absolute upper-left Y"), field("Width"), field("Height")};
}

QString wmState(const QString& windowId)
{
    static const QRegularExpression state(QStringLiteral("window state: (\\w+)"));
    return state.match(run(QStringLiteral("xprop"), {QStringLiteral("-id"), windowId, QStringLiteral("WM_STATE")}))
        .captured(1);
}

// Pixels of `expected` that differ from the screen at `at`.
int differingPixels(const QImage& screen, QPoint at, const QImage& expected, bool skipColourKey = false)
{
    const QRgb key = layout::argb(layout::kColourKey);
    int differing = 0;
    for (int y = 0; y < expected.height(); ++y)
        for (int x = 0; x < expected.width(); ++x)
            if (!(skipColourKey && expected.pixel(x, y) == key))
                differing += screen.pixel(at + QPoint(x, y)) != expected.pixel(x, y);
    return differing;
}

QImage skinPicture(const QString& file)
{
    return QImage(QStringLiteral(SKIN_FOLDER "/") + file).convertToFormat(QImage::Format_RGB32);
}

QImage densePicture(const QString& file)
{
    return QImage(QStringLiteral(DENSE_SKIN_FOLDER "/2x/") + file).convertToFormat(QImage::Format_RGB32);
}

// How many pixels an edge in `area` takes to go from dark to light, on average:
// where a row (or, `across` columns, a column) crosses the middle level, the pixels
// on either side between a quarter and three quarters of the way. A picture
// enlarged from half the density has edges exactly twice as wide.
double edgeWidth(const QImage& image, const QRect& area, bool acrossColumns = false)
{
    const auto gray = [&](int along, int at) {
        return acrossColumns ? qGray(image.pixel(area.left() + at, area.top() + along))
                             : qGray(image.pixel(area.left() + along, area.top() + at));
    };
    const int length = acrossColumns ? area.height() : area.width();
    const int lines = acrossColumns ? area.width() : area.height();
    int darkest = 255;
    int lightest = 0;
    for (int at = 0; at < lines; ++at)
        for (int along = 0; along < length; ++along) {
            darkest = std::min(darkest, gray(along, at));
            lightest = std::max(lightest, gray(along, at));
        }
    const int span = lightest - darkest;
    const auto dark = [&](int along, int at) { return gray(along, at) - darkest < span / 2; };
    const auto between = [&](int along, int at) {
        const int level = gray(along, at) - darkest;
        return level > span / 4 && level < span * 3 / 4;
    };
    int width = 0;
    int crossings = 0;
    for (int at = 0; at < lines; ++at)
        for (int along = 1; along < length; ++along) {
            if (dark(along - 1, at) == dark(along, at))
                continue;
            ++crossings;
            for (int before = along - 1; before >= 0 && between(before, at); --before)
                ++width;
            for (int after = along; after < length && between(after, at); ++after)
                ++width;
        }
    return crossings > 0 ? double(width) / crossings : 0;
}

// The smallest rectangle of `area` that holds every pixel of `colour`.
QRect boundsOf(const QImage& screen, const QRect& area, QRgb colour)
{
    int left = area.right() + 1, right = area.left() - 1, top = area.bottom() + 1, bottom = area.top() - 1;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(screen.constScanLine(y));
        for (int x = area.left(); x <= area.right(); ++x)
            if (row[x] == colour) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    }
    return QRect(QPoint(left, top), QPoint(right, bottom));
}

int magentaPixels(const QImage& screen, const QRect& area)
{
    int magenta = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            magenta += screen.pixel(x, y) == layout::argb(layout::kColourKey);
    return magenta;
}

}  // namespace

class RealSkinTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_scratch.isValid());
        m_program =
            std::make_unique<RealProgram>(QStringLiteral(TOVARO_PROGRAM), m_scratch.filePath(QStringLiteral("app")));
        m_program->environment.insert(QStringLiteral("TMPDIR"), m_scratch.path());
    }

    void init()
    {
        QVERIFY(m_program->start());
        m_id = m_program->windowId();
        m_origin = m_program->origin();
    }

    void cleanup() { m_program->kill(); }

    // Any button drags the window along; it stops with the release.
    void dragOnTheSurfaceMovesTheWindow()
    {
        QPoint origin = m_origin;
        for (int button : {1, 3}) {
            const QPoint grip = origin + kBareSurface;
            moveTo(grip);
            xdotool({QStringLiteral("mousedown"), QString::number(button)});
            for (int step = 1; step <= 4; ++step) {
                moveTo(grip + QPoint(15, -10) * step);
                QTRY_COMPARE(screenRect(m_id).topLeft(), origin + QPoint(15, -10) * step);
            }
            xdotool({QStringLiteral("mouseup"), QString::number(button)});
            origin += QPoint(60, -40);

            // Released: moving the pointer on does not take the window along.
            moveTo(grip + QPoint(100, 0));
            pointerReachesButton(origin, 2);
            QCOMPARE(screenRect(m_id).topLeft(), origin);
        }
    }

    // A press and release in one instant (a touchpad's tap) moves nothing, from rest
    // and right after a real drag: the window never goes on following the pointer.
    void tapOnTheSurfaceLeavesTheWindowWhereItIs()
    {
        QPoint origin = m_origin;
        for (int round = 0; round < 8; ++round) {
            if (round == 4) {
                const QPoint grip = origin + kBareSurface;
                moveTo(grip);
                xdotool({QStringLiteral("mousedown"), QStringLiteral("1")});
                moveTo(grip + QPoint(30, 20));
                QTRY_COMPARE(screenRect(m_id).topLeft(), origin + QPoint(30, 20));
                xdotool({QStringLiteral("mouseup"), QStringLiteral("1")});
                origin += QPoint(30, 20);
            }
            moveTo(origin + kBareSurface + QPoint(round, 0));
            xdotool({QStringLiteral("click"), QStringLiteral("1")});
            // Each round a different button from the last, so no earlier hover passes.
            pointerReachesButton(origin, 2 + round % 2);
            QVERIFY2(screenRect(m_id).topLeft() == origin, qPrintable(QStringLiteral("round %1").arg(round)));
        }
    }

    void minimiseGlyphIconifiesAndTheWindowComesBackWhole()
    {
        QTRY_COMPARE(wmState(m_id), QStringLiteral("Normal"));  // set by the window manager once it has the window
        clickAt(m_origin + centreOf(layout::kMinimise));
        QTRY_COMPARE(wmState(m_id), QStringLiteral("Iconic"));
        QCOMPARE(m_program->process().state(), QProcess::Running);

        QVERIFY(m_program->raise());  // what the task bar does
        QTRY_COMPARE(wmState(m_id), QStringLiteral("Normal"));
        const QString shape = run(QStringLiteral("xwininfo"), {QStringLiteral("-id"), m_id, QStringLiteral("-shape")});
        QVERIFY2(shape.contains(QStringLiteral("Window shape extents:  548x366+5+5")), qPrintable(shape));

        moveTo(m_program->origin() + kBareSurface);
        const QImage background = skinPicture(QStringLiteral("background.bmp")).copy(0, 0, 557, 374);
        const QString shotPath = m_scratch.filePath(QStringLiteral("restored.png"));
        QTRY_COMPARE(differingPixels(screenshot(shotPath), screenRect(m_id).topLeft(), background, true), 0);
    }

    void hoverShowsTheButtonsHoverPicturePixelForPixel()
    {
        const layout::Rect zone = layout::toolButton(2);
        moveTo(m_origin + kBareSurface);
        moveTo(m_origin + centreOf(zone));
        const QImage hover = skinPicture(QStringLiteral("button_hover_2.jpg"));
        QCOMPARE(hover.size(), QSize(zone.width, zone.height));
        const QString shotPath = m_scratch.filePath(QStringLiteral("hover.png"));
        QTRY_COMPARE(differingPixels(screenshot(shotPath), m_origin + QPoint(zone.left, zone.top), hover), 0);
    }

    void menuOpensUnderItsCaptionAndTheKeyboardChoosesAnEntry()
    {
        const layout::Rect item = layout::menuItem(2);
        clickAt(m_origin + centreOf(item));
        QString popup;
        QTRY_VERIFY(!(popup = popupWindow()).isEmpty());
        QCOMPARE(screenRect(popup).topLeft(), m_origin + QPoint(item.left, 53));  // 36 px + 250 twips

        // 设置(&S): the settings panel shows, white over the banner.
        const QPoint inPanel = m_origin + QPoint(layout::kSettingsPanel.left + 4, layout::kSettingsPanel.top + 160);
        const QString shotPath = m_scratch.filePath(QStringLiteral("settings.png"));
        QVERIFY(screenshot(shotPath).pixel(inPanel) != qRgb(255, 255, 255));
        pressKeys(QStringLiteral("s"));
        QTRY_VERIFY(popupWindow().isEmpty());
        QTRY_COMPARE(screenshot(shotPath).pixel(inPanel), qRgb(255, 255, 255));
        QCOMPARE(m_program->process().state(), QProcess::Running);
    }

    // On a screen scaled to 2 the window shows the pictures the build drew at that
    // density, each on its hot zone and cut by the shape to the screen's pixel, and
    // its text and icons are as sharp as at 1x.
    void scaledScreenGetsPicturesDrawnAtItsDensity()
    {
        m_program->kill();
        RealProgram scaled(QStringLiteral(TOVARO_PROGRAM), m_scratch.filePath(QStringLiteral("scaled")));
        scaled.environment = m_program->environment;
        scaled.environment.insert(QStringLiteral("QT_SCALE_FACTOR"), QStringLiteral("2"));
        QVERIFY(scaled.start());
        const QPoint origin = scaled.origin();
        const QString shape =
            run(QStringLiteral("xwininfo"), {QStringLiteral("-id"), scaled.windowId(), QStringLiteral("-shape")});
        QVERIFY2(shape.contains(QStringLiteral("Width: 1114")), qPrintable(shape));
        QVERIFY2(shape.contains(QStringLiteral("Window shape extents:  1096x732+10+10")), qPrintable(shape));

        moveTo(origin + kBareSurface * 2);
        const QImage background = densePicture(QStringLiteral("background.png")).copy(0, 0, 1114, 748);
        const QString shotPath = m_scratch.filePath(QStringLiteral("scaled.png"));
        QTRY_COMPARE(differingPixels(screenshot(shotPath), origin, background, true), 0);
        QImage shot = screenshot(shotPath);
        QCOMPARE(magentaPixels(shot, QRect(origin, background.size())), 0);

        const layout::Rect zone = layout::toolButton(2);
        moveTo(origin + centreOf(zone) * 2);
        const QImage hover = densePicture(QStringLiteral("button_hover_2.png"));
        QCOMPARE(hover.size(), QSize(zone.width, zone.height) * 2);
        QTRY_COMPARE(differingPixels(screenshot(shotPath), origin + QPoint(zone.left, zone.top) * 2, hover), 0);

        // The title text's edges as narrow as at 1x; the top of the Add icon's disc
        // no wider than twice (its shading is drawn wider with the picture).
        const QImage design = skinPicture(QStringLiteral("background.bmp"));
        shot = screenshot(shotPath).copy(QRect(origin, background.size()));
        const auto at2x = [](const QRect& area) { return QRect(area.topLeft() * 2, area.size() * 2); };
        const QRect title(37, 10, 100, 16);
        const QRect discTop(35, 60, 18, 10);
        const double title1x = edgeWidth(design, title);
        const double title2x = edgeWidth(shot, at2x(title));
        QVERIFY2(title1x > 0 && title2x < 1.5 * title1x, qPrintable(QStringLiteral("%1 %2").arg(title1x).arg(title2x)));
        const double disc1x = edgeWidth(design, discTop, true);
        const double disc2x = edgeWidth(shot, at2x(discTop), true);
        QVERIFY2(disc1x > 0 && disc2x < 2 * disc1x, qPrintable(QStringLiteral("%1 %2").arg(disc1x).arg(disc2x)));
    }

    // Weston on its X11 back-end: a Wayland desktop in a window of this session,
    // whose input comes from xdotool and whose picture comes from the X screenshot.
    void onWaylandTheKeyIsSeeThroughAndDraggingMoves()
    {
        m_program->kill();
        QTemporaryDir runtime;  // weston's and the program's XDG_RUNTIME_DIR
        QVERIFY(QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QFile config(runtime.filePath(QStringLiteral("weston.ini")));
        QVERIFY(config.open(QIODevice::WriteOnly));
        config.write(
            "[core]\nidle-time=0\n[shell]\nbackground-color=0xff204080\npanel-position=none\n"
            "locking=false\nanimation=none\nstartup-animation=none\n");
        config.close();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        QProcess weston;
        weston.setProcessEnvironment(environment);
        weston.setStandardOutputFile(runtime.filePath(QStringLiteral("weston.log")));
        weston.setStandardErrorFile(runtime.filePath(QStringLiteral("weston.log")));
        weston.start(QStringLiteral("weston"),
                     {QStringLiteral("--backend=x11-backend.so"), QStringLiteral("--use-pixman"),
                      QStringLiteral("--width=900"), QStringLiteral("--height=600"),
                      QStringLiteral("--socket=tovaro-test"), QStringLiteral("--config=") + config.fileName()});
        QVERIFY(weston.waitForStarted());
        QPoint output;
        QVERIFY(!waitForWindow(QStringLiteral("Weston Compositor - screen0"), &output).isEmpty());
        // Weston draws the pointer on its output; keep it out of the pictures.
        const QPoint offWeston(kScreenWidth - 1, kScreenHeight - 1);
        moveTo(offWeston);
        QTRY_VERIFY(QFileInfo::exists(runtime.filePath(QStringLiteral("tovaro-test"))));

        RealProgram onWayland(QStringLiteral(TOVARO_PROGRAM), m_scratch.filePath(QStringLiteral("wayland")));
        environment.insert(QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("tovaro-test"));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
        environment.insert(QStringLiteral("TMPDIR"), m_scratch.path());
        QProcess program;
        program.setProcessEnvironment(environment);
        program.setProcessChannelMode(QProcess::ForwardedChannels);
        program.start(onWayland.applicationFolder() + QStringLiteral("/tovaro"), {});
        QVERIFY(program.waitForStarted());

        // The window's body is edged all round in its outline colour; weston's pointer
        // and background have none of it.
        const QRgb outline = qRgb(128, 130, 133);
        const QRect desktop(output, QSize(900, 600));
        const QString shotPath = m_scratch.filePath(QStringLiteral("wayland.png"));
        QRect body;
        QTRY_COMPARE((body = boundsOf(screenshot(shotPath), desktop, outline)).size(), QSize(548, 366));
        QImage shot = screenshot(shotPath);
        QCOMPARE(magentaPixels(shot, desktop), 0);

        const QPoint grip = body.topLeft() - QPoint(5, 5) + kBareSurface;
        moveTo(grip);
        xdotool({QStringLiteral("mousedown"), QStringLiteral("1")});
        // Paced by the clock: the compositor's move takes over somewhere in the
        // first step, and nothing on the screen says when.
        for (int step = 1; step <= 4; ++step) {
            QTest::qWait(60);
            moveTo(grip + QPoint(-15, 10) * step);
        }
        QTest::qWait(100);
        xdotool({QStringLiteral("mouseup"), QStringLiteral("1")});
        moveTo(offWeston);
        QTRY_COMPARE(boundsOf(screenshot(shotPath), desktop, outline), body.translated(-60, 40));
        QCOMPARE(magentaPixels(screenshot(shotPath), desktop), 0);

        program.kill();
        program.waitForFinished();
        weston.terminate();
        weston.waitForFinished();
    }

private:
    // Moves the pointer onto tool-bar button `index` of the window at `origin` and
    // waits until the button shows its hover picture there: by then every pointer
    // event before this move has been handled, and a window that followed the
    // pointer would have taken the button along with it.
    void pointerReachesButton(QPoint origin, int index)
    {
        const layout::Rect zone = layout::toolButton(index);
        moveTo(origin + centreOf(zone));
        const QImage hover = skinPicture(QStringLiteral("button_hover_%1.jpg").arg(index));
        const QString shotPath = m_scratch.filePath(QStringLiteral("hover.png"));
        QTRY_COMPARE(differingPixels(screenshot(shotPath), origin + QPoint(zone.left, zone.top), hover), 0);
    }

    // A viewable window of the program other than its main window: an open popup.
    QString popupWindow() const
    {
        const QString pid = QString::number(m_program->process().processId());
        const QStringList arguments{QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
                                    pid};
        const QStringList ids = run(QStringLiteral("xdotool"), arguments).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        for (const QString& id : ids) {
            const QString hex = QStringLiteral("0x") + QString::number(id.toULongLong(), 16);
            if (hex != m_id)
                return hex;
        }
        return QString();
    }

    QTemporaryDir m_scratch;
    std::unique_ptr<RealProgram> m_program;
    QString m_id;
    QPoint m_origin;
};

REALWINDOW_TEST_MAIN(RealSkinTest)
#include "tst_realwindow_skin.moc"
