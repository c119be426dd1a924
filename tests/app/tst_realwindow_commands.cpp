// The tool-bar commands in the real program on a real (virtual) display: Add through
// the real file-open dialog driven by the keyboard, a release off its button, Exit.

#include "RealProgram.h"
#include "WindowPoints.h"
#include "layout/WindowLayout.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace realwindow;
using testsupport::centreOf;

namespace {

// How many pixels of `rect` differ between two pictures, the first seen at `offset`.
int differingPixels(const QImage& shot, QPoint offset, const QImage& picture, const layout::Rect& rect,
                    QPoint pictureOrigin)
{
    int differing = 0;
    for (int y = 0; y < rect.height; ++y)
        for (int x = 0; x < rect.width; ++x)
            differing +=
                shot.pixel(offset + QPoint(rect.left + x, rect.top + y)) != picture.pixel(pictureOrigin + QPoint(x, y));
    return differing;
}

}  // namespace

class RealWindowCommandsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_scratch.isValid());
        m_program =
            std::make_unique<RealProgram>(QStringLiteral(TOVARO_PROGRAM), m_scratch.filePath(QStringLiteral("app")));
        m_program->environment.insert(QStringLiteral("TMPDIR"), m_scratch.path());
    }

    void init() { QVERIFY(m_program->start()); }
    void cleanup() { m_program->kill(); }

    void addLoadsAFileChosenInTheRealDialog()
    {
        const QString folder = m_scratch.filePath(QStringLiteral("我的 视频"));
        QVERIFY(QDir().mkpath(folder));
        const QString video = folder + QStringLiteral("/Party.AVI");
        QFile file(video);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();

        const QPoint origin = m_program->origin();
        clickAt(origin + centreOf(layout::toolButton(0)));
        const QString dialog = waitForWindow(QStringLiteral("Open"));
        QVERIFY2(!dialog.isEmpty(), "no dialog titled Open");
        QTRY_COMPARE(activeWindow(), dialog);
        // The file name field has the focus: type the whole path and accept.
        typeText(video);
        // The first Return may only take the name the completer offers.
        bool closed = false;
        for (int attempt = 0; attempt < 3 && !closed; ++attempt) {
            pressKeys(QStringLiteral("Return"));
            closed = QTest::qWaitFor([&] { return !isViewable(dialog); }, 1000);
        }
        QVERIFY(closed);

        const QImage banner =
            QImage(QStringLiteral(SKIN_FOLDER "/banner_loaded.jpg")).convertToFormat(QImage::Format_RGB32);
        const QImage background =
            QImage(QStringLiteral(SKIN_FOLDER "/background.bmp")).convertToFormat(QImage::Format_RGB32);
        QVERIFY(!banner.isNull() && !background.isNull());
        // Where the dialog was, the window repaints a moment after it has gone.
        QImage shot;
        QTRY_COMPARE((shot = screenshot(m_scratch.filePath(QStringLiteral("loaded.png"))),
                      differingPixels(shot, origin, banner, layout::kLoadedPatch, {0, 0})),
                     0);

        // The file line now carries white text where the background had none.
        const layout::Rect line = layout::kFileLabel;
        int white = 0;
        for (int y = line.top; y < line.bottom(); ++y)
            for (int x = line.left; x < line.right(); ++x)
                white += shot.pixel(origin + QPoint(x, y)) == qRgb(255, 255, 255) &&
                         background.pixel(x, y) != qRgb(255, 255, 255);
        QVERIFY2(white > 100, qPrintable(QString::number(white)));
        QCOMPARE(m_program->process().state(), QProcess::Running);
    }

    void releaseOffTheButtonStillRunsItsAction()
    {
        const QPoint origin = m_program->origin();
        moveTo(origin + centreOf(layout::toolButton(3)));
        xdotool({QStringLiteral("mousedown"), QStringLiteral("1")});
        moveTo(origin + QPoint(450, 250));  // over the banner, far from the button
        xdotool({QStringLiteral("mouseup"), QStringLiteral("1")});

        // The settings panel is up: its white face covers the banner.
        const layout::Rect panel = layout::kSettingsPanel;
        const QPoint corners[] = {origin + QPoint(panel.left + 3, panel.top + 3),
                                  origin + QPoint(panel.right() - 4, panel.bottom() - 4)};
        QImage shot;
        QTRY_VERIFY((shot = screenshot(m_scratch.filePath(QStringLiteral("settings.png"))),
                     shot.pixel(corners[0]) == qRgb(255, 255, 255) && shot.pixel(corners[1]) == qRgb(255, 255, 255)));
    }

    void exitButtonEndsTheProgram()
    {
        clickAt(m_program->origin() + centreOf(layout::toolButton(5)));
        QVERIFY(m_program->process().waitForFinished(10000));
        QCOMPARE(m_program->process().exitStatus(), QProcess::NormalExit);
        QCOMPARE(m_program->process().exitCode(), 0);
    }

private:
    QTemporaryDir m_scratch;
    std::unique_ptr<RealProgram> m_program;
};

REALWINDOW_TEST_MAIN(RealWindowCommandsTest)
#include "tst_realwindow_commands.moc"
