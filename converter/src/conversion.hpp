// One conversion run: the source through the video and sound pipelines into the 3GP file.
#pragma once

#include "base/conversion_request.hpp"
#include "pipeline/progress_reporter.hpp"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct AVIOContext;

namespace conv {

// How a finished conversion went, to tell the user about a damaged source.
struct ConversionOutcome {
    int damagedPacketsSkipped = 0;
    int concealedErrors = 0;     // damage the decoders patched over
    bool readingFailed = false;  // reading stopped at an error, not at the end
    double secondsConverted = 0;
    double secondsStated = 0;  // what the container claims; 0 if nothing
    // What the user should know about a file that was written all the same
    // (a rate lowered, the sound left out), one line each.
    std::vector<std::string> notices;

    // A source much shorter than its container says was cut off.
    bool cutShort() const { return secondsStated > 0 && secondsConverted < 0.9 * secondsStated - 1.0; }
    bool sourceDamaged() const
    {
        return damagedPacketsSkipped > 0 || concealedErrors > 0 || readingFailed || cutShort();
    }
};

// What tests may change about a run; the program runs with the defaults.
struct RunTuning {
    // Video decoder threads; 0 chooses them for the codec and the cores.
    int videoDecoderThreads = 0;
    // Called once the source is open, with the duration it states (0 when
    // none), before a byte of the output is written.
    std::function<void(double statedSeconds)> sourceOpened;
    // Called on the threads of the run: the reading thread after each decoded
    // picture, the video encoding thread before encoding one, the sound
    // decoding thread before decoding a packet.
    std::function<void()> pictureDecoded;
    std::function<void()> pictureEncoding;
    std::function<void()> soundDecoding;
};

class SourceFile;

// What can be checked of a request before any file is opened: throws
// ConversionError(UsageError) for a frame size H.263 cannot code.
void checkRequest(const ConversionRequest& request);

// Runs one conversion of the open source into `output`, the open working file
// (read and written through its descriptor only), up to a finished file on
// disk that is not yet at its name (see OutputPlace). Throws ConversionError
// when it cannot finish. `stopRequested` is polled; when it turns true the run
// stops as failed. The source is read and its video decoded on the calling
// thread; pictures are scaled on one thread and encoded on another, sound is
// decoded on a third and encoded on a fourth.
ConversionOutcome convertOpened(const ConversionRequest& request, SourceFile& input, int output,
                                ProgressReporter& progress, const std::atomic<bool>& stopRequested,
                                const RunTuning& tuning = {});

// The whole conversion in this process, from the names to the output at its
// name; nothing is left at the output path when it throws.
ConversionOutcome convert(const ConversionRequest& request, ProgressReporter& progress,
                          const std::atomic<bool>& stopRequested, const RunTuning& tuning = {});

// Bounds for a run on arbitrary bytes: the decoder refuses larger pictures, and
// a run whose output would grow past `mostSeconds` stops as failed.
struct InMemoryLimits {
    std::int64_t mostPixels = 4096 * 2304;
    double mostSeconds = 30;
};

// The same run on a source read through `input`, into a file in memory that is
// dropped at the end (fuzzing); request.inputPath only names the source.
ConversionOutcome convertInMemory(const ConversionRequest& request, AVIOContext* input, ProgressReporter& progress,
                                  const std::atomic<bool>& stopRequested, const InMemoryLimits& limits);

}  // namespace conv
