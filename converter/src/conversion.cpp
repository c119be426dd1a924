// One conversion run: the request checked against what H.263 can code, the source
// opened (a named file, or bytes already in memory), an encoder made for each kind of
// stream it has, the video and sound pipelines run side by side on their own threads
// into the 3GP file with progress reported as they go, and the file completed and
// given its name. What the run met on the way (damage skipped, sound left out, a rate
// lowered) comes back in its outcome.

#include "conversion.hpp"

#include "audio/amr_encoder.hpp"
#include "audio/audio_pipeline.hpp"
#include "base/errors.hpp"
#include "output/mp4_boxes.hpp"
#include "output/output_file.hpp"
#include "output/output_place.hpp"
#include "output/packet_writer.hpp"
#include "pipeline/progress_ticker.hpp"
#include "pipeline/stage_group.hpp"
#include "source/source_file.hpp"
#include "source/source_media.hpp"
#include "video/video_encoder.hpp"
#include "video/video_pipeline.hpp"

#include <limits>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <unistd.h>

namespace conv {
namespace {

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

}  // namespace

void checkRequest(const ConversionRequest& request)
{
    if (auto problem = h263SizeProblem(request.width, request.height))
        throw ConversionError(*problem, ConverterStatus::UsageError);
}

ConversionOutcome convertOpened(const ConversionRequest& request, SourceFile& input, int output,
                                ProgressReporter& progress, const std::atomic<bool>& stopRequested,
                                const RunTuning& tuning)
{
    try {
        OutputFile written(output, request.outputPath);
        SourceMedia source(request.inputPath, input.io(), &stopRequested, tuning.videoDecoderThreads);
        if (tuning.sourceOpened)
            tuning.sourceOpened(source.durationSeconds());
        return run(request, source, written, progress, stopRequested, tuning);
    } catch (const ConversionError&) {
        // An interrupted read reports itself as a read error.
        if (stopRequested.load())
            throw stoppedOnRequest();
        throw;
    }
}

ConversionOutcome convert(const ConversionRequest& request, ProgressReporter& progress,
                          const std::atomic<bool>& stopRequested, const RunTuning& tuning)
{
    checkRequest(request);
    SourceFile input(openSourceFile(request.inputPath), &stopRequested);
    OutputPlace place(request.outputPath, request.replaceOutput);
    const ConversionOutcome outcome =
        convertOpened(request, input, place.descriptor(), progress, stopRequested, tuning);
    place.placeResult(outcome.secondsConverted);
    return outcome;
}

ConversionOutcome convertInMemory(const ConversionRequest& request, AVIOContext* input, ProgressReporter& progress,
                                  const std::atomic<bool>& stopRequested, const InMemoryLimits& limits)
{
    checkRequest(request);
    // One decoder thread, so that the limit set below, after opening, is the
    // one every picture meets.
    SourceMedia source(request.inputPath, *input, &stopRequested, 1);
    if (DecodedStream* video = source.video())
        video->decoder->max_pixels = limits.mostPixels;
    OutputFile output = OutputFile::inMemory();
    return run(request, source, output, progress, stopRequested, RunTuning{}, limits.mostSeconds);
}

namespace {

// While the run lasts, its progress shows the source's duration and how much
// of it is read. The reading thread notes how much after each packet; the
// lines are printed from another thread.
class ReadingShown {
public:
    ReadingShown(ProgressReporter& progress, const SourceMedia& source) : progress_(progress), source_(source)
    {
        progress.setDuration(source.durationSeconds());
        progress.setReadFraction([this] { return fraction_.load(); });
    }
    ~ReadingShown()
    {
        progress_.setReadFraction(nullptr);
        progress_.setSecondsRead(nullptr);
    }
    ReadingShown(const ReadingShown&) = delete;
    ReadingShown& operator=(const ReadingShown&) = delete;

