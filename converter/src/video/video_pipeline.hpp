// The pictures' way from the reading thread into the output file: its queues and two threads.
#pragma once

#include "pipeline/stage_group.hpp"
#include "video/picture_feed.hpp"
#include "video/video_stage.hpp"

#include <functional>

namespace conv {

struct DecodedStream;

// The way of the source's pictures into the output file. The reading thread
// hands in each decoded picture, which is put on the output frame grid; a
// scaling thread fits each shown one to the output frame, an encoding thread
// codes it for every output frame it fills and writes the packets.
class VideoPipeline {
public:
    // `pictureDecoded` and `pictureEncoding` (tests) run on the reading thread
    // after each picture taken, on the encoding thread before each job.
    VideoPipeline(const ConversionRequest& request, const DecodedStream& video, double originSeconds,
                  VideoEncoder& encoder, PacketWriter& writer, StageGroup& stages,
                  std::function<void()> pictureDecoded = nullptr, std::function<void()> pictureEncoding = nullptr);
    ~VideoPipeline();
    VideoPipeline(const VideoPipeline&) = delete;
    VideoPipeline& operator=(const VideoPipeline&) = delete;

    // Whether the picture in this packet is needed (see PictureFeed::wants).
    bool wants(const AVPacket& packet) const { return feed_.wants(packet); }
    // A decoded picture; the pipeline takes over its data. Throws when the
    // pipeline has been stopped.
    void take(AVFrame& picture);
    // The source has ended: the last picture stays on until `soundEndSeconds`
    // if the sound goes on longer; returns once every picture is written.
    void finish(double soundEndSeconds);

    // Of output written.
    double secondsDone() const { return stage_.secondsDone(); }

private:
    void abortQueues();
    void joinThreads();

    BoundedQueue<PictureJob> decoded_;
    BoundedQueue<PictureJob> fitted_;
    PictureFeed feed_;
    VideoStage stage_;
    std::function<void()> pictureDecoded_;
    std::function<void()> pictureEncoding_;
    StageGroup::Membership membership_;
    StageThread fitting_;
    StageThread encoding_;
};

}  // namespace conv
