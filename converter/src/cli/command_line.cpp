#include "cli/command_line.hpp"

#include "ConverterProtocol.h"
#include "ConverterStatus.h"
#include "source/accepted_formats.hpp"

#include <algorithm>
#include <charconv>
#include <string_view>

namespace conv {
namespace {

// Far beyond anything a phone plays; they keep absurd requests from running for
// hours or overflowing the encoder's counters.
constexpr double kMostFramesPerSecond = 120;
constexpr double kMostKbps = 100000;

bool isDecimal(const std::string& text)
{
    std::size_t digitsBefore = 0, digitsAfter = 0;
    bool seenPoint = false;
    for (char c : text) {
        if (c == '.' && !seenPoint)
            seenPoint = true;
        else if (c >= '0' && c <= '9')
            (seenPoint ? digitsAfter : digitsBefore)++;
        else
            return false;
    }
    return digitsBefore > 0 && (!seenPoint || digitsAfter > 0);
}

double positiveNumber(const std::string& option, const std::string& value, double largest)
{
    if (!isDecimal(value))
        throw UsageError(option + " needs a number, got '" + value + "'");
    double number = 0;
    std::from_chars(value.data(), value.data() + value.size(), number);
    if (!(number > 0))
        throw UsageError(option + " must be greater than 0, got '" + value + "'");
    if (number > largest)
        throw UsageError(option + " must be at most " + std::to_string(static_cast<long>(largest)) + ", got '" + value +
                         "'");
    return number;
}

int dimension(const std::string& text, const std::string& whole)
{
    int number = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        throw UsageError("-s needs a size like 176x144, got '" + whole + "'");
    return number;
}

void parseSize(const std::string& value, ConversionRequest& request)
{
    const auto cross = value.find_first_of("xX");
    if (cross == std::string::npos)
        throw UsageError("-s needs a size like 176x144, got '" + value + "'");
    request.width = dimension(value.substr(0, cross), value);
    request.height = dimension(value.substr(cross + 1), value);
    if (!tovaro::isReadableFrameSize(request.width, request.height))
        throw UsageError("-s needs a positive, even width and height, got '" + value + "'");
}

void requireValue(const std::string& option, const std::string& value, const std::string& only)
{
    if (value != only)
        throw UsageError(option + " " + value + " is not supported (only " + only + ")");
}

// The accepted containers by FFmpeg's names, wrapped and indented for the help.
std::string containerList()
{
    constexpr std::size_t kWidth = 76;
    std::string text, line = " ";
    for (std::string_view name : acceptedDemuxers()) {
        std::string shown(name);
        std::replace(shown.begin(), shown.end(), ',', '/');
        if (line.size() + 1 + shown.size() > kWidth) {
            text += line + "\n";
            line = " ";
        }
        line += " " + shown;
    }
    return text + line + "\n";
}

}  // namespace

AVRational parseFrameRate(const std::string& text)
{
    positiveNumber("-r", text, kMostFramesPerSecond);
    if (const auto exact = exactDecimal(text))
        return *exact;
    throw UsageError("-r has too many digits: '" + text + "'");
}

ParsedCommand parseCommandLine(const std::vector<std::string>& arguments)
{
    ParsedCommand parsed;
    ConversionRequest& request = parsed.request;
    bool haveInput = false;
    bool haveOutput = false;

    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        // The window splits its command line at every blank, and puts two
        // before the output file.
        if (argument.empty())
            continue;
        if (argument == "--help" || argument == "-h") {
            parsed.kind = CommandKind::Help;
            return parsed;
        }
        if (argument == "--version") {
            parsed.kind = CommandKind::Version;
            return parsed;
        }
        if (argument == tovaro::option::kOverwrite) {
            request.replaceOutput = true;
            continue;
        }
        if (argument == "-keep-level") {
            request.keepSoundLevel = true;
            continue;
        }
        if (argument.size() < 2 || argument.front() != '-') {
            if (haveOutput)
                throw UsageError("more than one output file: '" + request.outputPath + "' and '" + argument + "'");
            request.outputPath = argument;
            haveOutput = true;
            continue;
        }

        using namespace tovaro::option;
        static const std::string_view valued[] = {kInput,      kVideoCodec,    kVideoKbps, kFrameRate, kFrameSize,
                                                  kAudioCodec, kAudioChannels, kFormat,    kAudioRate, kAudioKbps};
        if (std::find(std::begin(valued), std::end(valued), argument) == std::end(valued))
            throw UsageError("unknown option '" + argument + "'");
        if (i + 1 >= arguments.size())
            throw UsageError(argument + " needs a value");
        const std::string& value = arguments[++i];

        if (argument == tovaro::option::kInput) {
            if (value.empty())
                throw UsageError("-i needs a file name");
            if (haveInput)
                throw UsageError("more than one input file: '" + request.inputPath + "' and '" + value + "'");
            request.inputPath = value;
            haveInput = true;
        } else if (argument == tovaro::option::kVideoCodec) {
            requireValue(argument, value, tovaro::option::kOnlyVideoCodec);
        } else if (argument == tovaro::option::kAudioCodec) {
            requireValue(argument, value, tovaro::option::kOnlyAudioCodec);
        } else if (argument == tovaro::option::kFormat) {
            requireValue(argument, value, tovaro::option::kOnlyFormat);
        } else if (argument == tovaro::option::kAudioChannels) {
            requireValue(argument, value, tovaro::option::kOnlyAudioChannels);
        } else if (argument == tovaro::option::kAudioRate) {
            requireValue(argument, value, tovaro::option::kOnlyAudioRate);
        } else if (argument == tovaro::option::kVideoKbps) {
            request.videoKbps = positiveNumber(argument, value, kMostKbps);
        } else if (argument == tovaro::option::kAudioKbps) {
            request.audioKbps = positiveNumber(argument, value, kMostKbps);
        } else if (argument == tovaro::option::kFrameRate) {
            request.frameRate = parseFrameRate(value);
        } else if (argument == tovaro::option::kFrameSize) {
            parseSize(value, request);
        }
    }

