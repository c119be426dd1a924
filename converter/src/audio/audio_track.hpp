// Decoded sound to 8000 Hz mono on the output timeline: gaps filled, overlaps cut. Within audio/ only.
#pragma once

#include "base/ffmpeg_handles.hpp"
#include "source/stream_clock.hpp"

#include <cstdint>
#include <vector>

namespace conv {

// Where a chunk of samples goes on the output: silence to insert before it when
// the source left a gap, or leading samples to drop when it overlaps what was
// already written. Small differences are timestamp jitter and are left alone.
struct SamplePlacement {
    std::int64_t silence = 0;
    std::int64_t drop = 0;
};
SamplePlacement placeSamples(std::int64_t wantedStart, std::int64_t count, std::int64_t writtenSoFar);

// The audio of the source as 8000 Hz mono samples on the output timeline, in
// floating point at the source's level: resampled and mixed down so speech
// keeps its level (speech_downmix.hpp), with gaps filled and overlaps cut so
// the sound stays in step with the picture.
class AudioTrack {
public:
    static constexpr int kRate = 8000;

    AudioTrack(AVRational timeBase, double originSeconds);
    ~AudioTrack();
    AudioTrack(const AudioTrack&) = delete;
    AudioTrack& operator=(const AudioTrack&) = delete;

    // The samples this decoded frame adds to the output. A frame whose sound
    // the resampler cannot take (a damaged header gave it a sample format,
    // rate or channel layout that is none) adds nothing and is counted.
    std::vector<float> take(const AVFrame& frame);
    int framesRefused() const { return framesRefused_; }
    // What the resampler still holds at the end.
    std::vector<float> drain();

    double secondsDone() const { return static_cast<double>(written_) / kRate; }

private:
    bool prepareFor(const AVFrame& frame);
    std::vector<float> convert(const std::uint8_t** input, int inputSamples);

    StreamClock clock_;
    ResamplerHandle resampler_;
    AVChannelLayout inputLayout_{};
    int inputFormat_ = -1;
    int inputRate_ = 0;
    std::int64_t written_ = 0;
    int framesRefused_ = 0;
};

}  // namespace conv
