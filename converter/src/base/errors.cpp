#include "base/errors.hpp"

#include <cerrno>

extern "C" {
#include <libavutil/error.h>
}

namespace conv {

ConversionError stoppedOnRequest() { return ConversionError("stopped on request", ConverterStatus::Stopped); }

std::string avErrorText(int errorCode)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(errorCode, text, sizeof text);
    return text;
}

int checkAv(int errorCode, const std::string& what, ConverterStatus kind)
{
    if (errorCode < 0)
        throw ConversionError(what + ": " + avErrorText(errorCode), kind);
    return errorCode;
}

ConverterStatus writeFailureKind(int errnoValue)
{
    // EFBIG: the file reached the size the worker is held to (see
    // outputCeiling), as if the disk were full.
    return errnoValue == ENOSPC || errnoValue == EDQUOT || errnoValue == EFBIG ? ConverterStatus::OutOfSpace
                                                                               : ConverterStatus::OutputUnwritable;
}

int checkAvWrite(int errorCode, const std::string& what)
{
    return checkAv(errorCode, what, writeFailureKind(AVUNERROR(errorCode)));
}

}  // namespace conv
