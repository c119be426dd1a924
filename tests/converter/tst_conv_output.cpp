// What conv.dll writes: the 3GP for every size and rate of the settings panel,
// bit rate, sync, picture shape, stream choice, safe replacement and progress.

#include "conv_test_support.h"

#include <QDirIterator>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

#include <sys/stat.h>
#include <unistd.h>

using namespace convtest;

namespace {

const QStringList kSizes{QStringLiteral("128x96"), QStringLiteral("160x120"), QStringLiteral("176x144"),
                         QStringLiteral("320x240"), QStringLiteral("352x288")};
const QStringList kRates{QStringLiteral("14.985"), QStringLiteral("23.975"), QStringLiteral("25.0"),
                         QStringLiteral("29.97")};
const QStringList kVideoKbps{QStringLiteral("40"), QStringLiteral("80"), QStringLiteral("120"), QStringLiteral("256"),
                             QStringLiteral("512")};
const QStringList kAudioKbps{QStringLiteral("32"), QStringLiteral("48"), QStringLiteral("64"),
                             QStringLiteral("80"), QStringLiteral("96"), QStringLiteral("128")};

// ffprobe's r_frame_rate for each rate of the list.
QString exactRate(const QString& rate)
{
    if (rate == QLatin1String("14.985"))
        return QStringLiteral("2997/200");
    if (rate == QLatin1String("23.975"))
        return QStringLiteral("959/40");
    if (rate == QLatin1String("25.0"))
        return QStringLiteral("25/1");
    return QStringLiteral("2997/100");
}

double meanOf(const QByteArray& picture, int width, QRect area)
{
    double sum = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            sum += static_cast<unsigned char>(picture[y * width + x]);
    return sum / (area.width() * area.height());
}

// Time of the first bright picture and of the first loud sound.
double firstBrightPicture(const QString& path, double frameRate)
{
    const QVector<QByteArray> pictures = grayPictures(path, 16, 12);
    for (int i = 0; i < pictures.size(); ++i)
        if (meanOf(pictures[i], 16, QRect(0, 0, 16, 12)) > 128)
            return i / frameRate;
    return -1;
}

double firstLoudSound(const QString& path)
{
    const QVector<qint16> samples = monoSamples(path);
    for (int i = 0; i < samples.size(); ++i)
        if (std::abs(samples[i]) > 4000)
            return i / 8000.0;
    return -1;
}

QStringList filesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
}

}  // namespace

class ConverterOutputTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString shortClip_;  // 2 s, 4:3, stereo
    QString longClip_;   // 24 s, for bit rates and stopping
    QString path(const QString& name) const { return dir_.filePath(name); }

