#include "conversion.hpp"

#include "audio_track.hpp"
#include "encoding_stage.hpp"
#include "errors.hpp"
#include "frame_rate_converter.hpp"
#include "picture_fitter.hpp"
#include "source_media.hpp"
#include "stream_clock.hpp"

#include <algorithm>
#include <exception>
#include <optional>
#include <thread>

namespace conv {
namespace {

constexpr std::size_t kQueuedJobs = 16;

double frameDurationSeconds(const AVFrame& frame, const AVStream& stream, AVRational outputRate)
{
    if (frame.pkt_duration > 0)
        return static_cast<double>(frame.pkt_duration) * av_q2d(stream.time_base);
    for (AVRational rate : {stream.avg_frame_rate, stream.r_frame_rate})
        if (rate.num > 0 && rate.den > 0 && av_q2d(rate) < 1000)
            return 1.0 / av_q2d(rate);
    return 1.0 / av_q2d(outputRate);
}

// The picture side of the decoding thread: puts pictures on the output frame
// grid and sends the ones that are shown, fitted to the output size.
class PictureFeed {
public:
    PictureFeed(const ConversionRequest& request, const AVStream& stream, double originSeconds,
                BoundedQueue<EncodeJob>& queue)
        : stream_(stream), outputRate_(request.frameRate),
          fitter_(OutputFrame{request.width, request.height, h263PixelAspect(request.width, request.height)},
                  clockwiseQuarterTurns(stream), stream.sample_aspect_ratio),
          clock_(stream.time_base, originSeconds), originSeconds_(originSeconds), rate_(request.frameRate),
          queue_(queue)
    {
    }

    void take(AVFrame& frame)
    {
        const double duration = frameDurationSeconds(frame, stream_, outputRate_);
        const double start = clock_.place(frame.best_effort_timestamp, duration);
        send(rate_.nextPicture(start));
        held_ = allocateFrame();
        av_frame_move_ref(held_.get(), &frame);
        heldEnd_ = start + duration;
    }

    void finish() { send(rate_.finish(heldEnd_)); }

    // Packets whose timing is unclear are always wanted.
    bool wants(const AVPacket& packet) const
    {
        if (packet.pts == AV_NOPTS_VALUE || packet.duration <= 0 || clock_.rebased())
            return true;
        const double tick = av_q2d(stream_.time_base);
        const double start = static_cast<double>(packet.pts) * tick - originSeconds_;
        return rate_.wouldShow(start, static_cast<double>(packet.duration) * tick);
    }

    double secondsDone() const { return static_cast<double>(rate_.slotsDone()) / av_q2d(outputRate_); }

private:
    void send(SlotRange slots)
    {
        if (slots.count() <= 0 || !held_)
            return;
        FrameHandle fitted = fitter_.fit(*held_);
        for (std::int64_t slot = slots.first; slot < slots.end; ++slot) {
            FrameHandle copy(av_frame_clone(fitted.get()));
            if (!copy)
                throw std::bad_alloc();
            copy->pts = slot;
            if (!queue_.push(PictureJob{std::move(copy)}))
                throw ConversionError("encoding stopped");
        }
    }

    const AVStream& stream_;
    AVRational outputRate_;
    PictureFitter fitter_;
    StreamClock clock_;
    double originSeconds_;
    FrameRateConverter rate_;
    BoundedQueue<EncodeJob>& queue_;
    FrameHandle held_;
    double heldEnd_ = 0;
};

// Runs the encoding stage on its own thread and always joins it.
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

} // namespace

ConversionOutcome convert(const ConversionRequest& request, ProgressReporter& progress,
                          const std::atomic<bool>& stopRequested)
{
    if (auto problem = h263SizeProblem(request.width, request.height))
        throw ConversionError(*problem);

    SourceMedia source(request.inputPath);
    progress.setDuration(source.durationSeconds());

    DecodedStream* videoStream = source.video();
    DecodedStream* audioStream = source.audio();
    if (videoStream) {
        const AVCodecParameters& par = *videoStream->stream->codecpar;
        // Deblocking is invisible once the picture shrinks to a quarter or less.
        const bool muchSmaller = static_cast<double>(par.width) * par.height
                                 >= 4.0 * request.width * request.height;
        source.tuneVideoDecoder(DecoderTuning{muchSmaller});
    }

    OutputFile output(request.outputPath, request.replaceOutput);
    std::optional<VideoEncoder> videoEncoder;
    std::optional<AmrEncoder> audioEncoder;
    if (videoStream)
        videoEncoder.emplace(VideoSettings{request.width, request.height, request.frameRate, request.videoKbps});
    if (audioStream)
        audioEncoder.emplace(amrModeFor(request.audioKbps));

    EncodingStage stage(output, videoEncoder ? &*videoEncoder : nullptr, audioEncoder ? &*audioEncoder : nullptr);
    output.start();

    BoundedQueue<EncodeJob> queue(kQueuedJobs);
    std::optional<PictureFeed> pictures;
    std::optional<AudioTrack> sound;
    if (videoStream)
        pictures.emplace(request, *videoStream->stream, source.originSeconds(), queue);
    if (audioStream)
        sound.emplace(audioStream->stream->time_base, source.originSeconds());

    const auto secondsDone = [&] {
        return std::max(pictures ? pictures->secondsDone() : 0.0, sound ? sound->secondsDone() : 0.0);
    };
    const auto checkStop = [&] {
        if (stopRequested.load())
            throw ConversionError("stopped on request");
    };
    const auto sendSound = [&](std::vector<std::int16_t> samples) {
        if (!samples.empty() && !queue.push(SoundJob{std::move(samples)}))
            throw ConversionError("encoding stopped");
    };

    {
        EncodingThread encoding(stage, queue);
        try {
            source.decodeAll(
            [&](AVFrame& frame) {
                checkStop();
                pictures->take(frame);
                progress.update(secondsDone());
            },
            [&](AVFrame& frame) {
                checkStop();
                sendSound(sound->take(frame));
                progress.update(secondsDone());
            },
            [&](const AVPacket& packet) { return pictures->wants(packet); });
            if (pictures)
                pictures->finish();
            if (sound)
                sendSound(sound->drain());
        } catch (...) {
            encoding.stopAndRethrowFailure();
            throw;
        }
        encoding.finish();
    }

    // A video whose pictures all fail is a failed conversion, not a sound file.
    if (videoStream ? stage.picturesWritten() == 0 : stage.soundFramesWritten() == 0)
        throw ConversionError(std::string("no ") + (videoStream ? "picture" : "sound") + " could be decoded from '"
                              + request.inputPath + "'");
    output.finish();
    progress.update(secondsDone());
    progress.finish();
    return ConversionOutcome{source.damagedPackets(), source.endedEarly(), secondsDone(), source.durationSeconds()};
}

} // namespace conv
