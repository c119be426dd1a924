#include "progress_reporter.hpp"

#include <algorithm>

namespace conv {

ProgressReporter::ProgressReporter(std::FILE* out, std::chrono::milliseconds interval)
    : out_(out), interval_(interval), lastPrint_(std::chrono::steady_clock::now())
{
}

void ProgressReporter::update(double secondsDone)
{
    done_ = std::max(done_, secondsDone);
    const auto now = std::chrono::steady_clock::now();
    if (now - lastPrint_ < interval_)
        return;
    lastPrint_ = now;
    print();
}

void ProgressReporter::finish()
{
    print();
}

void ProgressReporter::print()
{
    std::fprintf(out_, "progress: time=%.2f duration=%.2f\n", done_, duration_);
    std::fflush(out_);
}

} // namespace conv
