#include "conversion.hpp"

#include "audio_stage.hpp"
#include "encoding_stage.hpp"
#include "errors.hpp"
#include "mp4_boxes.hpp"
#include "picture_feed.hpp"
#include "source_file.hpp"
#include "source_media.hpp"
#include "stage_thread.hpp"

#include <algorithm>
#include <limits>
#include <optional>

#include <unistd.h>

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
// Sound is handed over in batches of this many packets or chunks.
constexpr std::size_t kSoundBatch = 32;

std::size_t queuedPicturesFor(const AVCodecParameters& video)
{
    const double bytes = 1.5 * std::max(1, video.width) * std::max(1, video.height);
    return std::clamp(static_cast<std::size_t>(kQueuedPictureBytes / bytes), kFewestQueuedPictures,
                      kMostQueuedPictures);
}

// FFmpeg's 3GP muxer writes every H.263 sample description as profile 0,
// level 10 and offers no way to set them. The two bytes are put right in the
// finished file: a rewrite of FFmpeg's box writing would be far more code to
// keep in step than this patch of a 15-byte box at a place the file states.
void writeProfileAndLevel(int fd, std::int64_t size, H263ProfileLevel coded)
{
    const auto box = findBox(fd, size, {"moov", "trak", "mdia", "minf", "stbl", "stsd", "s263", "d263"});
    // size, type, vendor, decoder version, level, profile
    if (!box || box->size != 15)
        throw ConversionError("the 3GP file has no H.263 description to complete");
    const std::uint8_t levelAndProfile[2] = {static_cast<std::uint8_t>(coded.level),
                                             static_cast<std::uint8_t>(coded.profile)};
    if (pwrite(fd, levelAndProfile, 2, box->offset + 13) != 2)
        throw ConversionError("cannot complete the 3GP file's H.263 description", writeFailureKind(errno));
}

ConversionOutcome run(const ConversionRequest& request, SourceMedia& source, OutputFile& output,
                      ProgressReporter& progress, const std::atomic<bool>& stopRequested, const RunTuning& tuning,
                      double mostSeconds = std::numeric_limits<double>::infinity());

ConversionError stoppedOnRequest()
{
    return ConversionError("stopped on request", ConverterStatus::Stopped);
}

} // namespace

ConversionOutcome convert(const ConversionRequest& request, ProgressReporter& progress,
                          const std::atomic<bool>& stopRequested, const RunTuning& tuning,
                          const BeforeReading& beforeReading)
{
    if (auto problem = h263SizeProblem(request.width, request.height))
        throw ConversionError(*problem, ConverterStatus::UsageError);
    try {
        // Both files are opened, and their names checked, before anything is
        // read; then the converter confines itself.
        SourceFile input(request.inputPath, &stopRequested);
        OutputFile output(request.outputPath, request.replaceOutput);
        coreCount(); // before confinement hides where it is read
        if (beforeReading)
            beforeReading(ConfinedFiles{request.inputPath, output.folder().string(), output.descriptor()});
        SourceMedia source(request.inputPath, input.io(), &stopRequested, tuning.videoDecoderThreads);
        return run(request, source, output, progress, stopRequested, tuning);
    } catch (const ConversionError&) {
        // An interrupted read reports itself as a read error.
        if (stopRequested.load())
            throw stoppedOnRequest();
        throw;
    }
}

ConversionOutcome convertInMemory(const ConversionRequest& request, AVIOContext* input, ProgressReporter& progress,
                                  const std::atomic<bool>& stopRequested, const InMemoryLimits& limits)
{
    if (auto problem = h263SizeProblem(request.width, request.height))
        throw ConversionError(*problem, ConverterStatus::UsageError);
    // One decoder thread, so that the limit set below, after opening, is the
    // one every picture meets.
    SourceMedia source(request.inputPath, *input, &stopRequested, 1);
    if (DecodedStream* video = source.video())
        video->decoder->max_pixels = limits.mostPixels;
    OutputFile output = OutputFile::inMemory();
    return run(request, source, output, progress, stopRequested, RunTuning{}, limits.mostSeconds);
}

namespace {

ConversionOutcome run(const ConversionRequest& request, SourceMedia& source, OutputFile& output,
                      ProgressReporter& progress, const std::atomic<bool>& stopRequested, const RunTuning& tuning,
                      double mostSeconds)
{
    progress.setDuration(source.durationSeconds());
    progress.setReadFraction([&source] { return source.readFraction(); });
    struct ForgetSource {
        ProgressReporter& progress;
        ~ForgetSource() { progress.setReadFraction(nullptr); }
    } forgetSource{progress};

    DecodedStream* videoStream = source.video();
    DecodedStream* audioStream = source.audio();
    if (videoStream) {
        const AVCodecParameters& par = *videoStream->stream->codecpar;
        // Deblocking is invisible once the picture shrinks to a quarter or less.
        const bool muchSmaller = static_cast<double>(par.width) * par.height
                                 >= 4.0 * request.width * request.height;
        source.tuneVideoDecoder(DecoderTuning{muchSmaller});
    }

    const VideoSettings videoSettings{request.width, request.height, request.frameRate, request.videoKbps};
    std::optional<VideoEncoder> videoEncoder;
    std::optional<AmrEncoder> audioEncoder;
    if (videoStream)
        videoEncoder.emplace(videoSettings);
    if (audioStream)
        audioEncoder.emplace(amrModeFor(request.audioKbps));
    PacketWriter writer(output, videoEncoder ? &*videoEncoder : nullptr, audioStream != nullptr);
    output.start();

    BoundedQueue<PictureJob> pictureQueue(videoStream ? queuedPicturesFor(*videoStream->stream->codecpar) : 1,
                                          &stopRequested);
    BoundedQueue<PictureJob> fittedQueue(kQueuedFittedPictures, &stopRequested);
    BoundedQueue<PacketHandle> soundQueue(kQueuedSoundPackets, &stopRequested, kSoundBatch);
    BoundedQueue<AudioStage::Samples> samplesQueue(kQueuedSoundChunks, &stopRequested, kSoundBatch);
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
            throw stoppedOnRequest();
        if (secondsDone() > mostSeconds)
            throw ConversionError("the output would be longer than allowed");
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
            // A still picture with sound stays on as long as the sound plays, so
            // the pictures end only when the sound threads have.
            soundQueue.close();
            if (soundThread)
                soundThread->join();
            if (amrThread)
                amrThread->join();
            checkStop();
            failures.rethrowIfAny();
            if (pictures)
                pictures->finish(audioStage ? audioStage->secondsDone() : 0);
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
                                  + request.inputPath + "'",
                              ConverterStatus::SourceDamaged);
    OutputFile::Touch completeDescription;
    if (videoStream)
        completeDescription = [&](int fd, std::int64_t size) {
            writeProfileAndLevel(fd, size, h263ProfileAndLevel(videoSettings));
        };
    output.finish(completeDescription);
    progress.finish(secondsDone());
    const int damaged = source.damagedPackets() + (audioStage ? audioStage->damagedPackets() : 0);
    return ConversionOutcome{damaged, source.concealedErrors(), source.endedEarly(), secondsDone(),
                             source.durationSeconds()};
}

} // namespace

} // namespace conv
