#include "conv_test_support.h"

#include <algorithm>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>

#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace convtest {

QString convPath() { return qEnvironmentVariable("CONV_UNDER_TEST", QStringLiteral(CONV_DLL)); }

QString sharedMediaFolder()
{
    const QString chosen = qEnvironmentVariable("TOVARO_SHARED_MEDIA");
    return chosen.isEmpty() ? QStringLiteral(SHARED_MEDIA) : chosen;
}

QString sharedMedia(const QString& fileName) { return QDir(sharedMediaFolder()).filePath(fileName); }

bool sharedMediaPresent()
{
    const QStringList files = QDir(sharedMediaFolder()).entryList(QDir::Files);
    return std::any_of(files.begin(), files.end(),
                       [](const QString& file) { return !file.endsWith(QLatin1String(".md")); });
}

bool sharedMediaMaySkip() { return qEnvironmentVariable("TOVARO_SKIP_SHARED_MEDIA") == QLatin1String("1"); }

QString sharedMediaMissingLine()
{
    return QStringLiteral(
               "the shared sample folder %1 is missing or empty: put it beside the checkout, point "
               "TOVARO_SHARED_MEDIA at it, or set TOVARO_SKIP_SHARED_MEDIA=1 to skip these tests")
        .arg(sharedMediaFolder());
}

static bool isProgressLine(const QString& line) { return line.startsWith(QLatin1String("progress: ")); }

