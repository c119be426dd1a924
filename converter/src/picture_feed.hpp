#pragma once

#include "bounded_queue.hpp"
#include "command_line.hpp"
#include "encoding_stage.hpp"
#include "frame_rate_converter.hpp"
#include "stream_clock.hpp"

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

    // Whether the picture in this packet is needed for the output; packets
    // come in decoding order. Packets whose timing is unclear are always
    // wanted. Where the source comes at least twice as often as the output,
    // a picture shown before one decoded earlier (no other picture is
    // predicted from most of these) is not needed when a picture decoded
    // anyway starts next to each frame it would fill (within one and a half
    // source pictures): the decoder leaves it out if it can, and its
    // neighbours share its time.
    bool wants(const AVPacket& packet);

    double secondsDone() const;

private:
    void send(SlotRange slots);

    const AVStream& stream_;
    AVRational outputRate_;
    StreamClock clock_;
    double originSeconds_;
    FrameRateConverter rate_;
    BoundedQueue<PictureJob>& queue_;
    FrameHandle held_; // the last picture, until the next one says how long it lasts
    double heldEnd_ = 0;
    // See wants(): the pictures decoded anyway are the ones shown after every
    // picture before them in decoding order; the last two such, in seconds.
    const bool neighboursStandIn_;
    double lastInOrder_ = -1e300;
    double previousInOrder_ = -1e300;
};

} // namespace conv
