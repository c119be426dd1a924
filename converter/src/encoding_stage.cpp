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

PacketWriter::PacketWriter(OutputFile& output, const VideoEncoder* video, bool sound)
    : output_(output), soundPacket_(allocatePacket())
{
    if (video)
        videoIndex_ = output_.addVideo(video->context(), displayWidth(video->context()));
    if (sound)
        audioIndex_ = output_.addAudio(AmrEncoder::kSampleRate, AmrEncoder::kFrameSamples);
}

void PacketWriter::writeVideo(AVPacket& packet, AVRational timeBase)
{
    std::lock_guard lock(mutex_);
    output_.write(packet, videoIndex_, timeBase);
    ++picturesWritten_;
}

void PacketWriter::writeSound(const AmrEncoder::Packet& encoded)
{
    std::lock_guard lock(mutex_);
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

VideoStage::VideoStage(PictureFitter fitter, VideoEncoder& encoder, PacketWriter& writer)
    : fitter_(std::move(fitter)), encoder_(encoder), writer_(writer)
{
}

void VideoStage::fit(BoundedQueue<PictureJob>& decoded, BoundedQueue<PictureJob>& fitted)
{
    while (auto job = decoded.pop()) {
        job->picture = fitter_.fit(*job->picture); // the decoder may reuse its buffer now
        if (!fitted.push(std::move(*job)))
            return;
    }
    if (!decoded.aborted())
        fitted.close();
}

void VideoStage::encode(BoundedQueue<PictureJob>& fitted, const std::function<void()>& beforePicture)
{
    const AVRational timeBase = encoder_.context().time_base;
    const auto sink = [&](AVPacket& packet) { writer_.writeVideo(packet, timeBase); };

    while (auto job = fitted.pop()) {
        if (beforePicture)
            beforePicture();
        // The encoder takes its own reference to each picture it is sent.
        for (std::int64_t slot = job->slots.first; slot < job->slots.end; ++slot) {
            job->picture->pts = slot;
            encoder_.encode(job->picture.get(), sink);
        }
    }
    if (!fitted.aborted())
        encoder_.encode(nullptr, sink);
}

} // namespace conv