private slots:
    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        shortClip_ = path(QStringLiteral("short.avi"));
        QVERIFY(makeMedia(
            {QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
             QStringLiteral("testsrc2=size=320x240:rate=25:d=2"), QStringLiteral("-f"), QStringLiteral("lavfi"),
             QStringLiteral("-i"), QStringLiteral("sine=frequency=300:sample_rate=44100:d=2"), QStringLiteral("-ac"),
             QStringLiteral("2"), QStringLiteral("-c:v"), QStringLiteral("mpeg4"), QStringLiteral("-q:v"),
             QStringLiteral("3"), QStringLiteral("-c:a"), QStringLiteral("libmp3lame")},
            shortClip_));
        longClip_ = path(QStringLiteral("long.mp4"));
        QVERIFY(makeMedia(
            {QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
             QStringLiteral("testsrc2=size=480x360:rate=25:d=24"), QStringLiteral("-f"), QStringLiteral("lavfi"),
             QStringLiteral("-i"), QStringLiteral("sine=frequency=500:sample_rate=48000:d=24"), QStringLiteral("-c:v"),
             QStringLiteral("libx264"), QStringLiteral("-preset"), QStringLiteral("ultrafast"), QStringLiteral("-c:a"),
             QStringLiteral("aac")},
            longClip_));
    }

    // Every size and every rate, with the bit rates of the lists taken in turn.
    void everySizeAndRateGivesAPlayable3gp_data()
    {
        QTest::addColumn<QString>("size");
        QTest::addColumn<QString>("rate");
        QTest::addColumn<QString>("videoKbps");
        QTest::addColumn<QString>("audioKbps");
        int turn = 0;
        for (const QString& size : kSizes)
            for (const QString& rate : kRates) {
                QTest::addRow("%s@%s", qPrintable(size), qPrintable(rate))
                    << size << rate << kVideoKbps[turn % kVideoKbps.size()] << kAudioKbps[turn % kAudioKbps.size()];
                ++turn;
            }
    }
    void everySizeAndRateGivesAPlayable3gp()
    {
        QFETCH(QString, size);
        QFETCH(QString, rate);
        QFETCH(QString, videoKbps);
        QFETCH(QString, audioKbps);
        const QString output = path(QStringLiteral("sweep-%1-%2.3gp").arg(size, rate));
        const RunResult result = runConv(windowCommand(shortClip_, output, size, rate, videoKbps, audioKbps));
        QVERIFY2(result.exitedWith(0), result.standardError.constData());
        QVERIFY(result.messages().isEmpty());

        const MediaInfo info = probe(output);
        QVERIFY(info.majorBrand.startsWith(QLatin1String("3gp")));
        QCOMPARE(info.video.size(), 1);
        QCOMPARE(info.audio.size(), 1);
        const StreamInfo& video = info.video.first();
        QCOMPARE(video.codec, QStringLiteral("h263"));
        QCOMPARE(QStringLiteral("%1x%2").arg(video.width).arg(video.height), size);
        QCOMPARE(video.frameRate, exactRate(rate));
        const bool standard =
            size == QLatin1String("128x96") || size == QLatin1String("176x144") || size == QLatin1String("352x288");
        QCOMPARE(video.sampleAspect, standard ? QStringLiteral("12:11") : QStringLiteral("1:1"));
        const double frames = probe(shortClip_).video.first().duration * rate.toDouble();
        QVERIFY2(std::abs(static_cast<double>(video.frames) - frames) <= 1.5,
                 qPrintable(QString::number(video.frames)));

        const StreamInfo& audio = info.audio.first();
        QCOMPARE(audio.codec, QStringLiteral("amr_nb"));
        QCOMPARE(audio.sampleRate, 8000);
        QCOMPARE(audio.channels, 1);
        QVERIFY(std::abs(audio.duration - probe(shortClip_).audio.first().duration) < 0.05);
        QVERIFY(std::abs(audio.startTime - video.startTime) < 0.001);
        QVERIFY2(std::abs(video.duration - audio.duration) < 1.0 / rate.toDouble(),
                 qPrintable(QStringLiteral("%1 vs %2").arg(video.duration).arg(audio.duration)));
        QCOMPARE(decodeErrors(output), QString());
    }

    void videoBitRateIsHeld_data()
    {
        QTest::addColumn<QString>("size");
        QTest::addColumn<QString>("rate");
        QTest::addColumn<QString>("kbps");
        // clang-format off
        QTest::newRow("176x144 14.985 120") << "176x144" << "14.985" << "120";
        QTest::newRow("160x120 25.0 40") << "160x120" << "25.0" << "40";
        QTest::newRow("352x288 29.97 512") << "352x288" << "29.97" << "512";
        // Small pictures at a high rate need H.263's finest quantiser to take it.
        QTest::newRow("128x96 14.985 384") << "128x96" << "14.985" << "384";
        // clang-format on
    }
    void videoBitRateIsHeld()
    {
        QFETCH(QString, size);
        QFETCH(QString, rate);
        QFETCH(QString, kbps);
        const QString output = path(QStringLiteral("rate.3gp"));
        const RunResult result = runConv(windowCommand(longClip_, output, size, rate, kbps));
        QVERIFY2(result.exitedWith(0), result.standardError.constData());
        const MediaInfo info = probe(output);
        QCOMPARE(info.video.size(), 1);
        const double achieved = info.video.first().bitRate / 1000;
        // A 24 s clip: at most 3 % over (simple pictures may stay a little under).
        QVERIFY2(achieved <= 1.03 * kbps.toDouble() && achieved > 0.85 * kbps.toDouble(),
                 qPrintable(QString::number(achieved)));
    }

    // Source picture k is a flat gray of its own (16 + 4 * (k mod 50)); H.264
    // with B-frames at 29.97 fps, converted at half that rate: output frame n
    // shows source picture 2n, the one on screen at its time, every time.
    void everyFrameShowsThePictureOnScreen()
    {
        const QString source = path(QStringLiteral("numbered.mp4"));
        QVERIFY(makeMedia({QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                           QStringLiteral("color=c=black:s=320x240:r=30000/1001:d=4,format=yuv420p,"
                                          "geq=lum='16+4*mod(N\\,50)':cb=128:cr=128"),
                           QStringLiteral("-c:v"), QStringLiteral("libx264"), QStringLiteral("-bf"),
                           QStringLiteral("3"), QStringLiteral("-x264-params"), QStringLiteral("b-adapt=0")},
                          source));
        const QString output = path(QStringLiteral("numbered.3gp"));
        QVERIFY(runConv(windowCommand(source, output)).exitedWith(0));
        const QVector<QByteArray> pictures = grayPictures(output, 16, 12);
        QVERIFY(pictures.size() >= 59);
        QStringList wrong;
        for (int n = 0; n < pictures.size(); ++n) {
            const double expected = 4 * ((2 * n) % 50) * 255.0 / 219;  // gray is full range
            const double shown = meanOf(pictures[n], 16, QRect(0, 0, 16, 12));
            if (std::abs(shown - expected) > 1.5)
                wrong << QStringLiteral("%1: %2 for %3").arg(n).arg(shown).arg(expected);
        }
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(QStringLiteral(", "))));
    }

    // A flash and a beep at the same moment of the source stay together, also
    // when one stream of the source starts later than the other.
    void soundStaysWithPicture_data()
    {
        QTest::addColumn<QString>("videoDelay");
        QTest::addColumn<QString>("audioDelay");
        QTest::addColumn<QString>("container");
        // clang-format off
        QTest::newRow("together") << "0" << "0" << "avi";
        QTest::newRow("sound starts late") << "0" << "0.5" << "mp4";
        QTest::newRow("picture starts late") << "0.4" << "0" << "mkv";
        // clang-format on
    }
    void soundStaysWithPicture()
    {
        QFETCH(QString, videoDelay);
        QFETCH(QString, audioDelay);
        QFETCH(QString, container);
        // Both happen 1.2 s into the source's timeline.
        const double videoAt = 1.2 - videoDelay.toDouble();
        const double audioAt = 1.2 - audioDelay.toDouble();
        const QString source = path(QStringLiteral("sync.") + container);
        QVERIFY(makeMedia(
            {QStringLiteral("-itsoffset"), videoDelay, QStringLiteral("-f"), QStringLiteral("lavfi"),
             QStringLiteral("-i"),
             QStringLiteral("color=black:s=320x240:r=25:d=3,drawbox=enable='between(t,%1,%2)':color=white:t=fill")
                 .arg(videoAt)
                 .arg(videoAt + 0.3),
             QStringLiteral("-itsoffset"), audioDelay, QStringLiteral("-f"), QStringLiteral("lavfi"),
             QStringLiteral("-i"),
             QStringLiteral("aevalsrc='if(between(t,%1,%2),0.8*sin(2*PI*700*t),0)':s=44100:d=3")
                 .arg(audioAt)
                 .arg(audioAt + 0.3),
             QStringLiteral("-c:v"), QStringLiteral("mpeg4"), QStringLiteral("-c:a"),
             container == QLatin1String("avi") ? QStringLiteral("mp2") : QStringLiteral("aac")},
            source));
        const QString output = path(QStringLiteral("sync.3gp"));
        QVERIFY(runConv(windowCommand(source, output)).exitedWith(0));
        const double flash = firstBrightPicture(output, 14.985);
        const double beep = firstLoudSound(output);
        QVERIFY(flash > 0 && beep > 0);
        QVERIFY2(std::abs(flash - beep) < 1 / 14.985, qPrintable(QStringLiteral("%1 %2").arg(flash).arg(beep)));
        QVERIFY2(std::abs(flash - 1.2) < 0.1, qPrintable(QString::number(flash)));
    }

    // The sound a phone's speaker plays: speech at -16 LUFS (+-1 LU) and peaks
    // below -1 dBFS, measured by FFmpeg's ebur128 on the decoded result, from
    // a film's centre channel, a stereo mix and a clipped recording alike;
    // near silence is not lifted, and -keep-level keeps the source's level.
    // The sound still ends with the picture.
    void soundIsPhoneLoud_data()
    {
        QTest::addColumn<QString>("sound");  // 8 s, as an ffmpeg filter graph ending in [a]
        QTest::addColumn<QString>("codec");
        QTest::addColumn<QString>("option");
        QTest::addColumn<double>("lowest");
        QTest::addColumn<double>("highest");
        // Speech of about -18 LUFS, 8 s long at 48 kHz.
        const QString speech = QStringLiteral(
            "flite=voice=slt:text='Good evening. Tonight we look at the weather across the north, where the rain "
            "will stay with us until the weekend. In the south the sun returns on Friday.',"
            "aresample=48000,apad=whole_dur=8,atrim=0:8");
        // A film's 5.1 mix at about -31 LUFS: dialogue in the centre, quiet
        // noise around it, a loud rumble in the LFE channel.
        const QString film = speech + QStringLiteral(
                                          ",volume=-15dB[c];anoisesrc=c=pink:r=48000:a=0.01:d=8,asplit=4[fl][fr][sl]["
                                          "sr];sine=f=50:r=48000:d=8,volume=-6dB[lfe];[fl][fr][c][lfe][sl][sr]join="
                                          "inputs=6:channel_layout=5.1,aformat=channel_layouts=5.1[a]");
        // clang-format off
        QTest::newRow("5.1 film") << film << "aac" << "" << -17.0 << -15.0;
        // Speech left of the middle, and a click every two seconds whose peaks
        // only the limiter holds once the speech is lifted.
        const QString stereo = speech + QStringLiteral(
                                            ",volume=-6dB,pan=stereo|c0=0.9*c0|c1=0.6*c0[s];aevalsrc='0.9*sin(2*PI*1000*t)*"
                                            "lt(mod(t+1,2),0.0005)':s=48000:d=8,pan=stereo|c0=c0|c1=c0[k];[s][k]amix="
                                            "normalize=0[a]");
        QTest::newRow("stereo, clicks") << stereo << "aac" << "" << -17.0 << -15.0;
        QTest::newRow("clipped") << speech + QStringLiteral(",volume=24dB[a]") << "pcm_s16le" << "" << -17.0 << -15.0;
        // Noise at -55 LUFS: it stays there, less what AMR-NB loses of so faint a sound.
        QTest::newRow("near silence") << "anoisesrc=c=pink:r=48000:a=0.01:d=8[a]" << "aac" << "" << -62.0 << -54.0;
        // The dialogue (-33 LUFS alone) at its own level: the centre kept at full.
        QTest::newRow("5.1 film, -keep-level") << film << "aac" << "-keep-level" << -36.0 << -32.0;
        // clang-format on
    }
    void soundIsPhoneLoud()
    {
        QFETCH(QString, sound);
        QFETCH(QString, codec);
        QFETCH(QString, option);
        QFETCH(double, lowest);
        QFETCH(double, highest);
        const QString source = path(QStringLiteral("loudness.mkv"));
        QVERIFY(makeMedia(
            {QStringLiteral("-filter_complex"), sound + QStringLiteral(";testsrc2=size=320x240:rate=25:d=8[v]"),
             QStringLiteral("-map"), QStringLiteral("[v]"), QStringLiteral("-map"), QStringLiteral("[a]"),
             QStringLiteral("-c:v"), QStringLiteral("mpeg4"), QStringLiteral("-c:a"), codec},
            source));
        const QString output = path(QStringLiteral("loudness.3gp"));
        QStringList arguments = windowCommand(source, output);
        if (!option.isEmpty())
            arguments.prepend(option);
        QVERIFY(runConv(arguments).exitedWith(0));

        const Loudness result = loudnessOf(output);
        QVERIFY2(result.integrated >= lowest && result.integrated <= highest,
                 qPrintable(QStringLiteral("%1 LUFS").arg(result.integrated)));
        QVERIFY2(result.peak <= -1.0, qPrintable(QStringLiteral("peak %1 dBFS").arg(result.peak)));
        const MediaInfo info = probe(output);
        QCOMPARE(info.audio.size(), 1);
        QCOMPARE(info.audio[0].sampleRate, 8000);
        QCOMPARE(info.audio[0].channels, 1);
        // As long as before leveling: 8 s, and the encoder's last whole frames.
        QVERIFY2(std::abs(info.audio[0].duration - 8.0) <= 0.05, qPrintable(QString::number(info.audio[0].duration)));
    }

    // Where the picture sits in the frame: a bright source on black borders,
    // black to the pixel (every line and column of a bar, but the one next to
    // the picture), also where the picture's width is no multiple of 8.
    void pictureKeepsItsShape_data()
    {
        QTest::addColumn<QString>("sourceSize");
        QTest::addColumn<QString>("extraFilter");
        QTest::addColumn<QString>("size");
        QTest::addColumn<QRect>("picture");
        // clang-format off
        QTest::newRow("4:3 fills QCIF") << "320x240" << "" << "176x144" << QRect(0, 0, 176, 144);
        QTest::newRow("4:3 fills 320x240") << "640x480" << "" << "320x240" << QRect(0, 0, 320, 240);
        QTest::newRow("16:9 letterboxed") << "640x360" << "" << "176x144" << QRect(0, 18, 176, 108);
        QTest::newRow("sample aspect 64:45") << "352x288" << ",setsar=64/45" << "320x240" << QRect(0, 28, 320, 184);
        QTest::newRow("portrait pillarboxed") << "240x320" << "" << "160x120" << QRect(34, 0, 90, 120);
        QTest::newRow("4:3 in sub-QCIF") << "320x240" << "" << "128x96" << QRect(4, 0, 118, 96);
        QTest::newRow("CIF source in QCIF") << "352x288" << "" << "176x144" << QRect(6, 0, 162, 144);
        // clang-format on
    }
    void pictureKeepsItsShape()
    {
        QFETCH(QString, sourceSize);
        QFETCH(QString, extraFilter);
        QFETCH(QString, size);
        QFETCH(QRect, picture);
        const QString source = path(QStringLiteral("shape.mp4"));
        QVERIFY(makeMedia({QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                           QStringLiteral("color=0xC8C8C8:s=%1:r=25:d=0.5%2").arg(sourceSize, extraFilter),
                           QStringLiteral("-c:v"), QStringLiteral("libx264")},
                          source));
        const QString output = path(QStringLiteral("shape.3gp"));
        QVERIFY(runConv(windowCommand(source, output, size)).exitedWith(0));
        const int width = size.section(QLatin1Char('x'), 0, 0).toInt();
        const int height = size.section(QLatin1Char('x'), 1, 1).toInt();
        const QVector<QByteArray> pictures = grayPictures(output, width, height);
        QVERIFY(!pictures.isEmpty());
        const QByteArray& last = pictures.last();
        // Inside the picture (a pixel in from its edges) bright, outside black.
        QVERIFY(meanOf(last, width, picture.adjusted(2, 2, -2, -2)) > 150);
        const QRect frame(0, 0, width, height);
        QVERIFY(frame.contains(picture));
        for (int y = 0; y < height; ++y)
            if (y < picture.top() - 1 || y > picture.bottom() + 1)
                QVERIFY2(meanOf(last, width, QRect(0, y, width, 1)) < 30, qPrintable(QStringLiteral("line %1").arg(y)));
        for (int x = 0; x < width; ++x)
            if (x < picture.left() - 1 || x > picture.right() + 1)
                QVERIFY2(meanOf(last, width, QRect(x, 0, 1, height)) < 30,
                         qPrintable(QStringLiteral("column %1").arg(x)));
    }

    // A rotation tag turns the picture upright: the left half of a landscape
    // source turned a quarter counter-clockwise ends up at the bottom.
    void rotationTagIsApplied()
    {
        const QString plain = path(QStringLiteral("plain.mp4"));
        QVERIFY(makeMedia({QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                           QStringLiteral("color=white:s=320x180:r=25:d=0.5,drawbox=x=160:w=160:h=180:color=black:"
                                          "t=fill"),
                           QStringLiteral("-c:v"), QStringLiteral("libx264")},
                          plain));
        const QString rotated = path(QStringLiteral("rotated.mp4"));
        QVERIFY(makeMedia({QStringLiteral("-i"), plain, QStringLiteral("-c"), QStringLiteral("copy"),
                           QStringLiteral("-metadata:s:v:0"), QStringLiteral("rotate=90")},
                          rotated));
        const QString output = path(QStringLiteral("rotated.3gp"));
        QVERIFY(runConv(windowCommand(rotated, output)).exitedWith(0));
        const QByteArray last = grayPictures(output, 176, 144).last();
        // Portrait inside QCIF: 74 wide at x = 50.
        QVERIFY(meanOf(last, 176, QRect(0, 0, 46, 144)) < 30);
        QVERIFY(meanOf(last, 176, QRect(130, 0, 46, 144)) < 30);
        QVERIFY(meanOf(last, 176, QRect(54, 80, 66, 60)) > 200);  // bottom: was left, white
        QVERIFY(meanOf(last, 176, QRect(54, 4, 66, 60)) < 40);    // top: was right, black
    }

    void sourceWithoutSoundOrPicture_data()
    {
        QTest::addColumn<QStringList>("ffmpegArguments");
        QTest::addColumn<int>("videoStreams");
        QTest::addColumn<int>("audioStreams");
        QTest::newRow("no sound") << QStringList{QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                                                 QStringLiteral("testsrc=size=320x240:rate=25:d=1")}
                                  << 1 << 0;
        QTest::newRow("no picture") << QStringList{QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                                                   QStringLiteral("sine=d=1")}
                                    << 0 << 1;
        // Two pictures, two sounds and subtitles: one of each kind is used.
        QTest::newRow("many streams")
            << QStringList{QStringLiteral("-f"),   QStringLiteral("lavfi"),
                           QStringLiteral("-i"),   QStringLiteral("testsrc=size=320x240:rate=25:d=1"),
                           QStringLiteral("-f"),   QStringLiteral("lavfi"),
                           QStringLiteral("-i"),   QStringLiteral("testsrc=size=160x120:rate=10:d=1"),
                           QStringLiteral("-f"),   QStringLiteral("lavfi"),
                           QStringLiteral("-i"),   QStringLiteral("sine=d=1"),
                           QStringLiteral("-f"),   QStringLiteral("lavfi"),
                           QStringLiteral("-i"),   QStringLiteral("sine=d=1:frequency=900"),
                           QStringLiteral("-map"), QStringLiteral("0"),
                           QStringLiteral("-map"), QStringLiteral("1"),
                           QStringLiteral("-map"), QStringLiteral("2"),
                           QStringLiteral("-map"), QStringLiteral("3")}
            << 1 << 1;
    }
    void sourceWithoutSoundOrPicture()
    {
        QFETCH(QStringList, ffmpegArguments);
        QFETCH(int, videoStreams);
        QFETCH(int, audioStreams);
        const QString source = path(QStringLiteral("streams.mkv"));
        QVERIFY(makeMedia(ffmpegArguments, source));
        const QString output = path(QStringLiteral("streams.3gp"));
        const RunResult result = runConv(windowCommand(source, output));
        QVERIFY2(result.exitedWith(0), result.standardError.constData());
        const MediaInfo info = probe(output);
        QVERIFY(info.majorBrand.startsWith(QLatin1String("3gp")));
        QCOMPARE(info.video.size(), videoStreams);
        QCOMPARE(info.audio.size(), audioStreams);
        if (videoStreams)
            QCOMPARE(info.video.first().width, 176);
        if (audioStreams)
            QCOMPARE(info.audio.first().sampleRate, 8000);
        QCOMPARE(decodeErrors(output), QString());
    }

    // Also where the file system keeps no unnamed files, and the result is
    // written under a hidden name first.
    void outputAppearsOnlyWhenComplete_data()
    {
        QTest::addColumn<bool>("unnamedRefused");
        QTest::newRow("unnamed working file") << false;
        QTest::newRow("file system without unnamed files") << true;
    }
    void outputAppearsOnlyWhenComplete()
    {
        QFETCH(bool, unnamedRefused);
        QTemporaryDir folder;
        QTemporaryDir markFolder;
        const QString mark = markFolder.filePath(QStringLiteral("refused"));
        const auto runHere = [&](const QStringList& arguments) {
            if (!unnamedRefused)
                return convtest::runConv(arguments);
            const QString asan = qEnvironmentVariable("ASAN_OPTIONS") + QStringLiteral(":verify_asan_link_order=0");
            return run(QStringLiteral("env"), QStringList{QStringLiteral("LD_PRELOAD=" REFUSE_UNNAMED_FILES),
                                                          QStringLiteral("ASAN_OPTIONS=") + asan,
                                                          QStringLiteral("UNNAMED_REFUSED_MARK=") + mark, convPath()} +
                                                  arguments);
        };
        const QString output = folder.filePath(QStringLiteral("out.3gp"));
        QFile old(output);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("an earlier result");
        old.close();

        // Without -y an existing file is kept.
        QStringList noReplace = windowCommand(shortClip_, output);
        noReplace.removeAll(QStringLiteral("-y"));
        QVERIFY(runHere(noReplace).exitedWith(6));
        // A failing run with -y leaves it alone as well.
        const QString text = folder.filePath(QStringLiteral("text.avi"));
        QFile textFile(text);
        QVERIFY(textFile.open(QIODevice::WriteOnly));
        textFile.write("this is not a video\n");
        textFile.close();
        QVERIFY(runHere(windowCommand(text, output)).exitedWith(4));
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray("an earlier result"));
        old.close();
        QCOMPARE(filesIn(folder.path()), (QStringList{QStringLiteral("out.3gp"), QStringLiteral("text.avi")}));

        // A good run replaces it, and leaves nothing else behind.
        QVERIFY(runHere(windowCommand(shortClip_, output)).exitedWith(0));
        QCOMPARE(probe(output).video.size(), 1);
        QCOMPARE(filesIn(folder.path()), (QStringList{QStringLiteral("out.3gp"), QStringLiteral("text.avi")}));
        // So does one under a new name.
        const QString fresh = folder.filePath(QStringLiteral("new.3gp"));
        QVERIFY(runHere(windowCommand(shortClip_, fresh)).exitedWith(0));
        QCOMPARE(probe(fresh).video.size(), 1);
        QCOMPARE(filesIn(folder.path()),
                 (QStringList{QStringLiteral("new.3gp"), QStringLiteral("out.3gp"), QStringLiteral("text.avi")}));
        QCOMPARE(QFile::exists(mark), unnamedRefused);
    }

    // An output the converter must not or cannot write is refused before the
    // source is read (no progress), with its status and one line, and nothing
    // is touched: run as root, replacing a device would break the machine. A
    // symbolic link is never replaced, whatever it points to (as root, -o
    // /dev/stdout would replace the system's link).
    void refusedOutputsSayWhy_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("linkTo");
        QTest::newRow("FIFO") << "fifo.3gp" << QString();
        QTest::newRow("link to a FIFO") << "link.3gp"
                                        << "fifo.3gp";
        QTest::newRow("link to a regular file") << "link.3gp"
                                                << "earlier.3gp";
        QTest::newRow("link to nothing") << "link.3gp"
                                         << "missing.3gp";
        QTest::newRow("folder") << "folder.3gp" << QString();
        QTest::newRow("name of 256 bytes") << QString(252, QLatin1Char('n')) + QStringLiteral(".3gp") << QString();
        QTest::newRow("missing folder") << "missing/out.3gp" << QString();
    }
    void refusedOutputsSayWhy()
    {
        QFETCH(QString, name);
        QFETCH(QString, linkTo);
        QTemporaryDir folder;
        const QString output = folder.filePath(name);
        const QByteArray fifo = QFile::encodeName(folder.filePath(QStringLiteral("fifo.3gp")));
        const QString earlier = folder.filePath(QStringLiteral("earlier.3gp"));
        if (name != QLatin1String("folder.3gp"))
            QCOMPARE(mkfifo(fifo.constData(), 0600), 0);
        QFile earlierFile(earlier);
        QVERIFY(earlierFile.open(QIODevice::WriteOnly) && earlierFile.write("an earlier result") > 0);
        earlierFile.close();
        const QByteArray target = QFile::encodeName(folder.filePath(linkTo));
        if (!linkTo.isEmpty())
            QCOMPARE(symlink(target.constData(), QFile::encodeName(output).constData()), 0);
        if (name == QLatin1String("folder.3gp"))
            QVERIFY(QDir(folder.path()).mkdir(name));
        const QStringList before =
            QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);

        const RunResult result = runConv(windowCommand(longClip_, output));
        QVERIFY2(result.exitedWith(6), qPrintable(QString::number(result.exitCode) + QLatin1Char(' ') +
                                                  QString::fromUtf8(result.standardError)));
        QCOMPARE(result.progressLines(), QStringList());
        QCOMPARE(result.messages().size(), 1);
        QCOMPARE(QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
                 before);
        struct stat status {};
        if (name != QLatin1String("folder.3gp"))
            QVERIFY(stat(fifo.constData(), &status) == 0 && S_ISFIFO(status.st_mode));
        if (!linkTo.isEmpty()) {
            QVERIFY(result.messages().first().endsWith(
                QStringLiteral("is a symbolic link (give the name of the file itself)")));
            QCOMPARE(QFile::symLinkTarget(output), QFileInfo(QString::fromLocal8Bit(target)).absoluteFilePath());
        }
        QVERIFY(earlierFile.open(QIODevice::ReadOnly));
        QCOMPARE(earlierFile.readAll(), QByteArray("an earlier result"));
    }

    // A disk that fills up has a status of its own, and leaves nothing behind.
    void fullDiskSaysSo()
    {
        QTemporaryDir folder;
        // A small file system of its own, in a mount namespace of the run.
        const QString mountSmall = QStringLiteral("mount -t tmpfs -o size=128k none \"$1\" && shift && exec \"$@\"");
        const QStringList inNamespace{QStringLiteral("-r"), QStringLiteral("-m"), QStringLiteral("sh"),
                                      QStringLiteral("-c"), mountSmall,           QStringLiteral("sh"),
                                      folder.path()};
        if (!run(QStringLiteral("unshare"), inNamespace + QStringList{QStringLiteral("true")}).exitedWith(0))
            QSKIP("cannot mount a small file system here (no user namespaces)");
        const QString output = folder.filePath(QStringLiteral("out.3gp"));
        const RunResult result =
            run(QStringLiteral("unshare"), inNamespace + QStringList{convPath()} +
                                               windowCommand(longClip_, output, QStringLiteral("352x288"),
                                                             QStringLiteral("25.0"), QStringLiteral("256")));
        QVERIFY2(result.exitedWith(7), qPrintable(QString::number(result.exitCode) + QLatin1Char(' ') +
                                                  QString::fromUtf8(result.standardError)));
        QCOMPARE(result.messages().size(), 1);
        QVERIFY(result.messages().first().startsWith(kMessagePrefix));
    }

    void progressIsReportedInOneForm()
    {
        const RunResult result = runConv(windowCommand(longClip_, path(QStringLiteral("progress.3gp"))));
        QVERIFY(result.exitedWith(0));
        const QStringList progress = result.progressLines();
        QVERIFY(!progress.isEmpty());
        const QRegularExpression form(QStringLiteral("^progress: time=(\\d+\\.\\d\\d) duration=(\\d+\\.\\d\\d)$"));
        double last = 0;
        for (const QString& line : progress) {
            const QRegularExpressionMatch match = form.match(line);
            QVERIFY2(match.hasMatch(), qPrintable(line));
            const double time = match.captured(1).toDouble();
            QVERIFY(time >= last);
            last = time;
            QVERIFY(std::abs(match.captured(2).toDouble() - 24.0) < 0.1);
        }
        QVERIFY2(std::abs(last - 24.0) < 0.2, qPrintable(progress.last()));
    }

    void pathsWithBlanksAndChineseWork()
    {
        QTemporaryDir folder;
        QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("我的 视频")));
        const QString input = folder.filePath(QStringLiteral("我的 视频/生日 聚会.avi"));
        QVERIFY(QFile::copy(shortClip_, input));
        const QString output = folder.filePath(QStringLiteral("我的 视频/手机 版.3gp"));
        const RunResult result = runConv(windowCommand(input, output));
        QVERIFY2(result.exitedWith(0), result.standardError.constData());
        QCOMPARE(probe(output).audio.size(), 1);
    }
};

QTEST_GUILESS_MAIN(ConverterOutputTest)
#include "tst_conv_output.moc"
