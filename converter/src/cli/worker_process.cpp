#include "cli/worker_process.hpp"

#include "base/errors.hpp"

#include "ConverterStatus.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace conv {
namespace {

sigset_t signalsWaitedFor()
{
    sigset_t set;
    sigemptyset(&set);
    for (const int stop : tovaro::kStopSignals)
        sigaddset(&set, stop);
    sigaddset(&set, SIGCHLD);
    return set;
}

[[noreturn]] void becomeWorker(pid_t supervisor, const std::function<int()>& work)
{
    // Nothing may go on converting once the process its caller waits for is gone.
    if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || getppid() != supervisor)
        _exit(static_cast<int>(ConverterStatus::Stopped));
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

}  // namespace

int runInWorker(const std::function<int()>& work)
{
    // A worker that ends before the wait below starts is not missed: its
    // SIGCHLD waits, blocked, like a stop signal.
    const sigset_t waited = signalsWaitedFor();
    pthread_sigmask(SIG_BLOCK, &waited, nullptr);
    std::fflush(nullptr);
    const pid_t supervisor = getpid();
    const pid_t worker = fork();
    if (worker < 0)
        throw ConversionError(std::string("cannot start the conversion: ") + std::strerror(errno));
    if (worker == 0)
        becomeWorker(supervisor, work);

    for (;;) {
        const int taken = sigwaitinfo(&waited, nullptr);
        if (taken == SIGCHLD) {
            int status = 0;
            const pid_t ended = waitpid(worker, &status, WNOHANG);
            if (ended == worker)
                return exitStatusOf(status);
            if (ended < 0 && errno != EINTR)
                throw ConversionError(std::string("conversion failed: ") + std::strerror(errno));
        } else if (taken > 0) {
            kill(worker, taken);
        }
    }
}

}  // namespace conv
