#include "conversion.hpp"

#include "audio_track.hpp"
#include "encoding_stage.hpp"
#include "errors.hpp"
#include "picture_feed.hpp"
#include "source_media.hpp"

#include <algorithm>
#include <optional>

namespace conv {
namespace {

constexpr std::size_t kQueuedJobs = 16;

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
