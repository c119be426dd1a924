// Whole conversion runs against stand-in converters: what lands where, the result's
// name, and every way a run can go wrong.

#include "ConverterStatus.h"
#include "RunToEnd.h"
#include "ScratchFolder.h"
#include "StandInConverter.h"
#include "conversion/ConversionRun.h"
#include "conversion/ConverterOutput.h"
#include "conversion/FailureText.h"
#include "conversion/WorkingFiles.h"
#include "platform/ExclusiveLock.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>
#include <QTimer>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <memory>
#include <thread>

namespace {

using testsupport::readFile;

void writeFile(const QString& path, const QByteArray& content)
{
    QVERIFY2(testsupport::writeFile(path, content), qPrintable(path));
}

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

}  // namespace

class ConversionRunTest : public QObject {
    Q_OBJECT

private slots:
    // Every test gets a fresh application folder (blanks and Chinese in its name),
    // working folder and source.
    void init()
    {
        QVERIFY(m_scratch.renew(QStringLiteral("Tovaro PRO 视频")));
        m_app = m_scratch.application();
        m_work = m_scratch.filePath(QStringLiteral("work"));
        for (const QString& folder : QStringList{m_app + QStringLiteral("/output"), m_app + QStringLiteral("/data"),
                                                 m_work, m_scratch.filePath(QStringLiteral("clips"))})
            QVERIFY(QDir().mkpath(folder));
        m_source = m_scratch.filePath(QStringLiteral("clips/聚会 party.avi"));
        writeFile(m_source, "source bytes");
    }

    void convertsIntoTheOutputFolder()
    {
        QVERIFY(standin::install(m_app, QString::fromLatin1(standin::kConverts)));
        writeFile(m_work + QStringLiteral("/tmpFile.3gp"), "an earlier run's output");
        conversion::RunSetup setup = setupFor(m_source);
        setup.readSettings = [] {
            return settings::ConversionSettings{QStringLiteral(" 352x288 "), QStringLiteral("25.0"),
                                                QStringLiteral("256"), QStringLiteral("128 ")};
        };
        conversion::ConversionRun run(setup);
        const conversion::Outcome outcome = testsupport::runToEnd(run);

        QVERIFY2(outcome.converted, qPrintable(outcome.warning));
        QCOMPARE(outcome.resultPath, output(QStringLiteral("126151741.3gp")));
        QCOMPARE(readFile(outcome.resultPath), QByteArray("converted source bytes"));
        QCOMPARE(entries(m_app + QStringLiteral("/output")), QStringList{QStringLiteral("126151741.3gp")});
        expectNoWorkingCopies();  // only there while it runs

        // Run as data/conv.exe, without a shell: the blanks of the application folder
        // and of the selections never split a word, and the text is the run's record.
        const QStringList called = standin::calledWith(m_app);
        QCOMPARE(called.size(), 23);
        QCOMPARE(called.first(), m_app + QStringLiteral("/data/conv.exe"));
        QCOMPARE(called.mid(1, 2), (QStringList{QStringLiteral("-i"), m_work + QStringLiteral("/tmpFile.avi")}));
        QCOMPARE(called.at(11), QStringLiteral("352x288"));
        QCOMPARE(called.at(21), QStringLiteral("128"));
        QVERIFY(run.commandLine().startsWith(called.first() + QStringLiteral(" -i ")));
        QVERIFY(run.commandLine().endsWith(QStringLiteral(" -ab 128  ") + called.last()));
    }

    // Each change once, and a length of 0.00 (unknown) as no percentage. Lines come in
    // pieces; one that is cut off or garbled is passed over.
    void progressLinesBecomePercentages()
    {
        const QString talks = QStringLiteral(
            "printf 'progress: time=1.00 duration=4.00\\nprogress: time=1.0' >&2; sleep 0.1\n"
            "printf '1 duration=4.00\\nprogress: time=2.00 duration=0.00\\n' >&2\n"
            "printf 'progress: time=3.0 duration=4.00\\nprogress: time=x duration=4\\n' >&2\n"
            "printf 'progress: time=4.40 duration=4.00\\n' >&2\n");
        QVERIFY(standin::install(m_app, talks + QString::fromLatin1(standin::kConverts)));
        conversion::ConversionRun run(setupFor(m_source));
        QList<std::optional<int>> seen;
        connect(&run, &conversion::ConversionRun::progressChanged, this, [&](std::optional<int> p) { seen << p; });
        QVERIFY(testsupport::runToEnd(run).converted);
        const QList<std::optional<int>> expected{25, std::nullopt, 75, 100};
        QCOMPARE(seen, expected);
    }

