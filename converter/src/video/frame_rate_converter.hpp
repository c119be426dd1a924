// The constant output rate: which output frames each source picture fills. Within video/ only.
#pragma once

#include <cstdint>

extern "C" {
#include <libavutil/rational.h>
}

namespace conv {

// Output frame numbers [first, end): the output frames one source picture fills.
struct SlotRange {
    std::int64_t first = 0;
    std::int64_t end = 0;
    std::int64_t count() const { return end - first; }
};

// Constant output frame rate from pictures at any times: each output frame shows
// the source picture that is on screen at its time.
// Pictures no output frame needs are dropped; long pictures are repeated. The
// first picture also fills the output frames before it.
class FrameRateConverter {
public:
    explicit FrameRateConverter(AVRational outputRate);

    // A new picture starts at `seconds`: returns the slots the previous one fills.
    SlotRange nextPicture(double seconds);

    // The last picture ends at `seconds`: returns the slots it fills (at least one
    // if nothing was shown yet).
    SlotRange finish(double seconds);

    // The output frames a picture from start to start + duration would fill,
    // and where on the output timeline one is.
    SlotRange slotsOf(double start, double duration) const;
    double slotSeconds(std::int64_t slot) const { return static_cast<double>(slot) / rate_; }

private:
    std::int64_t slotAt(double seconds) const;

    double rate_;
    std::int64_t nextSlot_ = 0;
    bool havePicture_ = false;
};

}  // namespace conv
