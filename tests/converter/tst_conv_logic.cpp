// The converter's decisions that need no media: command line, picture
// placement, frame-rate conversion, frame skipping, sound placement, AMR modes.

#include "audio/amr_encoder.hpp"
#include "audio/audio_track.hpp"
#include "cli/command_line.hpp"
#include "pipeline/bounded_queue.hpp"
#include "pipeline/progress_reporter.hpp"
#include "source/disposable_packets.hpp"
#include "source/stream_clock.hpp"
#include "video/frame_geometry.hpp"
#include "video/frame_rate_converter.hpp"
#include "video/frame_skipper.hpp"
#include "video/picture_feed.hpp"
#include "video/picture_fitter.hpp"
#include "video/temporal_reference.hpp"
#include "video/video_encoder.hpp"

#include <QtTest>

#include <atomic>
#include <cstdio>
#include <thread>

using namespace conv;

namespace {

std::vector<std::string> words(const QString& line)
{
    std::vector<std::string> result;
    for (const QString& word : line.split(QLatin1Char(' ')))
        result.push_back(word.toStdString());
    return result;
}

// Which source picture each output frame shows, for pictures at the given times.
QList<int> shownPictures(AVRational outputRate, const QList<double>& starts, double end)
{
    FrameRateConverter converter(outputRate);
    QList<int> shown;
    for (int i = 0; i <= starts.size(); ++i) {
        const SlotRange range = i < starts.size() ? converter.nextPicture(starts[i]) : converter.finish(end);
        for (std::int64_t slot = range.first; slot < range.end; ++slot) {
            if (slot != shown.size())
                return {-1};  // slots must come in order without holes
            shown << i - 1;
        }
    }
    return shown;
}

}  // namespace

class ConverterLogicTest : public QObject {
    Q_OBJECT

private slots:
    void windowCommandLineIsUnderstood()
    {
        const ParsedCommand parsed = parseCommandLine(words(QStringLiteral(
            "-i /tmp/x/tmpFile.avi -vcodec h263 -b 256 -y -r 23.975 -s 320x240 -acodec amr_nb -ac 1 -f 3gp -ar 8000 "
            "-ab 64  /tmp/x/tmpFile.3gp")));
        QCOMPARE(parsed.kind, CommandKind::Convert);
        const ConversionRequest& r = parsed.request;
        QCOMPARE(r.inputPath, std::string("/tmp/x/tmpFile.avi"));
        QCOMPARE(r.outputPath, std::string("/tmp/x/tmpFile.3gp"));
        QVERIFY(r.replaceOutput);
        QCOMPARE(r.width, 320);
        QCOMPARE(r.height, 240);
        QCOMPARE(r.videoKbps, 256.0);
        QCOMPARE(r.audioKbps, 64.0);
        QCOMPARE(r.frameRate.num, 959);
        QCOMPARE(r.frameRate.den, 40);
        QVERIFY(!r.keepSoundLevel);  // the window's sound is made phone-loud
    }

    void optionsComeInAnyOrder()
    {
        const ParsedCommand parsed =
            parseCommandLine(words(QStringLiteral("out.3gp -s 128x96 -ab 32 -keep-level -i in.flv -r 25.0 -b 40")));
        QCOMPARE(parsed.request.outputPath, std::string("out.3gp"));
        QCOMPARE(parsed.request.inputPath, std::string("in.flv"));
        QCOMPARE(parsed.request.width, 128);
        QVERIFY(!parsed.request.replaceOutput);
        QVERIFY(parsed.request.keepSoundLevel);
        QCOMPARE(parsed.request.frameRate.num, 25);
        QCOMPARE(parsed.request.frameRate.den, 1);
    }

