// A chain of FFmpeg's sound filters, fed and read by the converter's own code. Within audio/ only.
#pragma once

#include "base/ffmpeg_handles.hpp"

#include <functional>
#include <span>
#include <string>

namespace conv {

// FFmpeg's filters as a description names them ("highpass=f=60,..."),
// between 8000 Hz mono floating-point samples going in and samples of
// `outputFormat` coming out. A filter named with an instance ("name@id")
// takes commands.
class FilterChain {
public:
    FilterChain(const std::string& filters, AVSampleFormat outputFormat);

    void push(std::span<const float> samples);
    // No more samples: the filters give out what they hold.
    void end();
    // Hands each frame that is ready to `take`.
    void pull(const std::function<void(const AVFrame&)>& take);
    void command(const char* filter, const char* option, const char* value);

private:
    FilterGraphHandle graph_;
    AVFilterContext* source_ = nullptr;
    AVFilterContext* sink_ = nullptr;
    FrameHandle pulled_;
    std::int64_t pushed_ = 0;
};

}  // namespace conv
