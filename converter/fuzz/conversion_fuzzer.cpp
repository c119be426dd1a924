// Feeds arbitrary bytes through the converter's reading and decoding path:
// demuxing, decoding, fitting pictures to the output frame, resampling sound.
// Built as a libFuzzer target, and as a replay program for kept inputs.

#include "audio_track.hpp"
#include "errors.hpp"
#include "memory_input.hpp"
#include "picture_fitter.hpp"
#include "source_media.hpp"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

extern "C" {
#include <libavutil/log.h>
}

namespace {

// Large enough for real video, small enough that a header claiming a huge
// picture does not exhaust the fuzzer's memory.
constexpr std::int64_t kMostPixels = 4096 * 2304;

void decodeEverything(std::span<const std::uint8_t> bytes)
{
    conv::MemoryInput input(bytes);
    conv::SourceMedia source("fuzz input", input.io());

    std::optional<conv::PictureFitter> fitter;
    if (conv::DecodedStream* video = source.video()) {
        video->decoder->max_pixels = kMostPixels;
        fitter.emplace(conv::OutputFrame{176, 144, AVRational{12, 11}}, conv::clockwiseQuarterTurns(*video->stream),
                       video->stream->sample_aspect_ratio);
    }
    std::optional<conv::AudioTrack> sound;
    if (conv::DecodedStream* audio = source.audio())
        sound.emplace(audio->stream->time_base, source.originSeconds());

    source.decodeAll([&](AVFrame& frame) { fitter->fit(frame); },
                     [&](AVFrame& frame) { sound->take(frame); });
    if (sound)
        sound->drain();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    av_log_set_level(AV_LOG_QUIET);
    try {
        decodeEverything({data, size});
    } catch (const conv::ConversionError&) {
        // Refusing a broken source is the expected outcome.
    }
    return 0;
}