static QStringList lines(const QByteArray& text)
{
    return QString::fromUtf8(text).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QStringList RunResult::messages() const
{
    QStringList result;
    for (const QString& line : lines(standardError))
        if (!isProgressLine(line))
            result << line;
    return result;
}

QStringList RunResult::progressLines() const
{
    QStringList result;
    for (const QString& line : lines(standardError))
        if (isProgressLine(line))
            result << line;
    return result;
}

bool RunResult::exitedWith(int status) const
{
    return finished && !crashed && exitCode == status && !standardError.contains("Sanitizer") &&
           !standardError.contains("runtime error:");
}

RunResult run(const QString& program, const QStringList& arguments, int timeoutSeconds,
              const QProcessEnvironment& environment, const std::function<void()>& childSetup)
{
    QProcess process;
    if (childSetup)
        process.setChildProcessModifier(childSetup);
    process.setProcessEnvironment(environment);
    process.setProgram(program);
    process.setArguments(arguments);
    process.start();
    RunResult result;
    if (!process.waitForStarted())
        return result;
    result.finished = process.waitForFinished(timeoutSeconds * 1000);
    if (!result.finished) {
        process.kill();
        process.waitForFinished();
    }
    result.crashed = process.exitStatus() == QProcess::CrashExit;
    result.exitCode = process.exitCode();
    result.standardOutput = process.readAllStandardOutput();
    result.standardError = process.readAllStandardError();
    return result;
}

RunResult runConv(const QStringList& arguments, int timeoutSeconds)
{
    return run(convPath(), arguments, timeoutSeconds);
}

double peakMegabytesOfConv(const QStringList& arguments, int timeoutSeconds, int* exitCode)
{
    std::vector<QByteArray> words{QFile::encodeName(convPath())};
    for (const QString& argument : arguments)
        words.push_back(QFile::encodeName(argument));
    std::vector<char*> argv;
    for (QByteArray& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);

    const pid_t child = fork();
    if (child == 0) {
        const int null = ::open("/dev/null", O_RDWR);
        for (int fd = 0; fd <= 2; ++fd)
            dup2(null, fd);
        setenv("ASAN_OPTIONS", "quarantine_size_mb=8:detect_leaks=0", 1);
        execv(argv[0], argv.data());
        _exit(127);
    }
    if (child < 0)
        return -1;
    QElapsedTimer timer;
    timer.start();
    int status = 0;
    rusage usage{};
    while (wait4(child, &status, WNOHANG, &usage) == 0) {
        if (timer.elapsed() > timeoutSeconds * 1000) {
            ::kill(child, SIGKILL);
            wait4(child, &status, 0, &usage);
            return -1;
        }
        QThread::msleep(20);
    }
    *exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return static_cast<double>(usage.ru_maxrss) / 1024;
}

QStringList windowCommand(const QString& input, const QString& output, const QString& size, const QString& rate,
                          const QString& videoKbps, const QString& audioKbps)
{
    return {QStringLiteral("-i"),
            input,
            QStringLiteral("-vcodec"),
            QStringLiteral("h263"),
            QStringLiteral("-b"),
            videoKbps,
            QStringLiteral("-y"),
            QStringLiteral("-r"),
            rate,
            QStringLiteral("-s"),
            size,
            QStringLiteral("-acodec"),
            QStringLiteral("amr_nb"),
            QStringLiteral("-ac"),
            QStringLiteral("1"),
            QStringLiteral("-f"),
            QStringLiteral("3gp"),
            QStringLiteral("-ar"),
            QStringLiteral("8000"),
            QStringLiteral("-ab"),
            audioKbps,
            QString(),
            output};
}

bool makeMedia(const QStringList& ffmpegArguments, const QString& path)
{
    QStringList arguments{QStringLiteral("-nostdin"), QStringLiteral("-v"), QStringLiteral("error"),
                          QStringLiteral("-y")};
    arguments << ffmpegArguments << path;
    const RunResult result = run(QStringLiteral("ffmpeg"), arguments);
    if (!result.exitedWith(0))
        qWarning("ffmpeg could not make %s: %s", qPrintable(path), result.standardError.constData());
    return result.exitedWith(0) && QFile::exists(path);
}

static StreamInfo streamFrom(const QJsonObject& stream)
{
    StreamInfo info;
    info.codec = stream.value(QLatin1String("codec_name")).toString();
    info.width = stream.value(QLatin1String("width")).toInt();
    info.height = stream.value(QLatin1String("height")).toInt();
    info.frameRate = stream.value(QLatin1String("r_frame_rate")).toString();
    info.sampleAspect = stream.value(QLatin1String("sample_aspect_ratio")).toString();
    info.sampleRate = stream.value(QLatin1String("sample_rate")).toString().toInt();
    info.channels = stream.value(QLatin1String("channels")).toInt();
    info.duration = stream.value(QLatin1String("duration")).toString().toDouble();
    info.startTime = stream.value(QLatin1String("start_time")).toString().toDouble();
    info.bitRate = stream.value(QLatin1String("bit_rate")).toString().toDouble();
    info.frames = stream.value(QLatin1String("nb_frames")).toString().toLongLong();
    return info;
}

MediaInfo probe(const QString& path)
{
    const RunResult result =
        run(QStringLiteral("ffprobe"),
            {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-of"), QStringLiteral("json"),
             QStringLiteral("-count_packets"), QStringLiteral("-show_format"), QStringLiteral("-show_streams"), path});
    MediaInfo info;
    if (!result.exitedWith(0))
        return info;
    const QJsonObject root = QJsonDocument::fromJson(result.standardOutput).object();
    const QJsonObject format = root.value(QLatin1String("format")).toObject();
    info.readable = !format.isEmpty();
    info.majorBrand = format.value(QLatin1String("tags")).toObject().value(QLatin1String("major_brand")).toString();
    info.duration = format.value(QLatin1String("duration")).toString().toDouble();
    for (const QJsonValue& value : root.value(QLatin1String("streams")).toArray()) {
        const QJsonObject stream = value.toObject();
        StreamInfo parsed = streamFrom(stream);
        parsed.frames = stream.value(QLatin1String("nb_read_packets")).toString().toLongLong();
        const QString type = stream.value(QLatin1String("codec_type")).toString();
        if (type == QLatin1String("video"))
            info.video << parsed;
        else if (type == QLatin1String("audio"))
            info.audio << parsed;
    }
    return info;
}

QString decodeErrors(const QString& path)
{
    const RunResult result =
        run(QStringLiteral("ffmpeg"),
            {QStringLiteral("-nostdin"), QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), path,
             QStringLiteral("-f"), QStringLiteral("null"), QStringLiteral("-")});
    if (!result.finished || result.crashed)
        return QStringLiteral("ffmpeg did not finish");
    return QString::fromUtf8(result.standardError).trimmed();
}

