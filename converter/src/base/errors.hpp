// The errors a conversion ends with, each of a kind that becomes the exit status.
#pragma once

#include "ConverterStatus.h"

#include <stdexcept>
#include <string>

namespace conv {

using tovaro::ConverterStatus;

// A conversion that cannot go on; the message is shown to the user as one
// line, and the kind becomes the program's exit status.
class ConversionError : public std::runtime_error {
public:
    explicit ConversionError(const std::string& message, ConverterStatus kind = ConverterStatus::Failed)
        : std::runtime_error(message),
          kind_(kind)
    {}
    ConverterStatus kind() const { return kind_; }

private:
    ConverterStatus kind_;
};

// A run on arbitrary bytes stopped at its length limit (fuzzing), which no
// real conversion has.
class LengthLimitReached : public ConversionError {
public:
    LengthLimitReached() : ConversionError("the output would be longer than allowed") {}
};

// The failure a stop request ends a run with.
ConversionError stoppedOnRequest();

// FFmpeg's text for an AVERROR code.
std::string avErrorText(int errorCode);

// Throws ConversionError("what: FFmpeg's reason", kind) when errorCode is
// negative; returns errorCode otherwise so calls can be wrapped in place.
int checkAv(int errorCode, const std::string& what, ConverterStatus kind = ConverterStatus::Failed);

// What a failed write of the output means: a full disk or quota, or any other
// refusal of the output.
ConverterStatus writeFailureKind(int errnoValue);

// checkAv for writing the output: the kind follows from FFmpeg's error code.
int checkAvWrite(int errorCode, const std::string& what);

}  // namespace conv
