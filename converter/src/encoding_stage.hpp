#pragma once

#include "amr_encoder.hpp"
#include "bounded_queue.hpp"
#include "output_file.hpp"
#include "video_encoder.hpp"

#include <cstdint>
#include <exception>
#include <thread>
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

// Runs an encoding stage on its own thread and always joins it.
class EncodingThread {
public:
    EncodingThread(EncodingStage& stage, BoundedQueue<EncodeJob>& queue)
        : queue_(queue), thread_([this, &stage] {
              try {
                  stage.run(queue_);
              } catch (...) {
                  failure_ = std::current_exception();
                  queue_.abort();
              }
          })
    {
    }
    ~EncodingThread() { stop(); }

    // Lets the stage finish what is queued, then reports its failure if any.
    void finish()
    {
        queue_.close();
        thread_.join();
        rethrowFailure();
    }

    // After the decoding side failed: the encoding side's own failure, if it
    // had one, is the cause worth reporting.
    void stopAndRethrowFailure()
    {
        stop();
        rethrowFailure();
    }

private:
    void stop()
    {
        queue_.abort();
        if (thread_.joinable())
            thread_.join();
    }
    void rethrowFailure()
    {
        if (failure_)
            std::rethrow_exception(failure_);
    }

    BoundedQueue<EncodeJob>& queue_;
    std::exception_ptr failure_;
    std::thread thread_;
};

} // namespace conv