    void resultNeverReplacesAnEarlierOne()
    {
        QVERIFY(standin::install(m_app, QString::fromLatin1(standin::kConverts)));
        writeFile(output(QStringLiteral("126151741.3gp")), "first");
        writeFile(output(QStringLiteral("126151741-2.3gp")), "second");
        const conversion::Outcome outcome = testsupport::runToEnd(conversion::ConversionRun(setupFor(m_source)));
        QCOMPARE(outcome.resultPath, output(QStringLiteral("126151741-3.3gp")));
        QCOMPARE(readFile(output(QStringLiteral("126151741.3gp"))), QByteArray("first"));
        QCOMPARE(readFile(output(QStringLiteral("126151741-2.3gp"))), QByteArray("second"));
        QCOMPARE(entries(m_app + QStringLiteral("/output")).size(), 3);  // no half-written file left beside them
    }

    void failedConversionCopiesNothing_data()
    {
        QTest::addColumn<QString>("converter");
        QTest::addColumn<QString>("warning");
        QTest::addColumn<QString>("detail");
        QTest::newRow("fails") << QString::fromLatin1(standin::kFails) << QStringLiteral("无法转换")
                               << QStringLiteral("conv.dll: cannot decode the source: Invalid data found");
        QTest::newRow("writes nothing") << QString::fromLatin1(standin::kWritesNothing) << QStringLiteral("没有写出")
                                        << QString();
        QTest::newRow("killed") << QStringLiteral("kill -9 $$") << QStringLiteral("意外终止")
                                << QStringLiteral("意外终止");
        // Each kind of failure the converter names by its status, told in Chinese; its
        // own line is the detail, with the working names it saw replaced by the user's.
        const QString names = QStringLiteral("echo \"conv.dll: cannot use $2 for ${22}\" >&2; exit %1");
        const std::pair<tovaro::ConverterStatus, const char*> kinds[] = {
            {tovaro::ConverterStatus::SourceUnreadable, "无法读取"},
            {tovaro::ConverterStatus::NotAVideo, "不是视频文件"},
            {tovaro::ConverterStatus::SourceDamaged, "已损坏"},
            {tovaro::ConverterStatus::OutputUnwritable, "无法写入"},
            {tovaro::ConverterStatus::OutOfSpace, "临时工作文件夹所在的磁盘"},
            {tovaro::ConverterStatus::Stopped, "被中止"},
            {tovaro::ConverterStatus::UsageError, "不接受"}};
        for (const auto& [status, told] : kinds)
            QTest::addRow("status %d", static_cast<int>(status))
                << names.arg(static_cast<int>(status)) << QString::fromUtf8(told)
                << QStringLiteral("conv.dll: cannot use ");
        QTest::newRow("unknown status") << names.arg(42) << QStringLiteral("无法转换") << QStringLiteral("cannot use ");
    }

    void failedConversionCopiesNothing()
    {
        QFETCH(QString, converter);
        QFETCH(QString, warning);
        QFETCH(QString, detail);
        QVERIFY(standin::install(m_app, converter));
        writeFile(m_work + QStringLiteral("/tmpFile.3gp"), "an earlier run's output");
        const conversion::Outcome outcome = testsupport::runToEnd(conversion::ConversionRun(setupFor(m_source)));
        QVERIFY(!outcome.converted);
        QVERIFY2(
            outcome.warning.startsWith(QStringLiteral("转换失败")) || outcome.warning.contains(QStringLiteral("中止")),
            qPrintable(outcome.warning));
        QVERIFY2(outcome.warning.contains(warning), qPrintable(outcome.warning));
        QVERIFY2(outcome.warning.contains(m_source), qPrintable(outcome.warning));
        QVERIFY2(outcome.detail.contains(detail), qPrintable(outcome.detail));
        if (outcome.detail.contains(QStringLiteral("cannot use"))) {
            QVERIFY2(outcome.detail.endsWith(QStringLiteral("\n\nconv.dll: cannot use %1 for %2")
                                                 .arg(m_source, m_app + QStringLiteral("/output"))),
                     qPrintable(outcome.detail));
        }
        QVERIFY(entries(m_app + QStringLiteral("/output")).isEmpty());
        expectNoWorkingCopies();
    }

