#include "pipeline/progress_ticker.hpp"

#include <chrono>

namespace conv {
namespace {

// Well below the reporter's interval, so that no gap between lines is much
// longer than that interval.
constexpr std::chrono::milliseconds kTick{25};

}  // namespace

ProgressTicker::ProgressTicker(ProgressReporter& progress, std::function<double()> secondsDone)
    : progress_(progress),
      secondsDone_(std::move(secondsDone)),
      thread_([this] { tick(); })
{}

ProgressTicker::~ProgressTicker()
{
    {
        std::lock_guard lock(mutex_);
        ending_ = true;
    }
    ended_.notify_all();
    thread_.join();
}

void ProgressTicker::tick()
{
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            if (ended_.wait_for(lock, kTick, [this] { return ending_; }))
                return;
        }
        // Unlocked: a slow reader of the lines must not hold up the end.
        progress_.update(secondsDone_());
    }
}

}  // namespace conv
