// The two video threads: fitting each picture, then coding it for its frames. Within video/ only.
#pragma once

#include "output/packet_writer.hpp"
#include "pipeline/bounded_queue.hpp"
#include "video/frame_rate_converter.hpp"
#include "video/picture_fitter.hpp"
#include "video/video_encoder.hpp"

#include <atomic>
#include <cstdint>
#include <functional>

namespace conv {

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
