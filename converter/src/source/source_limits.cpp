#include "source/source_limits.hpp"

#include "base/errors.hpp"

#include <mutex>

extern "C" {
#include <libavutil/mem.h>
}

namespace conv {
namespace {

[[noreturn]] void damaged(const std::string& what)
{
    throw ConversionError("the source is damaged: " + what, ConverterStatus::SourceDamaged);
}

}  // namespace

void checkSoundParameters(int sampleRate, int channels)
{
    if (sampleRate > kMostSampleRate)
        damaged("its sound claims " + std::to_string(sampleRate) + " samples a second");
    if (channels > kMostChannels)
        damaged("its sound claims " + std::to_string(channels) + " channels");
}

void checkStreamParameters(const AVStream& stream)
{
    const AVCodecParameters& par = *stream.codecpar;
    if (par.codec_type == AVMEDIA_TYPE_AUDIO)
        checkSoundParameters(par.sample_rate, par.ch_layout.nb_channels);
    if (par.codec_type != AVMEDIA_TYPE_VIDEO)
        return;
    const std::int64_t pixels = std::int64_t{par.width} * par.height;
    if (par.width > kMostPictureSide || par.height > kMostPictureSide || pixels > kMostPixels)
        damaged("its pictures claim " + std::to_string(par.width) + "x" + std::to_string(par.height) + " pixels");
    const AVRational rate = stream.avg_frame_rate;
    if (rate.num > 0 && rate.den > 0 && av_q2d(rate) > kMostFrameRate)
        damaged("its pictures claim " + std::to_string(av_q2d(rate)) + " a second");
}

void limitAllocations()
{
    static std::once_flag once;
    std::call_once(once, [] { av_max_alloc(kLargestAllocation); });
}

}  // namespace conv
