#include "video/video_encoder.hpp"

#include "ConverterProtocol.h"
#include "base/errors.hpp"
#include "video/skipped_picture.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>

extern "C" {
#include <libavutil/intreadwrite.h>
#include <libavutil/mathematics.h>
#include <libavutil/opt.h>
}

namespace conv {
namespace {

// Below this many bits per pixel and frame the rate is tight (e.g. 352x288 at
// 29.97 fps with 40-120 kbit/s): key pictures are what it cannot afford.
constexpr double kTightBitsPerPixel = 0.15;

// H.263's forced updating: a macroblock is coded intra at least once in this
// many pictures that carry its coefficients.
constexpr int kMostPicturesBetweenKeys = 132;

// The encoder's coarsest quantiser (31) in its quality units.
constexpr int kCoarsestQuality = 31 * FF_QP2LAMBDA;
// Below this quality a picture is at FFmpeg's usual finest quantiser, 2.
constexpr int kFinestUsualQuality = 5 * FF_QP2LAMBDA / 2;

// How many seconds of the bit rate the rate buffer holds.
constexpr double kBufferSeconds = 0.4;

// Picture rates as the H.263 clock counts them: 30000/1001 Hz and half of it.
constexpr double kFullRate = 30000.0 / 1001;
constexpr double kHalfRate = 30000.0 / 2002;

double bitsPerPixel(const VideoSettings& settings)
{
    return settings.kbps * 1000 / (static_cast<double>(settings.width) * settings.height * av_q2d(settings.frameRate));
}

bool atMost(double value, double limit) { return value <= limit * (1 + 1e-9); }

// Annex X, Table X.2, as far as this encoder's output needs it.
int h263Level(int width, int height, double rate, double kbps, bool extendedHeader)
{
    const bool qcif = width <= 176 && height <= 144;
    const bool cif = width <= 352 && height <= 288;
    // Levels 10 to 40 know only the standard formats at the standard clock.
    if (!extendedHeader) {
        if (qcif && atMost(rate, kHalfRate) && atMost(kbps, 64))
            return 10;
        // Level 45 is level 10 with twice the bit rate, for wireless phones.
        if (qcif && atMost(rate, kHalfRate) && atMost(kbps, 128))
            return 45;
        if (cif && atMost(kbps, 128) && atMost(rate, qcif ? kFullRate : kHalfRate))
            return 20;
        if (cif && atMost(rate, kFullRate) && atMost(kbps, 384))
            return 30;
        if (cif && atMost(rate, kFullRate) && atMost(kbps, 2048))
            return 40;
    }
    // From level 50 on: custom picture formats and clocks; 50 fields a second
    // at 288 lines, 60000/1001 at 240.
    const auto fits = [&](int mostWidth, int mostHeight, double mostKbps) {
        const double mostRate = height <= mostHeight * 5 / 6 ? 60000.0 / 1001 : 50;
        return width <= mostWidth && height <= mostHeight && atMost(rate, mostRate) && atMost(kbps, mostKbps);
    };
    if (fits(352, 288, 4096))
        return 50;
    if (fits(720, 288, 8192))
        return 60;
    // Level 70 also when nothing fits: the highest claim there is, which a phone
    // refuses rather than trying.
    return 70;
}

}  // namespace

bool needsExtendedHeader(const VideoSettings& settings)
{
    return !isStandardH263Size(settings.width, settings.height) || !atMost(av_q2d(settings.frameRate), kFullRate);
}

H263ProfileLevel h263ProfileAndLevel(const VideoSettings& settings)
{
    const double rate = av_q2d(settings.frameRate);
    // The version 2 encoder writes the extended picture header, and with it a
    // custom picture clock for any rate but the standard 30000/1001.
    // Baseline H.263 codes every rate up to that on the standard clock.
    // No optional mode (Annexes D to W) is switched on: profile 0, baseline.
    return H263ProfileLevel{
        0, h263Level(settings.width, settings.height, rate, settings.kbps, needsExtendedHeader(settings))};
}

int h263MostBitsPerPicture(int width, int height)
{
    const std::int64_t area = static_cast<std::int64_t>(width) * height;
    if (area <= 176 * 144)
        return 64 * 1024;
    if (area <= 352 * 288)
        return 256 * 1024;
    if (area <= 704 * 576)
        return 512 * 1024;
    return 1024 * 1024;
}

std::optional<std::string> holdToPictureLimit(VideoSettings& settings)
{
    const int mostBits = h263MostBitsPerPicture(settings.width, settings.height);
    // Whole bits a second, rounded down, so that a picture's share stays within the limit.
    const auto mostRate = av_rescale_rnd(mostBits, settings.frameRate.num, settings.frameRate.den, AV_ROUND_DOWN);
    if (std::llround(settings.kbps * 1000) <= mostRate)
        return std::nullopt;
    char line[256];
    std::snprintf(line, sizeof line,
                  "note: %g kbit/s at %g fps is more than H.263 lets a %dx%d picture take (%d kbit "
                  "each); the video is coded at %.1f kbit/s",
                  settings.kbps, av_q2d(settings.frameRate), settings.width, settings.height, mostBits / 1024,
                  static_cast<double>(mostRate) / 1000);
    settings.kbps = static_cast<double>(mostRate) / 1000;
    return line;
}

bool isStandardH263Size(int width, int height)
{
    // sub-QCIF, QCIF, CIF, 4CIF, 16CIF
    return (width == 128 && height == 96) || (width == 176 && height == 144) || (width == 352 && height == 288) ||
           (width == 704 && height == 576) || (width == 1408 && height == 1152);
}

AVRational h263PixelAspect(int width, int height)
{
    return isStandardH263Size(width, height) ? AVRational{12, 11} : AVRational{1, 1};
}

std::optional<std::string> h263SizeProblem(int width, int height)
{
    if (isStandardH263Size(width, height))
        return std::nullopt;
    using namespace tovaro;
    const std::string size = std::to_string(width) + "x" + std::to_string(height);
    if (width % kCustomSizeStep || height % kCustomSizeStep)
        return "H.263 cannot code " + size + ": width and height must be multiples of " +
               std::to_string(kCustomSizeStep);
    if (width > kLargestWidth || height > kLargestHeight)
        return "H.263 cannot code " + size + ": the largest picture is " + std::to_string(kLargestWidth) + "x" +
               std::to_string(kLargestHeight);
    return std::nullopt;
}

VideoEncoder::VideoEncoder(const VideoSettings& settings)
    : settings_(settings),
      packet_(allocatePacket()),
      version2_(needsExtendedHeader(settings)),
      squeeze_(bitsPerPixel(settings) < kTightBitsPerPixel ? Squeeze::Tight : Squeeze::None)
{
    open();
}

void VideoEncoder::open()
{
    const AVCodec* codec = avcodec_find_encoder(version2_ ? AV_CODEC_ID_H263P : AV_CODEC_ID_H263);
    if (!codec)
        throw ConversionError("this FFmpeg has no H.263 encoder");
    context_.reset(avcodec_alloc_context3(codec));
    if (!context_)
        throw std::bad_alloc();

    const VideoSettings& settings = settings_;
    AVCodecContext& c = *context_;
    c.width = settings.width;
    c.height = settings.height;
    c.pix_fmt = AV_PIX_FMT_YUV420P;
    c.sample_aspect_ratio = h263PixelAspect(settings.width, settings.height);
    c.framerate = settings.frameRate;
    c.time_base = av_inv_q(settings.frameRate);
    c.bit_rate = std::llround(settings.kbps * 1000);
    // A key picture every two seconds: small enough for seeking on a phone,
    // large enough not to waste the few bits there are.
    c.gop_size = std::max(1, static_cast<int>(std::lround(2 * av_q2d(settings.frameRate))));
    c.max_b_frames = 0;
    c.thread_count = 1;
    holdRate(c);
    AVDictionary* options = searchAndQuantiserOptions(c);
    const int opened = avcodec_open2(&c, codec, &options);
    av_dict_free(&options);
    checkAv(opened, "cannot start the H.263 encoder");
    clock_ = h263ClockFor(c.time_base, version2_);
    skippedPicture_.reset();
}

void VideoEncoder::holdRate(AVCodecContext& c)
{
    // FFmpeg's one-pass rate control alone overshoots by 10-30 %; a rate buffer
    // (VBV) holds it. Its size bounds what any stretch of the clip can take
    // beyond the rate: a buffer of 0.4 s keeps every second within 1.4 times
    // the rate, and a short clip's average within 0.4 s worth of bits. The
    // encoder codes a picture again, coarser, while it needs more bits than the
    // buffer holds, so a buffer no larger than the standard's most bits per
    // picture keeps every picture within that limit as well (once the
    // quantiser alone is not the limit: see overran()).
    c.rc_max_rate = c.bit_rate;
    const double framesPerSecond = av_q2d(settings_.frameRate);
    // Never below two pictures' worth, or the buffer could hardly take in the
    // rate; never above the limit per picture.
    const double bufferBits = std::max(static_cast<double>(c.bit_rate) * kBufferSeconds,
                                       2.0 * static_cast<double>(c.bit_rate) / framesPerSecond);
    c.rc_buffer_size = static_cast<int>(
        std::min(bufferBits, static_cast<double>(h263MostBitsPerPicture(settings_.width, settings_.height))));
    // A new start mid-run begins with the buffer as full as the old encoder's
    // was (never empty, which FFmpeg reads as three quarters full).
    bufferFullness_ = std::clamp(bufferFullness_, 1.0, static_cast<double>(c.rc_buffer_size));
    c.rc_initial_buffer_occupancy = static_cast<int>(bufferFullness_);
    // FFmpeg's rate control corrects its long-run average only by the share
    // the excess takes of this tolerance (4 Mbit by default): key pictures
    // at a tight rate kept A at 352x288, 29.97 fps, 120 kbit/s 2.4 % over, and
    // frames were left out to make up for it (1,755 of 1,800). Held to the
    // rate buffer, the quantiser pays for them: all 1,800 at 120.1 kbit/s,
    // 0.1 dB better. Above a tight rate no frame is left out, and the
    // default keeps the pictures 0.06 dB better (176x144 at 14.985 fps and
    // 120 kbit/s).
    if (squeeze_ != Squeeze::None)
        c.bit_rate_tolerance = c.rc_buffer_size;
}

AVDictionary* VideoEncoder::searchAndQuantiserOptions(AVCodecContext& c) const
{
    // A wider motion search, started from more of the last picture's
    // vectors, finds cheaper predictions. With it, the simple macroblock
    // decisions give pictures within 0.15 dB of rate-distortion decisions
    // (which code every macroblock several ways) in a quarter less time.
    AVDictionary* options = nullptr;
    av_dict_set(&options, "mbd", "simple", 0);
    av_dict_set(&options, "last_pred", "3", 0);
    av_dict_set(&options, "dia_size", "2", 0);
    // H.263's finest quantiser is 1; FFmpeg stops at 2 unless told (see
    // encode()).
    c.qmin = 1;
    av_dict_set_int(&options, "lmin", lowestLambda(), 0);
    if (squeeze_ != Squeeze::None) {
        // Key pictures are what a tight rate cannot afford; with a buffer this
        // small they starve the pictures after them. As few as the standard's
        // forced updating allows: every macroblock intra at least once in 132.
        c.gop_size = std::max(c.gop_size, kMostPicturesBetweenKeys);
        // Nor key pictures at scene changes: at the coarsest quantiser a
        // changed picture costs less as a predicted one than as a key.
        av_dict_set(&options, "sc_threshold", "1000000000", 0);
    }
    // Once even the coarsest quantiser gives pictures over their share, trellis
    // quantisation and no lambda ceiling let the encoder drop blocks rather
    // than frames. They take twice the time per picture and more (a picture
    // over the rate buffer is coded again at each higher lambda), so only
    // then: a tight rate alone is held by the quantiser (352x288 at 14.985
    // fps and 120 kbit/s: all 900 frames in 0.72 of the time).
    if (squeeze_ == Squeeze::Starved) {
        av_dict_set(&options, "trellis", "1", 0);
        av_dict_set(&options, "lmax", "100000", 0);
    }
    return options;
}

int VideoEncoder::quality(const AVPacket& packet)
{
    std::size_t statsSize = 0;
    const std::uint8_t* stats = av_packet_get_side_data(&packet, AV_PKT_DATA_QUALITY_STATS, &statsSize);
    return stats && statsSize >= 4 ? static_cast<int>(AV_RL32(stats)) : -1;
}

bool VideoEncoder::atCoarsest(const AVPacket& packet) { return quality(packet) >= kCoarsestQuality; }

int VideoEncoder::lowestLambda() const { return (lastAtFinest_ ? 1 : 2) * FF_QP2LAMBDA; }

bool VideoEncoder::overran(const AVPacket& packet, std::int64_t framesOnShow) const
{
    if (squeeze_ == Squeeze::Starved || !atCoarsest(packet))
        return false;
    const double bits = 8.0 * packet.size;
    const double share = frameShare();
    if (squeeze_ == Squeeze::None)
        return bits > share;
    // At a tight rate the buffer takes key pictures, but not one larger than
    // itself when the pictures move: the new ones after it would be left out
    // until the buffer drains. A still picture loses only its repeats.
    const bool moving = static_cast<double>(framesOnShow) * share < context_->rc_buffer_size;
    return moving && bits > context_->rc_buffer_size;
}

bool VideoEncoder::squeezeHarder()
{
    if (squeeze_ == Squeeze::Starved || !lastAtCoarsest_)
        return false;
    starve();
    return true;
}

void VideoEncoder::starve()
{
    squeeze_ = Squeeze::Starved;
    open();
}

double VideoEncoder::frameShare() const
{
    return static_cast<double>(context_->bit_rate) * av_q2d(context_->time_base);
}

std::int64_t VideoEncoder::framesToRefill() const
{
    const double share = frameShare();
    return std::max<std::int64_t>(1, static_cast<std::int64_t>(std::ceil(context_->rc_buffer_size / share)));
}

void VideoEncoder::refillFor(std::int64_t framesHeld)
{
    AVCodecContext& c = *context_;
    if (framesHeld <= 1 || !skippedPicture_) {
        c.rc_max_rate = c.bit_rate;
        return;
    }
    // FFmpeg's rate buffer takes in rc_max_rate's share of a second after each
    // picture the encoder codes. The repeats after this picture pass the
    // encoder by, each adding its share less its skipped picture's bytes: the
    // buffer is to take in all of that, or the next coding finds it nearly
    // empty (a still picture's refinements and the picture after it starve).
    // Never more than the buffer holds: FFmpeg takes a frame's refill as an int.
    const double share = frameShare();
    const double repeatBits = 8.0 * static_cast<double>(skippedPicture_->size());
    const double refill = std::min(static_cast<double>(c.rc_buffer_size),
                                   share + static_cast<double>(framesHeld - 1) * std::max(0.0, share - repeatBits));
    c.rc_max_rate = std::llround(refill / av_q2d(c.time_base));
}

void VideoEncoder::encode(AVFrame* picture, const PacketSink& sink, std::int64_t framesOnShow, std::int64_t framesHeld)
{
    if (picture) {
        refillFor(framesHeld);
        // A still picture, or a small moving one at a high rate, reaches
        // FFmpeg's usual floor, 2, long before it has taken the rate it is
        // given: the song's cover at 128x96 and 120 kbit/s wrote 5.3 kbit/s at
        // 44.5 dB, where 1 gives 48.8 dB for 8.0 kbit/s. So 1 only once the
        // last picture was at 2: let down to 1 while pictures are still
        // coarse, the rate control starts too fine and codes a picture again
        // and again on its way up (the noisy slide show at 352x288, 120
        // kbit/s: a quarter more time, 0.05 dB better).
        checkAv(av_opt_set_int(context_->priv_data, "lmin", lowestLambda(), 0), "cannot set the finest quantiser");
    }
    checkAv(avcodec_send_frame(context_.get(), picture), "the H.263 encoder failed");
    for (;;) {
        const int received = avcodec_receive_packet(context_.get(), packet_.get());
        if (received == AVERROR(EAGAIN) || received == AVERROR_EOF)
            return;
        checkAv(received, "the H.263 encoder failed");
        // The encoder keeps no picture back (no B-frames): this packet is
        // `picture`, which the starved settings code again, from a key picture.
        if (picture && overran(*packet_, framesOnShow)) {
            av_packet_unref(packet_.get());
            starve();
            encode(picture, sink, framesOnShow, framesHeld);
            return;
        }
        // A key picture at the coarsest quantiser says only that key pictures
        // are dear at this rate (a still's forced one every 132 codings).
        const int codedAt = quality(*packet_);
        lastAtCoarsest_ = codedAt >= kCoarsestQuality && !(packet_->flags & AV_PKT_FLAG_KEY);
        lastAtFinest_ = codedAt >= 0 && codedAt < kFinestUsualQuality;
        if (!skippedPicture_ && !(packet_->flags & AV_PKT_FLAG_KEY))
            skippedPicture_ = skippedPictureLike(packet_->data, packet_->size, context_->width, context_->height);
        hand(sink);
    }
}

bool VideoEncoder::repeatLast(std::int64_t frame, const PacketSink& sink)
{
    if (!skippedPicture_)
        return false;
    const auto& bytes = *skippedPicture_;
    checkAv(av_new_packet(packet_.get(), static_cast<int>(bytes.size())), "out of memory");
    std::copy(bytes.begin(), bytes.end(), packet_->data);
    packet_->pts = packet_->dts = frame;
    packet_->duration = 1;
    hand(sink);
    return true;
}

void VideoEncoder::hand(const PacketSink& sink)
{
    checkAv(av_packet_make_writable(packet_.get()), "out of memory");
    // Strictly increasing even where no clock in the header is as fast as
    // the frames (between 29.97 and 29.985 fps).
    lastReference_ = std::max(lastReference_ + 1, temporalReference(packet_->pts, context_->time_base, clock_));
    if (!writeTemporalReference(packet_->data, packet_->size, lastReference_, clock_))
        throw ConversionError("the H.263 encoder gave a picture without a picture header");
    // The rate buffer as FFmpeg's rate control keeps it: a picture empties
    // it, a frame's share of the rate fills it again.
    const double share = frameShare();
    bufferFullness_ = std::max(0.0, bufferFullness_ - 8.0 * packet_->size);
    bufferFullness_ = std::min(static_cast<double>(context_->rc_buffer_size), bufferFullness_ + share);
    sink(*packet_);
    av_packet_unref(packet_.get());
}

}  // namespace conv
