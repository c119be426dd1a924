// What an old phone reads of a 3GP file, checked byte by byte: the index
// first, a true H.263 profile and level, whole-pixel track sizes, no picture
// over the standard's limit, a steady bit rate; and pictures that look right:
// a still picture lasting as long as its sound, repeated pictures sent as
// skipped pictures, interlaced sources without combs.

#include "conv_test_support.h"
#include "h263_headers.h"

#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <optional>

using namespace convtest;

namespace {

// A small MP4 box reader: enough of the sample tables to judge a 3GP file.
struct Box {
    QByteArray type;
    qsizetype offset = 0;  // of the header
    QByteArray body;       // after the header
    QList<Box> children;
};

quint32 be32(const QByteArray& bytes, qsizetype at) { return qFromBigEndian<quint32>(bytes.constData() + at); }

QList<Box> readBoxes(const QByteArray& bytes, qsizetype begin, qsizetype end)
{
    static const QList<QByteArray> containers{"moov", "trak", "mdia", "minf", "stbl"};
    QList<Box> boxes;
    while (begin + 8 <= end) {
        const qsizetype size = be32(bytes, begin);
        if (size < 8 || begin + size > end)
            break;
        Box box{bytes.mid(begin + 4, 4), begin, bytes.mid(begin + 8, size - 8), {}};
        if (containers.contains(box.type))
            box.children = readBoxes(bytes, begin + 8, begin + size);
        else if (box.type == "stsd")  // full box header and entry count, then the entries
            box.children = readBoxes(bytes, begin + 16, begin + size);
        else if (box.type == "s263")  // visual sample entry fields, then its boxes
            box.children = readBoxes(bytes, begin + 8 + 78, begin + size);
        boxes << box;
        begin += size;
    }
    return boxes;
}

std::optional<Box> find(const QList<Box>& boxes, const QList<QByteArray>& path)
{
    for (const Box& box : boxes) {
        if (box.type != path.first())
            continue;
        if (path.size() == 1)
            return box;
        if (auto found = find(box.children, path.mid(1)))
            return found;
    }
    return std::nullopt;
}

// The video track of a 3GP file as its boxes describe it.
struct VideoTrack {
    QList<QByteArray> topLevel;  // box types in file order
    int d263Level = -1;
    int d263Profile = -1;
    double trackWidth = 0;  // tkhd, 16.16 fixed point
    double trackHeight = 0;
    int timescale = 0;
    QList<qint64> sampleSizes;
    QList<qint64> sampleTimes;  // decoding times, in timescale units
    double seconds = 0;
};

VideoTrack readVideoTrack(const QString& path)
{
    QFile file(path);
    VideoTrack track;
    if (!file.open(QIODevice::ReadOnly))
        return track;
    const QByteArray bytes = file.readAll();
    const QList<Box> boxes = readBoxes(bytes, 0, bytes.size());
    for (const Box& box : boxes)
        track.topLevel << box.type;
    const auto moov = find(boxes, {"moov"});
    if (!moov)
        return track;
    for (const Box& trak : moov->children) {
        if (trak.type != "trak" || !find(trak.children, {"mdia", "minf", "vmhd"}))
            continue;
        const QList<QByteArray> stbl{"mdia", "minf", "stbl"};
        if (auto d263 = find(trak.children, stbl + QList<QByteArray>{"stsd", "s263", "d263"})) {
            track.d263Level = static_cast<unsigned char>(d263->body[5]);
            track.d263Profile = static_cast<unsigned char>(d263->body[6]);
        }
        if (auto tkhd = find(trak.children, {"tkhd"})) {  // version 0: width, height last
            track.trackWidth = be32(tkhd->body, tkhd->body.size() - 8) / 65536.0;
            track.trackHeight = be32(tkhd->body, tkhd->body.size() - 4) / 65536.0;
        }
        if (auto mdhd = find(trak.children, {"mdia", "mdhd"}))
            track.timescale = static_cast<int>(be32(mdhd->body, 12));
        if (auto stsz = find(trak.children, stbl + QList<QByteArray>{"stsz"})) {
            const quint32 common = be32(stsz->body, 4), count = be32(stsz->body, 8);
            for (quint32 i = 0; i < count; ++i)
                track.sampleSizes << (common ? common : be32(stsz->body, 12 + 4 * i));
        }
        if (auto stts = find(trak.children, stbl + QList<QByteArray>{"stts"})) {
            qint64 time = 0;
            for (quint32 entry = 0; entry < be32(stts->body, 4); ++entry)
                for (quint32 n = 0; n < be32(stts->body, 8 + 8 * entry); ++n) {
                    track.sampleTimes << time;
                    time += be32(stts->body, 12 + 8 * entry);
                }
            track.seconds = track.timescale ? static_cast<double>(time) / track.timescale : 0;
        }
    }
    return track;
}

// The largest step in play time between chunks that follow each other in the
// file, over all tracks: what a phone reading the file in order must buffer.
double largestChunkStep(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray bytes = file.readAll();
    const auto moov = find(readBoxes(bytes, 0, bytes.size()), {"moov"});
    if (!moov)
        return -1;
    QList<std::pair<qint64, double>> chunks;  // file offset, seconds
    const QList<QByteArray> stbl{"mdia", "minf", "stbl"};
    for (const Box& trak : moov->children) {
        const auto mdhd = find(trak.children, {"mdia", "mdhd"});
        const auto stts = find(trak.children, stbl + QList<QByteArray>{"stts"});
        const auto stsc = find(trak.children, stbl + QList<QByteArray>{"stsc"});
        const auto stco = find(trak.children, stbl + QList<QByteArray>{"stco"});
        if (trak.type != "trak" || !mdhd || !stts || !stsc || !stco)
            continue;
        const double timescale = be32(mdhd->body, 12);
        QList<qint64> sampleTimes;
        qint64 time = 0;
        for (quint32 entry = 0; entry < be32(stts->body, 4); ++entry)
            for (quint32 n = 0; n < be32(stts->body, 8 + 8 * entry); ++n, time += be32(stts->body, 12 + 8 * entry))
                sampleTimes << time;
        qsizetype sample = 0;
        quint32 entry = 0;
        for (quint32 chunk = 0; chunk < be32(stco->body, 4) && sample < sampleTimes.size(); ++chunk) {
            while (entry + 1 < be32(stsc->body, 4) && be32(stsc->body, 8 + 12 * (entry + 1)) <= chunk + 1)
                ++entry;
            chunks.append({be32(stco->body, 8 + 4 * chunk), static_cast<double>(sampleTimes[sample]) / timescale});
            sample += be32(stsc->body, 12 + 12 * entry);
        }
    }
    std::sort(chunks.begin(), chunks.end());
    double largest = 0;
    for (qsizetype i = 1; i < chunks.size(); ++i)
        largest = std::max(largest, std::abs(chunks[i].second - chunks[i - 1].second));
    return largest;
}

// The most kbit/s any one second of the track takes, and its average.
struct RateFigures {
    double mostInOneSecond = 0;
    double average = 0;
};

RateFigures rateOf(const VideoTrack& track)
{
    RateFigures figures;
    const qsizetype count = std::min(track.sampleSizes.size(), track.sampleTimes.size());
    qint64 total = 0;
    for (qsizetype first = 0; first < count; ++first) {
        total += track.sampleSizes[first];
        if (static_cast<double>(track.sampleTimes[first] + track.timescale) > track.seconds * track.timescale + 1)
            continue;  // a window that runs past the end is not a full second
        qint64 bytes = 0;
        for (qsizetype i = first; i < count && track.sampleTimes[i] < track.sampleTimes[first] + track.timescale; ++i)
            bytes += track.sampleSizes[i];
        figures.mostInOneSecond = std::max(figures.mostInOneSecond, static_cast<double>(bytes) * 8 / 1000);
    }
    figures.average = track.seconds > 0 ? static_cast<double>(total) * 8 / 1000 / track.seconds : 0;
    return figures;
}

bool isStandardSize(int width, int height)
{
    return (width == 128 && height == 96) || (width == 176 && height == 144) || (width == 352 && height == 288);
}

// What is wrong in the picture headers of a converted file, read as the
// standard lays them out, or nothing: each header's syntax, size and pixel
// shape; its picture clock is `clockHz`, never slower than the frames; its
// temporal reference (ten bits under a clock of its own, else eight) is the
// clock's tick nearest the picture's time, counted from the first picture;
// its quantiser is the one FFmpeg's decoder uses.
QString headerProblems(const QString& output, const VideoTrack& track, double rate, double clockHz, int width,
                       int height)
{
    const QList<H263Header> headers = readH263Headers(h263StreamOf(output));
    const QList<int> decoded = decodedQuantisers(output);
    if (headers.size() != track.sampleTimes.size() || decoded.size() != headers.size())
        return QStringLiteral("%1 headers, %2 samples, %3 decoded pictures")
            .arg(headers.size())
            .arg(track.sampleTimes.size())
            .arg(decoded.size());
    const bool custom = !isStandardSize(width, height);
    QStringList problems;
    for (qsizetype i = 0; i < headers.size() && problems.size() < 5; ++i) {
        const H263Header& h = headers[i];
        const qint64 frame = std::llround(static_cast<double>(track.sampleTimes[i]) * rate / track.timescale);
        const qint64 ticks = std::llround(static_cast<double>(frame) * h.clockHz() / rate);
        const int reference = static_cast<int>(ticks % (h.tenBitReference ? 1024 : 256));
        QString wrong = h.problem;
        if (h.width != width || h.height != height || (h.sourceFormat == 6) != custom ||
            h.pixelAspectCode != (custom ? 1 : 0))
            wrong = QStringLiteral("%1x%2, format %3, pixel shape %4")
                        .arg(h.width)
                        .arg(h.height)
                        .arg(h.sourceFormat)
                        .arg(h.pixelAspectCode);
        else if (std::abs(h.clockHz() - clockHz) > 1e-3 * clockHz || h.clockHz() < rate * (1 - 1e-9))
            wrong = QStringLiteral("clock %1 Hz").arg(h.clockHz(), 0, 'f', 4);
        else if (h.tenBitReference != h.pictureClockInHeader || h.reference != reference)
            wrong = QStringLiteral("reference %1 where %2").arg(h.reference).arg(reference);
        else if (h.quantiser != decoded[i])
            wrong = QStringLiteral("quantiser %1 where the decoder uses %2").arg(h.quantiser).arg(decoded[i]);
        if (!wrong.isEmpty())
            problems << QStringLiteral("picture %1 (frame %2): %3").arg(i).arg(frame).arg(wrong);
    }
    return problems.join(QStringLiteral("; "));
}

QStringList lavfi(const QString& graph)
{
    return {QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"), graph};
}

double meanLuma(const QByteArray& picture, int width, int height)
{
    // The middle, clear of any letterbox bars.
    double sum = 0;
    int count = 0;
    for (int y = height / 4; y < height * 3 / 4; ++y)
        for (int x = width / 4; x < width * 3 / 4; ++x, ++count)
            sum += static_cast<unsigned char>(picture[y * width + x]);
    return count ? sum / count : 0;
}

}  // namespace

class ConverterPhoneTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString clip_;       // 6 s of moving pictures with sound
    QString noisy_;      // 6 s of heavy noise: the hardest pictures to code
    QString longClip_;   // 20 s of moving pictures, for the long-run average
    QString cuts_;       // 6 s of QCIF, every other second a cut to noise
    QString pureNoise_;  // 6 s of nothing but noise, CIF at 29.97 fps
    QString path(const QString& name) const { return dir_.filePath(name); }

