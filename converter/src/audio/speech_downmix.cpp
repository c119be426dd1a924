#include "audio/speech_downmix.hpp"

namespace conv {
namespace {

constexpr double kFull = 1.0;
constexpr double kMinus3dB = 0.70710678118654752;
constexpr double kMinus6dB = 0.5;

double weightOf(AVChannel channel)
{
    switch (channel) {
    case AV_CHAN_FRONT_CENTER: return kFull;
    case AV_CHAN_FRONT_LEFT:
    case AV_CHAN_FRONT_RIGHT:
    case AV_CHAN_FRONT_LEFT_OF_CENTER:
    case AV_CHAN_FRONT_RIGHT_OF_CENTER:
    case AV_CHAN_STEREO_LEFT:
    case AV_CHAN_STEREO_RIGHT: return kMinus3dB;
    case AV_CHAN_LOW_FREQUENCY:
    case AV_CHAN_LOW_FREQUENCY_2: return 0;
    default: return kMinus6dB;
    }
}

}  // namespace

std::vector<double> speechDownmix(const AVChannelLayout& layout)
{
    if (layout.nb_channels <= 1)
        return {kFull};
    std::vector<double> weights;
    for (int i = 0; i < layout.nb_channels; ++i)
        weights.push_back(weightOf(av_channel_layout_channel_from_index(&layout, static_cast<unsigned>(i))));
    return weights;
}

}  // namespace conv
