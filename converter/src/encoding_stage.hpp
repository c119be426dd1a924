#pragma once

#include "amr_encoder.hpp"
#include "bounded_queue.hpp"
#include "frame_rate_converter.hpp"
#include "output_file.hpp"
#include "picture_fitter.hpp"
#include "video_encoder.hpp"

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>

namespace conv {

// The streams of the output file, written from the video and the audio thread
// one packet at a time.
class PacketWriter {
public:
    // Either stream may be missing when the source lacks that kind of stream.
    PacketWriter(OutputFile& output, const VideoEncoder* video, bool sound);

    void writeVideo(AVPacket& packet, AVRational timeBase);
    void writeSound(const AmrEncoder::Packet& encoded);

    std::int64_t picturesWritten() const { return picturesWritten_.load(); }
    std::int64_t soundFramesWritten() const { return soundFramesWritten_.load(); }

private:
    std::mutex mutex_;
    OutputFile& output_;
    int videoIndex_ = -1;
    int audioIndex_ = -1;
    PacketHandle soundPacket_;
    std::atomic<std::int64_t> picturesWritten_{0};
    std::atomic<std::int64_t> soundFramesWritten_{0};
};

// A decoded source picture and the output frames it fills.
struct PictureJob {
    FrameHandle picture;
    SlotRange slots;
};

// The video side of a conversion, on two threads: one fits each shown source
// picture to the output frame, the other encodes the fitted pictures, each once
// for every output frame it fills. Halves of about equal work.
class VideoStage {
public:
    VideoStage(PictureFitter fitter, VideoEncoder& encoder, PacketWriter& writer);

    // Until `decoded` is closed and empty; then closes `fitted`. An aborted
    // queue ends it at once.
    void fit(BoundedQueue<PictureJob>& decoded, BoundedQueue<PictureJob>& fitted);
    // Until `fitted` is closed and empty; then drains the encoder. An aborted
    // queue ends it at once. `beforePicture` (tests) runs before each job.
    void encode(BoundedQueue<PictureJob>& fitted, const std::function<void()>& beforePicture = nullptr);

private:
    PictureFitter fitter_;
    VideoEncoder& encoder_;
    PacketWriter& writer_;
};

} // namespace conv
