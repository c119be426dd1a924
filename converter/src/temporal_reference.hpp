#pragma once

#include <cstdint>

extern "C" {
#include <libavutil/rational.h>
}

namespace conv {

// The picture clock of an H.263 picture header: 1.8 MHz divided by
// (1000 + clockCode) * divisor. Baseline H.263 always has 30000/1001 Hz;
// version 2 may carry a custom clock nearer the frame rate.
struct H263Clock {
    int clockCode = 1;
    int divisor = 60;
    bool custom() const { return clockCode != 1 || divisor != 60; }
};

// The clock FFmpeg's encoder writes for frames of `timeBase` seconds.
H263Clock h263ClockFor(AVRational timeBase, bool version2);

// The temporal reference of output frame `frame`: the clock's ticks since the
// first frame (8 bits are written, 10 with a custom clock).
std::int64_t temporalReference(std::int64_t frame, AVRational timeBase, H263Clock clock);

// FFmpeg's encoder counts the pictures it coded, not the frames that passed:
// with frames left out, the temporal reference runs slow. Writes the true one
// into a coded picture (and its two high bits, with a custom clock, into the
// extended header of a custom-sized picture). Returns false if `picture` does
// not start with a picture header this knows.
bool writeTemporalReference(std::uint8_t* picture, int size, std::int64_t reference, H263Clock clock, bool version2);

}  // namespace conv