    QString convert(const QString& source, const QString& size, const QString& rate, const QString& kbps)
    {
        const QString output =
            path(QStringLiteral("%1-%2-%3-%4.3gp").arg(QFileInfo(source).baseName(), size, rate, kbps));
        const RunResult result = runConv(windowCommand(source, output, size, rate, kbps));
        if (!result.exitedWith(0)) {
            qWarning("%s", result.standardError.constData());
            return QString();
        }
        return output;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        // MPEG-4 Part 2 at this quantiser (1 is finest) in an AVI.
        const auto mpeg4 = [&](const QString& name, const QStringList& inputs, const QString& quantiser) {
            const QString made = path(name);
            return makeMedia(
                       inputs + QStringList{QStringLiteral("-c:v"), QStringLiteral("mpeg4"), QStringLiteral("-q:v"),
                                            quantiser, QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p")},
                       made)
                       ? made
                       : QString();
        };
        clip_ = mpeg4(QStringLiteral("clip.avi"),
                      lavfi(QStringLiteral("testsrc2=size=640x480:rate=30:d=6")) +
                          lavfi(QStringLiteral("sine=frequency=440:d=6")),
                      QStringLiteral("3"));
        longClip_ = mpeg4(QStringLiteral("long.avi"), lavfi(QStringLiteral("testsrc2=size=640x480:rate=30:d=20")),
                          QStringLiteral("3"));
        noisy_ = mpeg4(QStringLiteral("noisy.avi"),
                       lavfi(QStringLiteral("testsrc2=s=640x480:r=30:d=6,noise=alls=60:allf=t")), QStringLiteral("2"));
        cuts_ = mpeg4(QStringLiteral("cuts.avi"),
                      lavfi(QStringLiteral("nullsrc=s=176x144:r=30:d=6,format=yuv444p,geq="
                                           "lum='if(mod(floor(T)\\,2)\\,random(1)*255\\,128)':"
                                           "cb='if(mod(floor(T)\\,2)\\,random(2)*255\\,128)':"
                                           "cr='if(mod(floor(T)\\,2)\\,random(3)*255\\,128)'")),
                      QStringLiteral("1"));
        pureNoise_ = mpeg4(QStringLiteral("pure-noise.avi"),
                           lavfi(QStringLiteral("nullsrc=s=352x288:r=30000/1001:d=6,geq=random(1)*255:128:128")),
                           QStringLiteral("1"));
        for (const QString* made : {&clip_, &longClip_, &noisy_, &cuts_, &pureNoise_})
            QVERIFY(!made->isEmpty());
    }

    // The sample description says what is coded: Annex X profile 0 and the
    // lowest level whose size, picture rate and bit rate limits hold the file;
    // the index comes before the media data; the track header gives the
    // display size in whole pixels. Each picture header's temporal reference
    // is the tick of the picture clock nearest the picture's time (30000/1001
    // Hz for the standard sizes up to that rate, else the frame rate), counted
    // from the first picture, frames left out included: a phone shows each
    // picture that long. The level is the one the written file fits, whatever
    // rate was asked for.
    void boxesTellTheTruth_data()
    {
        QTest::addColumn<QString>("size");
        QTest::addColumn<QString>("rate");
        QTest::addColumn<QString>("kbps");
        QTest::addColumn<int>("level");
        QTest::addColumn<int>("trackWidth");
        QTest::addColumn<bool>("standardClock");
        // clang-format off
        QTest::newRow("QCIF 15 fps 40k") << "176x144" << "14.985" << "40" << 10 << 192 << true;
        QTest::newRow("QCIF 15 fps 120k") << "176x144" << "14.985" << "120" << 45 << 192 << true;
        QTest::newRow("QCIF 15.0 fps 40k") << "176x144" << "15" << "40" << 20 << 192 << true;
        QTest::newRow("QCIF 25 fps 120k") << "176x144" << "25.0" << "120" << 20 << 192 << true;
        QTest::newRow("sub-QCIF 23.975 fps 120k") << "128x96" << "23.975" << "120" << 20 << 140 << true;
        QTest::newRow("sub-QCIF 30 fps 120k") << "128x96" << "29.97" << "120" << 20 << 140 << true;
        QTest::newRow("sub-QCIF 15 fps 512k, written at 220k") << "128x96" << "14.985" << "512" << 30 << 140 << true;
        QTest::newRow("QCIF 30 fps 256k") << "176x144" << "29.97" << "256" << 30 << 192 << true;
        QTest::newRow("QCIF 30.0 fps, a clock of its own") << "176x144" << "30" << "120" << 50 << 192 << false;
        QTest::newRow("CIF 15 fps 80k") << "352x288" << "14.985" << "80" << 20 << 384 << true;
        QTest::newRow("CIF 23.975 fps 256k") << "352x288" << "23.975" << "256" << 30 << 384 << true;
        QTest::newRow("CIF 30 fps 40k, frames left out") << "352x288" << "29.97" << "40" << 30 << 384 << true;
        QTest::newRow("CIF 30 fps 512k") << "352x288" << "29.97" << "512" << 40 << 384 << true;
        QTest::newRow("160x120 custom format") << "160x120" << "14.985" << "40" << 50 << 160 << false;
        QTest::newRow("320x240 custom format") << "320x240" << "25.0" << "512" << 50 << 320 << false;
        QTest::newRow("320x240 30 fps 40k, frames left out") << "320x240" << "29.97" << "40" << 50 << 320 << false;
        // clang-format on
    }
    void boxesTellTheTruth()
    {
        QFETCH(QString, size);
        QFETCH(QString, rate);
        QFETCH(QString, kbps);
        QFETCH(int, level);
        QFETCH(int, trackWidth);
        QFETCH(bool, standardClock);
        const QString output = convert(clip_, size, rate, kbps);
        QVERIFY(!output.isEmpty());
        const VideoTrack track = readVideoTrack(output);
        QVERIFY2(track.topLevel.indexOf("moov") >= 0 && track.topLevel.indexOf("moov") < track.topLevel.indexOf("mdat"),
                 track.topLevel.join(' ').constData());
        QCOMPARE(track.d263Profile, 0);
        QCOMPARE(track.d263Level, level);
        QCOMPARE(track.trackWidth, double(trackWidth));
        QCOMPARE(track.trackHeight, double(size.section(QLatin1Char('x'), 1).toInt()));
        QCOMPARE(decodeErrors(output), QString());

        const int width = size.section(QLatin1Char('x'), 0, 0).toInt();
        const int height = size.section(QLatin1Char('x'), 1).toInt();
        const double clockHz = standardClock ? 30000.0 / 1001 : rate.toDouble();
        const QString problems = headerProblems(output, track, rate.toDouble(), clockHz, width, height);
        QVERIFY2(problems.isEmpty(), qPrintable(problems));
    }

    // Past picture 255 the eight bits of the temporal reference wrap, past 1023
    // the ten of a clock of its own: every field of every picture header stays
    // right through both, at every size, on the standard clock (QCIF and the
    // like at 14.985 fps) and on a clock in the header (custom sizes, 30 fps),
    // and the pictures after the wraps decode as well as those before.
    void pictureHeadersHoldPastTheirWraps_data()
    {
        QTest::addColumn<QString>("size");
        QTest::addColumn<QString>("rate");
        for (const char* size : {"128x96", "160x120", "176x144", "320x240", "352x288"})
            for (const char* rate : {"14.985", "30"})
                QTest::addRow("%s %s fps", size, rate) << QString::fromLatin1(size) << QString::fromLatin1(rate);
    }
    void pictureHeadersHoldPastTheirWraps()
    {
        QFETCH(QString, size);
        QFETCH(QString, rate);
        // Some 1,100 pictures at either rate, from a small source that costs
        // little to decode, of the frame's display shape: no bars.
        const bool fast = rate == QLatin1String("30");
        const QString shape = size == QLatin1String("128x96") ? QStringLiteral("160x110") : QStringLiteral("160x120");
        const QString source = path(QStringLiteral("long-%1-%2.avi").arg(shape, rate));
        if (!QFile::exists(source))
            QVERIFY(makeMedia(
                lavfi(QStringLiteral("testsrc2=s=%1:r=%2:d=%3").arg(shape).arg(fast ? 30 : 15).arg(fast ? 37 : 74)) +
                    QStringList{QStringLiteral("-c:v"), QStringLiteral("mpeg4"), QStringLiteral("-q:v"),
                                QStringLiteral("3")},
                source));
        const QString output = convert(source, size, rate, QStringLiteral("120"));
        QVERIFY(!output.isEmpty());
        const VideoTrack track = readVideoTrack(output);
        // Where the rate starves the pictures (352x288 at 30 fps) a few are left out.
        QVERIFY2(track.sampleTimes.size() > 1050, qPrintable(QString::number(track.sampleTimes.size())));
        const int width = size.section(QLatin1Char('x'), 0, 0).toInt();
        const int height = size.section(QLatin1Char('x'), 1).toInt();
        const bool standardClock = !fast && isStandardSize(width, height);
        const QString problems = headerProblems(output, track, rate.toDouble(),
                                                standardClock ? 30000.0 / 1001 : rate.toDouble(), width, height);
        QVERIFY2(problems.isEmpty(), qPrintable(problems));

        // Mean PSNR of the pictures from 0, from 256 and from 1024 on.
        const QVector<QByteArray> pictures = grayPictures(output, width, height);
        const QVector<QByteArray> reference =
            sourcePictures(source, fast ? QStringLiteral("30") : QStringLiteral("2997/200"), width, height);
        QCOMPARE(pictures.size(), track.sampleTimes.size());
        const auto meanPsnr = [&](int first, int count) {
            double sum = 0;
            for (int i = first; i < first + count; ++i) {
                const qint64 frame =
                    std::llround(static_cast<double>(track.sampleTimes[i]) * rate.toDouble() / track.timescale);
                sum += frame < reference.size() ? psnr(pictures[i], reference[frame]) : 0;
            }
            return sum / count;
        };
        const double mean[3] = {meanPsnr(0, 256), meanPsnr(256, 256), meanPsnr(1024, 26)};
        // Within 2 dB: the source's pictures are alike all through (FFmpeg's
        // encoder at one quantiser gives the same PSNR to 0.2 dB), and a wrong
        // quantiser on either side of a wrap moves them by 2 to 8 dB.
        QVERIFY2(std::abs(mean[1] - mean[0]) < 2 && std::abs(mean[2] - mean[0]) < 2,
                 qPrintable(QStringLiteral("%1, %2, %3 dB").arg(mean[0]).arg(mean[1]).arg(mean[2])));
    }

    // BPPmaxKb: 64 kbit per picture up to QCIF, 256 up to CIF, whatever the
    // source; and no second of the video takes more than 1.5 times the rate,
    // a 6 s clip's average within 10 % of it, a 20 s clip's within 3 %. The
    // large pictures at 40 kbit/s are what the coarsest quantiser alone
    // cannot hold: there pictures may be left out; at the other rates every
    // picture of a moving source is coded.
    void picturesAndSecondsStayWithinLimits_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("size");
        QTest::addColumn<QString>("rate");
        QTest::addColumn<QString>("kbps");
        QTest::addColumn<double>("mostAverage");
        QTest::addColumn<bool>("everyPicture");
        for (const QString& size : {QStringLiteral("128x96"), QStringLiteral("160x120"), QStringLiteral("176x144"),
                                    QStringLiteral("320x240"), QStringLiteral("352x288")})
            // clang-format off
            QTest::addRow("noise %s 512k", qPrintable(size)) << noisy_ << size << "29.97" << "512" << 1.1 << false;
        QTest::newRow("cuts to noise QCIF 15 fps 512k") << cuts_ << "176x144" << "14.985" << "512" << 1.1 << false;
        QTest::newRow("pure noise CIF 15 fps 256k") << pureNoise_ << "352x288" << "14.985" << "256" << 1.1 << false;
        QTest::newRow("pure noise CIF 30 fps 512k") << pureNoise_ << "352x288" << "29.97" << "512" << 1.1 << false;
        QTest::newRow("clip QCIF 40k") << clip_ << "176x144" << "14.985" << "40" << 1.1 << true;
        QTest::newRow("clip QCIF 120k") << clip_ << "176x144" << "14.985" << "120" << 1.1 << true;
        QTest::newRow("clip QCIF 256k") << clip_ << "176x144" << "25.0" << "256" << 1.1 << true;
        QTest::newRow("clip CIF 120k") << clip_ << "352x288" << "23.975" << "120" << 1.1 << true;
        QTest::newRow("clip CIF 40k") << clip_ << "352x288" << "29.97" << "40" << 1.1 << false;
        QTest::newRow("20 s 320x240 40k") << longClip_ << "320x240" << "29.97" << "40" << 1.03 << false;
        QTest::newRow("20 s CIF 40k") << longClip_ << "352x288" << "14.985" << "40" << 1.03 << false;
        QTest::newRow("20 s CIF 30 fps 120k") << longClip_ << "352x288" << "29.97" << "120" << 1.03 << true;
        // clang-format on
    }
    void picturesAndSecondsStayWithinLimits()
    {
        QFETCH(QString, source);
        QFETCH(QString, size);
        QFETCH(QString, rate);
        QFETCH(QString, kbps);
        QFETCH(double, mostAverage);
        QFETCH(bool, everyPicture);
        const QString output = convert(source, size, rate, kbps);
        QVERIFY(!output.isEmpty());
        const VideoTrack track = readVideoTrack(output);
        QVERIFY(!track.sampleSizes.isEmpty());
        const int area = size.section(QLatin1Char('x'), 0, 0).toInt() * size.section(QLatin1Char('x'), 1).toInt();
        const qint64 mostBytes = (area <= 176 * 144 ? 64 : 256) * 1024 / 8;
        const qint64 largest = *std::max_element(track.sampleSizes.begin(), track.sampleSizes.end());
        QVERIFY2(largest <= mostBytes, qPrintable(QStringLiteral("%1 > %2 bytes").arg(largest).arg(mostBytes)));

        const RateFigures figures = rateOf(track);
        const double requested = kbps.toDouble();
        QVERIFY2(figures.mostInOneSecond <= 1.5 * requested, qPrintable(QString::number(figures.mostInOneSecond)));
        QVERIFY2(figures.average <= mostAverage * requested, qPrintable(QString::number(figures.average)));

        // The frames a player shows the picture before for, between two pictures of the track.
        qint64 leftOut = 0, mostInARow = 0, lastFrame = -1;
        for (const qint64 time : track.sampleTimes) {
            const qint64 frame = std::llround(static_cast<double>(time) * rate.toDouble() / track.timescale);
            leftOut += frame - lastFrame - 1;
            mostInARow = std::max(mostInARow, frame - lastFrame - 1);
            lastFrame = frame;
        }
        QVERIFY2(!everyPicture || leftOut == 0,
                 qPrintable(QStringLiteral("%1 frames left out, up to %2 in a row").arg(leftOut).arg(mostInARow)));
    }

