#include "encoding_stage.hpp"

#include "errors.hpp"

#include <cstring>

namespace conv {
namespace {

// The width a player shows the picture at, rounded to whole pixels: 128x96
// with 12:11 pixels shows 140 wide.
int displayWidth(const AVCodecContext& encoder)
{
    const AVRational aspect = encoder.sample_aspect_ratio.num > 0 ? encoder.sample_aspect_ratio : AVRational{1, 1};
    return static_cast<int>(av_rescale_rnd(encoder.width, aspect.num, aspect.den, AV_ROUND_NEAR_INF));
}

} // namespace

EncodingStage::EncodingStage(OutputFile& output, VideoEncoder* video, AmrEncoder* audio)
    : output_(output), video_(video), audio_(audio), soundPacket_(allocatePacket())
{
    if (video_)
        videoIndex_ = output_.addVideo(video_->context(), displayWidth(video_->context()));
    if (audio_)
        audioIndex_ = output_.addAudio(AmrEncoder::kSampleRate, AmrEncoder::kFrameSamples);
}

void EncodingStage::writeVideo(AVPacket& packet)
{
    output_.write(packet, videoIndex_, video_->context().time_base);
    ++picturesWritten_;
}

void EncodingStage::writeSound(const AmrEncoder::Packet& encoded)
{
    AVPacket& packet = *soundPacket_;
    checkAv(av_new_packet(&packet, static_cast<int>(encoded.bytes.size())), "out of memory");
    std::memcpy(packet.data, encoded.bytes.data(), encoded.bytes.size());
    packet.pts = packet.dts = encoded.firstSample;
    packet.duration = AmrEncoder::kFrameSamples;
    packet.flags |= AV_PKT_FLAG_KEY;
    output_.write(packet, audioIndex_, AVRational{1, AmrEncoder::kSampleRate});
    av_packet_unref(&packet);
    ++soundFramesWritten_;
}

void EncodingStage::run(BoundedQueue<EncodeJob>& queue)
{
    const auto videoSink = [this](AVPacket& packet) { writeVideo(packet); };
    const auto soundSink = [this](const AmrEncoder::Packet& packet) { writeSound(packet); };

    while (auto job = queue.pop()) {
        if (auto* picture = std::get_if<PictureJob>(&*job)) {
            if (video_)
                video_->encode(picture->picture.get(), videoSink);
        } else if (auto* sound = std::get_if<SoundJob>(&*job)) {
            if (audio_)
                audio_->push(sound->samples, soundSink);
        }
    }
    if (video_)
        video_->encode(nullptr, videoSink);
    if (audio_)
        audio_->finish(soundSink);
}

} // namespace conv
