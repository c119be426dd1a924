// The window and the converter speak through ConverterProtocol.h: the converter's
// command-line reader takes what the window's command writes, and the window's
// reader takes the progress lines the converter's reporter writes.

#include "cli/command_line.hpp"
#include "conversion.hpp"
#include "conversion/ConverterCommand.h"
#include "conversion/ConverterOutput.h"
#include "pipeline/progress_reporter.hpp"

#include <QTest>

#include <cstdio>
#include <cstdlib>
#include <optional>

Q_DECLARE_METATYPE(settings::ConversionSettings)
Q_DECLARE_METATYPE(std::optional<int>)

class ProtocolTest : public QObject {
    Q_OBJECT

private slots:
    // Every entry of the settings lists appears in some row.
    void bothWays_data()
    {
        QTest::addColumn<settings::ConversionSettings>("chosen");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<double>("framesPerSecond");
        QTest::addColumn<double>("secondsDone");
        QTest::addColumn<double>("duration");
        QTest::addColumn<std::optional<int>>("percent");
        const auto row = [](const char* name, const char* size, const char* rate, const char* video,
                            const char* audio) -> QTestData& {
            return QTest::newRow(name) << settings::ConversionSettings{
                       QString::fromLatin1(size), QString::fromLatin1(rate), QString::fromLatin1(video),
                       QString::fromLatin1(audio)};
        };
        row("defaults", "176x144", "14.985", "120", "48")
            << QSize(176, 144) << 14.985 << 21.0 << 50.0 << std::optional<int>(42);
        row("blanks around the texts", " 128x96 ", " 29.97", "40 ", " 32 ")
            << QSize(128, 96) << 29.97 << 0.0 << 0.0 << std::optional<int>();
        row("just short of half", "320x240", "23.975", "256", "96")
            << QSize(320, 240) << 23.975 << 3599.99 << 7200.0 << std::optional<int>(49);
        row("the end", "352x288", "25.0", "512", "128")
            << QSize(352, 288) << 25.0 << 60.0 << 60.0 << std::optional<int>(100);
        row("custom size", "160x120", "14.985", "80", "64")
            << QSize(160, 120) << 14.985 << 1.0 << 3.0 << std::optional<int>(33);
        row("most sound", "176x144", "25.0", "120", "80")
            << QSize(176, 144) << 25.0 << 0.5 << 1000.0 << std::optional<int>(0);
    }

    void bothWays()
    {
        QFETCH(settings::ConversionSettings, chosen);
        QFETCH(QSize, size);
        QFETCH(double, framesPerSecond);
        QFETCH(double, secondsDone);
        QFETCH(double, duration);
        QFETCH(std::optional<int>, percent);

        // Window to converter: the command line, read back as the converter reads it.
        const command::ConverterCommand written = command::compose({QStringLiteral("/data"), QStringLiteral("/work")},
                                                                   QStringLiteral("/in/clip.avi"), chosen);
        std::vector<std::string> arguments;
        for (const QString& argument : written.arguments)
            arguments.push_back(argument.toStdString());
        const conv::ParsedCommand read = conv::parseCommandLine(arguments);
        QCOMPARE(read.request.inputPath, written.inputPath.toStdString());
        QCOMPARE(read.request.outputPath, written.outputPath.toStdString());
        QVERIFY(read.request.replaceOutput);
        QCOMPARE(QSize(read.request.width, read.request.height), size);
        QCOMPARE(av_q2d(read.request.frameRate), framesPerSecond);
        QCOMPARE(read.request.videoKbps, chosen.videoKbps.trimmed().toDouble());
        QCOMPARE(read.request.audioKbps, chosen.audioKbps.trimmed().toDouble());
        QVERIFY_THROWS_NO_EXCEPTION(conv::checkRequest(read.request));  // a size H.263 codes

        // Converter to window: a progress line, read as the window reads it.
        char* text = nullptr;
        std::size_t length = 0;
        std::FILE* stream = open_memstream(&text, &length);
        QVERIFY(stream);
        {
            conv::ProgressReporter reporter(stream, std::chrono::milliseconds(0));
            reporter.setDuration(duration);
            reporter.update(secondsDone);
        }
        std::fclose(stream);
        const QByteArray line(text, static_cast<qsizetype>(length));
        std::free(text);
        std::optional<std::optional<int>> told;
        conversion::ConverterOutput output([&told](std::optional<int> shown) { told = shown; });
        output.read(line);
        QVERIFY2(told.has_value(), line.constData());
        QCOMPARE(*told, percent);
    }
};

QTEST_GUILESS_MAIN(ProtocolTest)
#include "tst_protocol.moc"
