// Owning handles for every FFmpeg object the converter holds.
#pragma once

// Owning handles for FFmpeg objects: each type has exactly one way to be freed.

#include <cstdint>
#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavfilter/avfilter.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/frame.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

namespace conv {

struct InputFormatDeleter {
    void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
using InputFormatHandle = std::unique_ptr<AVFormatContext, InputFormatDeleter>;

// An output context's AVIOContext belongs to whoever set it up.
struct OutputFormatDeleter {
    void operator()(AVFormatContext* context) const { avformat_free_context(context); }
};
using OutputFormatHandle = std::unique_ptr<AVFormatContext, OutputFormatDeleter>;

struct CodecContextDeleter {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
using CodecContextHandle = std::unique_ptr<AVCodecContext, CodecContextDeleter>;

struct FrameDeleter {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
using FrameHandle = std::unique_ptr<AVFrame, FrameDeleter>;

struct PacketDeleter {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
using PacketHandle = std::unique_ptr<AVPacket, PacketDeleter>;

struct ScalerDeleter {
    void operator()(SwsContext* context) const { sws_freeContext(context); }
};
using ScalerHandle = std::unique_ptr<SwsContext, ScalerDeleter>;

struct ResamplerDeleter {
    void operator()(SwrContext* context) const { swr_free(&context); }
};
using ResamplerHandle = std::unique_ptr<SwrContext, ResamplerDeleter>;

struct FilterGraphDeleter {
    void operator()(AVFilterGraph* graph) const { avfilter_graph_free(&graph); }
};
using FilterGraphHandle = std::unique_ptr<AVFilterGraph, FilterGraphDeleter>;

struct AudioFifoDeleter {
    void operator()(AVAudioFifo* fifo) const { av_audio_fifo_free(fifo); }
};
using AudioFifoHandle = std::unique_ptr<AVAudioFifo, AudioFifoDeleter>;

// A custom AVIOContext: its buffer was allocated with av_malloc and may have been
// replaced by FFmpeg, so it is freed through the context.
struct IoContextDeleter {
    void operator()(AVIOContext* context) const
    {
        if (context)
            av_freep(&context->buffer);
        avio_context_free(&context);
    }
};
using IoContextHandle = std::unique_ptr<AVIOContext, IoContextDeleter>;

FrameHandle allocateFrame();
PacketHandle allocatePacket();

// A reading AVIOContext with a buffer of `bufferSize` bytes that calls `read`
// and `seek` with `opaque`.
IoContextHandle readingIoContext(void* opaque, int bufferSize, int (*read)(void*, std::uint8_t*, int),
                                 std::int64_t (*seek)(void*, std::int64_t, int));

}  // namespace conv
