#pragma once

// Running conv.dll, making source files with ffmpeg and reading results with
// ffprobe, for the converter tests.

#include "ConverterStatus.h"

#include <QByteArray>
#include <QList>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

namespace convtest {

// The built conv.dll, or the program CONV_UNDER_TEST names (to see a test
// fail on another build).
QString convPath();
// The folder of real-world samples: TOVARO_SHARED_MEDIA, or the one the
// build was configured with.
QString sharedMediaFolder();
QString sharedMedia(const QString& fileName);

// The shared folder of real-world samples is beside the checkout, with samples
// in it. A run without it fails the tests that read it, unless it says to
// skip them (TOVARO_SKIP_SHARED_MEDIA=1).
bool sharedMediaPresent();
bool sharedMediaMaySkip();
QString sharedMediaMissingLine();
#define REQUIRE_SHARED_MEDIA()                                                         \
    do {                                                                               \
        if (!convtest::sharedMediaPresent()) {                                         \
            if (convtest::sharedMediaMaySkip())                                        \
                QSKIP("the shared sample folder is missing; skipped as the run asks"); \
            QFAIL(qPrintable(convtest::sharedMediaMissingLine()));                     \
        }                                                                              \
    } while (false)

// What every line of the converter's own on stderr starts with.
inline const QString kMessagePrefix = QString::fromLatin1(tovaro::kConverterMessagePrefix);

struct RunResult {
    int exitCode = -1;
    bool finished = false;  // false: it hung and was killed, or never started
    bool crashed = false;
    QByteArray standardOutput;
    QByteArray standardError;
    // stderr lines that are not progress lines
    QStringList messages() const;
    QStringList progressLines() const;
    // Finished on its own with this status, and no sanitizer spoke up.
    bool exitedWith(int status) const;
};

// `childSetup` runs in the child before the program starts (async-signal-safe calls only).
RunResult run(const QString& program, const QStringList& arguments, int timeoutSeconds = 300,
              const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment(),
              const std::function<void()>& childSetup = {});
RunResult runConv(const QStringList& arguments, int timeoutSeconds = 300);

// Runs conv.dll with stdin, stdout and stderr on /dev/null, and returns the
// largest resident size it reached, in MB, or -1 if it did not finish in
// time. AddressSanitizer's store of freed memory is kept small for it.
double peakMegabytesOfConv(const QStringList& arguments, int timeoutSeconds, int* exitCode);

// The command line exactly as the window composes it (split at blanks: the two
// blanks before the output give an empty word).
QStringList windowCommand(const QString& input, const QString& output, const QString& size = QStringLiteral("176x144"),
                          const QString& rate = QStringLiteral("14.985"),
                          const QString& videoKbps = QStringLiteral("120"),
                          const QString& audioKbps = QStringLiteral("48"));

// Runs ffmpeg -y ARGS PATH; returns whether it made the file.
bool makeMedia(const QStringList& ffmpegArguments, const QString& path);

struct StreamInfo {
    QString codec;
    int width = 0;
    int height = 0;
    QString frameRate;  // r_frame_rate as ffprobe writes it
    QString sampleAspect;
    int sampleRate = 0;
    int channels = 0;
    double duration = 0;
    double startTime = 0;
    double bitRate = 0;
    qint64 frames = 0;
};

struct MediaInfo {
    bool readable = false;
    QString majorBrand;
    double duration = 0;
    QList<StreamInfo> video;
    QList<StreamInfo> audio;
};

MediaInfo probe(const QString& path);

// What FFmpeg's decoders complain about when decoding the whole file.
QString decodeErrors(const QString& path);

// Every picture of the file as 8-bit gray at WxH (display aspect ignored).
QVector<QByteArray> grayPictures(const QString& path, int width, int height);
// The source's pictures at the moments of output frames at `rate` (an
// ffmpeg frame rate: "2997/200"), as 8-bit gray at WxH.
QVector<QByteArray> sourcePictures(const QString& source, const QString& rate, int width, int height);
// PSNR (dB) of one gray picture against another of the same size.
double psnr(const QByteArray& picture, const QByteArray& reference);
// PSNR (gray, dB) of each picture of a converted file at 14.985 fps against
// its source at the same moments, both at WxH.
QVector<double> psnrAgainstSource(const QString& output, const QString& source, int width, int height);

// The sound as 8000 Hz mono 16-bit samples.
QVector<qint16> monoSamples(const QString& path);

// Integrated loudness (LUFS) and sample peak (dBFS) of the first sound
// stream, as FFmpeg's ebur128 filter measures them; NaN when it says nothing.
struct Loudness {
    double integrated = 0;
    double peak = 0;
};
Loudness loudnessOf(const QString& path);

}  // namespace convtest
