// A whole conversion through the real window with the real converter, on a real
// display: load with the file-open dialog, pick settings with the keyboard, convert,
// and check the result. Then what happens to a running conversion when the program is
// asked to close, asked to end by a signal, and when it is killed. Last, the window by
// keyboard alone, read over the accessibility bus as a screen reader reads it.

#include "RealProgram.h"
#include "ScratchFolder.h"
#include "StandInConverter.h"
#include "WindowPoints.h"

#include <QClipboard>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>

#include <unistd.h>

using namespace realwindow;

namespace {

using testsupport::centreInPanel;
using testsupport::centreOf;

// Centres of the elements used, in window coordinates.
constexpr QPoint kAdd = centreOf(layout::toolButton(0));
constexpr QPoint kConvert = centreOf(layout::toolButton(2));
constexpr QPoint kSettings = centreOf(layout::toolButton(3));
constexpr QPoint kFrameSizeList = centreInPanel(layout::kComboFrameSize);
constexpr QPoint kFrameRateList = centreInPanel(layout::kComboFrameRate);
constexpr QPoint kOk = centreInPanel(layout::kLinkOk);

// One accessible object as the probe prints it.
struct Accessible {
    QString role, name, description, states, keys;
    bool has(const char* state) const { return states.split(QLatin1Char(',')).contains(QLatin1String(state)); }
};

QList<Accessible> accessibleTree(qint64 pid)
{
    QList<Accessible> tree;
    const QString printed = run(QStringLiteral("/usr/bin/python3"),
                                {QStringLiteral(ATSPI_PROBE), QStringLiteral("tree"), QString::number(pid)});
    for (const QString& line : printed.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QStringList f = line.split(QLatin1Char('\t'));
        if (f.size() == 6)
            tree.append({f[1], f[2], f[3], f[4], f[5]});
    }
    return tree;
}

QList<Accessible> withRole(const QList<Accessible>& tree, const QString& role, const QString& name = {})
{
    QList<Accessible> found;
    for (const Accessible& object : tree)
        if (object.role == role && (name.isNull() || object.name == name))
            found.append(object);
    return found;
}

QString statusOf(const QList<Accessible>& tree)
{
    const auto status = withRole(tree, QStringLiteral("status bar"));
    return status.size() == 1 ? status[0].name : QStringLiteral("(%1 status bars)").arg(status.size());
}

QString focusedName(qint64 pid)
{
    for (const Accessible& object : accessibleTree(pid))
        if (object.has("focused"))
            return object.role + QLatin1Char(':') + object.name;
    return {};
}

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

    void init()
    {
        // The real converter, also after a test that put a stand-in in its place.
        const QString converter = m_program->converterPath();
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
        m_program->environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_scratch.path());
        QVERIFY(m_program->start());
        // The window tells later starts it is there, without their joining the bus.
        QTRY_VERIFY(QFileInfo::exists(m_scratch.filePath(QStringLiteral("org.tovaropro.TovaroPRO.window"))));

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
        m_program->environment.remove(QStringLiteral("XDG_RUNTIME_DIR"));
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

