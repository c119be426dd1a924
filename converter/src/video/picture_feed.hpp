// Decoded pictures to queued jobs on the output frame grid. Within video/ only.
#pragma once

#include "base/conversion_request.hpp"
#include "pipeline/bounded_queue.hpp"
#include "source/stream_clock.hpp"
#include "video/frame_rate_converter.hpp"
#include "video/video_stage.hpp"

namespace conv {

// The picture side of the reading thread: puts decoded pictures on the output
// frame grid and queues the ones that are shown for the video thread.
class PictureFeed {
public:
    PictureFeed(const ConversionRequest& request, const AVStream& stream, double originSeconds,
                BoundedQueue<PictureJob>& queue);

    // A decoded picture; the feed takes over its data.
    void take(AVFrame& frame);
    // The source has ended: the last picture fills its time, and stays on
    // until `soundEndSeconds` when the sound goes on longer (a still picture
    // with sound shows for as long as the sound plays).
    void finish(double soundEndSeconds = 0);

    // Whether the picture in this packet is shown in the output (packets whose
    // timing is unclear always are): the decoder leaves out the others where
    // no picture depends on them. Every shown picture is decoded, reordered
    // ones (B-frames) too, so each output frame shows the picture on screen
    // at its time.
    bool wants(const AVPacket& packet) const;

private:
    void send(SlotRange slots);

    const AVStream& stream_;
    AVRational outputRate_;
    StreamClock clock_;
    double originSeconds_;
    FrameRateConverter rate_;
    BoundedQueue<PictureJob>& queue_;
    FrameHandle held_;  // the last picture, until the next one says how long it lasts
    double heldEnd_ = 0;
};

}  // namespace conv
