#include "conversion.hpp"

#include "audio_stage.hpp"
#include "encoding_stage.hpp"
#include "errors.hpp"
#include "picture_feed.hpp"
#include "source_media.hpp"
#include "stage_thread.hpp"

#include <algorithm>
#include <optional>

namespace conv {
namespace {

// Decoded pictures waiting to be fitted: as many as fit in this many bytes
// (a queue rides out the moments another program holds a core), within limits.
constexpr double kQueuedPictureBytes = 12e6;
constexpr std::size_t kFewestQueuedPictures = 4;
constexpr std::size_t kMostQueuedPictures = 32;
// Fitted pictures waiting for the encoder (small ones).
constexpr std::size_t kQueuedFittedPictures = 16;
// Sound packets waiting for the audio thread: a few seconds of sound; and
// decoded sound waiting for the AMR-NB encoder, a similar amount.
constexpr std::size_t kQueuedSoundPackets = 256;
constexpr std::size_t kQueuedSoundChunks = 256;

std::size_t queuedPicturesFor(const AVCodecParameters& video)
{
    const double bytes = 1.5 * std::max(1, video.width) * std::max(1, video.height);
    return std::clamp(static_cast<std::size_t>(kQueuedPictureBytes / bytes), kFewestQueuedPictures,
                      kMostQueuedPictures);
}

} // namespace

ConversionOutcome convert(const ConversionRequest& request, ProgressReporter& progress,
                          const std::atomic<bool>& stopRequested, const RunTuning& tuning)
{
    if (auto problem = h263SizeProblem(request.width, request.height))
        throw ConversionError(*problem);

    SourceMedia source(request.inputPath, nullptr, tuning.videoDecoderThreads);
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
    PacketWriter writer(output, videoEncoder ? &*videoEncoder : nullptr, audioStream != nullptr);
    output.start();

    BoundedQueue<PictureJob> pictureQueue(videoStream ? queuedPicturesFor(*videoStream->stream->codecpar) : 1,
                                          &stopRequested);
    BoundedQueue<PictureJob> fittedQueue(kQueuedFittedPictures, &stopRequested);
    BoundedQueue<PacketHandle> soundQueue(kQueuedSoundPackets, &stopRequested);
    BoundedQueue<AudioStage::Samples> samplesQueue(kQueuedSoundChunks, &stopRequested);
    const auto stopAll = [&] {
        pictureQueue.abort();
        fittedQueue.abort();
        soundQueue.abort();
        samplesQueue.abort();
    };

    std::optional<PictureFeed> pictures;
    std::optional<VideoStage> videoStage;
    std::optional<AudioStage> audioStage;
    if (videoStream) {
        pictures.emplace(request, *videoStream->stream, source.originSeconds(), pictureQueue);
        const OutputFrame frame{request.width, request.height, h263PixelAspect(request.width, request.height)};
        videoStage.emplace(PictureFitter(frame, clockwiseQuarterTurns(*videoStream->stream),
                                         videoStream->stream->sample_aspect_ratio),
                           *videoEncoder, writer);
    }
    if (audioStream)
        audioStage.emplace(*audioStream->decoder, audioStream->stream->time_base, source.originSeconds(),
                           *audioEncoder, writer);

    const auto secondsDone = [&] {
        return std::max(pictures ? pictures->secondsDone() : 0.0, audioStage ? audioStage->secondsDone() : 0.0);
    };
    const auto checkStop = [&] {
        if (stopRequested.load())
            throw ConversionError("stopped on request");
    };

    FirstFailure failures;
    {
        std::optional<StageThread> fitThread;
        std::optional<StageThread> encodeThread;
        std::optional<StageThread> soundThread;
        std::optional<StageThread> amrThread;
        const auto joinAll = [&] {
            for (auto* thread : {&fitThread, &encodeThread, &soundThread, &amrThread})
                if (*thread)
                    (*thread)->join();
        };
        try {
            if (videoStage) {
                fitThread.emplace([&] { videoStage->fit(pictureQueue, fittedQueue); }, failures, stopAll);
                encodeThread.emplace([&] { videoStage->encode(fittedQueue, tuning.pictureEncoding); }, failures,
                                     stopAll);
            }
            if (audioStage) {
                soundThread.emplace([&] { audioStage->decode(soundQueue, samplesQueue, tuning.soundDecoding); },
                                    failures, stopAll);
                amrThread.emplace([&] { audioStage->encode(samplesQueue); }, failures, stopAll);
            }
            source.readAll(
                [&](AVFrame& frame) {
                    checkStop();
                    pictures->take(frame);
                    if (tuning.pictureDecoded)
                        tuning.pictureDecoded();
                    progress.update(secondsDone());
                },
                [&](AVPacket& packet) {
                    checkStop();
                    PacketHandle queued = allocatePacket();
                    av_packet_move_ref(queued.get(), &packet);
                    if (!soundQueue.push(std::move(queued)))
                        throw ConversionError("encoding stopped");
                    progress.update(secondsDone());
                },
                [&](const AVPacket& packet) { return pictures->wants(packet); });
            if (pictures)
                pictures->finish();
        } catch (...) {
            // A stop request or another thread's failure is the cause worth
            // reporting; what this thread met is mostly the stop they caused.
            stopAll();
            joinAll();
            checkStop();
            failures.rethrowIfAny();
            throw;
        }
        pictureQueue.close();
        soundQueue.close();
        joinAll();
        checkStop();
        failures.rethrowIfAny();
    }

    // A video whose pictures all fail is a failed conversion, not a sound file.
    if (videoStream ? writer.picturesWritten() == 0 : writer.soundFramesWritten() == 0)
        throw ConversionError(std::string("no ") + (videoStream ? "picture" : "sound") + " could be decoded from '"
                              + request.inputPath + "'");
    output.finish();
    progress.update(secondsDone());
    progress.finish();
    const int damaged = source.damagedPackets() + (audioStage ? audioStage->damagedPackets() : 0);
    return ConversionOutcome{damaged, source.endedEarly(), secondsDone(), source.durationSeconds()};
}

} // namespace conv
