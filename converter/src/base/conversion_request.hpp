// What one run is asked to do: names, frame size, frame rate and bit rates.
#pragma once

#include "ConversionDefaults.h"

#include <optional>
#include <string>

extern "C" {
#include <libavutil/rational.h>
}

namespace conv {

// "14.985" -> 2997/200: a decimal (digits, at most one point) as an exact
// fraction, or nothing when it has more digits than the fraction can hold.
std::optional<AVRational> exactDecimal(const std::string& decimal);

// What one run is asked to do. The defaults are the window's default settings.
struct ConversionRequest {
    std::string inputPath;
    std::string outputPath;
    bool replaceOutput = false;
    int width = tovaro::kDefaultWidth;
    int height = tovaro::kDefaultHeight;
    AVRational frameRate = *exactDecimal(tovaro::kDefaultFrameRate);
    double videoKbps = tovaro::kDefaultVideoKbps;
    double audioKbps = tovaro::kDefaultAudioKbps;
    // The sound at the source's level instead of made loud for a phone.
    bool keepSoundLevel = false;
};

}  // namespace conv
