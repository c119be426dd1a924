#include "Process.h"

#include <QProcess>

#include <sys/prctl.h>
#include <unistd.h>
#include <csignal>

namespace platform {

void startTiedToUs(QProcess& process, const CommandLine& command)
{
    const pid_t parent = ::getpid();
    // Runs in the child between fork and exec. The death signal is tied to the thread
    // that forks, which is the window's thread for the program's whole life. Had we
    // died before it was set, the child has a new parent by now and gives up.
    // The stop signals start held: a stop sent while the converter's libraries are
    // still loading waits for the converter to take it and end in good order,
    // instead of ending it before any of its code runs.
    process.setChildProcessModifier([parent] {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent)
            ::_exit(127);
        sigset_t stopSignals;
        ::sigemptyset(&stopSignals);
        for (const int stop : {SIGINT, SIGTERM, SIGHUP})
            ::sigaddset(&stopSignals, stop);
        ::sigprocmask(SIG_BLOCK, &stopSignals, nullptr);
    });
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(command.program, command.arguments, QIODevice::ReadOnly);
}

}  // namespace platform