    // A rate whose share per picture is more than H.263 lets one picture take
    // is coded at the most it allows, with a line saying so, and the file
    // claims the level it holds.
    void ratesOverThePictureLimitAreHeldToIt_data()
    {
        QTest::addColumn<QString>("size");
        QTest::addColumn<QString>("rate");
        QTest::addColumn<QString>("kbps");
        QTest::addColumn<double>("mostKbps");
        // clang-format off
        QTest::newRow("QCIF 5 fps 512k") << "176x144" << "5" << "512" << 327.68;
        QTest::newRow("sub-QCIF 5 fps 400k") << "128x96" << "5" << "400" << 327.68;
        QTest::newRow("CIF 1 fps 300k") << "352x288" << "1" << "300" << 262.144;
        // clang-format on
    }
    void ratesOverThePictureLimitAreHeldToIt()
    {
        QFETCH(QString, size);
        QFETCH(QString, rate);
        QFETCH(QString, kbps);
        QFETCH(double, mostKbps);
        const QString output = path(QStringLiteral("over-%1-%2-%3.3gp").arg(size, rate, kbps));
        const RunResult result = runConv(windowCommand(noisy_, output, size, rate, kbps));
        QVERIFY2(result.exitedWith(0), result.standardError.constData());
        QCOMPARE(result.messages().size(), 1);
        QVERIFY2(result.messages().first().contains(QString::number(mostKbps, 'f', 1) + QLatin1String(" kbit/s")),
                 qPrintable(result.messages().first()));
        const VideoTrack track = readVideoTrack(output);
        const int area = size.section(QLatin1Char('x'), 0, 0).toInt() * size.section(QLatin1Char('x'), 1).toInt();
        const qint64 mostBytes = (area <= 176 * 144 ? 64 : 256) * 1024 / 8;
        QVERIFY(*std::max_element(track.sampleSizes.begin(), track.sampleSizes.end()) <= mostBytes);
        const double average = rateOf(track).average;
        QVERIFY2(average > 0.5 * mostKbps && average <= 1.1 * mostKbps, qPrintable(QString::number(average)));
        // Above the 128 kbit/s of levels 10 to 20, within the 384 of level 30.
        QCOMPARE(track.d263Level, 30);
        QCOMPARE(decodeErrors(output), QString());
    }

