// A stream's timestamps on the output timeline.
#pragma once

#include <cstdint>

extern "C" {
#include <libavutil/rational.h>
}

namespace conv {

// Puts one stream's frames on the output timeline (seconds from output start).
// Missing timestamps continue from the previous frame; a jump of more than
// maxJumpSeconds either way is a broken timestamp, not a pause, and the stream
// simply continues where it was.
class StreamClock {
public:
    StreamClock(AVRational timeBase, double originSeconds, double maxJumpSeconds = 10.0);

    // Start of a frame with the given timestamp (AV_NOPTS_VALUE if none) that lasts
    // durationSeconds.
    double place(std::int64_t timestamp, double durationSeconds);

    // Whether a broken timestamp made the stream's own times unreliable.
    bool rebased() const { return shiftSeconds_ != 0; }

private:
    double secondsPerTick_;
    double originSeconds_;
    double maxJumpSeconds_;
    double shiftSeconds_ = 0;
    double expectedSeconds_ = 0;
};

}  // namespace conv
