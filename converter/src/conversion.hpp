#pragma once

#include "command_line.hpp"
#include "progress_reporter.hpp"

#include <atomic>

namespace conv {

// Runs one conversion from start to the renamed output file. Throws
// ConversionError (nothing is left at the output path) when it cannot finish.
// `stopRequested` is polled; when it turns true the run stops as failed.
void convert(const ConversionRequest& request, ProgressReporter& progress,
             const std::atomic<bool>& stopRequested);

} // namespace conv
