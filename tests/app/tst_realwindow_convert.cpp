// A whole conversion through the real window with the real converter, on a real
// display: load with the file-open dialog, pick settings with the keyboard, convert,
// and check the result. Then what happens to a running conversion when the program is
// asked to close, asked to end by a signal, and when it is killed.

#include "../conversion/StandInConverter.h"
#include "RealProgram.h"
#include "ScratchFolder.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>
#include <csignal>
#include <memory>

using namespace realwindow;

namespace {

// Centres of the elements used, in window coordinates.
const QPoint kAdd(44, 94);
const QPoint kConvert(183, 94);
const QPoint kSettings(254, 94);
const QPoint kFrameSizeList(375, 187);
const QPoint kFrameRateList(163, 235);
const QPoint kOk(418, 285);

bool processGone(qint64 pid)
{
    if (::kill(static_cast<pid_t>(pid), 0) != 0)
        return true;
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));  // an unreaped zombie has ended too
    return status.open(QIODevice::ReadOnly) && status.readAll().contains("State:\tZ");
}

}  // namespace

class RealWindowConvertTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_scratch.isValid());
        // The desktop opener notes what it is asked to open; no file manager answers
        // on D-Bus, so the opener is what the program falls back to.
        const QString tools = m_scratch.filePath(QStringLiteral("tools"));
        QVERIFY(QDir().mkpath(tools));
        m_openerLog = m_scratch.filePath(QStringLiteral("opened.txt"));
        QVERIFY(standin::installOpener(tools, m_openerLog));
        m_program = std::make_unique<RealProgram>(QStringLiteral(TOVARO_PROGRAM),
                                                  m_scratch.filePath(QStringLiteral("Tovaro PRO 视频")),
                                                  QStringLiteral(TOVARO_CONVERTER));
        m_program->environment.insert(QStringLiteral("TMPDIR"), m_scratch.path());
        m_program->environment.insert(QStringLiteral("PATH"),
                                      tools + QLatin1Char(':') + m_program->environment.value(QStringLiteral("PATH")));
        m_program->environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                                      QStringLiteral("unix:path=/nonexistent"));

        m_source = m_scratch.filePath(QStringLiteral("android clip.mp4"));
        const QString sample = QStringLiteral(SAMPLE_MEDIA "/mp4-h264-aac-android-320x240.mp4");
        if (QFile::exists(sample)) {
            QVERIFY(QFile::copy(sample, m_source));
        } else {
            // A checkout without the shared samples beside it: a clip of the same kind.
            const QString made =
                run(QStringLiteral("ffmpeg"),
                    {QStringLiteral("-nostdin"), QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-f"),
                     QStringLiteral("lavfi"), QStringLiteral("-i"), QStringLiteral("testsrc2=s=320x240:r=30:d=4"),
                     QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                     QStringLiteral("sine=f=440:d=4"), QStringLiteral("-c:v"), QStringLiteral("libx264"),
                     QStringLiteral("-c:a"), QStringLiteral("aac"), m_source});
            QVERIFY2(QFile::exists(m_source), qPrintable(made));
        }
        // Long enough to still be converting once its progress shows.
        m_longSource = m_scratch.filePath(QStringLiteral("long clip.avi"));
        const QString made = run(QStringLiteral("ffmpeg"), {QStringLiteral("-nostdin"),
                                                            QStringLiteral("-v"),
                                                            QStringLiteral("error"),
                                                            QStringLiteral("-f"),
                                                            QStringLiteral("lavfi"),
                                                            QStringLiteral("-i"),
                                                            QStringLiteral("testsrc2=s=176x144:r=25:d=300"),
                                                            QStringLiteral("-f"),
                                                            QStringLiteral("lavfi"),
                                                            QStringLiteral("-i"),
                                                            QStringLiteral("sine=f=440:d=300"),
                                                            QStringLiteral("-c:v"),
                                                            QStringLiteral("mpeg4"),
                                                            QStringLiteral("-q:v"),
                                                            QStringLiteral("20"),
                                                            QStringLiteral("-c:a"),
                                                            QStringLiteral("pcm_u8"),
                                                            QStringLiteral("-ar"),
                                                            QStringLiteral("8000"),
                                                            m_longSource});
        QVERIFY2(QFile::exists(m_longSource), qPrintable(made));
    }

    void init() { QVERIFY(m_program->start()); }
    void cleanup() { m_program->kill(); }

    void convertsWithTheChosenSettings()
    {
        loadThroughTheDialog();

        // Frame size one down (320x240) and frame rate two down (25.0), each in its
        // open list with the arrow keys.
        click(kSettings);
        pickInList(kFrameSizeList, 1);
        pickInList(kFrameRateList, 2);
        screenshot(m_scratch.filePath(QStringLiteral("settings.png")));
        click(kOk);

        click(kConvert);
        const QString output = m_program->applicationFolder() + QStringLiteral("/output");
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(m_openerLog), 60000);
        QCOMPARE(readAll(m_openerLog), output + QLatin1Char('\n'));
        const QStringList results = QDir(output).entryList({QStringLiteral("*.3gp")}, QDir::Files);
        QCOMPARE(results.size(), 1);
        QVERIFY(QDir(m_program->applicationFolder() + QStringLiteral("/data"))
                    .entryList({QStringLiteral("conv.exe")})
                    .isEmpty());

        const QJsonObject probe = ffprobe(output + QLatin1Char('/') + results[0]);
        const QJsonArray streams = probe[QStringLiteral("streams")].toArray();
        QCOMPARE(streams.size(), 2);
        for (const QJsonValue& value : streams) {
            const QJsonObject stream = value.toObject();
            if (stream[QStringLiteral("codec_type")].toString() == QStringLiteral("video")) {
                QCOMPARE(stream[QStringLiteral("codec_name")].toString(), QStringLiteral("h263"));
                QCOMPARE(stream[QStringLiteral("width")].toInt(), 320);
                QCOMPARE(stream[QStringLiteral("height")].toInt(), 240);
                QCOMPARE(stream[QStringLiteral("r_frame_rate")].toString(), QStringLiteral("25/1"));
            } else {
                QCOMPARE(stream[QStringLiteral("codec_name")].toString(), QStringLiteral("amr_nb"));
                QCOMPARE(stream[QStringLiteral("sample_rate")].toString(), QStringLiteral("8000"));
                QCOMPARE(stream[QStringLiteral("channels")].toInt(), 1);
            }
        }
        QVERIFY(probe[QStringLiteral("format")].toObject()[QStringLiteral("format_name")].toString().contains(
            QStringLiteral("3gp")));
        screenshot(m_scratch.filePath(QStringLiteral("after.png")));
    }

    // The real converter's progress reaches the title; 是 in the question, or a stop
    // signal as a logout sends it, ends the program within a second, and nothing of
    // the run stays: no working copy, no converter copy, no partial result.
    void stoppedRealRunLeavesNothing_data()
    {
        QTest::addColumn<int>("stopSignal");  // 0: 是 in 确认
        QTest::newRow("是") << 0;
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGHUP") << int(SIGHUP);
    }

    void stoppedRealRunLeavesNothing()
    {
        QFETCH(int, stopSignal);
        const QString output = m_program->applicationFolder() + QStringLiteral("/output");
        const QStringList resultsBefore = QDir(output).entryList(QDir::Files | QDir::Hidden);
        const QString windowClass =
            run(QStringLiteral("xprop"), {QStringLiteral("-id"), m_program->windowId(), QStringLiteral("WM_CLASS")});
        QVERIFY2(windowClass.contains(QStringLiteral("= \"tovaro-pro\", \"tovaro-pro\"")), qPrintable(windowClass));
        loadThroughTheDialog(m_longSource);
        static const QRegularExpression percent(
            QStringLiteral("^_NET_WM_NAME\\(UTF8_STRING\\) = \"Tovaro PRO - \\d+%\"$"));
        // A click the window took while it was still coming back from the dialog is
        // lost; one during the run is refused, so clicking again is safe.
        QString title;
        for (int attempt = 0; attempt < 3 && !percent.match(title).hasMatch(); ++attempt) {
            click(kConvert);
            (void)QTest::qWaitFor([&] { return percent.match(title = windowTitle()).hasMatch(); }, 20000);
        }
        QVERIFY2(percent.match(title).hasMatch(), qPrintable(title));
        screenshot(m_scratch.filePath(QStringLiteral("progress.png")));

        QElapsedTimer clock;
        if (stopSignal == 0) {
            QVERIFY(m_program->raise());
            pressKeys(QStringLiteral("alt+F4"));
            const QString question = waitForWindow(QStringLiteral("确认"));
            QVERIFY2(!question.isEmpty(), "no question whether to stop");
            QTRY_COMPARE(activeWindow(), question);
            clock.start();
            pressKeys(QStringLiteral("y"));
        } else {
            clock.start();
            QCOMPARE(::kill(static_cast<pid_t>(m_program->process().processId()), stopSignal), 0);
        }
        QVERIFY(m_program->process().waitForFinished(5000));
        const qint64 took = clock.elapsed();
        QVERIFY2(took < 1000, qPrintable(QStringLiteral("ended %1 ms after the stop").arg(took)));
        QCOMPARE(m_program->process().exitStatus(), QProcess::NormalExit);

        const QString working = m_scratch.filePath(QStringLiteral("tovaro-%1").arg(::getuid()));
        QCOMPARE(QDir(working).entryList(QDir::Files | QDir::Hidden).filter(QStringLiteral("tmpFile")), QStringList());
        QCOMPARE(QDir(working).entryList(QDir::Files | QDir::Hidden).filter(QStringLiteral(".copy-")), QStringList());
        QCOMPARE(QDir(m_program->applicationFolder() + QStringLiteral("/data")).entryList(QDir::Files), QStringList());
        QCOMPARE(QDir(output).entryList(QDir::Files | QDir::Hidden), resultsBefore);
    }

    void runningConverterIsNeverLeftBehind()
    {
        // A converter that notes its process id and then just waits.
        const QString pidFile = m_scratch.filePath(QStringLiteral("converter.pid"));
        QVERIFY(standin::install(m_program->applicationFolder(),
                                 QStringLiteral("echo $$ > '%1'\nexec sleep 600").arg(pidFile)));
        loadThroughTheDialog();
        click(kConvert);
        QTRY_VERIFY_WITH_TIMEOUT(!readAll(pidFile).trimmed().isEmpty(), 10000);
        const qint64 converter = readAll(pidFile).trimmed().toLongLong();
        QVERIFY(!processGone(converter));
        screenshot(m_scratch.filePath(QStringLiteral("converting.png")));

        // The window manager's close request, which ends the idle program, is refused
        // while it runs.
        QVERIFY(m_program->raise());
        pressKeys(QStringLiteral("alt+F4"));
        QVERIFY2(!waitForWindow(QStringLiteral("确认")).isEmpty(), "no question whether to stop");
        QCOMPARE(m_program->process().state(), QProcess::Running);

        // Killed, the program takes its converter with it.
        m_program->kill();
        QTRY_VERIFY_WITH_TIMEOUT(processGone(converter), 5000);
    }

