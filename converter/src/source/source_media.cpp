#include "source/source_media.hpp"

#include "base/errors.hpp"
#include "source/accepted_formats.hpp"
#include "source/disposable_packets.hpp"
#include "source/source_limits.hpp"

#include <algorithm>
#include <cstdarg>
#include <iterator>
#include <mutex>
#include <thread>

extern "C" {
#include <libavutil/log.h>
#include <libavutil/mem.h>
}

namespace conv {

int decodeFrames(AVCodecContext& decoder, const AVPacket* packet, AVFrame& frame, const FrameHandler& handler,
                 int* concealed)
{
    const int sent = avcodec_send_packet(&decoder, packet);
    if (sent < 0 && sent != AVERROR_EOF && packet)
        return 1;  // the next packet may decode
    // While draining, pictures after a damaged one are still waiting; the
    // limit only guards against a decoder that repeats its error forever.
    const int errorsAllowed = packet ? 1 : 64;
    int errors = 0;
    for (;;) {
        const int received = avcodec_receive_frame(&decoder, &frame);
        if (received == AVERROR(EAGAIN) || received == AVERROR_EOF)
            return errors;
        if (received < 0) {
            if (++errors >= errorsAllowed)
                return errors;
            continue;
        }
        if (concealed && (frame.decode_error_flags || (frame.flags & AV_FRAME_FLAG_CORRUPT)))
            ++*concealed;
        handler(frame);
        av_frame_unref(&frame);
    }
}

namespace {

// Decoders patch over damage they find (concealment) and go on without an
// error code; some mark the frame, all say so in their log. Counted here,
// printed nowhere.
std::atomic<int> decoderComplaints{0};

extern "C" void countDecoderComplaints(void* object, int level, const char*, va_list)
{
    if (level > AV_LOG_ERROR || !object)
        return;
    const AVClass* objectClass = *static_cast<const AVClass* const*>(object);
    if (!objectClass)
        return;
    const AVClassCategory category =
        objectClass->get_category ? objectClass->get_category(object) : objectClass->category;
    if (category == AV_CLASS_CATEGORY_DECODER)
        decoderComplaints.fetch_add(1, std::memory_order_relaxed);
}

int stopWasRequested(void* flag) { return static_cast<const std::atomic<bool>*>(flag)->load() ? 1 : 0; }

// The source is opened before the demuxer starts; any file or URL a demuxer
// asks for besides it (a playlist's entries, a reference, an image sequence)
// is refused.
int refuseAnotherOpen(AVFormatContext*, AVIOContext**, const char*, int, AVDictionary**) { return AVERROR(EPERM); }

// A demuxer context that reads only the accepted containers and opens no
// file or URL besides the source it is given.
AVFormatContext* heldToTheSource(const AVIOInterruptCB& interrupt)
{
    AVFormatContext* context = avformat_alloc_context();
    if (!context)
        throw std::bad_alloc();
    context->interrupt_callback = interrupt;
    context->io_open = refuseAnotherOpen;
    context->protocol_whitelist = av_strdup("file");
    context->format_whitelist = av_strdup(formatWhitelist().c_str());
    if (!context->protocol_whitelist || !context->format_whitelist) {
        avformat_free_context(context);
        throw std::bad_alloc();
    }
    return context;
}

}  // namespace

unsigned coreCount()
{
    static const unsigned cores = std::thread::hardware_concurrency();
    return cores;
}

int videoDecoderThreads(const AVCodecParameters& video, unsigned cores)
{
    if (cores <= 1)
        return 1;
    static constexpr AVCodecID kLight[] = {
        AV_CODEC_ID_MPEG1VIDEO, AV_CODEC_ID_MPEG2VIDEO, AV_CODEC_ID_MPEG4,    AV_CODEC_ID_H263,
        AV_CODEC_ID_H263P,      AV_CODEC_ID_H263I,      AV_CODEC_ID_FLV1,     AV_CODEC_ID_MSMPEG4V1,
        AV_CODEC_ID_MSMPEG4V2,  AV_CODEC_ID_MSMPEG4V3,  AV_CODEC_ID_WMV1,     AV_CODEC_ID_WMV2,
        AV_CODEC_ID_MJPEG,      AV_CODEC_ID_DVVIDEO,    AV_CODEC_ID_RAWVIDEO, AV_CODEC_ID_THEORA};
    const bool light = std::find(std::begin(kLight), std::end(kLight), video.codec_id) != std::end(kLight);
    const bool standardDefinition = static_cast<std::int64_t>(video.width) * video.height <= 720 * 576;
    return light && standardDefinition ? 1 : static_cast<int>(cores);
}

namespace {

struct ProbedFormat {
    const AVInputFormat* format = nullptr;
    // Whether the content itself looked like this kind of file, rather than
    // only its name's extension.
    bool byContent = false;
};

// The demuxer for the source, when it is one of the accepted ones. Probed
// here rather than by avformat_open_input so that a file of another kind
// fails as not a video, and a read error as an unreadable source.
ProbedFormat acceptedFormatOf(AVIOContext& io, const std::string& name)
{
    const AVInputFormat* format = nullptr;
    const int probed = av_probe_input_buffer2(&io, &format, name.c_str(), nullptr, 0, 0);
    if (probed < 0 && probed != AVERROR_INVALIDDATA && probed != AVERROR_EOF)
        checkAv(probed, "cannot read '" + name + "'", ConverterStatus::SourceUnreadable);
    if (!format)
        throw ConversionError("'" + name + "' is not a video: its kind of file is unknown", ConverterStatus::NotAVideo);
    if (!isAcceptedDemuxer(format->name))
        throw ConversionError(
            "'" + name + "' is not a video but " + (format->long_name ? format->long_name : format->name),
            ConverterStatus::NotAVideo);
    return {format, probed > AVPROBE_SCORE_EXTENSION};
}

}  // namespace

SourceMedia::SourceMedia(const std::string& name, AVIOContext& io, const std::atomic<bool>* stopRequested,
                         int videoThreads)
{
    limitAllocations();
    const ProbedFormat probed = acceptedFormatOf(io, name);
    const AVIOInterruptCB interrupt =
        stopRequested ? AVIOInterruptCB{&stopWasRequested, const_cast<std::atomic<bool>*>(stopRequested)}
                      : AVIOInterruptCB{};
    AVFormatContext* raw = heldToTheSource(interrupt);
    raw->pb = &io;
    raw->flags |= AVFMT_FLAG_CUSTOM_IO;
    // avformat_open_input frees the context itself when it fails.
    // A file that has only the name of a video (text called .avi) is not one.
    checkAv(avformat_open_input(&raw, name.c_str(), probed.format, nullptr), "cannot read '" + name + "'",
            probed.byContent ? ConverterStatus::SourceDamaged : ConverterStatus::NotAVideo);
    format_.reset(raw);
    checkAv(avformat_find_stream_info(format_.get(), nullptr), "cannot read the streams of '" + name + "'",
            ConverterStatus::SourceDamaged);

    if (format_->pb)
        sizeBytes_ = avio_size(format_->pb);

    openDecoder(video_, AVMEDIA_TYPE_VIDEO, videoThreads);
    openDecoder(audio_, AVMEDIA_TYPE_AUDIO, 1);
    if (!video_ && !audio_ && !soundLeftOut_.empty())
        throw ConversionError(soundLeftOut_, ConverterStatus::SourceDamaged);
    if (!video_ && !audio_)
        throw ConversionError("'" + name + "' is not a video: it has no video or audio that can be decoded",
                              ConverterStatus::NotAVideo);

    for (unsigned i = 0; i < format_->nb_streams; ++i) {
        AVStream* stream = format_->streams[i];
        const bool used = (video_ && video_->stream == stream) || (audio_ && audio_->stream == stream);
        if (!used)
            stream->discard = AVDISCARD_ALL;
    }

    bool haveOrigin = false;
    for (DecodedStream* used : {video(), audio()}) {
        if (!used || used->stream->start_time == AV_NOPTS_VALUE)
            continue;
        const double start = static_cast<double>(used->stream->start_time) * av_q2d(used->stream->time_base);
        originSeconds_ = haveOrigin ? std::min(originSeconds_, start) : start;
        haveOrigin = true;
    }
}

void SourceMedia::openDecoder(std::optional<DecodedStream>& target, AVMediaType type, int threads)
{
    const AVCodec* codec = nullptr;
    const int related = (type == AVMEDIA_TYPE_AUDIO && video_) ? video_->stream->index : -1;
    const int index = av_find_best_stream(format_.get(), type, -1, related, &codec, 0);
    if (index < 0 || !codec)
        return;
    AVStream* stream = format_->streams[index];
    // Cover art in a music file is not a video.
    if (stream->disposition & AV_DISPOSITION_ATTACHED_PIC)
        return;
    checkStreamParameters(*stream);

    CodecContextHandle decoder(avcodec_alloc_context3(codec));
    if (!decoder)
        throw std::bad_alloc();
    checkAv(avcodec_parameters_to_context(decoder.get(), stream->codecpar), "cannot set up the decoder");
    decoder->pkt_timebase = stream->time_base;
    decoder->max_pixels = kMostPixels;
    decoder->thread_count = threads > 0 ? threads : videoDecoderThreads(*stream->codecpar, coreCount());
    decoder->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
    const int opened = avcodec_open2(decoder.get(), codec, nullptr);
    if (opened < 0) {
        // The decoder refuses the stream's own setup (or the memory it claims
        // to need): the headers are damaged.
        const std::string why = std::string("cannot open the ") + av_get_media_type_string(type) + " decoder " +
                                codec->name + ": " + avErrorText(opened);
        if (type != AVMEDIA_TYPE_AUDIO)
            throw ConversionError(why, ConverterStatus::SourceDamaged);
        soundLeftOut_ = why;
        return;
    }
    target = DecodedStream{stream, std::move(decoder)};
}

void SourceMedia::tuneVideoDecoder(const DecoderTuning& tuning)
{
    if (video_ && tuning.skipLoopFilter)
        video_->decoder->skip_loop_filter = AVDISCARD_ALL;
}

double SourceMedia::durationSeconds() const
{
    if (format_->duration > 0)
        return static_cast<double>(format_->duration) / AV_TIME_BASE;
    return 0;
}

double SourceMedia::readFraction() const
{
    if (sizeBytes_ <= 0 || !format_->pb)
        return -1;
    // The index or tags after the last packet are not part of the length.
    if (readToEnd_)
        return 1;
    return static_cast<double>(avio_tell(format_->pb)) / static_cast<double>(sizeBytes_);
}

void SourceMedia::readAll(const FrameHandler& onVideo, const PacketHandler& onAudioPacket,
                          const PacketFilter& videoPacketWanted)
{
    PacketHandle packet = allocatePacket();
    FrameHandle frame = allocateFrame();
    static std::once_flag listening;
    std::call_once(listening, [] { av_log_set_callback(countDecoderComplaints); });
    const int complaintsBefore = decoderComplaints.load();
    int readResult = 0;
    while ((readResult = av_read_frame(format_.get(), packet.get())) >= 0) {
        if (video_ && packet->stream_index == video_->stream->index) {
            const bool wanted = !videoPacketWanted || videoPacketWanted(*packet);
            // An unwanted picture nothing refers to never reaches the decoder:
            // one decoding on several threads gives every packet, even one it
            // skips, to its next thread in turn, and would leave threads idle.
            if (!wanted && isDisposable(*packet, *video_->stream->codecpar)) {
                av_packet_unref(packet.get());
                continue;
            }
            // Decoders take this per packet, also when decoding on several threads.
            video_->decoder->skip_frame = wanted ? AVDISCARD_DEFAULT : AVDISCARD_NONREF;
            damagedPackets_ += decodeFrames(*video_->decoder, packet.get(), *frame, onVideo, &concealedErrors_);
        } else if (audio_ && packet->stream_index == audio_->stream->index) {
            onAudioPacket(*packet);
        }
        av_packet_unref(packet.get());
    }
    endedEarly_ = readResult != AVERROR_EOF;
    readToEnd_ = true;
    if (video_)
        damagedPackets_ += decodeFrames(*video_->decoder, nullptr, *frame, onVideo, &concealedErrors_);
    concealedErrors_ = std::max(concealedErrors_, decoderComplaints.load() - complaintsBefore);
}

}  // namespace conv