    // Where the pictures cannot be coded at their share of the rate even at
    // the coarsest quantiser, frames are left out; more bits never leave out more.
    void moreBitsNeverGiveFewerPictures()
    {
        qsizetype fewerBits = 0;
        for (const QString& kbps : {QStringLiteral("120"), QStringLiteral("256"), QStringLiteral("512")}) {
            const QString output = convert(pureNoise_, QStringLiteral("352x288"), QStringLiteral("29.97"), kbps);
            QVERIFY(!output.isEmpty());
            const qsizetype pictures = readVideoTrack(output).sampleSizes.size();
            QVERIFY2(pictures >= fewerBits, qPrintable(QStringLiteral("%1 pictures at %2k").arg(pictures).arg(kbps)));
            fewerBits = pictures;
        }
    }

    // A picture every 20 s with sound, as slides or a screen recording: the
    // source file holds minutes of sound before its pictures. In the output,
    // sound and pictures that play together lie together.
    void sparsePicturesInterleaveWithSound()
    {
        const QString slides = path(QStringLiteral("slides.mp4"));
        QVERIFY(makeMedia(lavfi(QStringLiteral("testsrc2=s=320x240:r=1/20")) +
                              lavfi(QStringLiteral("sine=frequency=440")) +
                              QStringList{QStringLiteral("-t"), QStringLiteral("180"), QStringLiteral("-c:a"),
                                          QStringLiteral("aac"), QStringLiteral("-b:a"), QStringLiteral("128k")},
                          slides));
        QVERIFY(largestChunkStep(slides) > 60);  // what the test is about
        const QString output =
            convert(slides, QStringLiteral("176x144"), QStringLiteral("14.985"), QStringLiteral("120"));
        QVERIFY(!output.isEmpty());
        const double step = largestChunkStep(output);
        QVERIFY2(step >= 0 && step <= 1, qPrintable(QString::number(step)));
        QVERIFY(probe(output).video.first().duration > 179);
    }