private:
    // The program takes each click in turn, so the next one finds what this one opened.
    void click(QPoint inWindow) { clickAt(m_program->origin() + inWindow); }

    // Opens the list, goes `down` entries down in it and takes that entry.
    void pickInList(QPoint list, int down)
    {
        click(list);
        QTRY_COMPARE(m_program->visibleWindows(), 2);  // the list is open
        for (int i = 0; i < down; ++i)
            pressKeys(QStringLiteral("Down"));
        pressKeys(QStringLiteral("Return"));
        QTRY_COMPARE(m_program->visibleWindows(), 1);
    }

    QString windowTitle() const
    {
        return run(QStringLiteral("xprop"),
                   {QStringLiteral("-id"), m_program->windowId(), QStringLiteral("_NET_WM_NAME")})
            .trimmed();
    }

    void loadThroughTheDialog() { loadThroughTheDialog(m_source); }
    void loadThroughTheDialog(const QString& source)
    {
        click(kAdd);
        const QString dialog = waitForWindow(QStringLiteral("Open"));
        QVERIFY(!dialog.isEmpty());
        QTRY_COMPARE(activeWindow(), dialog);
        typeText(source);
        pressKeys(QStringLiteral("Return"));
        QTRY_VERIFY(!isViewable(dialog));
    }

    static QString readAll(const QString& path) { return QString::fromUtf8(testsupport::readFile(path)); }

    static QJsonObject ffprobe(const QString& path)
    {
        const QString json =
            run(QStringLiteral("ffprobe"),
                {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-print_format"), QStringLiteral("json"),
                 QStringLiteral("-show_streams"), QStringLiteral("-show_format"), path});
        return QJsonDocument::fromJson(json.toUtf8()).object();
    }

    QTemporaryDir m_scratch;
    std::unique_ptr<RealProgram> m_program;
    QString m_openerLog;
    QString m_source;
    QString m_longSource;
};

REALWINDOW_TEST_MAIN(RealWindowConvertTest)
#include "tst_realwindow_convert.moc"