QVector<QByteArray> grayPictures(const QString& path, int width, int height)
{
    const RunResult result = run(
        QStringLiteral("ffmpeg"),
        {QStringLiteral("-nostdin"), QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), path,
         QStringLiteral("-an"), QStringLiteral("-vf"), QStringLiteral("scale=%1:%2:flags=area").arg(width).arg(height),
         QStringLiteral("-vsync"), QStringLiteral("passthrough"), QStringLiteral("-f"), QStringLiteral("rawvideo"),
         QStringLiteral("-pix_fmt"), QStringLiteral("gray"), QStringLiteral("-")});
    QVector<QByteArray> pictures;
    const int size = width * height;
    for (qsizetype at = 0; at + size <= result.standardOutput.size(); at += size)
        pictures << result.standardOutput.mid(at, size);
    return pictures;
}

QVector<QByteArray> sourcePictures(const QString& source, const QString& rate, int width, int height)
{
    const RunResult result =
        run(QStringLiteral("ffmpeg"),
            {QStringLiteral("-nostdin"), QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), source,
             QStringLiteral("-an"), QStringLiteral("-vf"),
             QStringLiteral("fps=%1:round=up,scale=%2:%3").arg(rate).arg(width).arg(height), QStringLiteral("-f"),
             QStringLiteral("rawvideo"), QStringLiteral("-pix_fmt"), QStringLiteral("gray"), QStringLiteral("-")});
    QVector<QByteArray> pictures;
    const qsizetype size = static_cast<qsizetype>(width) * height;
    for (qsizetype at = 0; at + size <= result.standardOutput.size(); at += size)
        pictures << result.standardOutput.mid(at, size);
    return pictures;
}

double psnr(const QByteArray& picture, const QByteArray& reference)
{
    const qsizetype size = std::min(picture.size(), reference.size());
    const auto* a = reinterpret_cast<const unsigned char*>(picture.constData());
    const auto* b = reinterpret_cast<const unsigned char*>(reference.constData());
    double squares = 0;
    for (qsizetype i = 0; i < size; ++i)
        squares += (a[i] - b[i]) * (a[i] - b[i]);
    const double mse = std::max(squares / static_cast<double>(std::max<qsizetype>(size, 1)), 1e-3);
    return 10 * std::log10(255.0 * 255.0 / mse);
}

QVector<double> psnrAgainstSource(const QString& output, const QString& source, int width, int height)
{
    const QVector<QByteArray> ours = grayPictures(output, width, height);
    const QVector<QByteArray> reference = sourcePictures(source, QStringLiteral("2997/200"), width, height);
    QVector<double> values;
    for (qsizetype f = 0; f < std::min(ours.size(), reference.size()); ++f)
        values << psnr(ours[f], reference[f]);
    return values;
}

QVector<qint16> monoSamples(const QString& path)
{
    const RunResult result =
        run(QStringLiteral("ffmpeg"),
            {QStringLiteral("-nostdin"), QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), path,
             QStringLiteral("-vn"), QStringLiteral("-ac"), QStringLiteral("1"), QStringLiteral("-ar"),
             QStringLiteral("8000"), QStringLiteral("-f"), QStringLiteral("s16le"), QStringLiteral("-")});
    QVector<qint16> samples(result.standardOutput.size() / 2);
    std::memcpy(samples.data(), result.standardOutput.constData(), static_cast<size_t>(samples.size()) * 2);
    return samples;
}

Loudness loudnessOf(const QString& path)
{
    const RunResult result = run(QStringLiteral("ffmpeg"),
                                 {QStringLiteral("-nostdin"), QStringLiteral("-i"), path, QStringLiteral("-map"),
                                  QStringLiteral("0:a:0"), QStringLiteral("-af"), QStringLiteral("ebur128=peak=sample"),
                                  QStringLiteral("-f"), QStringLiteral("null"), QStringLiteral("-")});
    const QString text = QString::fromUtf8(result.standardError);
    const QString summary = text.mid(text.lastIndexOf(QLatin1String("Summary:")));
    const auto figure = [&summary](const QString& pattern) {
        const QRegularExpressionMatch match = QRegularExpression(pattern).match(summary);
        return match.hasMatch() ? match.captured(1).toDouble() : std::nan("");
    };
    return {figure(QStringLiteral(R"(I:\s+(-?[0-9.]+) LUFS)")), figure(QStringLiteral(R"(Peak:\s+(-?[0-9.]+) dBFS)"))};
}

}  // namespace convtest
