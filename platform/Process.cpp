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
    process.setChildProcessModifier([parent] {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent)
            ::_exit(127);
    });
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(command.program, command.arguments, QIODevice::ReadOnly);
}

}  // namespace platform
