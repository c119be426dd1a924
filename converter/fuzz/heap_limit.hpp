#pragma once

#include <cstddef>

// The heap one fuzz input may take: a converter that keeps growing on a
// damaged file is a finding even where the process as a whole, with the
// sanitizer's own memory and the tables FFmpeg keeps between inputs, stays
// under the fuzzer's size limit. Counts the bytes live on the heap (as the
// program asked for them) above what was live when the input started; over
// the limit, says so and aborts, so that the fuzzer keeps the input.
// Needs AddressSanitizer's allocator; without it nothing is counted.
class HeapLimit {
public:
    explicit HeapLimit(std::size_t mostBytes);
    ~HeapLimit();
    HeapLimit(const HeapLimit&) = delete;
    HeapLimit& operator=(const HeapLimit&) = delete;

    // Whether the heap is counted (built with AddressSanitizer).
    static bool counts();
    // The most the input held at once so far, in bytes; 0 without the sanitizer.
    static std::size_t peakBytes();
};