    // One picture and 5 s of sound: the picture stays on while the sound plays.
    void stillPictureLastsAsLongAsItsSound()
    {
        const QString still = path(QStringLiteral("still.mp4"));
        QVERIFY(makeMedia(
            lavfi(QStringLiteral("testsrc2=s=320x240:r=1:d=1")) + lavfi(QStringLiteral("sine=frequency=440:d=5")),
            still));
        const MediaInfo source = probe(still);
        QCOMPARE(source.video.size(), 1);
        QCOMPARE(source.video.first().frames, 1);

        const QString output =
            convert(still, QStringLiteral("176x144"), QStringLiteral("14.985"), QStringLiteral("120"));
        QVERIFY(!output.isEmpty());
        const MediaInfo info = probe(output);
        QCOMPARE(info.video.size(), 1);
        QCOMPARE(info.audio.size(), 1);
        QVERIFY2(info.audio.first().duration > 4.9, qPrintable(QString::number(info.audio.first().duration)));
        QVERIFY2(std::abs(info.video.first().duration - info.audio.first().duration) < 0.15,
                 qPrintable(QString::number(info.video.first().duration)));
    }

    // A picture the source repeats, by its own duration or picture after
    // picture, is coded a few times, then sent as pictures that skip every
    // macroblock: a few bytes each, every frame still there, and the phone shows
    // the picture unchanged. Both picture headers: a standard size and a custom one.
    void repeatedPicturesAreSkippedPictures_data()
    {
        QTest::addColumn<QString>("graph");
        QTest::addColumn<QString>("size");
        QTest::addColumn<int>("mostBytes");  // header and one bit per macroblock
        const QString longPictures = QStringLiteral("testsrc2=s=640x480:r=1/4:d=8");
        const QString repeated = QStringLiteral("testsrc2=s=640x480:r=1:d=1,loop=loop=-1:size=1,fps=25");
        QTest::newRow("long pictures, 176x144") << longPictures << QStringLiteral("176x144") << 20;
        QTest::newRow("long pictures, 320x240") << longPictures << QStringLiteral("320x240") << 52;
        QTest::newRow("picture repeated, 352x288") << repeated << QStringLiteral("352x288") << 57;
    }
    void repeatedPicturesAreSkippedPictures()
    {
        QFETCH(QString, graph);
        QFETCH(QString, size);
        QFETCH(int, mostBytes);
        const QString source = path(QStringLiteral("repeated.mp4"));
        QVERIFY(makeMedia(lavfi(graph) + QStringList{QStringLiteral("-t"), QStringLiteral("8")}, source));
        const QString output = convert(source, size, QStringLiteral("14.985"), QStringLiteral("120"));
        QVERIFY(!output.isEmpty());

        const VideoTrack track = readVideoTrack(output);
        QCOMPARE(track.sampleSizes.size(), 120);  // 8 s at 14.985 fps, none left out
        const auto skipped = std::count_if(track.sampleSizes.begin(), track.sampleSizes.end(),
                                           [&](qint64 bytes) { return bytes <= mostBytes; });
        QVERIFY2(skipped >= 100, qPrintable(QString::number(skipped)));
        QCOMPARE(decodeErrors(output), QString());
        // From the last coding of a picture on, every frame shows it unchanged
        // (the long pictures change at frame 60). A long picture's codings,
        // one rate buffer's refill apart (0.4 s), end within its first 3 s.
        const int width = size.section(QLatin1Char('x'), 0, 0).toInt();
        const int height = size.section(QLatin1Char('x'), 1, 1).toInt();
        const QVector<QByteArray> pictures = grayPictures(output, width, height);
        QCOMPARE(pictures.size(), 120);
        for (int i = 0; i < pictures.size(); ++i)
            if (i % 60 >= 45)
                QVERIFY2(pictures[i] == pictures[i - i % 60 + 44], qPrintable(QString::number(i)));
    }

