// Feeds arbitrary bytes through the whole conversion: demuxing, decoding,
// fitting pictures, resampling sound, encoding both and muxing a 3GP file in
// memory, on the same threads as a real run. Built as a libFuzzer target, and
// as a replay program for kept inputs.

#include "base/errors.hpp"
#include "conversion.hpp"
#include "heap_limit.hpp"
#include "memory_input.hpp"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" {
#include <libavutil/log.h>
}

namespace {

// Pictures up to full HD: larger real pictures legitimately need more memory
// than the fuzzer's limit, which is there to catch memory that grows with
// damage. Output up to a few seconds, so an input's time is its decoding's.
constexpr conv::InMemoryLimits kLimits{1920 * 1088, 8};
// The converter's memory target, damaged sources included.
constexpr std::size_t kMostHeapBytes = std::size_t{80} << 20;

void convertEverything(const std::uint8_t* data, std::size_t size)
{
    static std::FILE* const progressSink = std::fopen("/dev/null", "w");
    conv::MemoryInput input({data, size});
    conv::ConversionRequest request;
    request.inputPath = "fuzz input";
    conv::ProgressReporter progress(progressSink);
    const std::atomic<bool> stopRequested{false};
    conv::convertInMemory(request, input.io(), progress, stopRequested, kLimits);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    av_log_set_level(AV_LOG_QUIET);
    const HeapLimit heapLimit(kMostHeapBytes);
    try {
        convertEverything(data, size);
    } catch (const conv::LengthLimitReached&) {
    } catch (const conv::ConversionError& error) {
        // Refusing a broken source is the expected outcome, with the kind of
        // failure that says what is wrong with it: "any other failure" on a
        // damaged file is a finding.
        if (error.kind() == conv::ConverterStatus::Failed) {
            std::fprintf(stderr, "damaged input ended as any other failure (status 1): %s\n", error.what());
            std::abort();
        }
    }
    return 0;
}
