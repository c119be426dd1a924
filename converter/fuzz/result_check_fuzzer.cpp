// Feeds arbitrary bytes to the supervisor's check of the worker's result, as a
// file of that size said to last one second: whatever a subverted worker
// writes, the check must answer without crashing, reading out of bounds or
// taking long.

#include "output/result_check.hpp"

#include <cstddef>
#include <cstdint>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto read = [data, size](std::uint64_t offset, std::uint8_t* into, std::size_t wanted) {
        if (offset > size || wanted > size - offset)
            return false;
        std::memcpy(into, data + offset, wanted);
        return true;
    };
    conv::resultProblem(read, size, 1.0);
    return 0;
}
