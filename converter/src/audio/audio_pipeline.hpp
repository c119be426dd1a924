// The sound's way from the reading thread into the output file: its queue and its two threads.
#pragma once

#include "audio/audio_stage.hpp"
#include "pipeline/stage_group.hpp"

#include <functional>

namespace conv {

struct DecodedStream;

// The way of the source's sound into the output file. The reading thread
// hands in the sound packets undecoded; a sound thread decodes them and puts
// the sound on the output timeline at 8000 Hz mono, an AMR-NB thread encodes
// it and writes the packets.
class AudioPipeline {
public:
    // `soundDecoding` (tests) runs on the sound thread before each packet.
    // `phoneLoud`: the sound is made loud enough for a phone's speaker, or
    // else keeps the source's level.
    AudioPipeline(DecodedStream& audio, double originSeconds, bool phoneLoud, AmrEncoder& encoder, PacketWriter& writer,
                  StageGroup& stages, std::function<void()> soundDecoding = nullptr);
    ~AudioPipeline();
    AudioPipeline(const AudioPipeline&) = delete;
    AudioPipeline& operator=(const AudioPipeline&) = delete;

    // A sound packet; the pipeline takes over its data. Throws when the
    // pipeline has been stopped.
    void take(AVPacket& packet);
    // The source has ended: returns once all the sound is written, with the
    // time it lasts.
    double finish();

    double secondsDone() const { return stage_.secondsDone(); }
    int damagedPackets() const { return stage_.damagedPackets(); }

private:
    void abortQueues();
    void joinThreads();

    BoundedQueue<PacketHandle> packets_;
    BoundedQueue<AudioStage::Samples> samples_;
    AudioStage stage_;
    std::function<void()> soundDecoding_;
    StageGroup::Membership membership_;
    StageThread decoding_;
    StageThread encoding_;
};

}  // namespace conv
