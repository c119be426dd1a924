// A thread that hands the output time to the progress lines at their pace.
#pragma once

#include "pipeline/progress_reporter.hpp"

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace conv {

// Hands the output time to a ProgressReporter from a thread of its own, for as
// long as it lives: the lines keep coming at their pace (and a reader that is
// gone is noticed) whatever the other threads are busy with, such as one
// source picture that fills many seconds of output.
class ProgressTicker {
public:
    ProgressTicker(ProgressReporter& progress, std::function<double()> secondsDone);
    ~ProgressTicker();
    ProgressTicker(const ProgressTicker&) = delete;
    ProgressTicker& operator=(const ProgressTicker&) = delete;

private:
    void tick();

    ProgressReporter& progress_;
    std::function<double()> secondsDone_;
    std::mutex mutex_;
    std::condition_variable ended_;
    bool ending_ = false;
    std::thread thread_;
};

}  // namespace conv
