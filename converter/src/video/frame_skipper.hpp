// Frames left out where the video rate cannot be held otherwise. Within video/ only.
#pragma once

#include <cstdint>
#include <deque>

namespace conv {

// What the frame skipper holds the video to.
struct SkipLimits {
    double bitsPerFrame = 0;       // the bit rate's share of one frame
    int framesPerSecond = 1;       // frames in one second's window, rounded up
    double mostBitsAhead = 0;      // beyond the rate, summed over the whole run
    double mostBitsPerSecond = 0;  // in any window of framesPerSecond frames
    int keyInterval = 0;           // coded pictures from one key picture to the next
};

// Keeps the video within its bit rate where the encoder's own rate control
// cannot: a large picture at a low rate, whose every frame, even at the
// coarsest quantiser, takes more than its share, and whose key pictures take
// half a second's worth. Frames are left out (the picture before stays on;
// H.263 and the 3GP track both allow such gaps) while
// - the bits written beyond what the rate has carried away exceed a rate
//   buffer: this holds the average; or
// - the next picture, as large as the last one of its kind, would push the
//   last second over its limit: this holds every second, also around key
//   pictures, which come at a known count.
// A frame after a whole second left out is always coded.
class FrameSkipper {
public:
    explicit FrameSkipper(const SkipLimits& limits) : limits_(limits) {}

    bool leaveOut() const;
    // The encoder started again with key pictures this far apart.
    void setKeyInterval(int keyInterval) { limits_.keyInterval = keyInterval; }
    // The encoder gave a picture of this size.
    void written(std::int64_t bytes, bool key);
    // The frame repeats the picture before, in a picture of this size that
    // the encoder did not code (it counts towards no key picture).
    void repeated(std::int64_t bytes);
    // Called once per output frame, coded or left out, after written().
    void framePassed();
    // Whether frames are being left out often, not only after a key picture:
    // a quarter or more of the frames of the last second.
    bool leavingOutOften() const;

private:
    bool keyComes() const { return codedSinceKey_ < 0 || codedSinceKey_ >= limits_.keyInterval - 1; }

    SkipLimits limits_;
    double ahead_ = 0;
    std::int64_t frameBits_ = 0;           // what the current frame got
    std::deque<std::int64_t> lastSecond_;  // bits of the frames before the current one
    std::int64_t lastSecondBits_ = 0;
    std::int64_t lastKeyBits_ = 0;
    std::int64_t lastOtherBits_ = 0;
    int codedSinceKey_ = -1;  // -1: no key picture yet
};

}  // namespace conv
