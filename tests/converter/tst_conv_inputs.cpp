// What conv.dll reads: the common containers and codecs, the shared real-world
// samples, and broken files, which must never crash or hang it.

#include "conv_test_support.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <cstdio>

#include <sys/stat.h>

using namespace convtest;

namespace {

QStringList lavfiClip(const QString& size, int rate, double seconds, int sampleRate)
{
    return {
        QStringLiteral("-f"), QStringLiteral("lavfi"),
        QStringLiteral("-i"), QStringLiteral("testsrc=size=%1:rate=%2:d=%3").arg(size).arg(rate).arg(seconds),
        QStringLiteral("-f"), QStringLiteral("lavfi"),
        QStringLiteral("-i"), QStringLiteral("sine=frequency=440:sample_rate=%1:d=%2").arg(sampleRate).arg(seconds)};
}

// A VCD .DAT: the MPEG-1 program stream in 2324-byte sectors of a RIFF CDXA file,
// each sector with its sync, header and subheader as on the disc.
bool writeVcdDat(const QString& mpegPath, const QString& datPath)
{
    QFile mpeg(mpegPath);
    if (!mpeg.open(QIODevice::ReadOnly))
        return false;
    QByteArray stream = mpeg.readAll();
    const int payload = 2324;
    stream.append(QByteArray((payload - stream.size() % payload) % payload, '\0'));
    QByteArray sectors;
    for (int i = 0; i * payload < stream.size(); ++i) {
        QByteArray sector(12, '\xff');
        sector[0] = sector[11] = '\0';
        sector += QByteArray::fromHex("0002");              // minute, second
        sector.append(static_cast<char>(i % 75));           // sector of the second
        sector.append('\x02');                              // mode 2
        sector += QByteArray::fromHex("0101620f0101620f");  // form 2 real-time video, twice
        sector += stream.mid(i * payload, payload);
        sector += QByteArray(4, '\0');  // error detection, unused by readers
        sectors += sector;
    }
    const auto le32 = [](quint32 value) {
        QByteArray bytes(4, '\0');
        qToLittleEndian(value, bytes.data());
        return bytes;
    };
    QByteArray body = "CDXA";
    body += "fmt " + le32(16) + QByteArray(16, '\0');
    body += "data" + le32(static_cast<quint32>(sectors.size())) + sectors;
    QFile dat(datPath);
    if (!dat.open(QIODevice::WriteOnly))
        return false;
    dat.write("RIFF" + le32(static_cast<quint32>(body.size())) + body);
    return true;
}

void expectConverted(const QString& source, const QString& output, bool video, bool audio)
{
    const RunResult result = runConv(windowCommand(source, output));
    QVERIFY2(result.exitedWith(0), result.standardError.constData());
    const MediaInfo info = probe(output);
    QVERIFY(info.majorBrand.startsWith(QLatin1String("3gp")));
    QCOMPARE(info.video.size(), video ? 1 : 0);
    QCOMPARE(info.audio.size(), audio ? 1 : 0);
    QCOMPARE(decodeErrors(output), QString());
}

}  // namespace

class ConverterInputsTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString path(const QString& name) const { return dir_.filePath(name); }

