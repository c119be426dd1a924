// The command line: the arguments to a conversion request, and the help text.
#pragma once

#include "base/conversion_request.hpp"

#include <stdexcept>
#include <string>
#include <vector>

namespace conv {

// A command line that cannot be understood; exit status 2.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// "14.985" -> 2997/200: the decimal as typed, as an exact fraction.
AVRational parseFrameRate(const std::string& text);

enum class CommandKind { Convert, Help, Version };

struct ParsedCommand {
    CommandKind kind = CommandKind::Convert;
    ConversionRequest request;
};

// Reads the arguments after the program name.
ParsedCommand parseCommandLine(const std::vector<std::string>& arguments);

std::string usageText();

}  // namespace conv
