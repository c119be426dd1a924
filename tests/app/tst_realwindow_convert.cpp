// A whole conversion through the real window with the real converter, on a real
// display: load with the file-open dialog, pick settings with the keyboard, convert,
// and check the result. Then what happens to a running converter when the program is
// asked to close, and when it is killed.

#include "../conversion/StandInConverter.h"
#include "RealProgram.h"
#include "ScratchFolder.h"

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

#include <unistd.h>
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
    }

    void init()
    {
        // The real converter, also after a test that put a stand-in in its place.
        const QString converter = m_program->applicationFolder() + QStringLiteral("/conv.dll");
        QFile::remove(converter);
        QVERIFY(QFile::copy(QStringLiteral(TOVARO_CONVERTER), converter));
        QVERIFY(QDir(m_program->applicationFolder() + QStringLiteral("/output")).removeRecursively());
        QFile::remove(m_openerLog);
        m_program->arguments = QTest::currentTestFunction() == QByteArray("queueOfRealSamplesWithADamagedOne")
                                   ? queueFiles()
                                   : QStringList();
        QVERIFY(m_program->start());
    }
    void cleanup() { m_program->kill(); }
    void cleanupTestCase()
    {
        if (m_bus.state() != QProcess::NotRunning) {
            m_bus.kill();
            m_bus.waitForFinished();
        }
    }

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

    // Three real videos and a damaged one on the command line: one Convert gives three
    // results, and one warning names the damaged file.
    void queueOfRealSamplesWithADamagedOne()
    {
        screenshot(m_scratch.filePath(QStringLiteral("queue-loaded.png")));
        click(kConvert);
        screenshot(m_scratch.filePath(QStringLiteral("queue-converting.png")));
        const QString warning = waitForWindow(QStringLiteral("警告"), nullptr, 180000);
        QVERIFY2(!warning.isEmpty(), "no warning at the end of the queue");
        // The details list each failed file with its reasons: opened (the button after
        // OK), selected and copied from their text box.
        QTRY_COMPARE(activeWindow(), warning);
        for (const QString& keys : {QStringLiteral("Tab"), QStringLiteral("space"), QStringLiteral("Tab"),
                                    QStringLiteral("ctrl+a"), QStringLiteral("ctrl+c")})
            pressKeys(keys);
        QTRY_VERIFY(QGuiApplication::clipboard()->text().contains(QStringLiteral("conv.dll")));
        const QString told = QGuiApplication::clipboard()->text();
        QVERIFY2(told.startsWith(queueFiles().at(2) + QLatin1Char('\n')), qPrintable(told));
        for (const QString& converted : {queueFiles().at(0), queueFiles().at(1), queueFiles().at(3)})
            QVERIFY2(!told.contains(converted), qPrintable(told));

        const QString output = m_program->applicationFolder() + QStringLiteral("/output");
        const QStringList results = QDir(output).entryList({QStringLiteral("*.3gp")}, QDir::Files);
        QCOMPARE(results.size(), 3);
        for (const QString& result : results) {
            const QJsonArray streams = ffprobe(output + QLatin1Char('/') + result)[QStringLiteral("streams")].toArray();
            QVERIFY(!streams.isEmpty());
            QCOMPARE(streams.first().toObject()[QStringLiteral("codec_name")].toString(), QStringLiteral("h263"));
        }
        QVERIFY(!QFileInfo::exists(m_openerLog));  // the folder opens only when all converted
    }

    // A later start with a file hands it to the open window and ends at once; the
    // window converts it. Needs a session bus: a private one.
    void secondStartHandsItsFileToTheOpenWindow()
    {
        m_program->kill();
        QVERIFY(startPrivateBus());
        m_program->environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_busAddress);
        QVERIFY(m_program->start());

        QProcess second;
        second.setProcessEnvironment(m_program->environment);
        second.start(m_program->programPath(), {m_source});
        QVERIFY(second.waitForFinished(20000));
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(m_program->process().state(), QProcess::Running);
        const QString windows = run(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--name"),
                                                                QStringLiteral("^Tovaro PRO$")});
        QCOMPARE(windows.split(QLatin1Char('\n'), Qt::SkipEmptyParts).size(), 1);

        click(kConvert);
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(m_openerLog), 60000);
        QCOMPARE(QDir(m_program->applicationFolder() + QStringLiteral("/output"))
                     .entryList({QStringLiteral("*.3gp")}, QDir::Files)
                     .size(),
                 1);
        m_program->environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                                      QStringLiteral("unix:path=/nonexistent"));
    }

    // 是 during a queue ends the program, its converter and the rest of the queue,
    // and leaves no working file behind.
    void yesDuringAQueueLeavesNothingBehind()
    {
        const QString pidFile = m_scratch.filePath(QStringLiteral("converters.pid"));
        QVERIFY(standin::install(m_program->applicationFolder(),
                                 QStringLiteral("echo $$ >> '%1'\nexec sleep 600").arg(pidFile)));
        m_program->kill();
        m_program->arguments = {m_source, queueFiles().at(0)};
        QVERIFY(m_program->start());
        click(kConvert);
        QTRY_VERIFY_WITH_TIMEOUT(!readAll(pidFile).trimmed().isEmpty(), 10000);
        const qint64 converter = readAll(pidFile).trimmed().toLongLong();

        QVERIFY(m_program->raise());
        pressKeys(QStringLiteral("alt+F4"));
        const QString question = waitForWindow(QStringLiteral("确认"));
        QVERIFY2(!question.isEmpty(), "no question whether to stop");
        QTRY_COMPARE(activeWindow(), question);
        pressKeys(QStringLiteral("alt+y"));  // 是(Y)
        QVERIFY(m_program->process().waitForFinished(10000));
        QTRY_VERIFY_WITH_TIMEOUT(processGone(converter), 5000);
        QCOMPARE(readAll(pidFile).trimmed().split(QLatin1Char('\n')).size(), 1);  // the second never started
        QVERIFY(QDir(m_program->applicationFolder() + QStringLiteral("/data"))
                    .entryList({QStringLiteral("conv.exe")})
                    .isEmpty());
        QVERIFY(QDir(m_scratch.filePath(QStringLiteral("tovaro-%1").arg(::getuid())))
                    .entryList({QStringLiteral("tmpFile*")}, QDir::Files)
                    .isEmpty());
        QVERIFY(QDir(m_program->applicationFolder() + QStringLiteral("/output"))
                    .entryList({QStringLiteral("*.3gp")}, QDir::Files)
                    .isEmpty());
    }

