#include "conversion.hpp"

#include "audio_track.hpp"
#include "encoding_stage.hpp"
#include "errors.hpp"
#include "mp4_boxes.hpp"
#include "picture_feed.hpp"
#include "source_media.hpp"

#include <algorithm>
#include <limits>
#include <optional>

#include <unistd.h>

namespace conv {
namespace {

constexpr std::size_t kQueuedJobs = 16;

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
        throw ConversionError("cannot complete the 3GP file's H.263 description");
}

ConversionOutcome run(const ConversionRequest& request, SourceMedia& source, OutputFile& output,
                      ProgressReporter& progress, const std::atomic<bool>& stopRequested,
                      double mostSeconds = std::numeric_limits<double>::infinity());

} // namespace

ConversionOutcome convert(const ConversionRequest& request, ProgressReporter& progress,
                          const std::atomic<bool>& stopRequested)
{
    if (auto problem = h263SizeProblem(request.width, request.height))
        throw ConversionError(*problem);
    try {
        SourceMedia source(request.inputPath, nullptr, &stopRequested);
        OutputFile output(request.outputPath, request.replaceOutput);
        return run(request, source, output, progress, stopRequested);
    } catch (const ConversionError&) {
        // An interrupted read reports itself as a read error.
        if (stopRequested.load())
            throw ConversionError("stopped on request");
        throw;
    }
}

ConversionOutcome convertInMemory(const ConversionRequest& request, AVIOContext* input, ProgressReporter& progress,
                                  const std::atomic<bool>& stopRequested, const InMemoryLimits& limits)
{
    if (auto problem = h263SizeProblem(request.width, request.height))
        throw ConversionError(*problem);
    SourceMedia source(request.inputPath, input, &stopRequested);
    if (DecodedStream* video = source.video())
        video->decoder->max_pixels = limits.mostPixels;
    OutputFile output = OutputFile::inMemory();
    return run(request, source, output, progress, stopRequested, limits.mostSeconds);
}

namespace {

ConversionOutcome run(const ConversionRequest& request, SourceMedia& source, OutputFile& output,
                      ProgressReporter& progress, const std::atomic<bool>& stopRequested, double mostSeconds)
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
        if (secondsDone() > mostSeconds)
            throw ConversionError("the output would be longer than allowed");
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
            if (sound)
                sendSound(sound->drain());
            if (pictures)
                pictures->finish(sound ? sound->secondsDone() : 0);
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
    OutputFile::Touch completeDescription;
    if (videoStream)
        completeDescription = [&](int fd, std::int64_t size) {
            writeProfileAndLevel(fd, size, h263ProfileAndLevel(videoSettings));
        };
    output.finish(completeDescription);
    progress.update(secondsDone());
    progress.finish();
    return ConversionOutcome{source.damagedPackets(), source.concealedErrors(), source.endedEarly(), secondsDone(),
                             source.durationSeconds()};
}

} // namespace

} // namespace conv
