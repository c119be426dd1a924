// The converter's confinement, applied by a child of this test to itself with
// the converter's own function: what a decoder subverted by a crafted file
// would try fails, what the conversion needs still works. The same attempts
// made unconfined all succeed, so a failure below is the confinement's doing
// and not the test's (also when the test runs as root).

#include "confinement.hpp"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>
#include <QtTest>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <string>

namespace {

// The files and the listener the attempts aim at, named before the fork.
struct Scene {
    std::string input;         // in/clip.3gp
    std::string inputFolder;   // in/
    std::string outputFolder;  // out/, holding an earlier result.3gp
    std::string outside;       // elsewhere/secret.txt
    std::string homeProbe;     // a new file in the home folder
    int listenerPort = 0;
};

bool canOpen(const std::string& path, int flags)
{
    const int fd = open(path.c_str(), flags | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    char byte = 0;
    const bool done = (flags & O_ACCMODE) == O_RDONLY ? read(fd, &byte, 1) == 1 : write(fd, "x", 1) == 1;
    close(fd);
    return done;
}

bool canConnect(int fd, int port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return fd >= 0 && connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

bool canSpawnTrue()
{
    pid_t child = 0;
    char program[] = "/bin/true";
    char* arguments[] = {program, nullptr};
    if (posix_spawn(&child, program, nullptr, nullptr, arguments, environ) != 0)
        return false;
    int status = 0;
    return waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// What the conversion does with its output: write the open working file, read
// it back through /proc as the muxer does, link it into the output's folder,
// rename it over an earlier result, remove a name.
bool canWriteOutput(int workingFile, const std::string& folder)
{
    const std::string procName = "/proc/self/fd/" + std::to_string(workingFile);
    const std::string linked = folder + "/.conv-probe.part";
    return pwrite(workingFile, "3gp", 3, 0) == 3 && canOpen(procName, O_RDONLY) &&
           linkat(AT_FDCWD, procName.c_str(), AT_FDCWD, linked.c_str(), AT_SYMLINK_FOLLOW) == 0 &&
           rename(linked.c_str(), (folder + "/result.3gp").c_str()) == 0 &&
           linkat(AT_FDCWD, procName.c_str(), AT_FDCWD, linked.c_str(), AT_SYMLINK_FOLLOW) == 0 &&
           unlink(linked.c_str()) == 0;
}

// Runs in the child: makes every attempt, writes "name=0|1" lines to `report`.
void attemptAll(const Scene& scene, bool confined, int report)
{
    const int workingFile = open(scene.outputFolder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0644);
    const int earlierSocket = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    std::string lines;
    const auto note = [&](const char* name, bool worked) { lines += std::string(name) + (worked ? "=1\n" : "=0\n"); };
    if (confined) {
        try {
            note("landlock", !conv::confine({scene.input, scene.outputFolder, workingFile}));
        } catch (const std::exception&) {
            note("landlock", false);
        }
    }
    note("read input", canOpen(scene.input, O_RDONLY));
    note("write output", workingFile >= 0 && canWriteOutput(workingFile, scene.outputFolder));
    note("read outside", canOpen(scene.outside, O_RDONLY));
    note("create beside input", canOpen(scene.inputFolder + "/new.txt", O_WRONLY | O_CREAT | O_EXCL));
    note("write beside input", canOpen(scene.inputFolder + "/notes.txt", O_WRONLY | O_APPEND));
    note("create in home",
         canOpen(scene.homeProbe, O_WRONLY | O_CREAT | O_EXCL) && unlink(scene.homeProbe.c_str()) == 0);
    note("rename input", rename(scene.input.c_str(), (scene.inputFolder + "/moved.3gp").c_str()) == 0 &&
                             rename((scene.inputFolder + "/moved.3gp").c_str(), scene.input.c_str()) == 0);
    note("connect", canConnect(earlierSocket, scene.listenerPort));
    const int newSocket = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    note("new socket", newSocket >= 0);
    note("start /bin/true", canSpawnTrue());
    note("remove input", unlink(scene.input.c_str()) == 0);
    if (write(report, lines.data(), lines.size()) != static_cast<ssize_t>(lines.size()))
        _exit(3);
    _exit(0);
}

// Forks a child that makes the attempts; returns what worked, by name.
QMap<QString, bool> attemptInChild(const Scene& scene, bool confined)
{
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return {};
    const pid_t child = fork();
    if (child == 0) {
        close(pipeEnds[0]);
        attemptAll(scene, confined, pipeEnds[1]);
    }
    close(pipeEnds[1]);
    QByteArray text;
    char buffer[512];
    ssize_t got = 0;
    while ((got = read(pipeEnds[0], buffer, sizeof buffer)) > 0)
        text.append(buffer, got);
    close(pipeEnds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    QMap<QString, bool> worked;
    for (const QByteArray& line : text.split('\n'))
        if (line.contains('='))
            worked.insert(QString::fromUtf8(line.left(line.indexOf('='))), line.endsWith('1'));
    return worked;
}

bool writeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

}  // namespace

class ConverterConfinementTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    int listener_ = -1;

    QString path(const QString& name) const { return dir_.filePath(name); }

    Scene freshScene()
    {
        QDir(dir_.path()).removeRecursively();
        for (const char* folder : {"in", "out", "elsewhere"})
            QDir().mkpath(path(QString::fromLatin1(folder)));
        writeFile(path(QStringLiteral("in/clip.3gp")), "a 3GP source");
        writeFile(path(QStringLiteral("in/notes.txt")), "beside the source");
        writeFile(path(QStringLiteral("out/result.3gp")), "an earlier result");
        writeFile(path(QStringLiteral("elsewhere/secret.txt")), "the user's documents");
        Scene scene;
        scene.input = path(QStringLiteral("in/clip.3gp")).toStdString();
        scene.inputFolder = path(QStringLiteral("in")).toStdString();
        scene.outputFolder = path(QStringLiteral("out")).toStdString();
        scene.outside = path(QStringLiteral("elsewhere/secret.txt")).toStdString();
        scene.homeProbe =
            QDir::home().filePath(QStringLiteral(".conv-confinement-probe-%1").arg(getpid())).toStdString();
        sockaddr_in address{};
        socklen_t size = sizeof address;
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size);
        scene.listenerPort = ntohs(address.sin_port);
        return scene;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        QVERIFY(bind(listener_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0);
        QVERIFY(listen(listener_, 8) == 0);
    }

    void cleanupTestCase() { close(listener_); }

    void subvertedDecoderIsHeldIn()
    {
        const QStringList needed{QStringLiteral("read input"), QStringLiteral("write output")};
        const QStringList forbidden{QStringLiteral("read outside"),       QStringLiteral("create beside input"),
                                    QStringLiteral("write beside input"), QStringLiteral("create in home"),
                                    QStringLiteral("rename input"),       QStringLiteral("connect"),
                                    QStringLiteral("new socket"),         QStringLiteral("start /bin/true"),
                                    QStringLiteral("remove input")};
        const QMap<QString, bool> free = attemptInChild(freshScene(), false);
        QCOMPARE(free.size(), needed.size() + forbidden.size());
        for (auto attempt = free.cbegin(); attempt != free.cend(); ++attempt)
            QVERIFY2(attempt.value(), qPrintable(attempt.key() + QStringLiteral(" fails even unconfined")));

        const Scene scene = freshScene();
        const QMap<QString, bool> confined = attemptInChild(scene, true);
        QVERIFY2(confined.value(QStringLiteral("landlock")), "this kernel has no Landlock, or confining failed");
        for (const QString& attempt : needed)
            QVERIFY2(confined.value(attempt), qPrintable(attempt));
        for (const QString& attempt : forbidden)
            QVERIFY2(confined.contains(attempt) && !confined.value(attempt), qPrintable(attempt));
        QVERIFY(QFile::exists(QString::fromStdString(scene.input)));
        QVERIFY(!QFile::exists(QString::fromStdString(scene.homeProbe)));
    }
};

QTEST_APPLESS_MAIN(ConverterConfinementTest)
#include "tst_conv_confinement.moc"
