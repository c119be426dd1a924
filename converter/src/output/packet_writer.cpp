#include "output/packet_writer.hpp"

#include "base/errors.hpp"

#include <algorithm>
#include <cstring>
#include <utility>

namespace conv {
namespace {

// The width a player shows the picture at, rounded to whole pixels: 128x96
// with 12:11 pixels shows 140 wide.
int displayWidth(const AVCodecContext& encoder)
{
    const AVRational aspect = encoder.sample_aspect_ratio.num > 0 ? encoder.sample_aspect_ratio : AVRational{1, 1};
    return static_cast<int>(av_rescale_rnd(encoder.width, aspect.num, aspect.den, AV_ROUND_NEAR_INF));
}

}  // namespace

PacketWriter::PacketWriter(OutputFile& output, const AVCodecContext* video, std::optional<SoundFrames> sound)
    : output_(output),
      soundPacket_(allocatePacket()),
      heldPacket_(allocatePacket())
{
    if (video) {
        video_.index = output_.addVideo(*video, displayWidth(*video));
        video_.timeBase = video->time_base;
    }
    if (sound) {
        sound_.index = output_.addAudio(sound->sampleRate, sound->frameSamples);
        sound_.timeBase = AVRational{1, sound->sampleRate};
        soundFrameSamples_ = sound->frameSamples;
    }
}

void PacketWriter::writeVideo(AVPacket& packet, AVRational timeBase)
{
    std::lock_guard lock(mutex_);
    video_.timeBase = timeBase;
    videoBits_ += std::int64_t{8} * packet.size;
    videoEndSeconds_ =
        std::max(videoEndSeconds_, video_.seconds(packet.pts + std::max<std::int64_t>(1, packet.duration)));
    hand(video_, sound_, packet);
    ++picturesWritten_;
}

double PacketWriter::videoKbpsWritten() const
{
    std::lock_guard lock(mutex_);
    return videoEndSeconds_ > 0 ? static_cast<double>(videoBits_) / videoEndSeconds_ / 1000 : 0;
}

void PacketWriter::writeSound(std::span<const std::uint8_t> bytes, std::int64_t firstSample)
{
    std::lock_guard lock(mutex_);
    AVPacket& packet = *soundPacket_;
    checkAv(av_new_packet(&packet, static_cast<int>(bytes.size())), "out of memory");
    std::memcpy(packet.data, bytes.data(), bytes.size());
    packet.pts = packet.dts = firstSample;
    packet.duration = soundFrameSamples_;
    packet.flags |= AV_PKT_FLAG_KEY;
    hand(sound_, video_, packet);
    av_packet_unref(&packet);
    ++soundFramesWritten_;
}

void PacketWriter::videoEnded()
{
    std::lock_guard lock(mutex_);
    video_.ended = true;
    writeHeld();
}

void PacketWriter::soundEnded()
{
    std::lock_guard lock(mutex_);
    sound_.ended = true;
    writeHeld();
}

bool PacketWriter::mayWrite(const Stream& other, double seconds)
{
    return other.index < 0 || other.ended || other.handedSeconds >= seconds - kLeadSeconds;
}

void PacketWriter::hand(Stream& stream, const Stream& other, AVPacket& packet)
{
    const double seconds = stream.seconds(packet.pts);
    stream.handedSeconds = std::max(stream.handedSeconds, seconds);
    if (stream.held.empty() && mayWrite(other, seconds))
        output_.write(packet, stream.index, stream.timeBase);
    else
        stream.held.push(packet);
    writeHeld();
}

void PacketWriter::writeHeld()
{
    for (bool wrote = true; wrote;) {
        wrote = false;
        for (auto [stream, other] : {std::pair{&video_, &sound_}, std::pair{&sound_, &video_}})
            while (!stream->held.empty() && mayWrite(*other, stream->seconds(stream->held.frontPts()))) {
                stream->held.pop(*heldPacket_);
                output_.write(*heldPacket_, stream->index, stream->timeBase);
                wrote = true;
            }
    }
}

}  // namespace conv
