#include "Process.h"

#include <QProcess>

#include <sys/prctl.h>
#include <unistd.h>
#include <csignal>

namespace platform {

void startTiedToUs(QProcess& process, const CommandLine& command, std::span<const int> heldSignals)
{
    const pid_t parent = ::getpid();
    sigset_t held;
    ::sigemptyset(&held);
    for (const int number : heldSignals)
        ::sigaddset(&held, number);
    // Runs in the child between fork and exec. The death signal is tied to the thread
    // that forks, which is the window's thread for the program's whole life. Had we
    // died before it was set, the child has a new parent by now and gives up.
    process.setChildProcessModifier([parent, held] {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent)
            ::_exit(127);
        ::sigprocmask(SIG_BLOCK, &held, nullptr);
    });
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(command.program, command.arguments, QIODevice::ReadOnly);
}

}  // namespace platform
