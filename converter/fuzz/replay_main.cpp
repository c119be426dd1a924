// Runs the fuzz target over files named on the command line, without libFuzzer:
// keeps inputs the fuzzer once choked on as regression tests. Each input must
// also finish within the time, and stay within the memory, that the fuzzer
// allows: its heap (built with the sanitizer), or else the process's size.
//   conv_fuzz_replay [--most-seconds S] [--most-mb MB] FILE...

#include "heap_limit.hpp"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include <sys/resource.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

double peakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024;
}

}  // namespace

int main(int argc, char** argv)
{
    double mostSeconds = 1e9;
    double mostMegabytes = 1e9;
    int failures = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--most-seconds") == 0 && i + 1 < argc) {
            mostSeconds = std::atof(argv[++i]);
            continue;
        }
        if (std::strcmp(argv[i], "--most-mb") == 0 && i + 1 < argc) {
            mostMegabytes = std::atof(argv[++i]);
            continue;
        }
        std::ifstream file(argv[i], std::ios::binary);
        if (!file) {
            std::fprintf(stderr, "cannot read %s\n", argv[i]);
            return 2;
        }
        const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(file), {}};
        const auto start = std::chrono::steady_clock::now();
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const double megabytes = peakMegabytes();
        // With the sanitizer each input's heap is held to its limit by the
        // fuzz target itself; the process's peak then grows with every input
        // run before (freed memory held back, FFmpeg's tables) and says little.
        const bool within = seconds <= mostSeconds && (HeapLimit::counts() || megabytes <= mostMegabytes);
        failures += within ? 0 : 1;
        std::printf("%s %s (%.2f s, process peak %.0f MB, input's heap peak %.1f MB)\n", within ? "ok" : "FAILED",
                    argv[i], seconds, megabytes, static_cast<double>(HeapLimit::peakBytes()) / (1 << 20));
    }
    return failures == 0 ? 0 : 1;
}
