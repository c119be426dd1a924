#include "video/video_pipeline.hpp"

#include "source/source_media.hpp"
#include "video/frame_geometry.hpp"

#include <algorithm>

namespace conv {
namespace {

// Decoded pictures waiting to be fitted: as many as fit in this many bytes
// (a queue rides out the moments another program holds a core), within limits.
constexpr double kQueuedPictureBytes = 12e6;
constexpr std::size_t kFewestQueuedPictures = 4;
constexpr std::size_t kMostQueuedPictures = 32;
// Fitted pictures waiting for the encoder (small ones).
constexpr std::size_t kQueuedFittedPictures = 16;

std::size_t queuedPicturesFor(const AVCodecParameters& video)
{
    const double bytes = 1.5 * std::max(1, video.width) * std::max(1, video.height);
    return std::clamp(static_cast<std::size_t>(kQueuedPictureBytes / bytes), kFewestQueuedPictures,
                      kMostQueuedPictures);
}

PictureFitter fitterFor(const ConversionRequest& request, const AVStream& stream)
{
    const OutputFrame frame{request.width, request.height, h263PixelAspect(request.width, request.height)};
    return PictureFitter(frame, clockwiseQuarterTurns(stream), stream.sample_aspect_ratio);
}

}  // namespace

VideoPipeline::VideoPipeline(const ConversionRequest& request, const DecodedStream& video, double originSeconds,
                             VideoEncoder& encoder, PacketWriter& writer, StageGroup& stages,
                             std::function<void()> pictureDecoded, std::function<void()> pictureEncoding)
    : decoded_(queuedPicturesFor(*video.stream->codecpar), stages.stopRequested()),
      fitted_(kQueuedFittedPictures, stages.stopRequested()),
      feed_(request, *video.stream, originSeconds, decoded_),
      stage_(fitterFor(request, *video.stream), encoder, writer, *stages.stopRequested()),
      pictureDecoded_(std::move(pictureDecoded)),
      pictureEncoding_(std::move(pictureEncoding)),
      membership_(stages, {[this] { abortQueues(); }, [this] { joinThreads(); }, [this] { return secondsDone(); }}),
      fitting_(stages.startThread([this] { stage_.fit(decoded_, fitted_); })),
      encoding_(stages.startThread([this] { stage_.encode(fitted_, pictureEncoding_); }))
{}

VideoPipeline::~VideoPipeline()
{
    abortQueues();
    joinThreads();
}

void VideoPipeline::take(AVFrame& picture)
{
    feed_.take(picture);
    if (pictureDecoded_)
        pictureDecoded_();
}

void VideoPipeline::finish(double soundEndSeconds)
{
    feed_.finish(soundEndSeconds);
    decoded_.close();
    joinThreads();
    membership_.finished();
}

void VideoPipeline::abortQueues()
{
    decoded_.abort();
    fitted_.abort();
}

void VideoPipeline::joinThreads()
{
    fitting_.join();
    encoding_.join();
}

}  // namespace conv
