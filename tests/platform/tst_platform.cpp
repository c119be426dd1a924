// The platform layer against real files, folders and processes.

#include "ScratchFolder.h"
#include "platform/FileOperations.h"
#include "platform/PrivateTempFolder.h"
#include "platform/Process.h"
#include "platform/ShellOpen.h"
#include "platform/WindowMarker.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <csignal>
#include <cstring>
#include <memory>

namespace {

using testsupport::kExecutable;
using testsupport::readFile;

void writeFile(const QString& path, const QByteArray& content, QFile::Permissions permissions = {})
{
    QVERIFY2(testsupport::writeFile(path, content, permissions), qPrintable(path));
}

}  // namespace

class PlatformTest : public QObject {
    Q_OBJECT

private slots:
    // Every test starts in a fresh, empty folder of its own.
    void init() { QVERIFY(m_scratch.renew()); }

    void copyReplacesTargetAndKeepsExecutableBit()
    {
        const QString from = dir().filePath(QStringLiteral("conv.dll"));
        const QString to = dir().filePath(QStringLiteral("conv.exe"));
        writeFile(from, "new program", kExecutable);
        writeFile(to, "an older, longer copy of the program");

        QVERIFY(platform::copyFileReplacing(from, to).ok());
        QCOMPARE(readFile(to), QByteArray("new program"));
        QVERIFY(QFileInfo(to).isExecutable());
        // No staging file stays behind.
        QCOMPARE(QDir(dir().path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
    }

    void failedCopyLeavesTargetIntact()
    {
        const QString to = dir().filePath(QStringLiteral("result.3gp"));
        writeFile(to, "earlier result");

        const platform::Status missingSource =
            platform::copyFileReplacing(dir().filePath(QStringLiteral("missing")), to);
        QVERIFY(!missingSource.ok());
        QVERIFY(!missingSource.message().isEmpty());
        QCOMPARE(readFile(to), QByteArray("earlier result"));

        // Copying a file onto itself must not truncate it.
        QVERIFY(platform::copyFileReplacing(to, to).ok());
        QCOMPARE(readFile(to), QByteArray("earlier result"));

        QVERIFY(!platform::copyFileReplacing(to, dir().filePath(QStringLiteral("no/such/folder/x"))).ok());
    }

    void failedSaveLeavesNoPartialFile()
    {
        const QString folder = dir().filePath(QStringLiteral("output"));
        QVERIFY(QDir().mkpath(folder));
        const QString from = dir().filePath(QStringLiteral("tmpFile.3gp"));
        writeFile(from, "result");
        const auto named = [](const QString& name) { return [name](int) { return name; }; };
        QString placed;
        // Failing while copying (a folder is no file to read), then while naming.
        QVERIFY(!platform::copyUnderFreeName(dir().path(), folder, named(QStringLiteral("a.3gp")), &placed).ok());
        QVERIFY(!platform::copyUnderFreeName(from, folder, named(QStringLiteral("gone/a.3gp")), &placed).ok());
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList());
        QVERIFY(placed.isEmpty());
    }

    void createFolderMakesOneLevel()
    {
        const QString folder = dir().filePath(QStringLiteral("output"));
        QVERIFY(platform::createFolder(folder).ok());
        QVERIFY(QFileInfo(folder).isDir());
        QVERIFY(!platform::createFolder(folder).ok());  // already there
        QVERIFY(!platform::createFolder(dir().filePath(QStringLiteral("a/b"))).ok());

        // Permissions do not stop root, a regular file in the way does.
        const QString blocker = dir().filePath(QStringLiteral("plain-file"));
        writeFile(blocker, "x");
        QVERIFY(!platform::createFolder(blocker + QStringLiteral("/data")).ok());
    }

    void deleteFileReportsMissingFile()
    {
        const QString path = dir().filePath(QStringLiteral("conv.exe"));
        writeFile(path, "x");
        QVERIFY(platform::deleteFile(path).ok());
        QVERIFY(!QFileInfo::exists(path));
        QVERIFY(!platform::deleteFile(path).ok());
    }

    void privateTempFolderIsCreatedClosed()
    {
        const platform::TempFolder folder = platform::preparePrivateTempFolder(dir().path());
        QVERIFY2(folder.status.ok(), qPrintable(folder.status.message()));
        QVERIFY(QFileInfo(folder.path).isDir());
        QCOMPARE(QFileInfo(folder.path).fileName(), QStringLiteral("tovaro-%1").arg(::getuid()));
        struct stat info {};
        QCOMPARE(::stat(QFile::encodeName(folder.path).constData(), &info), 0);
        QCOMPARE(info.st_mode & 0777, 0700u);

        // An existing folder of ours that others could enter is closed again; its files stay.
        writeFile(folder.path + QStringLiteral("/tmpFile.avi"), "earlier source");
        QCOMPARE(::chmod(QFile::encodeName(folder.path).constData(), 0777), 0);
        const platform::TempFolder again = platform::preparePrivateTempFolder(dir().path());
        QCOMPARE(again.path, folder.path);
        QCOMPARE(::stat(QFile::encodeName(folder.path).constData(), &info), 0);
        QCOMPARE(info.st_mode & 0777, 0700u);
        QVERIFY(QFileInfo::exists(folder.path + QStringLiteral("/tmpFile.avi")));
    }

    void privateTempFolderRefusesWhatIsNotOurs()
    {
        const QString name = QStringLiteral("/tovaro-%1").arg(::getuid());

        QTemporaryDir withLink;
        QTemporaryDir elsewhere;
        QVERIFY(QFile::link(elsewhere.path(), withLink.path() + name));
        platform::TempFolder refused = platform::preparePrivateTempFolder(withLink.path());
        QVERIFY(refused.path.isEmpty());
        QVERIFY(refused.status.message().contains(QStringLiteral("symbolic link")));

        QTemporaryDir withFile;
        writeFile(withFile.path() + name, "not a folder");
        QVERIFY(platform::preparePrivateTempFolder(withFile.path()).path.isEmpty());

        if (::geteuid() != 0)
            QSKIP("handing a folder to another user needs root");
        QTemporaryDir withForeign;
        const QByteArray foreign = QFile::encodeName(withForeign.path() + name);
        QCOMPARE(::mkdir(foreign.constData(), 0700), 0);
        QCOMPARE(::chown(foreign.constData(), 12345, 12345), 0);
        refused = platform::preparePrivateTempFolder(withForeign.path());
        QVERIFY(refused.path.isEmpty());
        QVERIFY(refused.status.message().contains(QStringLiteral("another user")));
    }

    void shellOpenHandsPathToDesktopOpenerWithoutWaiting()
    {
        // A stand-in for xdg-open that records what it was asked to open, takes its
        // time and fails for documents, as it does without a program for them; no
        // session bus, so no file manager answers first.
        const QString bin = dir().filePath(QStringLiteral("bin"));
        QVERIFY(QDir().mkpath(bin));
        const QString record = dir().filePath(QStringLiteral("opened.txt"));
        writeFile(
            bin + QStringLiteral("/xdg-open"),
            QStringLiteral("#!/bin/sh\necho \"$1\" >> '%1'\nsleep 1\n[ -d \"$1\" ] || exit 3\n").arg(record).toUtf8(),
            kExecutable);
        const QByteArray oldPath = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(bin) + ':' + oldPath);
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent");

        const QString folder = dir().filePath(QStringLiteral("output folder"));
        QVERIFY(QDir().mkpath(folder));
        const QString document = dir().filePath(QStringLiteral("说明.txt"));
        writeFile(document, "help");
        QObject context;
        QMap<QString, bool> answers;
        const auto open = [&](const QString& path) {
            platform::shellOpen(path, &context, [&answers, path](bool opened) { answers.insert(path, opened); });
        };
        QElapsedTimer clock;
        clock.start();
        open(folder);
        open(document);
        open(dir().filePath(QStringLiteral("missing.txt")));
        QVERIFY2(clock.elapsed() < 500, "the caller waited for the opener");
        QTRY_COMPARE(answers.size(), 3);
        QCOMPARE(answers.value(folder), true);
        QCOMPARE(answers.value(document), false);
        QCOMPARE(answers.value(dir().filePath(QStringLiteral("missing.txt"))), false);
        QStringList asked = QString::fromUtf8(readFile(record)).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        asked.sort();
        QCOMPARE(asked, (QStringList{folder, document}));

        qputenv("PATH", oldPath);
    }

