#include "audio/filter_chain.hpp"

#include "base/errors.hpp"

#include <cstring>
#include <new>

extern "C" {
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
}

namespace conv {
namespace {

constexpr int kRate = 8000;
constexpr const char* kFailed = "cannot level the sound";

}  // namespace

FilterChain::FilterChain(const std::string& filters, AVSampleFormat outputFormat)
    : graph_(avfilter_graph_alloc()),
      pulled_(allocateFrame())
{
    if (!graph_)
        throw std::bad_alloc();
    // A sound filter has no use for slice threads.
    graph_->nb_threads = 1;
    const std::string description = "abuffer@in=sample_rate=8000:sample_fmt=flt:channel_layout=mono:time_base=1/8000," +
                                    filters + ",aformat=sample_fmts=" + av_get_sample_fmt_name(outputFormat) +
                                    ",abuffersink@out";
    checkAv(avfilter_graph_parse_ptr(graph_.get(), description.c_str(), nullptr, nullptr, nullptr), kFailed);
    source_ = avfilter_graph_get_filter(graph_.get(), "abuffer@in");
    sink_ = avfilter_graph_get_filter(graph_.get(), "abuffersink@out");
    if (!source_ || !sink_)
        throw ConversionError(kFailed);
    checkAv(avfilter_graph_config(graph_.get(), nullptr), kFailed);
}

void FilterChain::push(std::span<const float> samples)
{
    if (samples.empty())
        return;
    FrameHandle frame = allocateFrame();
    frame->format = AV_SAMPLE_FMT_FLT;
    frame->sample_rate = kRate;
    const AVChannelLayout mono = AV_CHANNEL_LAYOUT_MONO;
    frame->ch_layout = mono;
    frame->nb_samples = static_cast<int>(samples.size());
    frame->pts = pushed_;
    pushed_ += frame->nb_samples;
    checkAv(av_frame_get_buffer(frame.get(), 0), "out of memory while leveling the sound");
    std::memcpy(frame->data[0], samples.data(), samples.size_bytes());
    checkAv(av_buffersrc_add_frame(source_, frame.get()), kFailed);
}

void FilterChain::end() { checkAv(av_buffersrc_add_frame(source_, nullptr), kFailed); }

void FilterChain::pull(const std::function<void(const AVFrame&)>& take)
{
    for (;;) {
        const int got = av_buffersink_get_frame(sink_, pulled_.get());
        if (got == AVERROR(EAGAIN) || got == AVERROR_EOF)
            return;
        checkAv(got, kFailed);
        take(*pulled_);
        av_frame_unref(pulled_.get());
    }
}

void FilterChain::command(const char* filter, const char* option, const char* value)
{
    checkAv(avfilter_graph_send_command(graph_.get(), filter, option, value, nullptr, 0, 0), kFailed);
}

}  // namespace conv
