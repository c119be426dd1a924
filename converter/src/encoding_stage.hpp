#pragma once

#include "amr_encoder.hpp"
#include "bounded_queue.hpp"
#include "output_file.hpp"
#include "video_encoder.hpp"

#include <cstdint>
#include <variant>
#include <vector>

namespace conv {

// A fitted picture; its pts is its output frame number.
struct PictureJob {
    FrameHandle picture;
};
// Output samples that follow the ones sent before.
struct SoundJob {
    std::vector<std::int16_t> samples;
};
using EncodeJob = std::variant<PictureJob, SoundJob>;

// The encoding side of a conversion, run on its own thread: encodes what the
// decoding side queues and writes the packets into the output file.
class EncodingStage {
public:
    // Either encoder may be missing when the source lacks that kind of stream.
    EncodingStage(OutputFile& output, VideoEncoder* video, AmrEncoder* audio);

    // Until the queue is closed and empty; then drains the encoders.
    void run(BoundedQueue<EncodeJob>& queue);

    std::int64_t picturesWritten() const { return picturesWritten_; }
    std::int64_t soundFramesWritten() const { return soundFramesWritten_; }

private:
    void writeVideo(AVPacket& packet);
    void writeSound(const AmrEncoder::Packet& encoded);

    OutputFile& output_;
    VideoEncoder* video_;
    AmrEncoder* audio_;
    int videoIndex_ = -1;
    int audioIndex_ = -1;
    PacketHandle soundPacket_;
    std::int64_t picturesWritten_ = 0;
    std::int64_t soundFramesWritten_ = 0;
};

} // namespace conv
