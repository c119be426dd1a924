#include "cli/stop_signals.hpp"

#include "cli/unblocked_line.hpp"

#include "ConverterStatus.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <system_error>

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace conv {
namespace {

// Sent by the watcher to the main thread only to break its blocking calls.
constexpr int kWakeSignal = SIGUSR1;
constexpr auto kWakeInterval = std::chrono::milliseconds(50);
// Time the run gets to unwind on its own before the watcher ends the process.
constexpr auto kGraceTime = std::chrono::seconds(3);

extern "C" void ignoreWake(int) {}

sigset_t stopSignals()
{
    sigset_t set;
    sigemptyset(&set);
    for (const int stop : tovaro::kStopSignals)
        sigaddset(&set, stop);
    return set;
}

}  // namespace

StopSignals::StopSignals(std::atomic<bool>& stopRequested) : stopRequested_(stopRequested), mainThread_(pthread_self())
{
    const sigset_t set = stopSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    // No SA_RESTART: a read or open the wake signal hits returns EINTR, and
    // FFmpeg then asks the stop flag before it tries again.
    struct sigaction wake {};
    wake.sa_handler = ignoreWake;
    sigemptyset(&wake.sa_mask);
    sigaction(kWakeSignal, &wake, nullptr);

    signalFd_ = signalfd(-1, &set, SFD_CLOEXEC);
    quitFd_ = eventfd(0, EFD_CLOEXEC);
    if (signalFd_ < 0 || quitFd_ < 0)
        throw std::system_error(errno, std::system_category(), "cannot watch for stop signals");
}

void StopSignals::startWatching()
{
    watcher_ = std::thread([this] { watch(); });
}

StopSignals::~StopSignals()
{
    const std::uint64_t one = 1;
    if (watcher_.joinable() && write(quitFd_, &one, sizeof one) == sizeof one)
        watcher_.join();
    else if (watcher_.joinable())
        watcher_.detach();
    close(signalFd_);
    close(quitFd_);
}

void StopSignals::watch()
{
    using Clock = std::chrono::steady_clock;
    Clock::time_point stoppedAt{};
    for (;;) {
        pollfd watched[2] = {{signalFd_, POLLIN, 0}, {quitFd_, POLLIN, 0}};
        const bool stopping = stopRequested_.load();
        const int ready = poll(watched, 2, stopping ? static_cast<int>(kWakeInterval.count()) : -1);
        if (ready < 0 && errno != EINTR)
            return;
        if (watched[1].revents & POLLIN)
            return;  // the run is over
        if (watched[0].revents & POLLIN) {
            signalfd_siginfo info{};
            if (read(signalFd_, &info, sizeof info) == sizeof info && !stopRequested_.exchange(true))
                stoppedAt = Clock::now();
        }
        if (!stopRequested_.load())
            continue;
        if (stoppedAt == Clock::time_point{})
            stoppedAt = Clock::now();
        if (Clock::now() - stoppedAt > kGraceTime) {
            writeLineUnblocked("stopped on request");
            _exit(static_cast<int>(tovaro::ConverterStatus::Stopped));
        }
        pthread_kill(mainThread_, kWakeSignal);
    }
}

}  // namespace conv
