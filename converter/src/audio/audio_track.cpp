#include "audio/audio_track.hpp"

#include "audio/speech_downmix.hpp"
#include "base/errors.hpp"
#include "source/source_limits.hpp"

#include <algorithm>
#include <cmath>

namespace conv {
namespace {

// One AMR frame (20 ms): below this a timestamp difference is jitter.
constexpr std::int64_t kJitterSamples = 160;

}  // namespace

SamplePlacement placeSamples(std::int64_t wantedStart, std::int64_t count, std::int64_t writtenSoFar)
{
    const std::int64_t gap = wantedStart - writtenSoFar;
    if (gap > kJitterSamples)
        return {gap, 0};
    if (gap < -kJitterSamples)
        return {0, std::min(-gap, count)};
    return {};
}

AudioTrack::AudioTrack(AVRational timeBase, double originSeconds) : clock_(timeBase, originSeconds) {}

AudioTrack::~AudioTrack() { av_channel_layout_uninit(&inputLayout_); }

bool AudioTrack::prepareFor(const AVFrame& frame)
{
    AVChannelLayout layout{};
    if (av_channel_layout_check(&frame.ch_layout) && frame.ch_layout.order != AV_CHANNEL_ORDER_UNSPEC)
        checkAv(av_channel_layout_copy(&layout, &frame.ch_layout), "cannot read the channel layout");
    else
        av_channel_layout_default(&layout, std::max(1, frame.ch_layout.nb_channels));

    const bool same = resampler_ && frame.format == inputFormat_ && frame.sample_rate == inputRate_ &&
                      av_channel_layout_compare(&layout, &inputLayout_) == 0;
    if (same) {
        av_channel_layout_uninit(&layout);
        return true;
    }
    resampler_.reset();
    av_channel_layout_uninit(&inputLayout_);
    inputLayout_ = layout;
    inputFormat_ = frame.format;
    inputRate_ = frame.sample_rate;
    if (inputRate_ <= 0 || inputFormat_ < 0)
        return false;
    checkSoundParameters(inputRate_, inputLayout_.nb_channels);

    AVChannelLayout mono = AV_CHANNEL_LAYOUT_MONO;
    SwrContext* raw = nullptr;
    const int allocated = swr_alloc_set_opts2(&raw, &mono, AV_SAMPLE_FMT_FLT, kRate, &inputLayout_,
                                              static_cast<AVSampleFormat>(inputFormat_), inputRate_, 0, nullptr);
    resampler_.reset(raw);
    if (allocated == AVERROR(ENOMEM))
        checkAv(allocated, "cannot set up the audio resampler");
    // In floating point, so sums above full scale reach the limiter unclipped.
    const std::vector<double> weights = speechDownmix(inputLayout_);
    if (allocated >= 0 && swr_set_matrix(resampler_.get(), weights.data(), inputLayout_.nb_channels) >= 0 &&
        swr_init(resampler_.get()) >= 0)
        return true;
    resampler_.reset();
    return false;
}

std::vector<float> AudioTrack::convert(const std::uint8_t** input, int inputSamples)
{
    const int room = swr_get_out_samples(resampler_.get(), inputSamples);
    if (room < 0)
        checkAv(room, "cannot resample the audio");
    std::vector<float> samples(static_cast<std::size_t>(room));
    std::uint8_t* output[1] = {reinterpret_cast<std::uint8_t*>(samples.data())};
    const int produced = swr_convert(resampler_.get(), output, room, input, inputSamples);
    checkAv(produced, "cannot resample the audio");
    samples.resize(static_cast<std::size_t>(produced));
    return samples;
}

std::vector<float> AudioTrack::take(const AVFrame& frame)
{
    if (frame.nb_samples <= 0)
        return {};
    if (!prepareFor(frame)) {
        ++framesRefused_;
        return {};
    }

    const double start =
        clock_.place(frame.best_effort_timestamp, static_cast<double>(frame.nb_samples) / frame.sample_rate);
    // The resampler still holds some earlier input; its output comes first.
    const std::int64_t wantedStart = std::llround(start * kRate) - swr_get_delay(resampler_.get(), kRate);

    std::vector<float> samples = convert(const_cast<const std::uint8_t**>(frame.extended_data), frame.nb_samples);

    const SamplePlacement placement = placeSamples(wantedStart, static_cast<std::int64_t>(samples.size()), written_);
    if (placement.drop > 0)
        samples.erase(samples.begin(), samples.begin() + placement.drop);
    if (placement.silence > 0)
        samples.insert(samples.begin(), static_cast<std::size_t>(placement.silence), 0);
    written_ += static_cast<std::int64_t>(samples.size());
    return samples;
}

std::vector<float> AudioTrack::drain()
{
    if (!resampler_)
        return {};
    std::vector<float> samples = convert(nullptr, 0);
    written_ += static_cast<std::int64_t>(samples.size());
    return samples;
}

}  // namespace conv
