#include "pipeline/progress_reporter.hpp"

#include "ConverterProtocol.h"

#include <algorithm>

#include <poll.h>

namespace conv {
namespace {

// Below this share of the file read, the headers and the first pictures
// weigh too much for a byte count to say anything about the length.
constexpr double kLeastFractionForEstimate = 0.05;

// Seconds past its claimed end a source may run and keep the claim.
constexpr double kClaimOverrun = 0.5;

// A pipe whose reader has closed its end reports an error at once, before
// anything is written to it.
bool readerGone(std::FILE* out)
{
    pollfd watched{fileno(out), 0, 0};
    return poll(&watched, 1, 0) == 1 && (watched.revents & (POLLERR | POLLHUP)) != 0;
}

}  // namespace

ProgressReporter::ProgressReporter(std::FILE* out, std::chrono::milliseconds interval)
    : out_(out),
      interval_(interval),
      lastPrint_(std::chrono::steady_clock::now())
{}

double ProgressReporter::shownDuration() const
{
    std::lock_guard lock(mutex_);
    return durationLocked();
}

double ProgressReporter::durationLocked() const
{
    // At the end, what was converted is the whole of it.
    if (finished_)
        return done_;
    const double fraction = readFraction_ ? readFraction_() : -1;
    // The output written trails what has been read by the work in between.
    const double reached = secondsRead_ ? std::max(done_, secondsRead_()) : done_;
    const bool canEstimate = fraction >= kLeastFractionForEstimate && fraction <= 1 && reached > 0;
    const double estimate = canEstimate ? std::max(reached, reached / fraction) : 0;
    // The last sound frame may end a little after the claimed end; the claim
    // is still the best word on the length then.
    if (stated_ > 0 && done_ <= stated_ + kClaimOverrun) {
        // A claim far off the estimate is a timestamp jump or a guess from an
        // elementary stream's bit rate, not the length.
        const bool farOff = canEstimate && (stated_ > 2 * estimate || stated_ < estimate / 2);
        return farOff ? estimate : std::max(stated_, done_);
    }
    return estimate;
}

void ProgressReporter::update(double secondsDone)
{
    std::lock_guard lock(mutex_);
    done_ = std::max(done_, secondsDone);
    if (stopWhenUnread_ && readerGone(out_))
        stopWhenUnread_->store(true);
    const auto now = std::chrono::steady_clock::now();
    if (now - lastPrint_ < interval_)
        return;
    lastPrint_ = now;
    print();
}

void ProgressReporter::finish(double secondsDone)
{
    std::lock_guard lock(mutex_);
    done_ = std::max(done_, secondsDone);
    finished_ = true;
    print();
}

void ProgressReporter::print()
{
    using namespace tovaro;
    const bool written = std::fprintf(out_, "%s%s%.2f %s%.2f\n", kProgressPrefix, kProgressTime, done_,
                                      kProgressDuration, durationLocked()) > 0 &&
                         std::fflush(out_) == 0;
    if (!written && stopWhenUnread_)
        stopWhenUnread_->store(true);
}

}  // namespace conv
