#include "source/stream_clock.hpp"

#include <cmath>

extern "C" {
#include <libavutil/avutil.h>
}

namespace conv {

StreamClock::StreamClock(AVRational timeBase, double originSeconds, double maxJumpSeconds)
    : secondsPerTick_(av_q2d(timeBase)),
      originSeconds_(originSeconds),
      maxJumpSeconds_(maxJumpSeconds)
{}

double StreamClock::place(std::int64_t timestamp, double durationSeconds)
{
    double start = expectedSeconds_;
    if (timestamp != AV_NOPTS_VALUE) {
        start = static_cast<double>(timestamp) * secondsPerTick_ - originSeconds_ + shiftSeconds_;
        if (!std::isfinite(start) || std::fabs(start - expectedSeconds_) > maxJumpSeconds_) {
            shiftSeconds_ += expectedSeconds_ - start;
            start = expectedSeconds_;
        }
    }
    if (!std::isfinite(durationSeconds) || durationSeconds < 0)
        durationSeconds = 0;
    expectedSeconds_ = start + durationSeconds;
    return start;
}

}  // namespace conv
