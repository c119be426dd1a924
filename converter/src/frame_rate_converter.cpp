#include "frame_rate_converter.hpp"

#include <algorithm>
#include <cmath>

namespace conv {

FrameRateConverter::FrameRateConverter(AVRational outputRate) : rate_(av_q2d(outputRate)) {}

std::int64_t FrameRateConverter::slotAt(double seconds) const
{
    return std::max<std::int64_t>(0, std::llround(seconds * rate_));
}

SlotRange FrameRateConverter::nextPicture(double seconds)
{
    SlotRange range{nextSlot_, nextSlot_};
    if (havePicture_)
        range.end = std::max(nextSlot_, slotAt(seconds));
    havePicture_ = true;
    nextSlot_ = range.end;
    return range;
}

SlotRange FrameRateConverter::finish(double seconds)
{
    if (!havePicture_)
        return {nextSlot_, nextSlot_};
    SlotRange range{nextSlot_, std::max(nextSlot_, slotAt(seconds))};
    if (range.end == 0)
        range.end = 1;
    havePicture_ = false;
    nextSlot_ = range.end;
    return range;
}

} // namespace conv
