#include "video/frame_geometry.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/display.h>
}

namespace conv {
namespace {

int evenAtLeastTwo(double value)
{
    const int even = 2 * static_cast<int>(std::lround(value / 2));
    return std::max(2, even);
}

double ratio(AVRational r) { return r.num > 0 && r.den > 0 ? static_cast<double>(r.num) / r.den : 1.0; }

}  // namespace

Placement placePicture(const SourcePicture& source, const OutputFrame& frame)
{
    Placement placement;
    placement.clockwiseQuarterTurns = ((source.clockwiseQuarterTurns % 4) + 4) % 4;

    double displayAspect = static_cast<double>(source.width) * ratio(source.sampleAspect) / source.height;
    if (placement.clockwiseQuarterTurns % 2)
        displayAspect = 1.0 / displayAspect;

    const double pixelAspect = ratio(frame.pixelAspect);
    const double frameAspect = frame.width * pixelAspect / frame.height;
    if (displayAspect >= frameAspect) {
        placement.width = frame.width;
        placement.height = std::min(frame.height, evenAtLeastTwo(frame.width * pixelAspect / displayAspect));
    } else {
        placement.height = frame.height;
        placement.width = std::min(frame.width, evenAtLeastTwo(frame.height * displayAspect / pixelAspect));
    }
    placement.x = (frame.width - placement.width) / 4 * 2;
    placement.y = (frame.height - placement.height) / 4 * 2;
    return placement;
}

int quarterTurnsFromRotation(double counterClockwiseDegrees)
{
    if (!std::isfinite(counterClockwiseDegrees))
        return 0;
    const long quarters = std::lround(-counterClockwiseDegrees / 90.0);
    return static_cast<int>(((quarters % 4) + 4) % 4);
}

int clockwiseQuarterTurns(const AVStream& stream)
{
    const auto* matrix =
        reinterpret_cast<const std::int32_t*>(av_stream_get_side_data(&stream, AV_PKT_DATA_DISPLAYMATRIX, nullptr));
    return matrix ? quarterTurnsFromRotation(av_display_rotation_get(matrix)) : 0;
}

}  // namespace conv
