#include "video/frame_skipper.hpp"

#include <algorithm>

namespace conv {

bool FrameSkipper::leaveOut() const
{
    if (lastSecondBits_ == 0)
        return false;
    if (ahead_ > limits_.mostBitsAhead)
        return true;
    const std::int64_t expected = keyComes() ? lastKeyBits_ : lastOtherBits_;
    return static_cast<double>(lastSecondBits_ + expected) > limits_.mostBitsPerSecond;
}

void FrameSkipper::written(std::int64_t bytes, bool key)
{
    const std::int64_t bits = 8 * bytes;
    frameBits_ += bits;
    ahead_ += static_cast<double>(bits);
    if (key) {
        lastKeyBits_ = bits;
        codedSinceKey_ = 0;
    } else {
        lastOtherBits_ = bits;
        if (codedSinceKey_ >= 0)
            ++codedSinceKey_;
    }
}

void FrameSkipper::repeated(std::int64_t bytes)
{
    frameBits_ += 8 * bytes;
    ahead_ += static_cast<double>(8 * bytes);
}

void FrameSkipper::framePassed()
{
    ahead_ = std::max(0.0, ahead_ - limits_.bitsPerFrame);
    // The window of the next frame: it and the framesPerSecond - 1 before it.
    lastSecond_.push_back(frameBits_);
    lastSecondBits_ += frameBits_;
    frameBits_ = 0;
    while (static_cast<int>(lastSecond_.size()) > std::max(0, limits_.framesPerSecond - 1)) {
        lastSecondBits_ -= lastSecond_.front();
        lastSecond_.pop_front();
    }
}

bool FrameSkipper::leavingOutOften() const
{
    // A frame left out got no bits at all; a repeated picture gets a few.
    const auto leftOut = std::count(lastSecond_.begin(), lastSecond_.end(), 0);
    return 4 * leftOut >= limits_.framesPerSecond;
}

}  // namespace conv