    // Each kind of line the converter prints is first said in Chinese; the line itself
    // follows as it came.
    void converterLinesAreToldInChinese_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("told");
        const std::pair<const char*, const char*> lines[] = {
            {"cannot read '/v/a.avi': Invalid data found when processing input", "无法读取源文件"},
            {"cannot open '/v/a.avi': Permission denied", "无法读取源文件"},
            {"'/v/a.avi' is not a video: its kind of file is unknown", "不是视频文件"},
            {"the source is damaged: no picture decodes", "已损坏"},
            {"cannot decode the source: Invalid data found when processing input", "已损坏"},
            {"warning: the source is damaged or cut short; converted what could be decoded (2.0 s)", "只转换了"},
            {"warning: the sound is left out, only the pictures are converted (cannot open the audio decoder "
             "vorbis: Invalid data found when processing input)",
             "没有声音"},
            {"note: 512 kbit/s at 5 fps is more than H.263 lets a 176x144 picture take (64 kbit each); the video is "
             "coded at 327.7 kbit/s",
             "按上限码率"},
            {"cannot finish the 3GP file: No space left on device", "磁盘已满"},
            {"cannot write beside '/o/x.3gp': Disk quota exceeded", "磁盘已满"},
            {"'/o/x.3gp' is a folder", "无法写入转换结果"},
            {"stopped on request", "中止"},
            {"decoder gave sound without a sample rate or format", "声音"},
            {"cannot scale a picture", "画面"},
            {"unknown option -q (try --help)", "不接受"},
            {"conversion failed: something new", "报告了一个错误"}};
        for (const auto& [line, told] : lines)
            QTest::newRow(line) << QStringLiteral("conv.dll: ") + QString::fromUtf8(line) << QString::fromUtf8(told);
    }

    void converterLinesAreToldInChinese()
    {
        QFETCH(QString, line);
        QFETCH(QString, told);
        const QStringList detail = conversion::converterDetail(line).split(QLatin1Char('\n'));
        QVERIFY2(detail.first().contains(told), qPrintable(detail.first()));
        QCOMPARE(detail.last(), line);
        QVERIFY(conversion::converterDetail(QString()).isEmpty());
        // The exit status, where it names a kind, has the last word.
        const QString damaged = QStringLiteral("conv.dll: cannot read 'a.mp4': Invalid data found");
        QVERIFY(conversion::converterDetail(damaged, int(tovaro::ConverterStatus::SourceDamaged))
                    .startsWith(QStringLiteral("源文件已损坏")));
        QVERIFY(conversion::converterDetail(damaged, int(tovaro::ConverterStatus::Failed))
                    .startsWith(QStringLiteral("转换程序无法读取")));
    }

    // The converter's stderr comes in chunks cut anywhere. Each row: the chunks, whether
    // the output ended after them, and what is read of them: the percentages told
    // (-1: length unknown), the last line of the converter's own, how many lines tell
    // of a changed result.
    void converterOutputIsReadByLines_data()
    {
        QTest::addColumn<QByteArrayList>("chunks");
        QTest::addColumn<bool>("ended");
        QTest::addColumn<QList<int>>("percents");
        QTest::addColumn<QString>("lastError");
        QTest::addColumn<int>("changes");

        const QByteArray longLine(conversion::ConverterOutput::kLongestLine + 100, 'x');
        const QByteArray sound = "conv.dll: warning: the sound is left out, only the pictures are converted\n";
        const QByteArray chinese = "conv.dll: cannot read '聚会.avi'\n";
        QTest::newRow("line split across chunks")
            << QByteArrayList{"progress: time=3", ".00 duration=4.00\n", "conv.dll: cannot", " decode\n"} << true
            << QList<int>{75} << QStringLiteral("conv.dll: cannot decode") << 0;
        QTest::newRow("character split across chunks")
            << QByteArrayList{chinese.left(24), chinese.mid(24)} << true << QList<int>{}
            << QStringLiteral("conv.dll: cannot read '聚会.avi'") << 0;
        QTest::newRow("percentage told once, until it changes")
            << QByteArrayList{"progress: time=1.00 duration=4.00\nprogress: time=1.02 duration=4.00\n"
                              "progress: time=2.00 duration=0.00\nprogress: time=3.00 duration=0.00\n"
                              "progress: time=2.00 duration=4.00\nprogress: time=x duration=4.00\n"
                              "progress: time=2.01 duration=4.00\n"}
            << true << QList<int>{25, -1, 50} << QString() << 0;
        QTest::newRow("no final newline, ended")
            << QByteArrayList{"progress: time=1.00 duration=4.00\nconv.dll: cannot write 'out.3gp'"} << true
            << QList<int>{25} << QStringLiteral("conv.dll: cannot write 'out.3gp'") << 0;
        QTest::newRow("no final newline, not ended yet")
            << QByteArrayList{"conv.dll: a\nconv.dll: cannot write 'out.3gp'", "progress: time=2.00 duration=4.00"}
            << false << QList<int>{} << QStringLiteral("conv.dll: a") << 0;
        QTest::newRow("CR LF line ends") << QByteArrayList{"progress: time=1.00 duration=2.00\r\n", "conv.dll: b\r\n"}
                                         << true << QList<int>{50} << QStringLiteral("conv.dll: b") << 0;
        QTest::newRow("over-long line dropped to its end")
            << QByteArrayList{longLine, "progress: time=1.00 duration=2.00\n", "progress: time=3.00 duration=4.00\n"}
            << true << QList<int>{75} << QString() << 0;
        QTest::newRow("over-long own line dropped whole")
            << QByteArrayList{"conv.dll: " + longLine.left(40000), longLine.left(40000),
                              "\nprogress: time=1.00 duration=2.00\n"}
            << true << QList<int>{50} << QString() << 0;
        QTest::newRow("line after an over-long one in its chunk")
            << QByteArrayList{longLine + "\nconv.dll: par", "t\n"} << true << QList<int>{}
            << QStringLiteral("conv.dll: part") << 0;
        QTest::newRow("changed result lines, up to a limit")
            << QByteArrayList{sound.repeated(conversion::ConverterOutput::kMostChanges + 3)} << true << QList<int>{}
            << QString::fromUtf8(sound.trimmed()) << int(conversion::ConverterOutput::kMostChanges);
    }

    void converterOutputIsReadByLines()
    {
        QFETCH(QByteArrayList, chunks);
        QFETCH(bool, ended);
        QList<int> told;
        conversion::ConverterOutput output([&](std::optional<int> percent) { told << percent.value_or(-1); });
        for (const QByteArray& chunk : chunks)
            output.read(chunk);
        if (ended)
            output.end();
        QTEST(told, "percents");
        QTEST(output.lastError(), "lastError");
        QTEST(int(output.changes().size()), "changes");
    }

    // A run that worked keeps the converter's lines on what its result leaves out or
    // changes, in the order they came and with the user's names; a note about the
    // converter itself, progress, or an error line it went on after are not among them.
    void changedResultKeepsTheConverterLines()
    {
        const QString talks = QStringLiteral(
            "echo 'conv.dll: note: this kernel has no Landlock; its system calls are confined' >&2\n"
            "echo 'progress: time=1.00 duration=2.00' >&2\n"
            "echo \"conv.dll: warning: the sound is left out, only the pictures are converted ($2: cannot open "
            "the audio decoder vorbis: Invalid data found)\" >&2\n"
            "echo 'conv.dll: cannot decode the source: Invalid data found when processing input' >&2\n"
            "printf 'conv.dll: note: 512 kbit/s at 5 fps is more than H.263 lets a 176x144 picture take' >&2\n"
            "sleep 0.1; echo ' (64 kbit each); the video is coded at 327.7 kbit/s' >&2\n");
        QVERIFY(standin::install(m_app, talks + QString::fromLatin1(standin::kConverts)));
        conversion::ConversionRun run(setupFor(m_source));
        conversion::Outcome outcome = testsupport::runToEnd(run);
        QVERIFY2(outcome.converted, qPrintable(outcome.warning));
        QCOMPARE(outcome.changes.size(), 2);
        QCOMPARE(outcome.changes[0], QStringLiteral("conv.dll: warning: the sound is left out, only the pictures are "
                                                    "converted (%1: cannot open the audio decoder vorbis: Invalid "
                                                    "data found)")
                                         .arg(m_source));
        QVERIFY(
            outcome.changes[1].endsWith(QStringLiteral("picture take (64 kbit each); the video is coded at 327.7 "
                                                       "kbit/s")));
        QVERIFY(!conversion::resultChange(QStringLiteral("conv.dll: note: this kernel has no Landlock")));

        // The next file of a queue starts with none; a failed run tells none.
        QVERIFY(standin::install(m_app, QString::fromLatin1(standin::kConverts)));
        run.setSourcePath(m_source);
        outcome = testsupport::runToEnd(run);
        QVERIFY(outcome.converted);
        QVERIFY(outcome.changes.isEmpty());
        QVERIFY(standin::install(m_app, talks + QString::fromLatin1(standin::kFails)));
        run.setSourcePath(m_source);
        QVERIFY(testsupport::runToEnd(run).changes.isEmpty());
    }

    void threeGpSourceMustBeReplacedByTheConverter()
    {
        const QString source = m_scratch.filePath(QStringLiteral("clips/old.3gp"));
        writeFile(source, "an old 3gp");
        QVERIFY(standin::install(m_app, QString::fromLatin1(standin::kWritesNothing)));
        conversion::Outcome outcome = testsupport::runToEnd(conversion::ConversionRun(setupFor(source)));
        QVERIFY(!outcome.converted);  // the copied input is still there, but it is no result

        QVERIFY(standin::install(m_app, QString::fromLatin1(standin::kConverts)));
        outcome = testsupport::runToEnd(conversion::ConversionRun(setupFor(source)));
        QVERIFY2(outcome.converted, qPrintable(outcome.warning));
        QCOMPARE(readFile(outcome.resultPath), QByteArray("converted an old 3gp"));
    }

    void nothingStartsWithoutItsFiles()
    {
        QVERIFY(standin::install(m_app, QString::fromLatin1(standin::kConverts)));

        // A source that vanished: the older working copy must not be converted instead.
        writeFile(m_work + QStringLiteral("/tmpFile.avi"), "an older source");
        QVERIFY(QFile::remove(m_source));
        expectRefusal(setupFor(m_source), QStringLiteral("无法复制源文件"));
        QVERIFY(!QFileInfo::exists(m_work + QStringLiteral("/tmpFile.avi")));
        writeFile(m_source, "source bytes");

        // The working folder that start-up refused.
        conversion::RunSetup noWorkingFolder = setupFor(m_source);
        noWorkingFolder.workingFolder.clear();
        expectRefusal(noWorkingFolder, QStringLiteral("临时工作文件夹"));

        // A data folder nothing can be written into (a file in its place stops root too).
        QVERIFY(QDir(m_app + QStringLiteral("/data")).removeRecursively());
        writeFile(m_app + QStringLiteral("/data"), "");
        expectRefusal(setupFor(m_source),
                      QStringLiteral("无法把转换程序复制到程序数据文件夹“%1”").arg(m_app + QStringLiteral("/data")));

        QVERIFY(QFile::remove(standin::converterPath(m_app)));
        expectRefusal(setupFor(m_source), QStringLiteral("找不到转换程序"));
    }

    // A result the results folder refuses is kept where it lasts, in the user's data
    // folder; the warning names the real results folder, why, and where the result is.
    void unsavedResultIsKeptWhereItLasts()
    {
        const QString dataHome = m_scratch.filePath(QStringLiteral("data home"));
        qputenv("XDG_DATA_HOME", dataHome.toUtf8());
        QVERIFY(standin::install(m_app, QString::fromLatin1(standin::kConverts)));
        const QString results = m_app + QStringLiteral("/output");
        QVERIFY(QDir(results).removeRecursively());
        writeFile(results, "");  // a file in its place stops root too
        const QString kept = dataHome + QStringLiteral("/tovaro-pro/unsaved/126151741.3gp");
        conversion::Outcome outcome = testsupport::runToEnd(conversion::ConversionRun(setupFor(m_source)));
        QVERIFY(!outcome.converted);
        QVERIFY2(outcome.warning.startsWith(QStringLiteral("转换结果无法保存到“%1”：无法写入").arg(results)),
                 qPrintable(outcome.warning));
        QVERIFY2(outcome.warning.endsWith(QLatin1Char('\n') + kept), qPrintable(outcome.warning));
        QCOMPARE(readFile(kept), QByteArray("converted source bytes"));
        expectNoWorkingCopies();

        // The next run keeps its own beside it and leaves the first alone.
        outcome = testsupport::runToEnd(conversion::ConversionRun(setupFor(m_source)));
        QVERIFY2(outcome.warning.endsWith(QStringLiteral("/unsaved/126151741-2.3gp")), qPrintable(outcome.warning));
        QCOMPARE(readFile(kept), QByteArray("converted source bytes"));

        // Where the data folder is refused too, the working folder keeps it.
        QVERIFY(QDir(dataHome).removeRecursively());
        writeFile(dataHome, "");
        outcome = testsupport::runToEnd(conversion::ConversionRun(setupFor(m_source)));
        QVERIFY2(outcome.warning.endsWith(QLatin1Char('\n') + m_work + QStringLiteral("/126151741.3gp")),
                 qPrintable(outcome.warning));
        qunsetenv("XDG_DATA_HOME");

        // Why, as the system said it.
        QVERIFY(
            conversion::resultNotSavedText(results, EACCES, kept).contains(QStringLiteral("没有写入这个文件夹的权限")));
        QVERIFY(conversion::resultNotSavedText(results, ENOSPC, QString()).contains(QStringLiteral("已满")));
    }

    // The working folder on a disk of its own that is nearly full: the warning says
    // that disk is full and names it, not the source. Runs again in a mount namespace
    // of its own, where a small file system can be had without privileges.
    void fullWorkingDiskIsNamed()
    {
        const QByteArray smallDisk = qgetenv("TOVARO_SMALL_DISK");
        if (smallDisk.isEmpty()) {
            const QString disk = m_scratch.filePath(QStringLiteral("small"));
            QVERIFY(QDir().mkpath(disk));
            if (QProcess::execute(QStringLiteral("unshare"),
                                  {QStringLiteral("-r"), QStringLiteral("-m"), QStringLiteral("true")}) != 0)
                QSKIP("cannot make a mount namespace here (no user namespaces)");
            QProcess again;
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(QStringLiteral("TOVARO_SMALL_DISK"), disk);
            again.setProcessEnvironment(environment);
            again.setProcessChannelMode(QProcess::MergedChannels);
            again.start(QStringLiteral("unshare"),
                        {QStringLiteral("-r"), QStringLiteral("-m"), QStringLiteral("sh"), QStringLiteral("-c"),
                         QStringLiteral("mount -t tmpfs -o size=64k none \"$0\" || exit 77; exec \"$@\""), disk,
                         QCoreApplication::applicationFilePath(), QStringLiteral("fullWorkingDiskIsNamed")});
            QVERIFY(again.waitForFinished(60000));
            if (again.exitCode() == 77)
                QSKIP("cannot mount a small file system here");
            QVERIFY2(again.exitCode() == 0, again.readAll().constData());
            return;
        }
        m_work = QString::fromLocal8Bit(smallDisk) + QStringLiteral("/tovaro-0");
        QVERIFY(QDir().mkpath(m_work));
        writeFile(m_source, QByteArray(256 * 1024, 'v'));
        QVERIFY(standin::install(m_app, QString::fromLatin1(standin::kConverts)));
        const conversion::Outcome outcome = testsupport::runToEnd(conversion::ConversionRun(setupFor(m_source)));
        QVERIFY(!outcome.converted);
        QVERIFY2(
            outcome.warning.startsWith(
                QStringLiteral("转换失败：临时工作文件夹所在的磁盘“%1”已满").arg(QString::fromLocal8Bit(smallDisk))),
            qPrintable(outcome.warning));
        QVERIFY2(outcome.warning.contains(m_work), qPrintable(outcome.warning));
        QVERIFY(standin::calledWith(m_app).isEmpty());
        expectNoWorkingCopies();
    }

    void deletedFoldersAreMadeAgain()
    {
        QVERIFY(standin::install(m_app, QString::fromLatin1(standin::kConverts)));
        QVERIFY(QDir(m_app + QStringLiteral("/output")).removeRecursively());
        QVERIFY(QDir(m_app + QStringLiteral("/data")).removeRecursively());
        const conversion::Outcome outcome = testsupport::runToEnd(conversion::ConversionRun(setupFor(m_source)));
        QVERIFY2(outcome.converted, qPrintable(outcome.warning + QLatin1Char(' ') + outcome.detail));
        QCOMPARE(readFile(outcome.resultPath), QByteArray("converted source bytes"));
    }

    void leftoversOfAKilledRunGoAtStart()
    {
        const QString stale = m_app + QStringLiteral("/data/conv.exe");
        const auto leaveBehind = [&] {
            writeFile(stale, "killed run's converter");
            writeFile(m_work + QStringLiteral("/tmpFile.avi"), "killed run's source");
            writeFile(m_work + QStringLiteral("/126151741.3gp"), "a kept result");
        };
        leaveBehind();
        const QString halfCopy = m_work + QStringLiteral("/.copy-Ab12");
        writeFile(halfCopy, "a killed copy's staging file");
        conversion::WorkingFiles(m_work, m_app + QStringLiteral("/data")).removeLeftovers();
        QVERIFY(!QFileInfo::exists(stale));
        QVERIFY(!QFileInfo::exists(m_work + QStringLiteral("/tmpFile.avi")));
        QVERIFY(!QFileInfo::exists(halfCopy));
        QVERIFY(QFileInfo::exists(m_work + QStringLiteral("/126151741.3gp")));

        // No working folder (start-up refused it) is not the current folder.
        writeFile(halfCopy, "someone else's file");
        {
            const QString current = QDir::currentPath();
            QVERIFY(QDir::setCurrent(m_work));
            conversion::WorkingFiles(QString(), m_app + QStringLiteral("/data")).removeAbandonedCopies();
            QVERIFY(QDir::setCurrent(current));
        }
        QVERIFY(QFileInfo::exists(halfCopy));

        // Another copy of the program converting with them right now keeps them.
        leaveBehind();
        platform::ExclusiveLock other;
        QCOMPARE(other.tryAcquire(m_app + QStringLiteral("/data/.conversion.lock")),
                 platform::ExclusiveLock::Result::Held);
        conversion::WorkingFiles(m_work, m_app + QStringLiteral("/data")).removeLeftovers();
        QVERIFY(QFileInfo::exists(stale));
    }

    // A stop ends the run at once, wherever it is, and cleans up: a converter that
    // ignores the polite request is killed after the grace period.
    void stopEndsTheRunAndRemovesItsFiles_data()
    {
        QTest::addColumn<QString>("converter");
        QTest::addColumn<bool>("fromAPipe");
        QTest::addColumn<int>("atLeastMs");
        QTest::newRow("copying a source that never ends") << QString::fromLatin1(standin::kConverts) << true << 0;
        QTest::newRow("converting")  // the shell takes the stop signals the run starts with held
            << QStringLiteral("echo $$ > '%1/pid'; while :; do sleep 0.1; done") << false << 0;
        QTest::newRow("converter deaf to the request")
            << QStringLiteral("trap '' TERM; echo $$ > '%1/pid'; while :; do sleep 0.1; done") << false
            << conversion::ConversionRun::kStopGraceMs;
    }

    void stopEndsTheRunAndRemovesItsFiles()
    {
        QFETCH(QString, converter);
        QFETCH(bool, fromAPipe);
        QFETCH(int, atLeastMs);
        QVERIFY(standin::install(m_app, converter.contains(QStringLiteral("%1")) ? converter.arg(m_app) : converter));
        QString source = m_source;
        if (fromAPipe) {
            source = m_scratch.filePath(QStringLiteral("clips/stalled.avi"));
            QCOMPARE(::mkfifo(QFile::encodeName(source).constData(), 0600), 0);
        }
        conversion::ConversionRun run(setupFor(source));
        QElapsedTimer clock;
        const auto stopSoon = [&] {
            clock.start();
            QTimer::singleShot(200, &run, [&run] { run.stop(); });
        };
        if (fromAPipe)
            stopSoon();
        else  // once the converter runs, past its trap
            standin::whenFileAppears(this, m_app + QStringLiteral("/pid"), stopSoon);
        const conversion::Outcome outcome = testsupport::runToEnd(run);
        QVERIFY(outcome.stopped);
        QVERIFY(!outcome.converted);
        QVERIFY(clock.elapsed() >= atLeastMs);
        QVERIFY2(clock.elapsed() < atLeastMs + 2000, qPrintable(QString::number(clock.elapsed())));
        expectNoWorkingCopies();
        QVERIFY(entries(m_app + QStringLiteral("/output")).isEmpty());
        if (!fromAPipe) {
            const pid_t converterPid = readFile(m_app + QStringLiteral("/pid")).trimmed().toInt();
            QVERIFY(converterPid > 0);
            QVERIFY(::kill(converterPid, 0) != 0);
        }
    }

    void onlyOneRunAtATime()
    {
        QVERIFY(standin::install(m_app, standin::waitsForRelease(m_app)));
        QString refusal;
        {
            conversion::ConversionRun first(setupFor(m_source));
            standin::whenFileAppears(this, m_app + QStringLiteral("/called.txt"), [&] {
                conversion::ConversionRun second(setupFor(m_source));
                refusal = testsupport::runToEnd(second).warning;
                standin::release(m_app);
            });
            QVERIFY(testsupport::runToEnd(first).converted);
        }
        QCOMPARE(refusal, QStringLiteral("已有一个转换正在进行，请等它结束后再转换。"));
        QCOMPARE(entries(m_app + QStringLiteral("/output")).size(), 1);

        // Another program holding the lock, then dying, leaves it free.
        QProcess holder;
        holder.start(QStringLiteral("sh"),
                     {QStringLiteral("-c"), QStringLiteral("exec 9>\"$0\"; flock 9; echo held; exec sleep 60"),
                      m_work + QStringLiteral("/.conversion.lock")});
        QVERIFY(holder.waitForReadyRead(5000));
        QVERIFY(!conversion::ConversionRun(setupFor(m_source)).claim().isEmpty());
        holder.kill();
        QVERIFY(holder.waitForFinished(5000));
        QVERIFY(conversion::ConversionRun(setupFor(m_source)).claim().isEmpty());
    }

    void copiesLeaveTheEventLoopRunning()
    {
        // The source is a pipe that this thread only fills from a timer: a copy made on
        // this thread would wait for it forever (a watchdog ends the wait instead).
        const QString pipe = m_scratch.filePath(QStringLiteral("clips/pipe.avi"));
        QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
        QVERIFY(standin::install(m_app, QString::fromLatin1(standin::kConverts)));
        std::atomic<bool> fedByTimer{false};
        const auto feed = [pipe](const char* text) {
            const int fd = ::open(QFile::encodeName(pipe).constData(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0) {
                (void)::write(fd, text, std::strlen(text));
                ::close(fd);
            }
            return fd >= 0;
        };
        int ticks = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, this, [&] {
            if (++ticks >= 10 && !fedByTimer)
                fedByTimer = feed("piped bytes");
        });
        ticker.start(20);
        std::thread watchdog([&] {
            for (int i = 0; i < 100 && !fedByTimer; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            if (!fedByTimer)
                feed("watchdog");
        });
        const conversion::Outcome outcome = testsupport::runToEnd(conversion::ConversionRun(setupFor(pipe)));
        watchdog.join();
        QVERIFY(fedByTimer);
        QVERIFY2(outcome.converted, qPrintable(outcome.warning));
        QCOMPARE(readFile(outcome.resultPath), QByteArray("converted piped bytes"));
    }

private:
    conversion::RunSetup setupFor(const QString& source)
    {
        conversion::RunSetup setup{m_app,
                                   m_work,
                                   m_app + QStringLiteral("/output"),
                                   m_app + QStringLiteral("/data"),
                                   source,
                                   [] {
                                       return settings::ConversionSettings{QStringLiteral("176x144"),
                                                                           QStringLiteral("14.985"),
                                                                           QStringLiteral("120"), QStringLiteral("48")};
                                   },
                                   [] { return QDateTime(QDate(2024, 12, 6), QTime(15, 17, 41)); }};
        return setup;
    }

    // Nothing of a run stays in the working folder but its lock (and kept results).
    void expectNoWorkingCopies()
    {
        QCOMPARE(entries(m_work).filter(QStringLiteral("tmpFile")), QStringList());
        QCOMPARE(entries(m_work).filter(QStringLiteral(".copy-")), QStringList());
        QVERIFY(!QFileInfo::exists(m_app + QStringLiteral("/data/conv.exe")));
    }

    // The run warns and stops before the converter is ever started.
    void expectRefusal(const conversion::RunSetup& setup, const QString& reason)
    {
        QFile::remove(m_app + QStringLiteral("/called.txt"));
        const conversion::Outcome outcome = testsupport::runToEnd(conversion::ConversionRun(setup));
        QVERIFY(!outcome.converted);
        QVERIFY2(outcome.warning.startsWith(QStringLiteral("转换失败")), qPrintable(outcome.warning));
        QVERIFY2(outcome.warning.contains(reason), qPrintable(outcome.warning));
        QVERIFY(standin::calledWith(m_app).isEmpty());
    }

    QString output(const QString& name) const { return m_app + QStringLiteral("/output/") + name; }

    testsupport::ScratchFolder m_scratch;
    QString m_app;
    QString m_work;
    QString m_source;
};

QTEST_GUILESS_MAIN(ConversionRunTest)
#include "tst_conversion_run.moc"
