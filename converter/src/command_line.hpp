#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/rational.h>
}

namespace conv {

// What one run is asked to do. Defaults match the window's default settings.
struct ConversionRequest {
    std::string inputPath;
    std::string outputPath;
    bool replaceOutput = false;
    int width = 176;
    int height = 144;
    AVRational frameRate{2997, 200}; // 14.985 exactly
    double videoKbps = 120;
    double audioKbps = 48;
};

// A command line that cannot be understood; exit status 2.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class CommandKind { Convert, Help, Version };

struct ParsedCommand {
    CommandKind kind = CommandKind::Convert;
    ConversionRequest request;
};

// Reads the arguments after the program name.
ParsedCommand parseCommandLine(const std::vector<std::string>& arguments);

// "14.985" -> 2997/200: the decimal as typed, as an exact fraction.
AVRational parseFrameRate(const std::string& text);

std::string usageText();

} // namespace conv
