#include "video/picture_feed.hpp"

#include "base/errors.hpp"
#include "source/source_media.hpp"

#include <algorithm>
#include <cmath>

namespace conv {
namespace {

// A picture shown longer than this is a broken duration, not a slide show.
constexpr double kLongestPictureSeconds = 10;

double frameDurationSeconds(const AVFrame& frame, const AVStream& stream, AVRational outputRate)
{
    if (frame.pkt_duration > 0)
        return std::min(kLongestPictureSeconds, static_cast<double>(frame.pkt_duration) * av_q2d(stream.time_base));
    for (AVRational rate : {stream.avg_frame_rate, stream.r_frame_rate})
        if (rate.num > 0 && rate.den > 0 && av_q2d(rate) < 1000)
            return 1.0 / av_q2d(rate);
    return 1.0 / av_q2d(outputRate);
}

}  // namespace

PictureFeed::PictureFeed(const ConversionRequest& request, const AVStream& stream, double originSeconds,
                         BoundedQueue<PictureJob>& queue)
    : stream_(stream),
      outputRate_(request.frameRate),
      clock_(stream.time_base, originSeconds),
      originSeconds_(originSeconds),
      rate_(request.frameRate),
      queue_(queue)
{}

void PictureFeed::take(AVFrame& frame)
{
    const double duration = frameDurationSeconds(frame, stream_, outputRate_);
    const double start = clock_.place(frame.best_effort_timestamp, duration);
    send(rate_.nextPicture(start));
    held_ = allocateFrame();
    av_frame_move_ref(held_.get(), &frame);
    heldEnd_ = start + duration;
}

void PictureFeed::finish(double soundEndSeconds) { send(rate_.finish(std::max(heldEnd_, soundEndSeconds))); }

bool PictureFeed::wants(const AVPacket& packet) const
{
    if (packet.pts == AV_NOPTS_VALUE || packet.duration <= 0 || clock_.rebased())
        return true;
    const double tick = av_q2d(stream_.time_base);
    const double start = static_cast<double>(packet.pts) * tick - originSeconds_;
    const double duration = static_cast<double>(packet.duration) * tick;
    return rate_.slotsOf(start, duration).count() > 0;
}

void PictureFeed::send(SlotRange slots)
{
    if (slots.count() <= 0 || !held_)
        return;
    // The next picture replaces the held one anyway.
    if (!queue_.push(PictureJob{std::move(held_), slots}))
        throw ConversionError("encoding stopped");
}

}  // namespace conv
