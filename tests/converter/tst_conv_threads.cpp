// The converter's threads: the reading thread (demuxing and video decoding),
// the scaling, H.263, sound decoding and AMR-NB threads. A failure on any of
// them, or a stop request, must end the whole run with nothing at the output;
// all work at the priority of the thread that starts the run; the number of
// decoder threads must not change what comes out.

#include "base/errors.hpp"
#include "conv_test_support.h"
#include "conversion.hpp"

#include <QtTest>

extern "C" {
#include <libavutil/log.h>
}

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <future>
#include <mutex>
#include <numeric>
#include <thread>

#include <sys/resource.h>
#include <unistd.h>

using namespace convtest;

namespace {

QStringList words(const char* line) { return QString::fromLatin1(line).split(QLatin1Char(' ')); }

// Progress lines go nowhere.
struct QuietProgress {
    std::FILE* sink = std::tmpfile();
    conv::ProgressReporter reporter{sink};
    ~QuietProgress() { std::fclose(sink); }
};

conv::ConversionRequest requestFor(const QString& input, const QString& output)
{
    conv::ConversionRequest request;
    request.inputPath = input.toStdString();
    request.outputPath = output.toStdString();
    request.replaceOutput = true;
    request.width = 176;
    request.height = 144;
    request.frameRate = AVRational{2997, 200};
    request.videoKbps = 120;
    request.audioKbps = 12.2;
    return request;
}

// A hook that throws on its nth call: by then every queue has work in it.
std::function<void()> failOnCall(int n, const std::string& message)
{
    auto calls = std::make_shared<std::atomic<int>>(0);
    return [calls, n, message] {
        if (++*calls == n)
            throw conv::ConversionError(message);
    };
}

}  // namespace

class ConverterThreadsTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    QString mpeg4_;
    QString h264_;

    QString at(const QString& name) const { return dir_.filePath(name); }

    // Only the sources are left in the folder: no output, no partial file.
    void verifyNoOutput() const
    {
        const QStringList left = QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
        QCOMPARE(left, (QStringList{QStringLiteral("h264.mp4"), QStringLiteral("mpeg4.avi")}));
    }

