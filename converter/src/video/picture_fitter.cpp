#include "video/picture_fitter.hpp"

#include "base/errors.hpp"

#include <cstring>
#include <mutex>

extern "C" {
#include <libavutil/cpu.h>
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
}

namespace conv {
namespace {

FrameHandle newPicture(int width, int height)
{
    FrameHandle picture = allocateFrame();
    picture->format = AV_PIX_FMT_YUV420P;
    picture->width = width;
    picture->height = height;
    checkAv(av_frame_get_buffer(picture.get(), 0), "cannot allocate a picture");
    return picture;
}

// FFmpeg 5.1's AVX2 horizontal scaler fetches pixels with gather
// instructions, which many processors run slowly (AMD's, and Intel's under
// the gather microcode fix); FFmpeg's later releases skip it on such
// processors. Its SSE scaler gives the same pixels, at 640x480 to 352x264 in
// three quarters of the time. The scaler picks its code when it is made, from
// the process's processor flags, so they leave out AVX2 for that moment only.
// A decoder opened meanwhile on another thread would pick SSE code as well:
// slower, never different, as FFmpeg's decoders give the same pixels on every
// code path.
SwsContext* bicubicScaler(int width, int height, AVPixelFormat format, int scaledWidth, int scaledHeight)
{
    static std::mutex flagsInUse;
    const std::lock_guard lock(flagsInUse);
    const int processorFlags = av_get_cpu_flags();
    av_force_cpu_flags(processorFlags & ~AV_CPU_FLAG_AVX2);
    SwsContext* scaler = sws_getContext(width, height, format, scaledWidth, scaledHeight, AV_PIX_FMT_YUV420P,
                                        SWS_BICUBIC, nullptr, nullptr, nullptr);
    av_force_cpu_flags(processorFlags);
    return scaler;
}

void fillBlack(AVFrame& picture)
{
    const int chromaHeight = (picture.height + 1) / 2;
    for (int y = 0; y < picture.height; ++y)
        std::memset(picture.data[0] + y * picture.linesize[0], 16, static_cast<std::size_t>(picture.width));
    for (int plane = 1; plane < 3; ++plane)
        for (int y = 0; y < chromaHeight; ++y)
            std::memset(picture.data[plane] + y * picture.linesize[plane], 128,
                        static_cast<std::size_t>((picture.width + 1) / 2));
}

void copyPlaneTurned(const std::uint8_t* source, int sourceStride, int sourceWidth, int sourceHeight,
                     std::uint8_t* target, int targetStride, int quarterTurns)
{
    if (quarterTurns == 0) {
        for (int sy = 0; sy < sourceHeight; ++sy)
            std::memcpy(target + sy * targetStride, source + sy * sourceStride, static_cast<std::size_t>(sourceWidth));
        return;
    }
    for (int sy = 0; sy < sourceHeight; ++sy) {
        const std::uint8_t* row = source + sy * sourceStride;
        for (int sx = 0; sx < sourceWidth; ++sx) {
            int tx = sx, ty = sy;
            switch (quarterTurns) {
            case 1:
                tx = sourceHeight - 1 - sy;
                ty = sx;
                break;
            case 2:
                tx = sourceWidth - 1 - sx;
                ty = sourceHeight - 1 - sy;
                break;
            case 3:
                tx = sy;
                ty = sourceWidth - 1 - sx;
                break;
            default: break;
            }
            target[ty * targetStride + tx] = row[sx];
        }
    }
}

// An interlaced picture holds two moments, line by line; scaled as one they
// comb on every moving edge. One field alone (every other line, pixels twice
// as tall) is a single moment. Formats whose planes are not rows of the
// picture (palettes) are left as they are.
bool showsOneFieldOnly(const AVFrame& source)
{
    if (!source.interlaced_frame || source.height < 4)
        return false;
    const AVPixFmtDescriptor* format = av_pix_fmt_desc_get(static_cast<AVPixelFormat>(source.format));
    return format && !(format->flags & (AV_PIX_FMT_FLAG_PAL | AV_PIX_FMT_FLAG_HWACCEL | AV_PIX_FMT_FLAG_BITSTREAM));
}

// The top field of `source`, sharing its data; the caller keeps `source` alive.
AVFrame topField(const AVFrame& source, AVRational fallbackAspect)
{
    AVFrame field = source;
    for (int plane = 0; plane < AV_NUM_DATA_POINTERS && field.data[plane]; ++plane)
        field.linesize[plane] *= 2;
    field.height = source.height / 2;
    const AVRational aspect = source.sample_aspect_ratio.num > 0 ? source.sample_aspect_ratio : fallbackAspect;
    field.sample_aspect_ratio = av_mul_q(aspect.num > 0 ? aspect : AVRational{1, 1}, AVRational{1, 2});
    field.interlaced_frame = 0;
    return field;
}

// Separate rows (restrict) let the compiler run this sixteen pixels at a time.
void halveRow(const std::uint8_t* __restrict top, const std::uint8_t* __restrict bottom, std::uint8_t* __restrict out,
              int halfWidth)
{
    for (int x = 0; x < halfWidth; ++x)
        out[x] = static_cast<std::uint8_t>((top[2 * x] + top[2 * x + 1] + bottom[2 * x] + bottom[2 * x + 1] + 2) >> 2);
}

void averageRows(const std::uint8_t* __restrict top, const std::uint8_t* __restrict bottom,
                 std::uint8_t* __restrict out, int width)
{
    for (int x = 0; x < width; ++x)
        out[x] = static_cast<std::uint8_t>((top[x] + bottom[x] + 1) >> 1);
}

bool halvable(int format) { return format == AV_PIX_FMT_YUV420P || format == AV_PIX_FMT_YUVJ420P; }

}  // namespace

Reduction reductionBeforeScaling(int sourceWidth, int sourceHeight, int targetWidth, int targetHeight)
{
    // The scaler's own filter must still do a 2:1 reduction or more: the box
    // average alone would show in the picture (0.3 dB at 640x480 to 176x144).
    // Lines alone cost less (0.08 dB there) and take half the scaler's work;
    // after a halving the two averages add up, so never both.
    Reduction reduction;
    while (sourceWidth % 4 == 0 && sourceHeight % 4 == 0 && sourceWidth >= 4 * targetWidth &&
           sourceHeight >= 4 * targetHeight) {
        sourceWidth /= 2;
        sourceHeight /= 2;
        ++reduction.halvings;
    }
    reduction.halveLines = reduction.halvings == 0 && sourceHeight % 4 == 0 && sourceHeight >= 3 * targetHeight;
    return reduction;
}

void halvePlane(const std::uint8_t* source, int sourceStride, int width, int height, std::uint8_t* target,
                int targetStride)
{
    for (int y = 0; y + 1 < height; y += 2)
        halveRow(source + y * sourceStride, source + (y + 1) * sourceStride, target + (y / 2) * targetStride,
                 width / 2);
}

void halvePlaneLines(const std::uint8_t* source, int sourceStride, int width, int height, std::uint8_t* target,
                     int targetStride)
{
    for (int y = 0; y + 1 < height; y += 2)
        averageRows(source + y * sourceStride, source + (y + 1) * sourceStride, target + (y / 2) * targetStride, width);
}

void copyTurned(const AVFrame& source, AVFrame& target, int x, int y, int clockwiseQuarterTurns)
{
    for (int plane = 0; plane < 3; ++plane) {
        const int shift = plane ? 1 : 0;
        std::uint8_t* origin = target.data[plane] + (y >> shift) * target.linesize[plane] + (x >> shift);
        copyPlaneTurned(source.data[plane], source.linesize[plane], source.width >> shift, source.height >> shift,
                        origin, target.linesize[plane], clockwiseQuarterTurns);
    }
}

PictureFitter::PictureFitter(OutputFrame frame, int clockwiseQuarterTurns, AVRational streamSampleAspect)
    : frame_(frame),
      quarterTurns_(clockwiseQuarterTurns),
      streamSampleAspect_(streamSampleAspect)
{}

void PictureFitter::prepareFor(const AVFrame& source)
{
    // The frame's own aspect wins; the container's is the fallback.
    const AVRational aspect = source.sample_aspect_ratio.num > 0 ? source.sample_aspect_ratio : streamSampleAspect_;
    if (scaler_ && source.width == sourceWidth_ && source.height == sourceHeight_ && source.format == sourceFormat_ &&
        av_cmp_q(aspect, sourceAspect_) == 0)
        return;

    if (source.width <= 0 || source.height <= 0 || source.format < 0)
        throw ConversionError("decoder gave a picture without size or format");
    sourceWidth_ = source.width;
    sourceHeight_ = source.height;
    sourceFormat_ = source.format;
    sourceAspect_ = aspect;

    placement_ = placePicture(SourcePicture{source.width, source.height, aspect, quarterTurns_}, frame_);
    reduction_ = halvable(source.format) ? reductionBeforeScaling(source.width, source.height, placement_.scaledWidth(),
                                                                  placement_.scaledHeight())
                                         : Reduction{};
    reducedBuffers_.clear();
    int width = source.width;
    int height = source.height;
    const auto addStep = [&](int newWidth, int newHeight) {
        FrameHandle reduced = allocateFrame();
        reduced->format = source.format;
        reduced->width = width = newWidth;
        reduced->height = height = newHeight;
        checkAv(av_frame_get_buffer(reduced.get(), 0), "cannot allocate a picture");
        reducedBuffers_.push_back(std::move(reduced));
    };
    for (int i = 0; i < reduction_.halvings; ++i)
        addStep(width / 2, height / 2);
    if (reduction_.halveLines)
        addStep(width, height / 2);
    scaler_.reset(bicubicScaler(width, height, static_cast<AVPixelFormat>(source.format), placement_.scaledWidth(),
                                placement_.scaledHeight()));
    if (!scaler_)
        throw ConversionError("cannot scale pictures of format " + std::to_string(source.format));
    scaledBuffer_ = newPicture(placement_.scaledWidth(), placement_.scaledHeight());
}

void PictureFitter::scale(const AVFrame& source, AVFrame& target)
{
    const AVFrame& input = reduced(source);
    const int rows =
        sws_scale(scaler_.get(), input.data, input.linesize, 0, input.height, target.data, target.linesize);
    if (rows <= 0)
        throw ConversionError("cannot scale a picture");
}

const AVFrame& PictureFitter::reduced(const AVFrame& source)
{
    const AVFrame* current = &source;
    for (const FrameHandle& buffer : reducedBuffers_) {
        AVFrame& smaller = *buffer;
        const bool linesOnly = smaller.width == current->width;
        for (int plane = 0; plane < 3; ++plane) {
            const int shift = plane ? 1 : 0;
            (linesOnly ? halvePlaneLines : halvePlane)(current->data[plane], current->linesize[plane],
                                                       (current->width + shift) >> shift, current->height >> shift,
                                                       smaller.data[plane], smaller.linesize[plane]);
        }
        current = &smaller;
    }
    return *current;
}

FrameHandle PictureFitter::fit(const AVFrame& decoded)
{
    const AVFrame field = showsOneFieldOnly(decoded) ? topField(decoded, streamSampleAspect_) : AVFrame{};
    const AVFrame& source = field.data[0] ? field : decoded;
    prepareFor(source);
    FrameHandle picture = newPicture(frame_.width, frame_.height);
    fillBlack(*picture);
    // The scaler writes whole blocks of pixels, past the width it is given:
    // into a picture of its own, so that none of them land on the black bars.
    checkAv(av_frame_make_writable(scaledBuffer_.get()), "cannot allocate a picture");
    scale(source, *scaledBuffer_);
    copyTurned(*scaledBuffer_, *picture, placement_.x, placement_.y, placement_.clockwiseQuarterTurns);
    picture->sample_aspect_ratio = frame_.pixelAspect;
    return picture;
}

}  // namespace conv
