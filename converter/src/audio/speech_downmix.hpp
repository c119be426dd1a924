// The mix of any channel layout into one channel that keeps speech at its level. Within audio/ only.
#pragma once

#include <vector>

extern "C" {
#include <libavutil/channel_layout.h>
}

namespace conv {

// The weight of each channel of `layout`, in its order, in a mono mix: the
// centre (where films put dialogue) at full level, front left and right at
// -3 dB (speech panned to the middle keeps its level), every other channel
// at -6 dB, the low-frequency effects left out. A single channel is taken as
// it is. The weights are not scaled down to keep every sum below full scale:
// that would cost speech up to 12 dB; the peaks are limited later.
std::vector<double> speechDownmix(const AVChannelLayout& layout);

}  // namespace conv
