// Copying a large file: the program's copy against cp, alternating, several rounds.
//   copy_probe FILE [ROUNDS]
// Writes beside FILE. Dirty pages are flushed before each copy so that neither pays
// for the other's write-back.

#include "platform/FileOperations.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <unistd.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char* argv[])
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: copy_probe FILE [ROUNDS]\n");
        return 2;
    }
    const QString source = QFile::decodeName(argv[1]);
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
    const QString target = source + QStringLiteral(".copy");
    const double megabytes = static_cast<double>(QFileInfo(source).size()) / 1e6;

    std::vector<double> ours, cp;
    for (int round = 0; round < rounds; ++round) {
        QFile::remove(target);
        ::sync();
        QElapsedTimer timer;
        timer.start();
        QProcess::execute(QStringLiteral("cp"), {source, target});
        cp.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e9);

        QFile::remove(target);
        ::sync();
        timer.start();
        if (!platform::copyFileReplacing(source, target).ok()) {
            std::fprintf(stderr, "copy failed\n");
            return 1;
        }
        ours.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e9);
        std::printf("round %d: cp %.3f s, program %.3f s\n", round + 1, cp.back(), ours.back());
    }
    QFile::remove(target);
    const double cpRate = megabytes / median(cp);
    const double ourRate = megabytes / median(ours);
    std::printf("median: cp %.0f MB/s, program %.0f MB/s, program / cp %.2f (target >= 0.9)\n", cpRate, ourRate,
                ourRate / cpRate);
    return 0;
}