    // A noisy picture on for 5 s, then another: 120 kbit/s is plenty for
    // them, so each ends up as good as at four times the rate, the second as
    // well as the first (the rate buffer knows how long the first stayed on).
    void longStillUsesTheRateItHas()
    {
        const QString stills = path(QStringLiteral("noisy-stills.mp4"));
        QVERIFY(makeMedia(lavfi(QStringLiteral("testsrc2=s=640x480:r=1/5:d=10,noise=alls=40:allf=t")) +
                              QStringList{QStringLiteral("-t"), QStringLiteral("10"), QStringLiteral("-pix_fmt"),
                                          QStringLiteral("yuv420p")},
                          stills));
        QVector<double> lastFrames[2];
        for (int i = 0; i < 2; ++i) {
            const QString output = convert(stills, QStringLiteral("176x144"), QStringLiteral("14.985"),
                                           i ? QStringLiteral("480") : QStringLiteral("120"));
            QVERIFY(!output.isEmpty());
            const QVector<double> psnr = psnrAgainstSource(output, stills, 176, 144);
            QCOMPARE(psnr.size(), 150);
            lastFrames[i] = {psnr[74], psnr[149]};
        }
        for (int picture = 0; picture < 2; ++picture)
            QVERIFY2(lastFrames[0][picture] > lastFrames[1][picture] - 1,
                     qPrintable(QStringLiteral("picture %1: %2 dB at 120 kbit/s, %3 at 480")
                                    .arg(picture)
                                    .arg(lastFrames[0][picture])
                                    .arg(lastFrames[1][picture])));
    }

