// The live skin of the built program in a real X session (Xvfb with openbox): moving
// the window by its surface, minimising it from the drawn glyph and getting it back
// whole, the hover picture on the screen, and a popup menu driven by the keyboard.
// Run through tests/with-display.sh, which provides the display.

#include "RealProgram.h"
#include "ui/layout/WindowLayout.h"

#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace realwindow;

namespace {

QString xwininfo(const QString& windowId)
{
    return run(QStringLiteral("xwininfo"), {QStringLiteral("-id"), windowId});
}

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

QPoint centreOf(const layout::Rect& r) { return {r.left + r.width / 2, r.top + r.height / 2}; }

const QPoint kBareSurface{300, 350};  // the status strip

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
                QTest::qWait(60);
                moveTo(grip + QPoint(15, -10) * step);
            }
            QTest::qWait(100);
            xdotool({QStringLiteral("mouseup"), QString::number(button)});
            QTRY_COMPARE(screenRect(m_id).topLeft(), origin + QPoint(60, -40));

            // Released: moving the pointer on does not take the window along.
            moveTo(grip + QPoint(100, 0));
            QTest::qWait(200);
            QCOMPARE(screenRect(m_id).topLeft(), origin + QPoint(60, -40));
            origin += QPoint(60, -40);
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
                QTest::qWait(60);
                moveTo(grip + QPoint(30, 20));
                QTest::qWait(100);
                xdotool({QStringLiteral("mouseup"), QStringLiteral("1")});
                QTRY_COMPARE(screenRect(m_id).topLeft(), origin + QPoint(30, 20));
                origin += QPoint(30, 20);
            }
            moveTo(origin + kBareSurface + QPoint(round, 0));
            xdotool({QStringLiteral("click"), QStringLiteral("1")});
            QTest::qWait(100);
            moveTo(origin + kBareSurface + QPoint(150, 90));
            QTest::qWait(250);
            QVERIFY2(screenRect(m_id).topLeft() == origin, qPrintable(QStringLiteral("round %1").arg(round)));
        }
    }

    void minimiseGlyphIconifiesAndTheWindowComesBackWhole()
    {
        QTRY_COMPARE(wmState(m_id), QStringLiteral("Normal"));  // set by the window manager once it has the window
        clickAt(m_origin + centreOf(layout::kMinimise));
        QTRY_COMPARE(wmState(m_id), QStringLiteral("Iconic"));
        QCOMPARE(m_program->process().state(), QProcess::Running);

        m_program->raise();  // what the task bar does
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

private:
    // A viewable window of the program other than its main window: an open popup.
    QString popupWindow() const
    {
        const QString pid = QString::number(m_program->process().processId());
        const QStringList arguments{QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                    QStringLiteral("--pid"), pid};
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

QTEST_MAIN(RealSkinTest)
#include "tst_realwindow_skin.moc"