    void frameRatesAreExactFractions_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("num");
        QTest::addColumn<int>("den");
        QTest::newRow("14.985") << "14.985" << 2997 << 200;
        QTest::newRow("23.975") << "23.975" << 959 << 40;
        QTest::newRow("25.0") << "25.0" << 25 << 1;
        QTest::newRow("29.97") << "29.97" << 2997 << 100;
        QTest::newRow("0.5") << "0.5" << 1 << 2;
    }
    void frameRatesAreExactFractions()
    {
        QFETCH(QString, text);
        QFETCH(int, num);
        QFETCH(int, den);
        const AVRational rate = parseFrameRate(text.toStdString());
        QCOMPARE(rate.num, num);
        QCOMPARE(rate.den, den);
    }

    void badCommandLinesAreRefused_data()
    {
        QTest::addColumn<QString>("line");
        QTest::newRow("unknown option") << "-i a.avi -q 3 out.3gp";
        QTest::newRow("missing value") << "out.3gp -i a.avi -b";
        QTest::newRow("rate not a number") << "-i a.avi -r fast out.3gp";
        QTest::newRow("rate zero") << "-i a.avi -r 0 out.3gp";
        QTest::newRow("rate negative") << "-i a.avi -r -25 out.3gp";
        QTest::newRow("bit rate with unit") << "-i a.avi -b 120k out.3gp";
        QTest::newRow("size without x") << "-i a.avi -s 176 out.3gp";
        QTest::newRow("size odd") << "-i a.avi -s 175x144 out.3gp";
        QTest::newRow("size zero") << "-i a.avi -s 0x144 out.3gp";
        QTest::newRow("size negative") << "-i a.avi -s -176x144 out.3gp";
        QTest::newRow("size junk") << "-i a.avi -s 176x144p out.3gp";
        QTest::newRow("stereo") << "-i a.avi -ac 2 out.3gp";
        QTest::newRow("other codec") << "-i a.avi -vcodec mpeg4 out.3gp";
        QTest::newRow("no input") << "out.3gp";
        QTest::newRow("no output") << "-i a.avi";
        QTest::newRow("two outputs") << "-i a.avi one.3gp two.3gp";
    }
    void badCommandLinesAreRefused()
    {
        QFETCH(QString, line);
        QVERIFY_THROWS_EXCEPTION(UsageError, parseCommandLine(words(line)));
    }

    void pictureKeepsItsShape_data()
    {
        QTest::addColumn<int>("srcW");
        QTest::addColumn<int>("srcH");
        QTest::addColumn<int>("sarNum");
        QTest::addColumn<int>("sarDen");
        QTest::addColumn<int>("turns");
        QTest::addColumn<int>("frameW");
        QTest::addColumn<int>("frameH");
        QTest::addColumn<QRect>("expected");
        // 12:11 pixels: a 4:3 source fills the standard sizes exactly.
        QTest::newRow("4:3 in QCIF") << 640 << 480 << 1 << 1 << 0 << 176 << 144 << QRect(0, 0, 176, 144);
        QTest::newRow("4:3 in CIF") << 320 << 240 << 1 << 1 << 0 << 352 << 288 << QRect(0, 0, 352, 288);
        QTest::newRow("16:9 in QCIF") << 1280 << 720 << 1 << 1 << 0 << 176 << 144 << QRect(0, 18, 176, 108);
        QTest::newRow("4:3 in 320x240") << 640 << 480 << 1 << 1 << 0 << 320 << 240 << QRect(0, 0, 320, 240);
        QTest::newRow("16:9 in 160x120") << 1280 << 720 << 1 << 1 << 0 << 160 << 120 << QRect(0, 14, 160, 90);
        QTest::newRow("SAR 64:45") << 352 << 288 << 64 << 45 << 0 << 320 << 240 << QRect(0, 28, 320, 184);
        QTest::newRow("rotated 16:9") << 1280 << 720 << 1 << 1 << 1 << 176 << 144 << QRect(50, 0, 74, 144);
        QTest::newRow("upside down") << 1280 << 720 << 1 << 1 << 2 << 176 << 144 << QRect(0, 18, 176, 108);
        QTest::newRow("portrait") << 1080 << 1440 << 1 << 1 << 0 << 320 << 240 << QRect(70, 0, 180, 240);
    }
    void pictureKeepsItsShape()
    {
        QFETCH(int, srcW);
        QFETCH(int, srcH);
        QFETCH(int, sarNum);
        QFETCH(int, sarDen);
        QFETCH(int, turns);
        QFETCH(int, frameW);
        QFETCH(int, frameH);
        QFETCH(QRect, expected);
        const Placement p = placePicture(SourcePicture{srcW, srcH, AVRational{sarNum, sarDen}, turns},
                                         OutputFrame{frameW, frameH, h263PixelAspect(frameW, frameH)});
        QCOMPARE(QRect(p.x, p.y, p.width, p.height), expected);
        QVERIFY(p.x % 2 == 0 && p.y % 2 == 0 && p.width % 2 == 0 && p.height % 2 == 0);
        QCOMPARE(p.scaledWidth(), turns % 2 ? p.height : p.width);
    }

    void rotationTagsBecomeQuarterTurns()
    {
        // av_display_rotation_get gives counter-clockwise degrees; phones held
        // upright record -90.
        QCOMPARE(quarterTurnsFromRotation(-90.0), 1);
        QCOMPARE(quarterTurnsFromRotation(90.0), 3);
        QCOMPARE(quarterTurnsFromRotation(180.0), 2);
        QCOMPARE(quarterTurnsFromRotation(-180.0), 2);
        QCOMPARE(quarterTurnsFromRotation(-89.6), 1);
        QCOMPARE(quarterTurnsFromRotation(0.0), 0);
        QCOMPARE(quarterTurnsFromRotation(std::nan("")), 0);
    }

    void turnedCopyPutsCornersRight()
    {
        // A 4x2 picture with numbered luma; after a clockwise quarter turn the
        // bottom-left pixel is top-left.
        FrameHandle source = allocateFrame();
        source->format = AV_PIX_FMT_YUV420P;
        source->width = 4;
        source->height = 2;
        QVERIFY(av_frame_get_buffer(source.get(), 0) >= 0);
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 4; ++x)
                source->data[0][y * source->linesize[0] + x] = static_cast<std::uint8_t>(10 * y + x);
        FrameHandle target = allocateFrame();
        target->format = AV_PIX_FMT_YUV420P;
        target->width = 2;
        target->height = 4;
        QVERIFY(av_frame_get_buffer(target.get(), 0) >= 0);

        const auto at = [&](int x, int y) { return target->data[0][y * target->linesize[0] + x]; };
        copyTurned(*source, *target, 0, 0, 1);
        QCOMPARE(at(0, 0), 10);  // was bottom-left
        QCOMPARE(at(1, 0), 0);   // was top-left
        QCOMPARE(at(0, 3), 13);  // was bottom-right
        copyTurned(*source, *target, 0, 0, 3);
        QCOMPARE(at(0, 0), 3);   // was top-right
        QCOMPARE(at(1, 3), 10);  // was bottom-left
    }

    void largePicturesAreReducedBeforeScaling()
    {
        // Halved both ways only while the scaler still reduces 2:1 or more
        // afterwards; otherwise lines only, where three or more become one.
        const auto reduction = [](int sw, int sh, int tw, int th) {
            const Reduction r = reductionBeforeScaling(sw, sh, tw, th);
            return std::pair{r.halvings, r.halveLines};
        };
        QCOMPARE(reduction(640, 480, 176, 144), std::pair(0, true));
        QCOMPARE(reduction(640, 360, 176, 144), std::pair(0, false));   // 2.5 lines to one
        QCOMPARE(reduction(1280, 720, 176, 108), std::pair(1, false));  // never both
        QCOMPARE(reduction(1920, 1080, 176, 100), std::pair(2, false));
        QCOMPARE(reduction(1282, 720, 176, 108), std::pair(0, true));  // chroma columns would not halve exactly
        QCOMPARE(reduction(640, 482, 176, 144), std::pair(0, false));  // nor chroma lines
        QCOMPARE(reduction(176, 144, 176, 144), std::pair(0, false));

        // 2x2 averages, rounded; the target's stride is its own.
        const std::uint8_t source[2 * 6] = {0, 1, 10, 20, 255, 255,  //
                                            1, 1, 30, 40, 254, 255};
        std::uint8_t target[4] = {7, 7, 7, 7};
        halvePlane(source, 6, 6, 2, target, 4);
        QCOMPARE((std::vector<int>(target, target + 4)), (std::vector<int>{1, 25, 255, 7}));

        // Line pairs averaged, rounded, at full width; an odd last line is left out.
        const std::uint8_t lines[3 * 3] = {0,  10, 255,  //
                                           1,  21, 254,  //
                                           99, 99, 99};
        std::uint8_t halved[2 * 4] = {7, 7, 7, 7, 7, 7, 7, 7};
        halvePlaneLines(lines, 3, 3, 3, halved, 4);
        QCOMPARE((std::vector<int>(halved, halved + 8)), (std::vector<int>{1, 16, 255, 7, 7, 7, 7, 7}));
    }

    void frameRateConversionPicksPictureOnScreen()
    {
        // 29.97 -> 14.985 keeps every other picture, starting with the first.
        QList<double> ntsc;
        for (int i = 0; i < 8; ++i)
            ntsc << i * 1001.0 / 30000;
        QCOMPARE(shownPictures({2997, 200}, ntsc, 8 * 1001.0 / 30000), (QList<int>{0, 2, 4, 6}));

        // 10 -> 25 repeats pictures: output frame n shows the one on screen at n/25.
        QCOMPARE(shownPictures({25, 1}, {0.0, 0.1, 0.2}, 0.3), (QList<int>{0, 0, 0, 1, 1, 2, 2, 2}));

        // Millisecond timestamps that are slightly early or late do not shift pictures.
        QCOMPARE(shownPictures({25, 1}, {0.0, 0.039, 0.081, 0.120}, 0.160), (QList<int>{0, 1, 2, 3}));

        // A source starting late: the first picture fills the start.
        QCOMPARE(shownPictures({10, 1}, {0.3, 0.4}, 0.5), (QList<int>{0, 0, 0, 0, 1}));

        // A gap of a second repeats the picture before it.
        QCOMPARE(shownPictures({5, 1}, {0.0, 0.2, 1.2}, 1.4), (QList<int>{0, 1, 1, 1, 1, 1, 2}));
    }

    void frameRateConversionEdgeCases()
    {
        // One picture of no length still gives one output frame.
        QCOMPARE(shownPictures({2997, 200}, {0.0}, 0.0), (QList<int>{0}));
        // Timestamps going backwards never make slots go backwards.
        QCOMPARE(shownPictures({10, 1}, {0.0, 0.5, 0.2, 0.6}, 0.7), (QList<int>{0, 0, 0, 0, 0, 2, 3}));
        // Nothing, for no pictures.
        QCOMPARE(shownPictures({10, 1}, {}, 1.0), QList<int>{});
    }

    void unneededPicturesAreRecognised()
    {
        FrameRateConverter converter({2997, 200});
        const double frame = 1001.0 / 30000;
        const auto shows = [&](double start, double duration) {
            return converter.slotsOf(start, duration).count() > 0;
        };
        QVERIFY(shows(0 * frame, frame));
        QVERIFY(!shows(1 * frame, frame));
        QVERIFY(shows(2 * frame, frame));
        QVERIFY(!shows(3 * frame, frame));
        // A long picture always shows.
        QVERIFY(shows(1 * frame, 3 * frame));
    }

    void reorderedPicturesThatAreShownAreDecoded()
    {
        // 30 pictures a second (ticks of 1/30 s) with B-frames, to 15: frame
        // k shows picture 2k, whatever its kind; the others are left out.
        AVFormatContext* format = avformat_alloc_context();
        AVStream* stream = avformat_new_stream(format, nullptr);
        stream->time_base = {1, 30};
        stream->avg_frame_rate = {30, 1};
        stream->codecpar->video_delay = 2;
        ConversionRequest request;
        request.frameRate = {15, 1};
        BoundedQueue<PictureJob> queue(16);
        const PictureFeed feed(request, *stream, 0, queue);
        const auto wants = [&](int pts) {
            AVPacket packet{};
            packet.pts = pts;
            packet.duration = 1;
            return feed.wants(packet);
        };
        // Decoding order I0 P3 B1 B2 P8 B4 B5 B6 B7.
        QCOMPARE(
            (QList<bool>{wants(0), wants(3), wants(1), wants(2), wants(8), wants(4), wants(5), wants(6), wants(7)}),
            (QList<bool>{true, false, false, true, true, true, false, true, false}));
        avformat_free_context(format);
    }

    // H.264 NAL unit headers: nal_ref_idc in bits 5-6, the type in bits 0-4.
    void unreferencedPicturesAreToldFromTheirHeaders()
    {
        AVCodecParameters h264{};
        h264.codec_id = AV_CODEC_ID_H264;
        const auto disposable = [&](std::vector<std::uint8_t> bytes, int flags = 0) {
            AVPacket packet{};
            packet.data = bytes.data();
            packet.size = static_cast<int>(bytes.size());
            packet.flags = flags;
            return isDisposable(packet, h264);
        };
        // After start codes (no avcC record): a slice nothing refers to, also
        // behind a delimiter; not a referenced slice, one with an SEI, a
        // delimiter alone.
        QVERIFY(disposable({0, 0, 0, 1, 0x01, 0x9a, 0x00}));
        QVERIFY(disposable({0, 0, 1, 0x09, 0xf0, 0, 0, 1, 0x01, 0x9a}));
        QVERIFY(!disposable({0, 0, 1, 0x21, 0x9a}));
        QVERIFY(!disposable({0, 0, 1, 0x06, 0x05, 0, 0, 1, 0x01, 0x9a}));
        QVERIFY(!disposable({0, 0, 1, 0x09, 0xf0}));
        // The same behind 2-byte lengths (the avcC record says how long).
        std::vector<std::uint8_t> avcC{1, 0x64, 0, 0x1f, 0xfd, 0xe1, 0};
        h264.extradata = avcC.data();
        h264.extradata_size = static_cast<int>(avcC.size());
        QVERIFY(disposable({0, 2, 0x01, 0x9a, 0, 1, 0x0c}));
        QVERIFY(!disposable({0, 2, 0x01, 0x9a, 0, 2, 0x41, 0x9a}));
        QVERIFY(!disposable({0, 2, 0x65, 0x88}));
        // A length past the packet's end, a zero length, a cut length.
        QVERIFY(!disposable({0, 3, 0x01, 0x9a}));
        QVERIFY(!disposable({0, 0, 0, 2, 0x01, 0x9a}));
        QVERIFY(!disposable({0, 2, 0x01, 0x9a, 0}));
        // The demuxer's word goes for any codec; without it other codecs are decoded.
        AVCodecParameters mpeg4{};
        mpeg4.codec_id = AV_CODEC_ID_MPEG4;
        AVPacket packet{};
        QVERIFY(!isDisposable(packet, mpeg4));
        packet.flags = AV_PKT_FLAG_DISPOSABLE;
        QVERIFY(isDisposable(packet, mpeg4));
    }

    void queuesHandOverInBatches()
    {
        // More items than fit: the producer waits for room, and every item
        // arrives once, in order, also the last ones, fewer than a batch.
        BoundedQueue<int> queue(8, nullptr, 4);
        QList<int> received;
        std::thread consumer([&] {
            while (auto item = queue.pop())
                received << *item;
        });
        for (int i = 0; i < 23; ++i)
            QVERIFY(queue.push(i));
        queue.close();
        consumer.join();
        QList<int> expected;
        for (int i = 0; i < 23; ++i)
            expected << i;
        QCOMPARE(received, expected);

        // A consumer waiting for a batch still gets a lone item when the
        // queue closes, and a stop ends a producer waiting for room.
        BoundedQueue<int> lone(8, nullptr, 4);
        std::optional<int> first;
        std::thread waiting([&] { first = lone.pop(); });
        QVERIFY(lone.push(7));
        lone.close();
        waiting.join();
        QCOMPARE(first, std::optional<int>(7));

        std::atomic<bool> stop{false};
        BoundedQueue<int> full(2, &stop, 2);
        QVERIFY(full.push(1) && full.push(2));
        std::thread stopper([&] { stop = true; });
        QVERIFY(!full.push(3));
        stopper.join();
    }

    void soundIsPlacedOnTheTimeline()
    {
        // A gap gets silence, an overlap is cut, a few samples either way are left alone.
        SamplePlacement p = placeSamples(8000, 1000, 4000);
        QCOMPARE(p.silence, qint64(4000));
        QCOMPARE(p.drop, qint64(0));
        p = placeSamples(3000, 1600, 4000);
        QCOMPARE(p.silence, qint64(0));
        QCOMPARE(p.drop, qint64(1000));
        p = placeSamples(1000, 500, 4000);  // wholly before what was written
        QCOMPARE(p.drop, qint64(500));
        p = placeSamples(4100, 1000, 4000);
        QCOMPARE(p.silence + p.drop, qint64(0));
        p = placeSamples(3900, 1000, 4000);
        QCOMPARE(p.silence + p.drop, qint64(0));
    }

    void streamClockFollowsTimestamps()
    {
        StreamClock clock({1, 1000}, 2.0);
        QCOMPARE(clock.place(2000, 0.04), 0.0);
        QCOMPARE(clock.place(AV_NOPTS_VALUE, 0.04), 0.04);  // continues after the last one
        QCOMPARE(clock.place(3000, 0.04), 1.0);             // a real pause is kept
        // A jump of an hour is a broken timestamp: the stream goes on where it was.
        QCOMPARE(clock.place(3600000, 0.04), 1.04);
        QCOMPARE(clock.place(3600040, 0.04), 1.08);
    }

    // Each picture's temporal reference is the clock tick nearest its time,
    // and no two pictures share one, at any rate: the clock in the header is
    // never slower than the pictures where the header carries one.
    void temporalReferencesAreTheNearestTicks_data()
    {
        QTest::addColumn<QString>("rate");
        QTest::addColumn<bool>("extended");
        for (const char* rate : {"14.985", "15", "23.975", "25.0", "29.97", "1", "7.5"})
            QTest::addRow("%s fps baseline", rate) << QString::fromLatin1(rate) << false;
        for (const char* rate : {"14.985", "17", "23.975", "30", "31", "60", "120"})
            QTest::addRow("%s fps extended", rate) << QString::fromLatin1(rate) << true;
    }
    void temporalReferencesAreTheNearestTicks()
    {
        QFETCH(QString, rate);
        QFETCH(bool, extended);
        const AVRational frameRate = conv::parseFrameRate(rate.toStdString());
        const AVRational timeBase = av_inv_q(frameRate);
        const conv::H263Clock clock = conv::h263ClockFor(timeBase, extended);
        const double clockHz = 1.8e6 / ((1000 + clock.clockCode) * clock.divisor);
        QVERIFY2(clock.inHeader == (extended && clock.custom()), "a custom clock is only in an extended header");
        if (clock.inHeader)
            QVERIFY2(clockHz >= av_q2d(frameRate), qPrintable(QString::number(clockHz)));
        std::int64_t previous = -1;
        for (std::int64_t frame = 0; frame < 5000; ++frame) {
            const std::int64_t reference = conv::temporalReference(frame, timeBase, clock);
            const double ticks = static_cast<double>(frame) / av_q2d(frameRate) * clockHz;
            QVERIFY2(std::abs(static_cast<double>(reference) - ticks) <= 0.5 + 1e-6,
                     qPrintable(QStringLiteral("frame %1: %2 for %3").arg(frame).arg(reference).arg(ticks)));
            QVERIFY2(reference > previous, qPrintable(QStringLiteral("frame %1").arg(frame)));
            previous = reference;
        }
    }

    void audioRatesMapToAmrModes_data()
    {
        QTest::addColumn<double>("requested");
        QTest::addColumn<double>("kbps");
        for (int rate : {32, 48, 64, 80, 96, 128})
            QTest::addRow("%d", rate) << double(rate) << 12.2;
        QTest::newRow("12.2") << 12.2 << 12.2;
        QTest::newRow("12") << 12.0 << 10.2;
        QTest::newRow("7.95") << 7.95 << 7.95;
        QTest::newRow("5") << 5.0 << 4.75;
        QTest::newRow("1") << 1.0 << 4.75;
    }
    void audioRatesMapToAmrModes()
    {
        QFETCH(double, requested);
        QFETCH(double, kbps);
        QCOMPARE(amrModeFor(requested).kbps, kbps);
    }

    void amrEncoderFramesAndPadsSound()
    {
        AmrEncoder encoder(amrModeFor(48));
        QList<AmrEncoder::Packet> packets;
        const auto sink = [&](const AmrEncoder::Packet& p) { packets << p; };
        std::vector<std::int16_t> samples(400, 0);
        encoder.push(samples, sink);
        QCOMPARE(packets.size(), 2);  // 320 of 400 samples make two frames
        encoder.finish(sink);
        QCOMPARE(packets.size(), 3);  // the rest is padded into a third
        QCOMPARE(packets[2].firstSample, qint64(320));
        for (const auto& p : packets) {
            QCOMPARE(p.bytes.size(), std::size_t(32));  // 12.2 kbit/s: TOC byte + 31
            QCOMPARE(p.bytes[0] >> 3 & 0x0f, 7);        // mode 7 in the TOC
        }
    }

    // An encoder model that cannot go below its smallest pictures: 40 kbit/s
    // at 30 frames a second (1333 bits a frame), predicted pictures of 1800
    // bits and a key picture of 21,000 every 132 coded ones. Left alone that is
    // 1.35 times the rate on average and 1.8 times it in the second around a
    // key picture; with frames left out, every second stays within the limit
    // and the average within a buffer of the rate.
    void frameSkipperHoldsEverySecondAndTheAverage()
    {
        const int perSecond = 30;
        const SkipLimits limits{40000.0 / perSecond, perSecond, 16000, 56000, 132};
        FrameSkipper skipper(limits);
        std::vector<double> bits;  // per frame, 0 when left out
        int coded = 0;
        for (int frame = 0; frame < 60 * perSecond; ++frame) {
            double size = 0;
            if (!skipper.leaveOut()) {
                const bool key = coded % 132 == 0;
                size = key ? 21000 : 1800;
                skipper.written(static_cast<std::int64_t>(size / 8), key);
                ++coded;
            }
            bits.push_back(size);
            skipper.framePassed();
        }
        double total = 0, mostInASecond = 0, window = 0;
        for (std::size_t i = 0; i < bits.size(); ++i) {
            total += bits[i];
            window += bits[i] - (i >= perSecond ? bits[i - perSecond] : 0);
            mostInASecond = std::max(mostInASecond, window);
        }
        QVERIFY2(mostInASecond <= 56000 + 1800, qPrintable(QString::number(mostInASecond)));
        QVERIFY2(total <= 40000 * 60 + 16000 + 21000, qPrintable(QString::number(total)));
        // It leaves out what it must, not everything.
        QVERIFY2(total >= 0.9 * 40000 * 60, qPrintable(QString::number(total)));
        QVERIFY(coded > 10 * 60);

        // Within the rate, nothing is left out.
        FrameSkipper easy(limits);
        for (int frame = 0; frame < 10 * perSecond; ++frame) {
            QVERIFY(!easy.leaveOut());
            easy.written(frame % 132 == 0 ? 2000 : 150, frame % 132 == 0);
            easy.framePassed();
            QVERIFY(!easy.leavingOutOften());
        }

        // Predicted pictures within their share: only the few frames after a
        // key picture are left out, which is not leaving out often (that
        // would have the encoder starve every picture for nothing).
        FrameSkipper afterKeys(limits);
        int afterKeysLeftOut = 0;
        for (int frame = 0, codedHere = 0; frame < 20 * perSecond; ++frame) {
            if (afterKeys.leaveOut()) {
                ++afterKeysLeftOut;
            } else {
                afterKeys.written(codedHere % 132 == 0 ? 21000 / 8 : 1200 / 8, codedHere % 132 == 0);
                ++codedHere;
            }
            afterKeys.framePassed();
            QVERIFY2(!afterKeys.leavingOutOften(), qPrintable(QString::number(frame)));
        }
        QVERIFY(afterKeysLeftOut > 0);

        // A picture larger than a whole second's limit still gets coded once a
        // second has been left out: the video goes on.
        FrameSkipper huge(limits);
        int hugeCoded = 0;
        for (int frame = 0; frame < 5 * perSecond; ++frame) {
            if (!huge.leaveOut()) {
                huge.written(100000 / 8, true);
                ++hugeCoded;
            }
            huge.framePassed();
            if (frame >= perSecond)
                QVERIFY(huge.leavingOutOften());
        }
        QVERIFY(hugeCoded >= 4);
    }

    // The duration shown is the source's claim while it holds, else an
    // estimate from the share of the file read, else none (0); time never
    // runs past it. (Wrong claims of real files: tst_conv_inputs.)
    void progressDurationFollowsWhatIsKnown()
    {
        std::FILE* lines = std::tmpfile();
        QVERIFY(lines);
        double fraction = -1;

        // A true claim stays, even where the bytes run unevenly.
        ProgressReporter honest(lines, std::chrono::milliseconds(0));
        honest.setReadFraction([&fraction] { return fraction; });
        honest.setDuration(60);
        fraction = 0.3;
        honest.update(29);
        QCOMPARE(honest.shownDuration(), 60.0);
        // The last sound frame runs a little over, before the index at the
        // file's end was read: the claim still holds, not time / fraction.
        fraction = 0.98;
        honest.update(60.07);
        QCOMPARE(honest.shownDuration(), 60.07);

        // Nothing known: none.
        ProgressReporter unknown(lines, std::chrono::milliseconds(0));
        unknown.update(3);
        QCOMPARE(unknown.shownDuration(), 0.0);
        // The end says it.
        unknown.finish(3.5);
        QCOMPARE(unknown.shownDuration(), 3.5);

        std::rewind(lines);
        char line[128];
        int count = 0;
        while (std::fgets(line, sizeof line, lines)) {
            double time = 0, duration = 0;
            QCOMPARE(std::sscanf(line, "progress: time=%lf duration=%lf", &time, &duration), 2);
            QVERIFY2(duration == 0 || time <= duration, line);
            ++count;
        }
        QCOMPARE(count, 4);
        std::fclose(lines);
    }

    // A progress line nobody can read any more (the window is gone) stops the run.
    void unreadProgressRequestsAStop()
    {
        std::FILE* closed = std::fopen("/dev/null", "r");  // writes fail
        QVERIFY(closed);
        std::atomic<bool> stop{false};
        ProgressReporter progress(closed, std::chrono::milliseconds(0));
        progress.stopWhenUnread(&stop);
        progress.update(1);
        QVERIFY(stop.load());
        std::fclose(closed);
    }
};

QTEST_GUILESS_MAIN(ConverterLogicTest)
#include "tst_conv_logic.moc"