    void startedProgramGetsItsArgumentsAsTheyAreAndStopSignalsHeld()
    {
        // grep, started directly, reads its own status: no shell splits "Sig Blk *"
        // or expands it, and its blocked signals are the ones it was started with.
        static constexpr int kHeld[] = {SIGINT, SIGTERM, SIGHUP};
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        platform::startTiedToUs(process,
                                {QStringLiteral("/usr/bin/grep"),
                                 {QStringLiteral("-e"), QStringLiteral("^SigBlk:"), QStringLiteral("-e"),
                                  QStringLiteral("Sig Blk *"), QStringLiteral("/proc/self/status")}},
                                kHeld);
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(process.exitCode(), 0);
        const QStringList lines = QString::fromLatin1(process.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 1);
        bool ok = false;
        const qulonglong blocked = lines.first().section(QLatin1Char('\t'), 1).trimmed().toULongLong(&ok, 16);
        QVERIFY2(ok, qPrintable(lines.first()));
        for (const int stop : kHeld)
            QVERIFY2(blocked & (1ULL << (stop - 1)), qPrintable(QStringLiteral("signal %1 not held").arg(stop)));
    }

    // The sign a window raises for later starts: seen by others while held, gone with
    // its holder, and a socket left by a program that died neither counts nor blocks.
    void windowMarkerIsSeenWhileHeldAndALeftOneIsReplaced()
    {
        const QByteArray oldRuntime = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(dir().path()));
        const QString name = QStringLiteral("sign");
        const QByteArray path = QFile::encodeName(dir().filePath(name));
        const int dead = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, path.constData(), static_cast<std::size_t>(path.size()));
        QCOMPARE(::bind(dead, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ::close(dead);
        QVERIFY(QFileInfo::exists(dir().filePath(name)));

        platform::WindowMarker later(name);
        QVERIFY(!later.heldElsewhere());
        {
            platform::WindowMarker window(name);
            QVERIFY(window.hold());
            for (int start = 0; start < 20; ++start) {
                QVERIFY2(later.heldElsewhere(), qPrintable(QStringLiteral("start %1").arg(start)));
                QCoreApplication::processEvents();
            }
        }
        QVERIFY(!later.heldElsewhere());
        QVERIFY(!QFileInfo::exists(dir().filePath(name)));

        qunsetenv("XDG_RUNTIME_DIR");
        platform::WindowMarker nowhere(name);
        QVERIFY(!nowhere.hold());
        QVERIFY(!nowhere.heldElsewhere());
        qputenv("XDG_RUNTIME_DIR", oldRuntime);
    }

private:
    testsupport::ScratchFolder m_scratch;
    const testsupport::ScratchFolder& dir() const { return m_scratch; }
};

QTEST_GUILESS_MAIN(PlatformTest)
#include "tst_platform.moc"
