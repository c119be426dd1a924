#pragma once

#include <stdexcept>
#include <string>

namespace conv {

// A conversion that cannot go on; the message is shown to the user as one line.
class ConversionError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// FFmpeg's text for an AVERROR code.
std::string avErrorText(int errorCode);

// Throws ConversionError("what: FFmpeg's reason") when errorCode is negative;
// returns errorCode otherwise so calls can be wrapped in place.
int checkAv(int errorCode, const std::string& what);

} // namespace conv