    void noteRead() { fraction_.store(source_.readFraction()); }
    // How far the reading has got: what the furthest stage has made.
    void follow(const StageGroup& stages)
    {
        progress_.setSecondsRead([&stages] { return stages.secondsDone(); });
    }

private:
    ProgressReporter& progress_;
    const SourceMedia& source_;
    std::atomic<double> fraction_{-1};
};

void tuneVideoDecoder(SourceMedia& source, const ConversionRequest& request)
{
    const AVCodecParameters& par = *source.video()->stream->codecpar;
    // Deblocking is invisible once the picture shrinks to a quarter or less.
    const bool muchSmaller = static_cast<double>(par.width) * par.height >= 4.0 * request.width * request.height;
    source.tuneVideoDecoder(DecoderTuning{muchSmaller});
}

// Completes the output file. A video whose pictures all fail
// is a failed conversion, not a sound file. The level claimed is the one the
// written video fits, whatever rate was asked for.
void finishOutput(OutputFile& output, const PacketWriter& writer, const ConversionRequest& request,
                  const VideoSettings* video)
{
    if (video ? writer.picturesWritten() == 0 : writer.soundFramesWritten() == 0)
        throw ConversionError(
            std::string("no ") + (video ? "picture" : "sound") + " could be decoded from '" + request.inputPath + "'",
            ConverterStatus::SourceDamaged);
    OutputFile::Touch completeDescription;
    if (video) {
        const VideoSettings written{video->width, video->height, video->frameRate, writer.videoKbpsWritten()};
        completeDescription = [written](int fd, std::int64_t size) {
            writeProfileAndLevel(fd, size, h263ProfileAndLevel(written));
        };
    }
    output.finish(completeDescription);
}

// Read, decode, encode, write: the reading thread demuxes the source and
// decodes its pictures, and hands each picture and sound packet to the
// pipeline of its kind; at the end of the source both pipelines are drained
// and the file is completed.
ConversionOutcome run(const ConversionRequest& request, SourceMedia& source, OutputFile& output,
                      ProgressReporter& progress, const std::atomic<bool>& stopRequested, const RunTuning& tuning,
                      double mostSeconds)
{
    ReadingShown shown(progress, source);
    DecodedStream* videoStream = source.video();
    DecodedStream* audioStream = source.audio();
    if (videoStream)
        tuneVideoDecoder(source, request);

    // The output: an encoder for each kind of stream the source has.
    std::vector<std::string> notices;
    VideoSettings videoSettings{request.width, request.height, request.frameRate, request.videoKbps};
    if (videoStream)
        if (auto lowered = holdToPictureLimit(videoSettings))
            notices.push_back(*lowered);
    if (!source.soundLeftOut().empty())
        notices.push_back("warning: the sound is left out, only the pictures are converted (" + source.soundLeftOut() +
                          ")");
    std::optional<VideoEncoder> videoEncoder;
    std::optional<AmrEncoder> audioEncoder;
    if (videoStream)
        videoEncoder.emplace(videoSettings);
    if (audioStream)
        audioEncoder.emplace(amrModeFor(request.audioKbps));
    std::optional<PacketWriter::SoundFrames> sound;
    if (audioStream)
        sound = PacketWriter::SoundFrames{AmrEncoder::kSampleRate, AmrEncoder::kFrameSamples};
    PacketWriter writer(output, videoEncoder ? &videoEncoder->context() : nullptr, sound);
    output.start();

    StageGroup stages(stopRequested, mostSeconds);
    std::optional<VideoPipeline> video;
    std::optional<AudioPipeline> audio;
    if (videoStream)
        video.emplace(request, *videoStream, source.originSeconds(), *videoEncoder, writer, stages,
                      tuning.pictureDecoded, tuning.pictureEncoding);
    if (audioStream)
        audio.emplace(*audioStream, source.originSeconds(), !request.keepSoundLevel, *audioEncoder, writer, stages,
                      tuning.soundDecoding);

    shown.follow(stages);
    std::optional<ProgressTicker> ticker(std::in_place, progress, [&stages] { return stages.secondsWritten(); });
    stages.run([&] {
        source.readAll(
            [&](AVFrame& picture) {
                stages.checkStop();
                video->take(picture);
                shown.noteRead();
            },
            [&](AVPacket& packet) {
                stages.checkStop();
                audio->take(packet);
                shown.noteRead();
            },
            [&](const AVPacket& packet) { return video->wants(packet); });
        // A still picture with sound stays on as long as the sound plays, so
        // the pictures end only when the sound has.
        const double soundEnd = audio ? audio->finish() : 0;
        stages.check();
        if (video)
            video->finish(soundEnd);
    });

    ticker.reset();
    finishOutput(output, writer, request, videoStream ? &videoSettings : nullptr);
    progress.finish(stages.secondsDone());
    const int damaged = source.damagedPackets() + (audio ? audio->damagedPackets() : 0);
    return ConversionOutcome{damaged,
                             source.concealedErrors(),
                             source.endedEarly(),
                             stages.secondsDone(),
                             source.durationSeconds(),
                             std::move(notices)};
}

}  // namespace

}  // namespace conv