private:
    // Three short real videos of three kinds and a damaged one third; where the
    // shared samples are missing, copies of the made clip and a file of junk.
    QStringList queueFiles()
    {
        QStringList files;
        const QStringList samples{
            QStringLiteral("flv-sorenson-mp3mono-320x233.flv"), QStringLiteral("avi-mjpeg-pcm-kodak-320x240.avi"),
            QStringLiteral("BAD-mp4-no-moov.mp4"), QStringLiteral("mp4-h264-aac-android-320x240.mp4")};
        for (int i = 0; i < samples.size(); ++i) {
            const QString copy = m_scratch.filePath(QStringLiteral("队列 %1 ").arg(i + 1) + samples[i]);
            if (!QFileInfo::exists(copy)) {
                const QString sample = QStringLiteral(SAMPLE_MEDIA "/") + samples[i];
                if (QFile::exists(sample))
                    QFile::copy(sample, copy);
                else if (i == 2)
                    (void)testsupport::writeFile(copy, QByteArray(4096, 'x'));
                else
                    QFile::copy(m_source, copy);
            }
            files << copy;
        }
        return files;
    }

    bool startPrivateBus()
    {
        if (m_bus.state() == QProcess::NotRunning) {
            m_bus.start(QStringLiteral("dbus-daemon"),
                        {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address")});
            if (!m_bus.waitForReadyRead(10000))
                return false;
            m_busAddress = QString::fromUtf8(m_bus.readLine()).trimmed();
        }
        return !m_busAddress.isEmpty();
    }

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

    void loadThroughTheDialog()
    {
        click(kAdd);
        const QString dialog = waitForWindow(QStringLiteral("Open"));
        QVERIFY(!dialog.isEmpty());
        QTRY_COMPARE(activeWindow(), dialog);
        typeText(m_source);
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
    QProcess m_bus;  // a private session bus
    QString m_busAddress;
    std::unique_ptr<RealProgram> m_program;
    QString m_openerLog;
    QString m_source;
};

REALWINDOW_TEST_MAIN(RealWindowConvertTest)
#include "tst_realwindow_convert.moc"
