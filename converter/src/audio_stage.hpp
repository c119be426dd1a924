#pragma once

#include "amr_encoder.hpp"
#include "audio_track.hpp"
#include "bounded_queue.hpp"
#include "encoding_stage.hpp"

#include <atomic>
#include <functional>

namespace conv {

// The audio thread's work: decodes the sound packets the reading side queues,
// puts the sound on the output timeline at 8000 Hz mono and encodes it.
class AudioStage {
public:
    AudioStage(AVCodecContext& decoder, AVRational timeBase, double originSeconds, AmrEncoder& encoder,
               PacketWriter& writer);

    // Until the queue is closed and empty; then drains decoder, resampler and
    // encoder. An aborted queue ends it at once. `beforePacket` (tests) runs
    // before each packet is decoded.
    void run(BoundedQueue<PacketHandle>& packets, const std::function<void()>& beforePacket = nullptr);

    double secondsDone() const { return secondsDone_.load(); }
    int damagedPackets() const { return damagedPackets_.load(); }

private:
    void decode(const AVPacket* packet, AVFrame& frame);
    void encode(std::span<const std::int16_t> samples);

    AVCodecContext& decoder_;
    AudioTrack track_;
    AmrEncoder& encoder_;
    PacketWriter& writer_;
    std::atomic<double> secondsDone_{0};
    std::atomic<int> damagedPackets_{0};
};

} // namespace conv
