#pragma once

#include "ConversionDefaults.h"

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/rational.h>
}

namespace conv {

// A command line that cannot be understood; exit status 2.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// "14.985" -> 2997/200: the decimal as typed, as an exact fraction.
AVRational parseFrameRate(const std::string& text);

// What one run is asked to do. The defaults are the window's default settings.
struct ConversionRequest {
    std::string inputPath;
    std::string outputPath;
    bool replaceOutput = false;
    int width = tovaro::kDefaultWidth;
    int height = tovaro::kDefaultHeight;
    AVRational frameRate = parseFrameRate(tovaro::kDefaultFrameRate);
    double videoKbps = tovaro::kDefaultVideoKbps;
    double audioKbps = tovaro::kDefaultAudioKbps;
};

enum class CommandKind { Convert, Help, Version };

struct ParsedCommand {
    CommandKind kind = CommandKind::Convert;
    ConversionRequest request;
};

// Reads the arguments after the program name.
ParsedCommand parseCommandLine(const std::vector<std::string>& arguments);

std::string usageText();

}  // namespace conv
