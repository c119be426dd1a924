#include "audio/audio_stage.hpp"

#include "source/source_media.hpp"

namespace conv {

AudioStage::AudioStage(AVCodecContext& decoder, AVRational timeBase, double originSeconds, bool phoneLoud,
                       AmrEncoder& encoder, PacketWriter& writer)
    : decoder_(decoder),
      track_(timeBase, originSeconds),
      loudness_(phoneLoud),
      encoder_(encoder),
      writer_(writer)
{}

void AudioStage::decode(BoundedQueue<PacketHandle>& packets, BoundedQueue<Samples>& samples,
                        const std::function<void()>& beforePacket)
{
    // A refused push means the run is being stopped: whoever stopped it reports why.
    bool refused = false;
    const auto send = [&](Samples chunk) {
        if (!chunk.empty() && !refused)
            refused = !samples.push(std::move(chunk));
        secondsDone_.store(track_.secondsDone());
    };
    const auto take = [&](AVFrame& decoded) { send(loudness_.take(track_.take(decoded))); };

    FrameHandle frame = allocateFrame();
    while (auto packet = packets.pop()) {
        if (beforePacket)
            beforePacket();
        damagedPackets_ += decodeFrames(decoder_, packet->get(), *frame, take);
        if (refused)
            return;
    }
    if (packets.aborted())
        return;
    damagedPackets_ += decodeFrames(decoder_, nullptr, *frame, take);
    damagedPackets_ += track_.framesRefused();
    send(loudness_.take(track_.drain()));
    send(loudness_.drain());
    samples.close();
}

void AudioStage::encode(BoundedQueue<Samples>& samples)
{
    const auto sink = [this](const AmrEncoder::Packet& packet) {
        writer_.writeSound(packet.bytes, packet.firstSample);
    };
    while (auto chunk = samples.pop())
        encoder_.push(*chunk, sink);
    if (samples.aborted())
        return;
    encoder_.finish(sink);
    writer_.soundEnded();
}

}  // namespace conv
