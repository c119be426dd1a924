// The converter's confinement, seen from inside the real conv.dll: a probe
// preloaded into it acts, at the source's first read, as a decoder subverted
// by a crafted file would. What it tries fails there, and the conversion
// still works. The same attempts made by the same probe as the program starts,
// before it confines anything, all succeed, so a failure below is the
// confinement's doing and not the test's (also when the test runs as root).
// With CONV_TEST_WITHOUT_LANDLOCK=1 the converter runs as on a kernel without
// Landlock (or with Landlock 2, Debian 12's, which holds neither truncation
// nor signals): what the system call filter alone holds is tested then.

#include "conv_test_support.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <arpa/inet.h>
#include <fcntl.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <netinet/in.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstddef>

using namespace convtest;

namespace {

bool writeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

// Every file and folder below `root`, with its content, by relative path.
QMap<QString, QByteArray> snapshot(const QString& root)
{
    QMap<QString, QByteArray> entries;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        entries.insert(QDir(root).relativeFilePath(path),
                       it.fileInfo().isDir() ? QByteArray("<folder>") : readFile(path));
    }
    return entries;
}

// The probe's lines: what worked, by name.
QMap<QString, bool> probeReport(const QByteArray& standardError)
{
    QMap<QString, bool> worked;
    for (const QByteArray& line : standardError.split('\n'))
        if (line.startsWith("conv probe: "))
            worked.insert(QString::fromUtf8(line.mid(12, line.indexOf('=') - 12)), line.endsWith('1'));
    return worked;
}

bool landlockSwitchedOff() { return qEnvironmentVariable("CONV_TEST_WITHOUT_LANDLOCK") == QLatin1String("1"); }

bool kernelHasLandlock() { return syscall(SYS_landlock_create_ruleset, nullptr, 0, 1) > 0; }

// In the converter's process before it starts: Landlock answers as on a kernel
// that has none.
void makeLandlockUnavailable()
{
    sock_filter code[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_landlock_create_ruleset, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | ENOSYS),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    const sock_fprog program{sizeof code / sizeof code[0], code};
    if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 || prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0)
        _exit(120);
}

}  // namespace

class ConverterConfinementTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString clip_;
    int listener_ = -1;

    QString scene() const { return dir_.filePath(QStringLiteral("scene")); }
    QString at(const QString& name) const { return QDir(scene()).filePath(name); }

    void makeScene()
    {
        QDir(scene()).removeRecursively();
        for (const char* folder : {"in", "out/sub/deep", "elsewhere"})
            QVERIFY(QDir().mkpath(at(QString::fromLatin1(folder))));
        QVERIFY(QFile::copy(clip_, at(QStringLiteral("in/clip.avi"))));
        QVERIFY(writeFile(at(QStringLiteral("in/notes.txt")), "beside the source"));
        QVERIFY(writeFile(at(QStringLiteral("out/sibling.mp4")), "another video"));
        QVERIFY(writeFile(at(QStringLiteral("out/sub/a.txt")), "a"));
        QVERIFY(writeFile(at(QStringLiteral("out/sub/deep/victim.txt")), "deep down"));
        QVERIFY(writeFile(at(QStringLiteral("elsewhere/secret.txt")), "the user's documents"));
        QVERIFY(writeFile(at(QStringLiteral("elsewhere/inherited.txt")), "the caller's open file"));
    }

    // conv.dll with the probe, from the scene's source to out/result.3gp.
    RunResult runProbed(const QString& what, bool atStart, int timeoutSeconds = 120,
                        rlim_t fileSizeLimit = RLIM_INFINITY)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("LD_PRELOAD"), QStringLiteral(CONV_PROBE));
        environment.insert(QStringLiteral("ASAN_OPTIONS"), environment.value(QStringLiteral("ASAN_OPTIONS")) +
                                                               QStringLiteral(":verify_asan_link_order=0"));
        environment.insert(QStringLiteral("CONV_PROBE"), what);
        environment.insert(QStringLiteral("CONV_PROBE_SCENE"), scene());
        environment.insert(QStringLiteral("CONV_PROBE_AT_START"), atStart ? QStringLiteral("1") : QStringLiteral("0"));
        sockaddr_in address{};
        socklen_t size = sizeof address;
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size);
        environment.insert(QStringLiteral("CONV_PROBE_PORT"), QString::number(ntohs(address.sin_port)));
        // Descriptors 7 and 8: a file and a folder the caller left open.
        const QByteArray inherited = QFile::encodeName(at(QStringLiteral("elsewhere/inherited.txt")));
        const QByteArray folder = QFile::encodeName(at(QStringLiteral("elsewhere")));
        const bool withoutLandlock = landlockSwitchedOff();
        const auto childSetup = [inherited, folder, withoutLandlock, fileSizeLimit] {
            const rlimit limit{fileSizeLimit, fileSizeLimit};
            if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
                _exit(122);
            if (dup2(open(inherited.constData(), O_WRONLY | O_APPEND), 7) != 7 ||
                dup2(open(folder.constData(), O_RDONLY | O_DIRECTORY), 8) != 8)
                _exit(121);
            if (withoutLandlock)
                makeLandlockUnavailable();
        };
        return run(convPath(), windowCommand(at(QStringLiteral("in/clip.avi")), at(QStringLiteral("out/result.3gp"))),
                   timeoutSeconds, environment, childSetup);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        clip_ = dir_.filePath(QStringLiteral("clip.avi"));
        QVERIFY(makeMedia({QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                           QStringLiteral("testsrc2=size=320x240:rate=25:d=2"), QStringLiteral("-f"),
                           QStringLiteral("lavfi"), QStringLiteral("-i"), QStringLiteral("sine=sample_rate=22050:d=2"),
                           QStringLiteral("-c:v"), QStringLiteral("mpeg4")},
                          clip_));
        listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        QVERIFY(bind(listener_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0);
        QVERIFY(listen(listener_, 8) == 0);
    }

    void cleanupTestCase() { close(listener_); }

    // Beside and below the output, nothing is made, renamed, linked or
    // removed; nothing is read, written, truncated or even stat'ed elsewhere,
    // also through descriptors the caller left open; no connection made, no
    // program started, no other process signalled, no namespace made, no
    // memory made executable. The conversion itself reads the source and
    // writes the output all the same.
    void subvertedDecoderIsHeldIn()
    {
        makeScene();
        const RunResult unconfined = runProbed(QStringLiteral("attempts"), true);
        const QMap<QString, bool> free = probeReport(unconfined.standardError);
        QCOMPARE(free.size(), geteuid() == 0 ? 32 : 31);
        for (auto attempt = free.cbegin(); attempt != free.cend(); ++attempt)
            QVERIFY2(attempt.value(), qPrintable(attempt.key() + QStringLiteral(" fails even unconfined")));

        makeScene();
        const auto before = snapshot(scene());
        const RunResult confined = runProbed(QStringLiteral("attempts"), false);
        QVERIFY2(confined.exitedWith(0), confined.standardError.constData());
        // The switch took: the converter itself says it ran without Landlock.
        QCOMPARE(confined.standardError.contains("has no Landlock"), landlockSwitchedOff() || !kernelHasLandlock());
        const QMap<QString, bool> held = probeReport(confined.standardError);
        QCOMPARE(held.keys(), free.keys());
        for (auto attempt = held.cbegin(); attempt != held.cend(); ++attempt)
            QVERIFY2(!attempt.value(), qPrintable(attempt.key() + QStringLiteral(" worked confined")));
        // Not even an empty file or a name is left by a refused attempt.
        auto after = snapshot(scene());
        QVERIFY(after.remove(QStringLiteral("out/result.3gp")) == 1);
        QCOMPARE(after, before);
        QCOMPARE(probe(at(QStringLiteral("out/result.3gp"))).video.size(), 1);
    }

    // Whatever a subverted worker leaves in the working file, the supervisor
    // places only a sound 3GP file of the length converted: anything else
    // fails (status 1) and leaves nothing.
    void unsoundResultIsNotPlaced_data()
    {
        QTest::addColumn<QString>("damage");
        for (const char* damage :
             {"junk", "ftyp only", "cut short", "sparse GiB", "no 3gp brand", "chunk moved", "duration tripled"})
            QTest::newRow(damage) << QString::fromLatin1(damage);
    }
    void unsoundResultIsNotPlaced()
    {
        QFETCH(QString, damage);
        makeScene();
        const auto before = snapshot(scene());
        const RunResult result = runProbed(QStringLiteral("result:") + damage, false);
        QVERIFY2(result.finished && !result.crashed, result.standardError.constData());
        QCOMPARE(result.exitCode, 1);
        QVERIFY2(result.messages().last().contains(QStringLiteral("no sound 3GP file")),
                 result.standardError.constData());
        QCOMPARE(snapshot(scene()), before);
    }

    // The worker's files are held to a size far beyond what the rates make
    // of the source's length (past it, a write fails): a subverted worker
    // cannot make a sparse terabyte, and a conversion that reaches the
    // ceiling (here the caller's lower one) is status 7, leaving nothing.
    void outputIsHeldToACeiling_data()
    {
        QTest::addColumn<bool>("subverted");
        QTest::newRow("worker writes past it") << true;
        QTest::newRow("conversion reaches it") << false;
    }
    void outputIsHeldToACeiling()
    {
        QFETCH(bool, subverted);
        makeScene();
        const auto before = snapshot(scene());
        const RunResult result = subverted ? runProbed(QStringLiteral("result:past ceiling"), false)
                                           : runProbed(QString(), false, 120, 16 * 1024);
        if (subverted) {
            QVERIFY2(result.exitedWith(0), result.standardError.constData());
            QVERIFY(result.standardError.contains("conv probe: past ceiling=0"));
            QCOMPARE(probe(at(QStringLiteral("out/result.3gp"))).video.size(), 1);
            return;
        }
        QVERIFY2(result.finished && !result.crashed, result.standardError.constData());
        QVERIFY2(result.exitCode == 7, result.standardError.constData());
        QVERIFY2(result.messages().last().contains(QStringLiteral("File too large")), result.standardError.constData());
        QCOMPARE(snapshot(scene()), before);
    }

    // A system call under another calling convention ends the whole
    // conversion at once, leaving nothing, rather than only the thread that
    // made it (the process would then hang on the threads waiting for it).
    void foreignCallingConventionEndsTheRun_data()
    {
        QTest::addColumn<QString>("convention");
        QTest::newRow("x32") << QStringLiteral("x32");
        QTest::newRow("int 0x80") << QStringLiteral("int80");
    }
    void foreignCallingConventionEndsTheRun()
    {
        QFETCH(QString, convention);
        makeScene();
        const auto before = snapshot(scene());
        QElapsedTimer timer;
        timer.start();
        const RunResult result = runProbed(convention, false, 20);
        QVERIFY2(result.finished, "the converter hung");
        QVERIFY2(timer.elapsed() < 2500, qPrintable(QString::number(timer.elapsed())));
        QVERIFY(!result.crashed);
        QCOMPARE(result.exitCode, 1);
        QVERIFY2(result.messages().last().startsWith(kMessagePrefix + QStringLiteral("conversion failed: ")),
                 result.standardError.constData());
        QCOMPARE(snapshot(scene()), before);
    }
};

QTEST_APPLESS_MAIN(ConverterConfinementTest)
#include "tst_conv_confinement.moc"
