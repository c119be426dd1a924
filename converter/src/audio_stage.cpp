#include "audio_stage.hpp"

#include "source_media.hpp"

namespace conv {

AudioStage::AudioStage(AVCodecContext& decoder, AVRational timeBase, double originSeconds, AmrEncoder& encoder,
                       PacketWriter& writer)
    : decoder_(decoder), track_(timeBase, originSeconds), encoder_(encoder), writer_(writer)
{
}

void AudioStage::encode(std::span<const std::int16_t> samples)
{
    if (!samples.empty())
        encoder_.push(samples, [this](const AmrEncoder::Packet& packet) { writer_.writeSound(packet); });
    secondsDone_.store(track_.secondsDone());
}

void AudioStage::decode(const AVPacket* packet, AVFrame& frame)
{
    damagedPackets_ += decodeFrames(decoder_, packet, frame, [this](AVFrame& decoded) { encode(track_.take(decoded)); });
}

void AudioStage::run(BoundedQueue<PacketHandle>& packets, const std::function<void()>& beforePacket)
{
    FrameHandle frame = allocateFrame();
    while (auto packet = packets.pop()) {
        if (beforePacket)
            beforePacket();
        decode(packet->get(), *frame);
    }
    if (packets.aborted())
        return;
    decode(nullptr, *frame);
    encode(track_.drain());
    encoder_.finish([this](const AmrEncoder::Packet& packet) { writer_.writeSound(packet); });
}

} // namespace conv