    // Each picture holds a white top field and a black bottom field, as a
    // camera would record a flash between two fields. One moment per output
    // picture means white; both fields together would give gray or stripes.
    void interlacedSourceHasNoCombs_data()
    {
        QTest::addColumn<QString>("codec");
        QTest::addColumn<QString>("size");
        for (const QString& codec : {QStringLiteral("mpeg2video"), QStringLiteral("dvvideo")})
            for (const QString& size : {QStringLiteral("352x288"), QStringLiteral("320x240"), QStringLiteral("176x144"),
                                        QStringLiteral("128x96")})
                QTest::addRow("%s %s", qPrintable(codec), qPrintable(size)) << codec << size;
    }
    void interlacedSourceHasNoCombs()
    {
        QFETCH(QString, codec);
        QFETCH(QString, size);
        const QString source =
            path(QStringLiteral("interlaced-%1.%2")
                     .arg(codec, codec == QLatin1String("dvvideo") ? QStringLiteral("dv") : QStringLiteral("mpg")));
        if (!QFile::exists(source)) {
            QStringList arguments = lavfi(QStringLiteral(
                "color=c=gray:s=720x576:r=50:d=2,format=yuv420p,"
                "geq=lum='if(mod(N\\,2)\\,16\\,235)':cb=128:cr=128,tinterlace=mode=interleave_top,setfield=tff"));
            arguments << QStringLiteral("-c:v") << codec;
            if (codec == QLatin1String("mpeg2video"))
                arguments << QStringLiteral("-flags") << QStringLiteral("+ildct+ilme") << QStringLiteral("-q:v")
                          << QStringLiteral("2");
            QVERIFY(makeMedia(arguments, source));
        }
        const QString output = convert(source, size, QStringLiteral("25.0"), QStringLiteral("512"));
        QVERIFY(!output.isEmpty());
        const int width = size.section(QLatin1Char('x'), 0, 0).toInt();
        const int height = size.section(QLatin1Char('x'), 1).toInt();
        const QVector<QByteArray> pictures = grayPictures(output, width, height);
        QVERIFY(pictures.size() >= 40);
        for (const QByteArray& picture : pictures)
            QVERIFY2(meanLuma(picture, width, height) > 200,
                     qPrintable(QString::number(meanLuma(picture, width, height))));
    }
};

QTEST_GUILESS_MAIN(ConverterPhoneTest)
#include "tst_conv_phone.moc"
