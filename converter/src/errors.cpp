#include "errors.hpp"

extern "C" {
#include <libavutil/error.h>
}

namespace conv {

std::string avErrorText(int errorCode)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(errorCode, text, sizeof text);
    return text;
}

int checkAv(int errorCode, const std::string& what)
{
    if (errorCode < 0)
        throw ConversionError(what + ": " + avErrorText(errorCode));
    return errorCode;
}

} // namespace conv