    void everyCommandByKeyboardAndScreenReader()
    {
        // The program on this session's bus, with its accessibility switched on as a
        // screen reader switches it on; a converter that waits to be let go.
        m_program->kill();
        const QString folder = m_program->applicationFolder();
        QVERIFY(standin::install(folder, standin::waitsForRelease(folder)));
        QProcessEnvironment& environment = m_program->environment;
        const QString noBus = environment.value(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                           qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS"));
        environment.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
        const bool started = m_program->start();
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), noBus);
        environment.remove(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"));
        QVERIFY(started);
        const qint64 pid = m_program->process().processId();

        QList<Accessible> tree = accessibleTree(pid);
        for (const char* caption : {"添加", "移除", "转换", "设置", "帮助"}) {
            const auto found = withRole(tree, QStringLiteral("push button"), QString::fromUtf8(caption));
            QVERIFY2(found.size() == 1 && !found[0].description.isEmpty() && found[0].has("enabled"), caption);
        }
        QCOMPARE(withRole(tree, QStringLiteral("push button"), QStringLiteral("退出")).size(), 2);  // and the glyph
        QCOMPARE(withRole(tree, QStringLiteral("push button"), QStringLiteral("最小化")).size(), 1);
        const QStringList menus{QStringLiteral("文件"), QStringLiteral("工具"), QStringLiteral("选项"),
                                QStringLiteral("关于")};
        const QStringList letters{QStringLiteral("f"), QStringLiteral("t"), QStringLiteral("s"), QStringLiteral("a")};
        for (int j = 0; j < 4; ++j) {
            const auto found = withRole(tree, QStringLiteral("menu item"), menus[j]);
            QCOMPARE(found.size(), 1);
            QCOMPARE(found[0].keys, QStringLiteral("Alt+") + letters[j].toUpper());
        }
        QCOMPARE(withRole(tree, QStringLiteral("label"), QStringLiteral("未加载文件")).size(), 1);
        QCOMPARE(statusOf(tree), QString());

        QProcess watcher;
        watcher.start(QStringLiteral("/usr/bin/python3"),
                      {QStringLiteral(ATSPI_PROBE), QStringLiteral("watch"), QString::number(pid)});
        QString announced;
        const auto listen = [&] { return announced += QString::fromUtf8(watcher.readAllStandardOutput()); };
        QTRY_VERIFY_WITH_TIMEOUT(listen().contains(QStringLiteral("watching")), 15000);

        // From here on the keyboard alone: Add by its shortcut.
        QVERIFY(m_program->raise());
        loadThroughTheDialog(OpenBy::Keyboard);
        tree = accessibleTree(pid);
        QCOMPARE(withRole(tree, QStringLiteral("label"), m_source).size(), 1);
        QCOMPARE(statusOf(tree), QStringLiteral("文件已经加载"));

        // Each menu opens under its letter and closes again on Esc.
        for (const QString& letter : letters) {
            pressKeys(QStringLiteral("alt+") + letter);
            QTRY_COMPARE_WITH_TIMEOUT(m_program->visibleWindows(), 2, 15000);  // the first menu takes a while
            pressKeys(QStringLiteral("Escape"));
            QTRY_COMPARE(m_program->visibleWindows(), 1);
        }

        // The settings: Tab through the title strip, the menu strip and the tool bar
        // to the frame size list (after the audio and video rate lists), one entry
        // down, then on to 确定.
        pressKeys(QStringLiteral("ctrl+comma"));
        for (int i = 0; i < 15; ++i)
            pressKeys(QStringLiteral("Tab"));
        QTRY_COMPARE(focusedName(pid), QStringLiteral("combo box:176x144"));
        pressKeys(QStringLiteral("Down"));
        for (int i = 0; i < 3; ++i)
            pressKeys(QStringLiteral("Tab"));
        QCOMPARE(focusedName(pid), QStringLiteral("push button:确定"));
        pressKeys(QStringLiteral("Return"));
        QTRY_VERIFY(withRole(accessibleTree(pid), QStringLiteral("combo box")).constFirst().has("showing") == false);

        // The focus went on from the closed panel to the first control: Tab to 转换.
        for (int i = 0; i < 8; ++i)
            pressKeys(QStringLiteral("Tab"));
        QCOMPARE(focusedName(pid), QStringLiteral("push button:转换"));
        pressKeys(QStringLiteral("Return"));

        // During the run: the status says so, the refused buttons are unavailable and
        // so is their shortcut; the close glyph stays.
        QTRY_VERIFY_WITH_TIMEOUT(statusOf(tree = accessibleTree(pid)).startsWith(QStringLiteral("正在转换")), 10000);
        for (const char* caption : {"添加", "转换", "设置"})
            QVERIFY2(!withRole(tree, QStringLiteral("push button"), QString::fromUtf8(caption))[0].has("enabled"),
                     caption);
        const auto exits = withRole(tree, QStringLiteral("push button"), QStringLiteral("退出"));
        QVERIFY(exits[0].has("enabled") != exits[1].has("enabled"));
        pressKeys(QStringLiteral("ctrl+o"));
        QVERIFY(waitForWindow(QStringLiteral("Open"), nullptr, 1500).isEmpty());

        QFile release(folder + QStringLiteral("/release"));
        QVERIFY(release.open(QIODevice::WriteOnly));
        release.close();
        QTRY_VERIFY2_WITH_TIMEOUT(listen().contains(QStringLiteral("status bar\t转换完成")), qPrintable(announced),
                                  20000);
        QVERIFY2(readAll(folder + QStringLiteral("/called.txt")).contains(QStringLiteral("\n320x240\n")),
                 qPrintable(readAll(folder + QStringLiteral("/called.txt"))));

        // A failure is announced as well as shown.
        QVERIFY(standin::install(folder, QString::fromLatin1(standin::kFails)));
        QTRY_VERIFY(m_program->raise());
        loadThroughTheDialog(OpenBy::Keyboard);
        pressKeys(QStringLiteral("F5"));
        QVERIFY(!waitForWindow(QStringLiteral("警告")).isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(listen().contains(QStringLiteral("status bar\t转换失败")), 10000);
        watcher.kill();
        watcher.waitForFinished();
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

    QString windowTitle() const
    {
        return run(QStringLiteral("xprop"),
                   {QStringLiteral("-id"), m_program->windowId(), QStringLiteral("_NET_WM_NAME")})
            .trimmed();
    }

    enum class OpenBy { Mouse, Keyboard };
    void loadThroughTheDialog(OpenBy openBy = OpenBy::Mouse) { loadThroughTheDialog(m_source, openBy); }
    void loadThroughTheDialog(const QString& source, OpenBy openBy = OpenBy::Mouse)
    {
        if (openBy == OpenBy::Mouse)
            click(kAdd);
        else
            pressKeys(QStringLiteral("ctrl+o"));
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
    QProcess m_bus;  // a private session bus
    QString m_busAddress;
    std::unique_ptr<RealProgram> m_program;
    QString m_openerLog;
    QString m_source;
    QString m_longSource;
};

REALWINDOW_TEST_MAIN(RealWindowConvertTest)
#include "tst_realwindow_convert.moc"
