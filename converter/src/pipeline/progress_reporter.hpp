// The progress lines on stderr, with a duration estimated when the source gives none.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <mutex>

namespace conv {

// Prints "progress: time=12.34 duration=60.00" lines (seconds) about twice a
// second (from any thread), and once more at the end, where duration is the
// time converted. time never runs past duration: a source
// that turns out longer than it claimed (or claims nothing) gets a duration
// estimated from how much of it has been read; duration=0.00 means none can
// be given yet.
class ProgressReporter {
public:
    // 475 ms: with a ticker's 25 ms pace (ProgressTicker), no gap between
    // lines is longer than half a second.
    explicit ProgressReporter(std::FILE* out, std::chrono::milliseconds interval = std::chrono::milliseconds(475));

    // What the source states; 0 if nothing.
    void setDuration(double seconds)
    {
        std::lock_guard lock(mutex_);
        stated_ = seconds > 0 ? seconds : 0;
    }
    // How much of the source has been read, 0 to 1, or negative if unknown.
    void setReadFraction(std::function<double()> fraction)
    {
        std::lock_guard lock(mutex_);
        readFraction_ = std::move(fraction);
    }
    // How far into the source's time the reading has got, when the time
    // passed to update() is the output written, which trails it.
    void setSecondsRead(std::function<double()> seconds)
    {
        std::lock_guard lock(mutex_);
        secondsRead_ = std::move(seconds);
    }
    // Sets `flag` once whoever watched is gone: its pipe reports the far end
    // closed, or a line cannot be written.
    void stopWhenUnread(std::atomic<bool>* flag) { stopWhenUnread_ = flag; }

    void update(double secondsDone);
    // The one last line: everything converted, which is the duration too.
    void finish(double secondsDone);

    // The duration the next line will show.
    double shownDuration() const;

private:
    double durationLocked() const;
    void print();

    mutable std::mutex mutex_;
    std::FILE* out_;
    std::chrono::milliseconds interval_;
    std::chrono::steady_clock::time_point lastPrint_{};
    std::function<double()> readFraction_;
    std::function<double()> secondsRead_;
    std::atomic<bool>* stopWhenUnread_ = nullptr;
    double stated_ = 0;
    double done_ = 0;
    bool finished_ = false;
};

}  // namespace conv
