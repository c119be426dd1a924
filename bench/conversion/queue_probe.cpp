// A queue against the same files converted one by one, through the main window
// (offscreen), in alternating rounds:
//   queue_probe CONVERTER ROUNDS CLIP...
// The converter is wrapped by a script that notes when each run starts and ends, so
// the program's own time between two converters shows apart from the converters'.
// Prints the wall time of each way, their ratio, and the gaps between one
// converter's end and the next one's start within a queue.

#include "WindowProbe.h"
#include "app/frmMain.h"
#include "dialogs/MessageBox.h"
#include "dialogs/OpenFileDialog.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// The gaps, in ms, between each "end" line and the "start" line after it; the
// converters' own time, from each start to its end, is added to `busyMs`.
std::vector<double> gapsIn(const QString& log, double& busyMs)
{
    QFile file(log);
    file.open(QIODevice::ReadOnly);
    std::vector<double> gaps;
    qint64 lastEnd = 0;
    qint64 lastStart = 0;
    for (const QByteArray& line : file.readAll().split('\n')) {
        const QList<QByteArray> parts = line.split(' ');
        if (parts.size() != 2)
            continue;
        const qint64 at = parts[1].toLongLong();
        if (parts[0] == "end") {
            lastEnd = at;
            busyMs += static_cast<double>(at - lastStart) / 1e6;
            continue;
        }
        lastStart = at;
        if (lastEnd)
            gaps.push_back(static_cast<double>(at - lastEnd) / 1e6);
    }
    return gaps;
}

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char* argv[])
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: queue_probe CONVERTER ROUNDS CLIP...\n");
        return 2;
    }
    QTemporaryDir scratch;
    const QString app = scratch.filePath(QStringLiteral("app"));
    const QString tools = scratch.filePath(QStringLiteral("tools"));
    for (const QString& folder : {app, tools, scratch.filePath(QStringLiteral("tmp"))})
        QDir().mkpath(folder);
    const QString log = scratch.filePath(QStringLiteral("runs.log"));
    probe::writeScript(app + QStringLiteral("/conv.dll"),
                       QStringLiteral("echo start $(date +%s%N) >> '%2'\n'%1' \"$@\"\nstatus=$?\n"
                                      "echo end $(date +%s%N) >> '%2'\nexit $status\n")
                           .arg(QFile::decodeName(argv[1]), log));
    probe::writeScript(tools + QStringLiteral("/xdg-open"), QStringLiteral("exit 0\n"));
    qputenv("PATH", QFile::encodeName(tools) + ':' + qgetenv("PATH"));
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent");
    const int rounds = std::max(1, QByteArray(argv[2]).toInt());
    QStringList clips;
    for (int i = 3; i < argc; ++i)
        clips << QFile::decodeName(argv[i]);

    QApplication application(argc, argv);
    int warnings = 0;
    dialogs::setMessageSink([&warnings](const dialogs::Message& message) {
        ++warnings;
        std::fprintf(stderr, "warning: %s\n", qPrintable(message.text));
    });
    frmMain window({app, scratch.filePath(QStringLiteral("tmp"))});
    window.Form_Load();
    window.showCentred();

    std::vector<double> queueSeconds, singleSeconds, queueGaps, singleGaps;
    double queueBusyMs = 0, singleBusyMs = 0;
    const auto asQueue = [&] {
        QFile::remove(log);
        QElapsedTimer wall;
        wall.start();
        dialogs::setNextOpenFileNames(clips);
        probe::clickButton(window, 0);
        probe::clickButton(window, 2);
        queueSeconds.push_back(static_cast<double>(wall.nsecsElapsed()) / 1e9);
        const std::vector<double> these = gapsIn(log, queueBusyMs);
        queueGaps.insert(queueGaps.end(), these.begin(), these.end());
    };
    const auto oneByOne = [&] {
        QFile::remove(log);
        QElapsedTimer wall;
        wall.start();
        for (const QString& clip : clips) {
            dialogs::setNextOpenFileName(clip);
            probe::clickButton(window, 0);
            probe::clickButton(window, 2);
        }
        singleSeconds.push_back(static_cast<double>(wall.nsecsElapsed()) / 1e9);
        const std::vector<double> these = gapsIn(log, singleBusyMs);
        singleGaps.insert(singleGaps.end(), these.begin(), these.end());
    };
    // Each way goes first in every other round, so neither always finds the files
    // and the machine as the other left them.
    for (int round = 0; round < rounds; ++round) {
        if (round % 2 == 0) {
            asQueue();
            oneByOne();
        } else {
            oneByOne();
            asQueue();
        }
    }
    const auto results = QDir(app + QStringLiteral("/output")).entryList({QStringLiteral("*.3gp")});
    if (warnings || results.size() != 2 * rounds * clips.size()) {
        std::fprintf(stderr, "%d warnings, %lld results\n", warnings, static_cast<long long>(results.size()));
        return 1;
    }
    const double queue = median(queueSeconds);
    const double single = median(singleSeconds);
    std::printf("%lld clips, %d rounds (medians)\n", static_cast<long long>(clips.size()), rounds);
    std::printf("queue, one Convert          %8.2f s\n", queue);
    std::printf("one by one, one Convert each    %8.2f s\n", single);
    std::printf("queue / one by one          %8.3f   (target <= 1.05)\n", queue / single);
    const auto printGaps = [](const char* way, const std::vector<double>& gaps) {
        std::printf("%s median %.1f ms, max %.1f ms over %zu gaps\n", way, median(gaps),
                    gaps.empty() ? 0.0 : *std::max_element(gaps.begin(), gaps.end()), gaps.size());
    };
    printGaps("gap end -> next start, queue     ", queueGaps);  // target < 50 ms
    printGaps("gap end -> next start, one by one", singleGaps);
    std::printf("converters' own time, queue / one by one  %.3f (%.1f s against %.1f s in all)\n",
                queueBusyMs / singleBusyMs, queueBusyMs / 1000, singleBusyMs / 1000);
    return 0;
}
