#include "cli/worker_process.hpp"

#include "base/errors.hpp"
#include "cli/unblocked_line.hpp"

#include "ConverterStatus.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace conv {
namespace {

using Clock = std::chrono::steady_clock;

// How long a stopped worker may take to end on its own before it is killed.
// Its files are unnamed or the supervisor's to remove, so a kill loses
// nothing; the wait is only for its own "stopped" line.
constexpr auto kStopGrace = std::chrono::milliseconds(150);

sigset_t stopSignals()
{
    sigset_t set;
    sigemptyset(&set);
    for (const int stop : tovaro::kStopSignals)
        sigaddset(&set, stop);
    return set;
}

sigset_t signalsWaitedFor()
{
    sigset_t set = stopSignals();
    sigaddset(&set, SIGCHLD);
    return set;
}

// Everything but stderr and `kept` closed, stdin and stdout on /dev/null: a
// descriptor the caller left open (a file, a folder, the supervisor's own of
// OUT's folder) is no way out of the confinement.
void keepOnly(std::vector<int> kept)
{
    const int nothing = open("/dev/null", O_RDWR | O_CLOEXEC);
    if (nothing < 0 || dup2(nothing, STDIN_FILENO) < 0 || dup2(nothing, STDOUT_FILENO) < 0)
        _exit(static_cast<int>(ConverterStatus::Failed));
    kept.push_back(STDERR_FILENO);
    std::sort(kept.begin(), kept.end());
    unsigned first = STDERR_FILENO + 1;
    for (const int fd : kept) {
        if (fd > static_cast<int>(first))
            syscall(SYS_close_range, first, fd - 1, 0);
        first = std::max(first, static_cast<unsigned>(fd) + 1);
    }
    syscall(SYS_close_range, first, ~0U, 0);
}

[[noreturn]] void becomeWorker(pid_t supervisor, const std::vector<int>& kept, const std::function<int()>& work)
{
    // Nothing may go on converting once the process its caller waits for is gone.
    if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || getppid() != supervisor)
        _exit(static_cast<int>(ConverterStatus::Stopped));
    keepOnly(kept);
    std::exit(work());
}

int exitStatusOf(int status)
{
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    const int signal = WTERMSIG(status);
    throw ConversionError("conversion failed: the converting process ended on signal " + std::to_string(signal) + " (" +
                          strsignal(signal) + ")");
}

// A stop signal taken now, without waiting.
bool stopPending()
{
    const sigset_t stops = stopSignals();
    const timespec now{};
    return sigtimedwait(&stops, nullptr, &now) > 0;
}

// Once stopped, the worker's own failure stands; its success, or its death
// by the kill the stop led to, is the stop.
int stoppedStatus(int status)
{
    const int stopped = static_cast<int>(ConverterStatus::Stopped);
    if (WIFEXITED(status) && WEXITSTATUS(status) != 0)
        return WEXITSTATUS(status);
    writeLineUnblocked("stopped on request");
    return stopped;
}

// Waits for the worker's end, passing stop signals on and killing a worker
// that outlives the grace after one.
int waitForWorker(pid_t worker)
{
    const sigset_t waited = signalsWaitedFor();
    std::optional<Clock::time_point> stoppedAt;
    for (;;) {
        int taken = 0;
        if (stoppedAt) {
            const auto left =
                std::max(Clock::duration(std::chrono::milliseconds(1)), *stoppedAt + kStopGrace - Clock::now());
            const timespec wait{0, std::chrono::duration_cast<std::chrono::nanoseconds>(left).count()};
            taken = sigtimedwait(&waited, nullptr, &wait);
        } else {
            taken = sigwaitinfo(&waited, nullptr);
        }
        if (taken == SIGCHLD) {
            int status = 0;
            const pid_t ended = waitpid(worker, &status, WNOHANG);
            if (ended == worker)
                return stoppedAt || stopPending() ? stoppedStatus(status) : exitStatusOf(status);
            if (ended < 0 && errno != EINTR)
                throw ConversionError(std::string("conversion failed: ") + std::strerror(errno));
        } else if (taken > 0) {
            kill(worker, taken);
            stoppedAt = stoppedAt.value_or(Clock::now());
        }
        if (stoppedAt && Clock::now() - *stoppedAt >= kStopGrace)
            kill(worker, SIGKILL);
    }
}

// A page the worker writes and the supervisor reads after its end: the
// worker's word without a descriptor it could misuse.
class SharedReport {
public:
    SharedReport()
        : seconds_(static_cast<double*>(
              mmap(nullptr, sizeof(double), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0)))
    {
        if (seconds_ == MAP_FAILED)
            throw ConversionError(std::string("cannot start the conversion: ") + std::strerror(errno));
        *seconds_ = -1;
    }
    ~SharedReport() { munmap(seconds_, sizeof(double)); }
    SharedReport(const SharedReport&) = delete;
    SharedReport& operator=(const SharedReport&) = delete;

    double& seconds() { return *seconds_; }

private:
    double* seconds_;
};

}  // namespace

WorkerEnd runInWorker(const std::vector<int>& kept, const std::function<int(double& secondsWritten)>& work)
{
    // A worker that ends before the wait below starts is not missed: its
    // SIGCHLD waits, blocked, like a stop signal.
    const sigset_t waited = signalsWaitedFor();
    pthread_sigmask(SIG_BLOCK, &waited, nullptr);
    SharedReport report;
    std::fflush(nullptr);
    const pid_t supervisor = getpid();
    const pid_t worker = fork();
    if (worker < 0)
        throw ConversionError(std::string("cannot start the conversion: ") + std::strerror(errno));
    if (worker == 0)
        becomeWorker(supervisor, kept, [&] { return work(report.seconds()); });
    const int status = waitForWorker(worker);
    return WorkerEnd{status, report.seconds()};
}

}  // namespace conv