private slots:
    void commonContainersConvert_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("codecs");
        const auto codecs = [](const char* video, const char* audio) {
            return QStringList{QStringLiteral("-c:v"), QLatin1String(video), QStringLiteral("-c:a"),
                               QLatin1String(audio)};
        };
        QTest::newRow("AVI") << "clip.avi" << codecs("mpeg4", "libmp3lame");
        QTest::newRow("FLV") << "clip.flv" << codecs("flv1", "libmp3lame");
        QTest::newRow("WMV") << "clip.wmv" << codecs("wmv2", "wmav2");
        QTest::newRow("ASF") << "clip.asf" << codecs("msmpeg4", "wmav1");
        QTest::newRow("MOV") << "clip.mov" << codecs("mjpeg", "pcm_s16le");
        QTest::newRow("MP4") << "clip.mp4" << codecs("libx264", "aac");
        QTest::newRow("MPG") << "clip.mpg" << codecs("mpeg1video", "mp2");
        QTest::newRow("RM") << "clip.rm" << codecs("rv10", "ac3");
        QTest::newRow("RMVB") << "clip.rmvb" << (codecs("rv20", "ac3") << QStringLiteral("-f") << QStringLiteral("rm"));
        QTest::newRow("3GP") << "clip.3gp" << codecs("h263", "aac");
        QTest::newRow("MKV VP8 Vorbis") << "clip.mkv" << codecs("libvpx", "libvorbis");
    }
    void commonContainersConvert()
    {
        QFETCH(QString, name);
        QFETCH(QStringList, codecs);
        const QString size =
            name.endsWith(QLatin1String(".3gp")) ? QStringLiteral("176x144") : QStringLiteral("320x240");
        const QString source = path(name);
        QVERIFY(makeMedia(lavfiClip(size, 25, 1.5, 22050) + codecs, source));
        const QString output = path(name + QStringLiteral(".3gp"));
        expectConverted(source, output, true, true);
        QVERIFY(std::abs(probe(output).video.first().duration - 1.5) < 0.2);
    }

    void vcdDatConverts()
    {
        const QString mpeg = path(QStringLiteral("vcd.mpg"));
        QVERIFY(makeMedia(lavfiClip(QStringLiteral("352x288"), 25, 2, 44100)
                              << QStringLiteral("-target") << QStringLiteral("pal-vcd"),
                          mpeg));
        const QString dat = path(QStringLiteral("AVSEQ01.DAT"));
        QVERIFY(writeVcdDat(mpeg, dat));
        const QString output = path(QStringLiteral("dat.3gp"));
        expectConverted(dat, output, true, true);
        QVERIFY(std::abs(probe(output).audio.first().duration - 2.0) < 0.1);
    }

    void realWorldSamplesConvert_data()
    {
        QTest::addColumn<QString>("file");
        const QDir media(sharedMediaFolder());
        const QStringList files = media.entryList(QDir::Files, QDir::Name);
        if (files.isEmpty())
            QTest::newRow("no samples") << QString();
        for (const QString& file : files)
            if (!file.startsWith(QLatin1String("BAD-")) && !file.endsWith(QLatin1String(".md")))
                QTest::newRow(qPrintable(file)) << file;
    }
    void realWorldSamplesConvert()
    {
        QFETCH(QString, file);
        REQUIRE_SHARED_MEDIA();
        const bool audioOnly = file.contains(QLatin1String("audioonly")) || file.startsWith(QLatin1String("asf-mp3"));
        const QString output = path(QStringLiteral("sample.3gp"));
        const RunResult result = runConv(windowCommand(sharedMedia(file), output));
        QVERIFY2(result.exitedWith(0), result.standardError.constData());
        QVERIFY(result.messages().size() <= 1);  // at most a warning about damage
        const MediaInfo info = probe(output);
        QVERIFY(info.majorBrand.startsWith(QLatin1String("3gp")));
        QCOMPARE(info.video.size(), audioOnly ? 0 : 1);
        if (!audioOnly) {
            QCOMPARE(info.video.first().width, 176);
            QVERIFY(info.video.first().frames >= 1);
        }
        QCOMPARE(decodeErrors(output), QString());
    }

    // Anything that is not a video file fails at once with the status of
    // its kind and one line, and writes nothing: what is not there or not a
    // regular file (a FIFO without writer would block forever), and files of
    // other kinds, also those FFmpeg could read (text, pictures, subtitles,
    // playlists and lists that open other files). A source claiming a sample
    // rate no real one has is damaged.
    void refusedSourcesSayWhy_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("status");
        const QByteArray made("(made below)");
        QTest::newRow("missing") << "missing.avi" << QByteArray() << 3;
        QTest::newRow("folder") << "folder.avi" << made << 3;
        QTest::newRow("FIFO without writer") << "fifo.avi" << made << 3;
        QTest::newRow("empty") << "empty.avi" << QByteArray("") << 4;
        QTest::newRow("text named .avi") << "text.avi" << QByteArray("Hello, this is a letter, not a film.\n") << 4;
        QTest::newRow("random bytes") << "noise.mpg" << QByteArray(50000, '\x5a') << 4;
        QTest::newRow("the program's help text") << "help.txt" << made << 4;
        QTest::newRow("picture") << "picture.png" << made << 4;
        QTest::newRow("subtitles") << "words.srt"
                                   << QByteArray(
                                          "1\n00:00:00,000 --> 00:00:05,000\nHello\n\n"
                                          "2\n00:00:05,000 --> 00:00:09,000\nGoodbye\n")
                                   << 4;
        QTest::newRow("HLS playlist") << "list.m3u8"
                                      << QByteArray(
                                             "#EXTM3U\n#EXT-X-VERSION:3\n#EXT-X-TARGETDURATION:2\n"
                                             "#EXTINF:2.0,\nclip.ts\n#EXT-X-ENDLIST\n")
                                      << 4;
        QTest::newRow("concat list") << "list.ffconcat" << QByteArray("ffconcat version 1.0\nfile clip.ts\n") << 4;
        QTest::newRow("absurd sample rate") << "rate.wav" << made << 5;
    }
    void refusedSourcesSayWhy()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(int, status);
        QTemporaryDir folder;
        const QString source = folder.filePath(name);
        // The lists name a real clip beside them.
        QVERIFY(
            makeMedia(lavfiClip(QStringLiteral("160x120"), 25, 2, 22050), folder.filePath(QStringLiteral("clip.ts"))));
        if (name == QLatin1String("folder.avi")) {
            QVERIFY(QDir(folder.path()).mkdir(name));
        } else if (name == QLatin1String("fifo.avi")) {
            QCOMPARE(mkfifo(QFile::encodeName(source).constData(), 0600), 0);
        } else if (name == QLatin1String("help.txt")) {
            QVERIFY(QFile::copy(QStringLiteral(HELP_TEXT), source));
        } else if (name == QLatin1String("picture.png")) {
            QVERIFY(
                makeMedia({QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                           QStringLiteral("testsrc=size=320x240"), QStringLiteral("-frames:v"), QStringLiteral("1")},
                          source));
        } else if (name == QLatin1String("rate.wav")) {
            // A second of sound whose header claims 1.8 billion samples a second.
            QVERIFY(makeMedia({QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                               QStringLiteral("sine=d=1:sample_rate=8000")},
                              source));
            QFile wav(source);
            QVERIFY(wav.open(QIODevice::ReadWrite));
            QByteArray header = wav.read(32);
            qToLittleEndian<quint32>(1812000000u, header.data() + 24);
            qToLittleEndian<quint32>(2u * 1812000000u, header.data() + 28);
            wav.seek(0);
            wav.write(header);
        } else if (!content.isNull()) {
            QFile file(source);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(content);
        }
        const QString output = folder.filePath(QStringLiteral("out.3gp"));
        QElapsedTimer timer;
        timer.start();
        const RunResult result = runConv(windowCommand(source, output), 60);
        QVERIFY2(result.exitedWith(status), qPrintable(QString::number(result.exitCode) + QLatin1Char(' ') +
                                                       QString::fromUtf8(result.standardError)));
        QVERIFY2(timer.elapsed() < 10000, qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(result.messages().size(), 1);
        QVERIFY(result.messages().first().startsWith(kMessagePrefix));
        QVERIFY(!QFile::exists(output));
    }

    // A playlist named like a video is not one: the video it names is neither
    // opened nor converted.
    void playlistIsNotAVideo()
    {
        QVERIFY(QDir(dir_.path()).mkpath(QStringLiteral("clips")));
        QVERIFY(makeMedia({QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                           QStringLiteral("testsrc=size=320x240:rate=25:d=2")},
                          path(QStringLiteral("clips/real.mp4"))));
        const QString playlist = path(QStringLiteral("playlist.avi"));
        QFile file(playlist);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("ffconcat version 1.0\nfile 'clips/real.mp4'\n");
        file.close();
        const QString output = path(QStringLiteral("playlist.3gp"));
        const RunResult result = runConv(windowCommand(playlist, output), 120);
        QVERIFY2(result.exitedWith(4), result.standardError.constData());  // not a video
        QCOMPARE(result.messages().size(), 1);
        QVERIFY(!QFile::exists(output));
    }

    // Damaged files that once took gigabytes or ran for minutes (kept from
    // fuzzing): the converter stays within its memory whatever the damage,
    // takes time in proportion to what decodes, and converts or refuses.
    void damagedSourcesStayBounded_data()
    {
        QTest::addColumn<QString>("file");
        const QDir kept(QStringLiteral(FUZZ_REGRESSIONS));
        for (const QString& name : kept.entryList(QDir::Files))
            QTest::newRow(qPrintable(name)) << kept.filePath(name);
    }
    void damagedSourcesStayBounded()
    {
        QFETCH(QString, file);
        QTemporaryDir folder;
        // Named as the window names its copies, so the name says nothing of the kind.
        const QString source = folder.filePath(QStringLiteral("tmpFile.avi"));
        QVERIFY(QFile::copy(file, source));
        int status = -1;
        QElapsedTimer timer;
        timer.start();
        const double megabytes =
            peakMegabytesOfConv(windowCommand(source, folder.filePath(QStringLiteral("out.3gp"))), 60, &status);
        // The sanitizers' own share included; the product's target is 80 MB.
        QVERIFY2(megabytes > 0 && megabytes < 120, qPrintable(QString::number(megabytes)));
        QVERIFY2(timer.elapsed() < 20000, qPrintable(QString::number(timer.elapsed())));
        QVERIFY2(status == 0 || status == 4 || status == 5, qPrintable(QString::number(status)));
    }

    // A file cut short, or with garbage in its middle, converts what decodes.
    void damagedFilesConvertWhatDecodes_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("truncate");
        QTest::newRow("AVI cut in half") << "cut.avi" << true;
        QTest::newRow("MPG with garbage in the middle") << "garbled.mpg" << false;
        QTest::newRow("FLV with garbage in the middle") << "garbled.flv" << false;
    }
    void damagedFilesConvertWhatDecodes()
    {
        QFETCH(QString, name);
        QFETCH(bool, truncate);
        const QString source = path(name);
        QVERIFY(makeMedia(lavfiClip(QStringLiteral("320x240"), 25, 6, 22050)
                              << QStringLiteral("-q:v") << QStringLiteral("4"),
                          source));
        QFile file(source);
        QVERIFY(file.open(QIODevice::ReadWrite));
        const qint64 size = file.size();
        if (truncate) {
            QVERIFY(file.resize(size / 2));
        } else {
            file.seek(size / 2);
            QByteArray garbage(static_cast<int>(size / 10), '\0');
            for (int i = 0; i < garbage.size(); ++i)
                garbage[i] = static_cast<char>((i * 7919) >> 3);
            file.write(garbage);
        }
        file.close();

        const QString output = path(name + QStringLiteral(".3gp"));
        const RunResult result = runConv(windowCommand(source, output), 120);
        QVERIFY2(result.exitedWith(0), result.standardError.constData());
        const MediaInfo info = probe(output);
        QCOMPARE(info.video.size(), 1);
        const double expected = truncate ? 3.0 : 5.0;  // at least this much survives
        QVERIFY2(info.video.first().duration > expected * 0.8, qPrintable(QString::number(info.duration)));
        QCOMPARE(decodeErrors(output), QString());
    }

    // A sound stream whose decoder refuses its damaged setup header leaves
    // the pictures to convert on their own, and the user is told so.
    void damagedSoundHeaderLeavesThePictures()
    {
        const QString source = path(QStringLiteral("bad-sound.mkv"));
        QVERIFY(makeMedia(lavfiClip(QStringLiteral("320x240"), 25, 2, 22050)
                              << QStringLiteral("-c:v") << QStringLiteral("mpeg4") << QStringLiteral("-c:a")
                              << QStringLiteral("libvorbis"),
                          source));
        QFile file(source);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QByteArray bytes = file.readAll();
        // The first codebook of the setup header, made impossible.
        const qsizetype codebook = bytes.indexOf("BCV", bytes.indexOf("\x05vorbis"));
        QVERIFY(codebook > 0);
        bytes.replace(codebook + 3, 8, QByteArray(8, '\xff'));
        QVERIFY(file.seek(0) && file.write(bytes) == bytes.size());
        file.close();

        const QString output = path(QStringLiteral("bad-sound.3gp"));
        const RunResult result = runConv(windowCommand(source, output), 120);
        QVERIFY2(result.exitedWith(0), result.standardError.constData());
        QCOMPARE(result.messages().size(), 1);
        QVERIFY2(result.messages().first().contains(QLatin1String("sound is left out")),
                 qPrintable(result.messages().first()));
        const MediaInfo info = probe(output);
        QCOMPARE(info.video.size(), 1);
        QCOMPARE(info.audio.size(), 0);
        QVERIFY(std::abs(info.video.first().duration - 2.0) < 0.2);
    }

    // Sources whose duration claim is wrong or missing: an elementary stream
    // that claims 0.01 s, a timestamp jump that claims 4151 s, a raw H.264
    // stream that claims nothing. Progress never runs past the duration, and
    // the last line's duration is what was converted.
    void progressStaysMeaningful_data()
    {
        QTest::addColumn<QString>("source");
        QTest::newRow("MPEG-1 elementary stream") << sharedMedia(QStringLiteral("mpg-mpeg1-es-videoonly-320x200.mpg"));
        QTest::newRow("timestamp jump") << sharedMedia(QStringLiteral("flv-aac-audioonly-timestampjump.flv"));
        QTest::newRow("raw H.264") << QString();
    }
    void progressStaysMeaningful()
    {
        QFETCH(QString, source);
        if (source.isEmpty()) {
            source = path(QStringLiteral("raw.264"));
            QVERIFY(makeMedia(
                {QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                 QStringLiteral("testsrc2=s=640x480:r=25:d=40"), QStringLiteral("-c:v"), QStringLiteral("libx264"),
                 QStringLiteral("-preset"), QStringLiteral("ultrafast"), QStringLiteral("-f"), QStringLiteral("h264")},
                source));
        } else {
            REQUIRE_SHARED_MEDIA();
            QVERIFY2(QFile::exists(source), qPrintable(source));
        }
        const RunResult result = runConv(windowCommand(source, path(QStringLiteral("progress.3gp"))));
        QVERIFY2(result.exitedWith(0), result.standardError.constData());
        const QStringList lines = result.progressLines();
        QVERIFY(!lines.isEmpty());
        double time = 0, duration = 0;
        for (const QString& line : lines) {
            QCOMPARE(std::sscanf(line.toUtf8().constData(), "progress: time=%lf duration=%lf", &time, &duration), 2);
            QVERIFY2(duration == 0 || time <= duration, qPrintable(line));
        }
        QVERIFY2(time > 0 && std::abs(duration - time) < 0.05 * time, qPrintable(lines.last()));
    }

    // The broken real-world files: either a clean refusal or a playable file.
    void brokenRealWorldFiles_data()
    {
        QTest::addColumn<QString>("file");
        const QStringList files = QDir(sharedMediaFolder()).entryList({QStringLiteral("BAD-*")}, QDir::Files);
        if (files.isEmpty())
            QTest::newRow("no samples") << QString();
        for (const QString& file : files)
            QTest::newRow(qPrintable(file)) << file;
    }
    void brokenRealWorldFiles()
    {
        QFETCH(QString, file);
        REQUIRE_SHARED_MEDIA();
        const QString output = path(QStringLiteral("bad.3gp"));
        QFile::remove(output);
        const RunResult result = runConv(windowCommand(sharedMedia(file), output), 120);
        QVERIFY2(result.finished && !result.crashed, "hung or crashed");
        // A damaged file converts what decodes, or is refused as damaged.
        QVERIFY2(result.exitedWith(0) || result.exitedWith(5), result.standardError.constData());
        QCOMPARE(result.messages().size(), 1);  // the refusal, or the warning about damage
        if (result.exitCode != 0) {
            QVERIFY(!QFile::exists(output));
        } else {
            QVERIFY(probe(output).readable);
            QCOMPARE(decodeErrors(output), QString());
        }
    }
};

QTEST_GUILESS_MAIN(ConverterInputsTest)
#include "tst_conv_inputs.moc"
