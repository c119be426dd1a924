// The two sound threads: decoding and resampling, then AMR-NB. Within audio/ only.
#pragma once

#include "audio/amr_encoder.hpp"
#include "audio/audio_track.hpp"
#include "audio/phone_loudness.hpp"
#include "output/packet_writer.hpp"
#include "pipeline/bounded_queue.hpp"

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

namespace conv {

// The sound side of a conversion, on two threads: one decodes the sound
// packets the reading side queues, puts the sound on the output timeline at
// 8000 Hz mono and levels it (phone-loud, or at the source's level), the other encodes it (AMR-NB is most of the work).
class AudioStage {
public:
    using Samples = std::vector<std::int16_t>;

    AudioStage(AVCodecContext& decoder, AVRational timeBase, double originSeconds, bool phoneLoud, AmrEncoder& encoder,
               PacketWriter& writer);

    // Until `packets` is closed and empty; then drains decoder and resampler
    // and closes `samples`. An aborted queue ends it at once. `beforePacket`
    // (tests) runs before each packet is decoded.
    void decode(BoundedQueue<PacketHandle>& packets, BoundedQueue<Samples>& samples,
                const std::function<void()>& beforePacket = nullptr);
    // Until `samples` is closed and empty; then drains the encoder. An aborted
    // queue ends it at once.
    void encode(BoundedQueue<Samples>& samples);

    double secondsDone() const { return secondsDone_.load(); }
    int damagedPackets() const { return damagedPackets_.load(); }

private:
    AVCodecContext& decoder_;
    AudioTrack track_;
    PhoneLoudness loudness_;
    AmrEncoder& encoder_;
    PacketWriter& writer_;
    std::atomic<double> secondsDone_{0};
    std::atomic<int> damagedPackets_{0};
};

}  // namespace conv
