// Measures how long a program takes from its start to the first painted frame of a
// window centred on the screen: it starts the program and watches the pixel at the
// screen's centre until it changes from the empty background. Nothing inside the
// measured program is involved, so any two programs compare fairly.
//   first_paint_probe RUNS PROGRAM_A PROGRAM_B
// Prints one line per run and program, then the medians and their ratio B / A.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

QRgb centrePixel(QScreen* screen)
{
    const QRect area = screen->geometry();
    return screen->grabWindow(0, area.width() / 2, area.height() / 2, 1, 1).toImage().pixel(0, 0);
}

// Milliseconds from start to the first frame, or a negative number on a timeout.
double timeToFirstFrame(QScreen* screen, const QString& program)
{
    const QRgb empty = centrePixel(screen);
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer clock;
    clock.start();
    process.start(program, {});
    double elapsed = -1;
    while (clock.elapsed() < 20000) {
        if (centrePixel(screen) != empty) {
            elapsed = static_cast<double>(clock.nsecsElapsed()) / 1e6;
            break;
        }
        QThread::usleep(500);
    }
    process.kill();
    process.waitForFinished(5000);
    // Let the screen settle back to empty before the next run.
    for (int i = 0; i < 200 && centrePixel(screen) != empty; ++i)
        QThread::msleep(10);
    return elapsed;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char* argv[])
{
    QGuiApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 4) {
        std::fprintf(stderr, "usage: first_paint_probe RUNS REFERENCE_PROGRAM MEASURED_PROGRAM\n");
        return 2;
    }
    const int runs = arguments[1].toInt();
    QScreen* screen = QGuiApplication::primaryScreen();

    std::vector<double> reference, measured;
    for (int run = 0; run < runs; ++run) {
        // Alternate so that both see the same machine load.
        reference.push_back(timeToFirstFrame(screen, arguments[2]));
        measured.push_back(timeToFirstFrame(screen, arguments[3]));
        std::printf("run %d: reference %.1f ms, measured %.1f ms\n", run + 1, reference.back(), measured.back());
        std::fflush(stdout);
    }
    if (std::count_if(reference.begin(), reference.end(), [](double v) { return v < 0; }) +
            std::count_if(measured.begin(), measured.end(), [](double v) { return v < 0; }) >
        0) {
        std::fprintf(stderr, "a program showed no window within 20 s\n");
        return 1;
    }
    const double referenceMedian = median(reference);
    const double measuredMedian = median(measured);
    std::printf("median: reference %.1f ms, measured %.1f ms, ratio %.2f\n", referenceMedian, measuredMedian,
                measuredMedian / referenceMedian);
    return 0;
}
