#pragma once

#include <chrono>
#include <cstdio>

namespace conv {

// Prints "progress: time=12.34 duration=60.00" lines (seconds) at most twice a
// second, and once more at the end.
class ProgressReporter {
public:
    explicit ProgressReporter(std::FILE* out, std::chrono::milliseconds interval = std::chrono::milliseconds(500));

    void setDuration(double seconds) { duration_ = seconds > 0 ? seconds : 0; }
    void update(double secondsDone);
    void finish();

private:
    void print();

    std::FILE* out_;
    std::chrono::milliseconds interval_;
    std::chrono::steady_clock::time_point lastPrint_{};
    double duration_ = 0;
    double done_ = 0;
};

} // namespace conv