    if (!haveInput)
        throw UsageError("no input file (-i FILE)");
    if (!haveOutput)
        throw UsageError("no output file (the last word of the command line)");
    return parsed;
}

std::string usageText()
{
    using namespace tovaro;
    const std::string size = std::to_string(kDefaultWidth) + "x" + std::to_string(kDefaultHeight);
    return std::string("Usage: ") + kConverterFileName + R"( -i INPUT [options] OUTPUT.3gp

Converts one video into a 3GP file for mobile phones: H.263 video and
AMR-NB audio (mono, 8000 Hz). Options may come in any order; the last
word that is not an option or an option's value is the output file.

  -i FILE        input file, in one of the containers listed below
  -vcodec h263   video codec (only h263)
  -b KBPS        video bit rate in kbit/s (default )" +
           std::to_string(kDefaultVideoKbps) + R"()
  -r FPS         frame rate in frames per second, e.g. 14.985 (default )" +
           kDefaultFrameRate + R"()
  -s WxH         frame size; width and height positive and even (default )" +
           size + R"().
                 128x96, 176x144 and 352x288 are coded as baseline H.263 with
                 its 12:11 pixels; other sizes (e.g. 160x120, 320x240) use
                 H.263's custom picture format with square pixels and must be
                 multiples of 4, at most 2048x1152.
  -acodec amr_nb audio codec (only amr_nb)
  -ac 1          audio channels (only 1)
  -ar 8000       audio sample rate (only 8000)
  -ab KBPS       audio bit rate in kbit/s (default )" +
           std::to_string(kDefaultAudioKbps) + R"(). AMR-NB tops out at
                 12.2 kbit/s: the highest AMR-NB mode not above KBPS is used
                 (4.75 5.15 5.9 6.7 7.4 7.95 10.2 12.2), so every rate of 12.2
                 or more gives 12.2; below 4.75 gives 4.75.
  -f 3gp         output format (only 3gp)
  -keep-level    keep the sound at the source's level. By default it is made
                 loud enough for a phone's speaker: -16 LUFS, peaks below
                 -1 dBFS, at most 24 dB louder; sound below -50 LUFS stays.
  -y             replace OUTPUT if it exists
  --help         show this text
  --version      show the version

Containers read (FFmpeg's names for them):
)" + containerList() +
           R"(
The picture keeps its display shape (sample aspect ratio and rotation tag
included): it is letterboxed or pillarboxed inside WxH, never stretched.
A source without audio gives a video-only file, one without video an
audio-only file. OUTPUT appears only when complete.

Progress, on stderr, about twice a second and once at the end:
  progress: time=SECONDS duration=SECONDS
(both with two decimals; duration is 0.00 when the source does not say).

Exit status: 0 success, 2 usage error, 3 to 8 the kind of failure (an
unreadable source, not a video, a damaged source, an unwritable output, a
full disk, a stop), 1 any other failure. Errors are one line on stderr
starting with ")" +
           kConverterMessagePrefix + R"(".
)";
}

}  // namespace conv