private slots:
    void initTestCase()
    {
        av_log_set_level(AV_LOG_QUIET);
        QVERIFY(dir_.isValid());
        mpeg4_ = at(QStringLiteral("mpeg4.avi"));
        h264_ = at(QStringLiteral("h264.mp4"));
        QVERIFY(makeMedia(words("-f lavfi -i testsrc2=size=320x240:rate=25 -f lavfi -i "
                                "sine=frequency=440:sample_rate=44100 -t 6 -c:v mpeg4 -q:v 4 -c:a libmp3lame -ac 2"),
                          mpeg4_));
        // B-pictures: frame-threaded decoding with pictures skipped.
        QVERIFY(makeMedia(words("-f lavfi -i testsrc2=size=640x480:rate=30 -f lavfi -i "
                                "sine=frequency=300:sample_rate=48000 -t 6 -c:v libx264 -preset veryfast -bf 3 "
                                "-c:a aac -ac 2"),
                          h264_));
    }

    void failureOnAnyThreadEndsTheRun_data()
    {
        QTest::addColumn<QString>("thread");
        QTest::newRow("reading and video decoding") << QStringLiteral("reading");
        QTest::newRow("video encoding") << QStringLiteral("video");
        QTest::newRow("sound decoding") << QStringLiteral("audio");
    }

    void failureOnAnyThreadEndsTheRun()
    {
        QFETCH(QString, thread);
        const std::string message = "failure injected on the " + thread.toStdString() + " thread";
        conv::RunTuning tuning;
        if (thread == QLatin1String("reading"))
            tuning.pictureDecoded = failOnCall(40, message);
        else if (thread == QLatin1String("video"))
            tuning.pictureEncoding = failOnCall(20, message);
        else
            tuning.soundDecoding = failOnCall(60, message);

        QuietProgress progress;
        const std::atomic<bool> stop{false};
        try {
            conv::convert(requestFor(h264_, at(QStringLiteral("out.3gp"))), progress.reporter, stop, tuning);
            QFAIL("the run went through");
        } catch (const conv::ConversionError& error) {
            QCOMPARE(std::string(error.what()), message);
        }
        verifyNoOutput();
    }

    void stopWithEveryQueueFullEndsPromptly()
    {
        // The encoding and audio threads hang on their first job until the
        // stop, so the scaling and reading threads fill every queue and wait. After the stop
        // every job is slow: working off the queues would take seconds.
        std::atomic<bool> stop{false};
        std::atomic<int> decoded{0};
        const auto holdUntilStop = [&stop] {
            const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(30);
            while (!stop.load() && std::chrono::steady_clock::now() < giveUp)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        };
        conv::RunTuning tuning;
        tuning.pictureDecoded = [&decoded] { ++decoded; };
        tuning.pictureEncoding = holdUntilStop;
        tuning.soundDecoding = holdUntilStop;

        QuietProgress progress;
        auto run = std::async(std::launch::async, [&] {
            try {
                conv::convert(requestFor(mpeg4_, at(QStringLiteral("out.3gp"))), progress.reporter, stop, tuning);
                return std::string("the run went through");
            } catch (const conv::ConversionError& error) {
                return std::string(error.what());
            }
        });

        // Full: no picture decoded for a while, long before the source's end.
        int seen = -1;
        for (int i = 0; i < 100 && seen != decoded.load(); ++i) {
            seen = decoded.load();
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
        }
        QCOMPARE(decoded.load(), seen);
        QVERIFY2(seen > 0 && seen < 100, qPrintable(QStringLiteral("%1 pictures decoded").arg(seen)));

        const auto stopAt = std::chrono::steady_clock::now();
        stop = true;
        QCOMPARE(run.wait_for(std::chrono::seconds(30)), std::future_status::ready);
        const auto took = std::chrono::steady_clock::now() - stopAt;
        QCOMPARE(run.get(), std::string("stopped on request"));
        QVERIFY(took < std::chrono::seconds(1));
        verifyNoOutput();
    }

    // Threads set lower than the one that starts the run starve whenever
    // another program keeps a core busy: every stage works at its priority.
    void everyThreadWorksAtTheStartersPriority()
    {
        const auto niceness = [] { return getpriority(PRIO_PROCESS, static_cast<id_t>(gettid())); };
        std::mutex mutex;
        QSet<int> seen;
        const auto note = [&] {
            std::lock_guard lock(mutex);
            seen.insert(niceness());
        };
        conv::RunTuning tuning;
        tuning.pictureDecoded = note;
        tuning.pictureEncoding = note;
        tuning.soundDecoding = note;
        int starter = 0;
        // On a thread of its own, so only it and what it starts run lower.
        std::thread([&] {
            setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), niceness() + 2);
            starter = niceness();
            QuietProgress progress;
            const std::atomic<bool> stop{false};
            conv::convert(requestFor(mpeg4_, at(QStringLiteral("out.3gp"))), progress.reporter, stop, tuning);
        }).join();
        QVERIFY(QFile::remove(at(QStringLiteral("out.3gp"))));
        QCOMPARE(seen, QSet<int>{starter});
    }

    void decoderThreadsDoNotChangeTheOutput_data()
    {
        QTest::addColumn<QString>("source");
        QTest::newRow("MPEG-4 + MP3") << QStringLiteral("mpeg4.avi");
        QTest::newRow("H.264 with B-pictures + AAC") << QStringLiteral("h264.mp4");
    }

    void decoderThreadsDoNotChangeTheOutput()
    {
        QFETCH(QString, source);
        const QString input = at(source);
        double psnr[2] = {0, 0};
        QVector<qint16> sound[2];
        for (int threads = 1; threads <= 2; ++threads) {
            const QString output = at(QStringLiteral("threads%1.3gp").arg(threads));
            conv::RunTuning tuning;
            tuning.videoDecoderThreads = threads;
            QuietProgress progress;
            const std::atomic<bool> stop{false};
            conv::convert(requestFor(input, output), progress.reporter, stop, tuning);
            const QVector<double> perPicture = psnrAgainstSource(output, input, 176, 144);
            psnr[threads - 1] = perPicture.isEmpty() ? 0.0
                                                     : std::accumulate(perPicture.begin(), perPicture.end(), 0.0) /
                                                           static_cast<double>(perPicture.size());
            sound[threads - 1] = monoSamples(output);
            QVERIFY(QFile::remove(output));
        }
        QVERIFY2(psnr[0] > 25, qPrintable(QString::number(psnr[0])));
        QVERIFY2(std::abs(psnr[0] - psnr[1]) <= 0.1, qPrintable(QStringLiteral("%1 / %2").arg(psnr[0]).arg(psnr[1])));
        QVERIFY(sound[0].size() > 8000 * 5);
        QVERIFY(sound[0] == sound[1]);
    }
};

QTEST_GUILESS_MAIN(ConverterThreadsTest)
#include "tst_conv_threads.moc"
