#include "video/video_stage.hpp"

#include "base/errors.hpp"
#include "video/frame_skipper.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace conv {
namespace {

constexpr double kMostShareOfRateInASecond = 1.4;

// A picture shown for many frames is coded this many times, each coding
// refining what the phone shows of it; from then on it is repeated as skipped
// pictures at next to no cost. A picture on longer than the rate buffer takes
// to fill up is coded once the buffer is full again (see framesHeld), so each
// coding has the buffer's bits: the noisy slide show at 352x288, 14.985 fps and
// 512 kbit/s gives 31.1 dB after 4 codings, 36.1 after 8 and 39.6 after 12, in
// 0.26, 0.29 and 0.35 s of CPU; a song's cover picture, which changes a little
// every second, stays within 0.5 dB of 4 codings.
constexpr int kCodingsOfOnePicture = 8;

// Whether two fitted pictures are the same to the last pixel: a source that
// repeats its picture (a still cover, a slide show at a video frame rate).
bool samePicture(const AVFrame& a, const AVFrame& b)
{
    if (a.width != b.width || a.height != b.height || a.format != b.format)
        return false;
    for (int plane = 0; plane < 3; ++plane) {
        const int rows = plane == 0 ? a.height : (a.height + 1) / 2;
        const auto bytes = static_cast<std::size_t>(plane == 0 ? a.width : (a.width + 1) / 2);
        for (int row = 0; row < rows; ++row)
            if (std::memcmp(a.data[plane] + row * a.linesize[plane], b.data[plane] + row * b.linesize[plane], bytes) !=
                0)
                return false;
    }
    return true;
}

// Every second within 1.5 times the rate, with room for pictures a little
// larger than the last of their kind; the average within a rate buffer.
SkipLimits skipLimitsFor(const AVCodecContext& encoder)
{
    const double rate = static_cast<double>(encoder.bit_rate);
    const double framesPerSecond = 1 / av_q2d(encoder.time_base);
    return SkipLimits{rate / framesPerSecond, static_cast<int>(std::ceil(framesPerSecond - 1e-6)),
                      static_cast<double>(encoder.rc_buffer_size), kMostShareOfRateInASecond * rate,
                      std::max(1, encoder.gop_size)};
}

}  // namespace

VideoStage::VideoStage(PictureFitter fitter, VideoEncoder& encoder, PacketWriter& writer,
                       const std::atomic<bool>& stopRequested)
    : fitter_(std::move(fitter)),
      encoder_(encoder),
      writer_(writer),
      stopRequested_(stopRequested),
      frameSeconds_(av_q2d(encoder.context().time_base))
{}

void VideoStage::fit(BoundedQueue<PictureJob>& decoded, BoundedQueue<PictureJob>& fitted)
{
    while (auto job = decoded.pop()) {
        job->picture = fitter_.fit(*job->picture);  // the decoder may reuse its buffer now
        if (!fitted.push(std::move(*job)))
            return;
    }
    if (!decoded.aborted())
        fitted.close();
}

std::int64_t VideoStage::framesHeld(std::int64_t framesLeft, int timesCoded) const
{
    // A picture on longer than the rate buffer takes to fill up is coded at
    // that interval, each coding refining it with as many bits as the buffer
    // holds; the last coding stays on for the rest of its frames.
    const std::int64_t refill = encoder_.framesToRefill();
    if (!encoder_.canRepeat() || framesLeft <= refill)
        return 1;
    return timesCoded + 1 < kCodingsOfOnePicture ? refill : framesLeft;
}

double VideoStage::secondsDone() const { return static_cast<double>(framesDone_.load()) * frameSeconds_; }

void VideoStage::encode(BoundedQueue<PictureJob>& fitted, const std::function<void()>& beforePicture)
{
    const AVCodecContext& context = encoder_.context();
    const AVRational timeBase = context.time_base;
    FrameSkipper skipper(skipLimitsFor(context));
    const auto sink = [&](AVPacket& packet) {
        skipper.setKeyInterval(std::max(1, encoder_.context().gop_size));
        skipper.written(packet.size, (packet.flags & AV_PKT_FLAG_KEY) != 0);
        writer_.writeVideo(packet, timeBase);
    };
    const auto repeatSink = [&](AVPacket& packet) {
        skipper.repeated(packet.size);
        writer_.writeVideo(packet, timeBase);
    };

    // A frame left out at the very end would end the track early: the last
    // picture is coded at the last frame whatever the rate says.
    FrameHandle lastPicture;
    std::int64_t lastSlotLeftOut = -1;
    int timesCoded = 0;           // how often the encoder coded the picture on show
    std::int64_t shownSince = 0;  // the frame it came on at
    std::int64_t nextCoding = 0;  // the frame it is to be coded at next
    while (auto job = fitted.pop()) {
        if (beforePicture)
            beforePicture();
        if (!lastPicture || !samePicture(*lastPicture, *job->picture)) {
            timesCoded = 0;
            shownSince = job->slots.first;
            nextCoding = 0;
        }
        // The encoder takes its own reference to each picture it is sent.
        for (std::int64_t slot = job->slots.first; slot < job->slots.end; ++slot) {
            // A long picture is many frames: a stop must not wait for all of them.
            if (stopRequested_.load())
                return;
            // Leaving out a frame of a picture already coded costs only its
            // refinement; leaving out a new picture often is worse than
            // starving every picture (see VideoEncoder::squeezeHarder).
            const bool newPicture = timesCoded == 0;
            if (skipper.leaveOut() && !(newPicture && skipper.leavingOutOften() && encoder_.squeezeHarder())) {
                lastSlotLeftOut = slot;
            } else {
                const bool refine = timesCoded < kCodingsOfOnePicture && slot >= nextCoding;
                if (refine || !encoder_.repeatLast(slot, repeatSink)) {
                    const std::int64_t held = framesHeld(job->slots.end - slot, timesCoded);
                    // A refinement's picture has been on since it came: however
                    // few of its frames are left, it is no moving picture.
                    const std::int64_t onShow = job->slots.end - (timesCoded == 0 ? slot : shownSince);
                    job->picture->pts = slot;
                    encoder_.encode(job->picture.get(), sink, onShow, held);
                    ++timesCoded;
                    nextCoding = slot + held;
                }
                lastSlotLeftOut = -1;
            }
            skipper.framePassed();
            framesDone_.store(slot + 1);
        }
        lastPicture = std::move(job->picture);
    }
    if (fitted.aborted())
        return;
    if (lastSlotLeftOut >= 0 && lastPicture) {
        lastPicture->pts = lastSlotLeftOut;
        encoder_.encode(lastPicture.get(), sink);
    }
    encoder_.encode(nullptr, sink);
    writer_.videoEnded();
}

}  // namespace conv
