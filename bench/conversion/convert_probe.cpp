// One conversion through the main window (offscreen), timed:
//   convert_probe SOURCE CONVERTER
// The converter is wrapped by a script that notes the moment it ended; the desktop
// opener is a script that notes the moment it was asked, which is after the result
// is in the output folder. Prints the CPU time of this program and of its children
// over the run, and the time from the converter's end to the opener.

#include "WindowProbe.h"
#include "app/frmMain.h"
#include "dialogs/MessageBox.h"
#include "dialogs/OpenFileDialog.h"
#include "platform/FileOperations.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <sys/resource.h>
#include <cstdio>

namespace {

double seconds(const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; }

double cpuSeconds(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

qint64 stampOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed().toLongLong() : 0;
}

}  // namespace

int main(int argc, char* argv[])
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: convert_probe SOURCE CONVERTER\n");
        return 2;
    }
    QTemporaryDir scratch;
    const QString app = scratch.filePath(QStringLiteral("app"));
    const QString tools = scratch.filePath(QStringLiteral("tools"));
    QDir().mkpath(app);
    QDir().mkpath(tools);
    QDir().mkpath(scratch.filePath(QStringLiteral("tmp")));
    const QString ended = scratch.filePath(QStringLiteral("ended"));
    const QString opened = scratch.filePath(QStringLiteral("opened"));
    probe::writeScript(app + QStringLiteral("/conv.dll"),
                       QStringLiteral("'%1' \"$@\"\nstatus=$?\ndate +%s%N > '%2'\nexit $status\n")
                           .arg(QFile::decodeName(argv[2]), ended));
    probe::writeScript(tools + QStringLiteral("/xdg-open"), QStringLiteral("date +%s%N > '%1'\n").arg(opened));
    qputenv("PATH", QFile::encodeName(tools) + ':' + qgetenv("PATH"));
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent");

    QApplication application(argc, argv);
    dialogs::setMessageSink(
        [](const dialogs::Message& message) { std::fprintf(stderr, "warning: %s\n", qPrintable(message.text)); });
    frmMain window({app, scratch.filePath(QStringLiteral("tmp"))});
    window.Form_Load();
    window.showCentred();
    dialogs::setNextOpenFileName(QFile::decodeName(argv[1]));
    probe::clickButton(window, 0);

    const double selfBefore = cpuSeconds(RUSAGE_SELF);
    const double childrenBefore = cpuSeconds(RUSAGE_CHILDREN);
    QElapsedTimer wall;
    wall.start();
    probe::clickButton(window, 2);
    const double wallSeconds = static_cast<double>(wall.elapsed()) / 1000.0;
    const double self = cpuSeconds(RUSAGE_SELF) - selfBefore;
    const double children = cpuSeconds(RUSAGE_CHILDREN) - childrenBefore;

    for (int i = 0; i < 500 && stampOf(opened) == 0; ++i)
        QThread::msleep(10);
    const QStringList results = QDir(app + QStringLiteral("/output")).entryList({QStringLiteral("*.3gp")});
    if (results.isEmpty() || stampOf(opened) == 0) {
        std::fprintf(stderr, "no result\n");
        return 1;
    }
    const QString result = app + QStringLiteral("/output/") + results.first();

    // The copy alone, for comparison: the same copy again into a fresh folder.
    const QString again = scratch.filePath(QStringLiteral("again"));
    QDir().mkpath(again);
    QElapsedTimer copyTimer;
    copyTimer.start();
    (void)platform::copyUnderFreeName(
        result, again, [](int n) { return QString::number(n); }, nullptr);
    const double copyMs = static_cast<double>(copyTimer.nsecsElapsed()) / 1e6;

    std::printf("conversion wall time      %8.2f s\n", wallSeconds);
    std::printf("converter CPU time        %8.2f s\n", children);
    std::printf("program CPU time          %8.3f s\n", self);
    std::printf("program / converter       %8.4f   (target < 0.02)\n", children > 0 ? self / children : 0.0);
    std::printf("result size               %8lld bytes\n", static_cast<long long>(QFileInfo(result).size()));
    std::printf("converter end -> opener   %8.1f ms (includes starting the opener script)\n",
                static_cast<double>(stampOf(opened) - stampOf(ended)) / 1e6);
    std::printf("copy of the result alone  %8.1f ms   (target: end -> result < 50 ms + this)\n", copyMs);
    return 0;
}
