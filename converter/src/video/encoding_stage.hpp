#pragma once

#include "audio/amr_encoder.hpp"
#include "output/output_file.hpp"
#include "output/packet_spill.hpp"
#include "pipeline/bounded_queue.hpp"
#include "video/frame_rate_converter.hpp"
#include "video/picture_fitter.hpp"
#include "video/video_encoder.hpp"

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>

namespace conv {

// The streams of the output file, handed in from the video and the audio
// thread one packet at a time. A phone reads the file in order, so the two
// streams go into it in time order, sound and pictures that play together
// close together: a packet of one stream waits (held back in an unnamed memory file) until the
// other has come within kLeadSeconds of it, or has ended.
class PacketWriter {
public:
    static constexpr double kLeadSeconds = 0.5;

    // Either stream may be missing when the source lacks that kind of stream.
    PacketWriter(OutputFile& output, const VideoEncoder* video, bool sound);

    void writeVideo(AVPacket& packet, AVRational timeBase);
    void writeSound(const AmrEncoder::Packet& encoded);
    // The stream has ended: it holds the other back no longer.
    void videoEnded();
    void soundEnded();

    std::int64_t picturesWritten() const { return picturesWritten_.load(); }
    std::int64_t soundFramesWritten() const { return soundFramesWritten_.load(); }
    // The video's average rate as written, over the time its pictures cover.
    double videoKbpsWritten() const;

private:
    struct Stream {
        int index = -1;
        AVRational timeBase{1, 1};
        double handedSeconds = -1e300;  // the latest packet handed in
        bool ended = false;
        PacketSpill held;
        double seconds(std::int64_t pts) const { return static_cast<double>(pts) * av_q2d(timeBase); }
    };
    void hand(Stream& stream, const Stream& other, AVPacket& packet);
    static bool mayWrite(const Stream& other, double seconds);
    void writeHeld();

    mutable std::mutex mutex_;
    OutputFile& output_;
    Stream video_;
    Stream sound_;
    PacketHandle soundPacket_;
    PacketHandle heldPacket_;
    std::atomic<std::int64_t> picturesWritten_{0};
    std::atomic<std::int64_t> soundFramesWritten_{0};
    std::int64_t videoBits_ = 0;
    double videoEndSeconds_ = 0;
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
    // `stopRequested` is checked at every output frame.
    VideoStage(PictureFitter fitter, VideoEncoder& encoder, PacketWriter& writer,
               const std::atomic<bool>& stopRequested);

    // Until `decoded` is closed and empty; then closes `fitted`. An aborted
    // queue ends it at once.
    void fit(BoundedQueue<PictureJob>& decoded, BoundedQueue<PictureJob>& fitted);
    // Until `fitted` is closed and empty; then drains the encoder. An aborted
    // queue ends it at once. `beforePicture` (tests) runs before each job.
    void encode(BoundedQueue<PictureJob>& fitted, const std::function<void()>& beforePicture = nullptr);

    // The output time written so far (coded or left out), from any thread.
    double secondsDone() const;

private:
    // How many frames a coding of the picture on show stays on until its next
    // coding, with `framesLeft` of its frames to go, itself included.
    std::int64_t framesHeld(std::int64_t framesLeft, int timesCoded) const;

    PictureFitter fitter_;
    VideoEncoder& encoder_;
    PacketWriter& writer_;
    const std::atomic<bool>& stopRequested_;
    double frameSeconds_;
    std::atomic<std::int64_t> framesDone_{0};
};

}  // namespace conv
