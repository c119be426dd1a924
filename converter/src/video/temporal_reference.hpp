// The picture clock and each H.263 picture header's temporal reference. Within video/ only.
#pragma once

#include <cstdint>

extern "C" {
#include <libavutil/rational.h>
}

namespace conv {

// The picture clock of an H.263 picture header: 1.8 MHz divided by
// (1000 + clockCode) * divisor. Baseline H.263 always has 30000/1001 Hz;
// the extended header of version 2 may carry a custom clock nearer the frame
// rate.
struct H263Clock {
    int clockCode = 1;
    int divisor = 60;
    // The header carries the clock, and with it the reference's two high bits.
    bool inHeader = false;
    bool custom() const { return clockCode != 1 || divisor != 60; }
};

// The clock for frames of `timeBase` seconds. Baseline headers have the
// standard one. With the extended header FFmpeg's encoder writes a custom
// clock nearest the frame rate; where that clock runs slower than the frames
// (their references would repeat), the nearest one that does not is written
// over it.
H263Clock h263ClockFor(AVRational timeBase, bool extendedHeader);

// The temporal reference of output frame `frame`: the clock's tick nearest
// its time, counted from the first frame (8 bits are written, 10 with a clock
// in the header).
std::int64_t temporalReference(std::int64_t frame, AVRational timeBase, H263Clock clock);

// FFmpeg's encoder counts the pictures it coded, not the frames that passed,
// and rounds their times down: writes the true reference into a coded picture
// (with a clock in the header, also the clock and the reference's two high
// bits). Returns false if `picture` does not start with a picture header this
// knows, or its header's clock field is there without `clock.inHeader` or the
// other way round.
bool writeTemporalReference(std::uint8_t* picture, int size, std::int64_t reference, H263Clock clock);

}  // namespace conv
