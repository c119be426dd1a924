// The largest output the worker may write, held by the kernel.
#pragma once

#include "base/conversion_request.hpp"

#include <cstdint>

namespace conv {

// Bytes a conversion of `statedSeconds` (at least an hour is assumed, as a
// source may run past what it states) at the request's rates may write: 16
// times the asked rates' bytes plus 64 MB, far beyond what the encoders make,
// and far below a disk filled or a sparse terabyte.
std::uint64_t outputCeiling(const ConversionRequest& request, double statedSeconds);

// Holds this process's files to outputCeiling (RLIMIT_FSIZE, soft and hard
// alike): a write past it fails with EFBIG (status OutOfSpace) rather than
// ending the process. Throws ConversionError when the limit cannot be set.
void holdOutputToCeiling(const ConversionRequest& request, double statedSeconds);

}  // namespace conv
