#pragma once
// Starting the converter as a background process and asking whether it still runs.

#include <QString>
#include <QStringList>

#include <sys/types.h>

class QProcess;

namespace platform {

struct CommandLine {
    QString program;
    QStringList arguments;
};

// Splits one command-line text the way the converter's caller composes it: words
// are separated by blanks and nothing is quoted. The program path itself may hold
// blanks (an application folder such as "/opt/My Tools"): as on the system this
// command line was designed for, the shortest blank-ended prefix that names an
// existing executable file is the program, the rest are its arguments.
CommandLine splitCommandLine(const QString& text);

// Starts the command line with no terminal input, without waiting. Returns the
// process id, or 0 when it could not be started.
pid_t startHidden(const QString& commandLine);

// Starts `command` as its program with exactly its arguments: no shell, nothing split
// or interpreted. It reads nothing (standard input is the null device), and it is
// killed when this program ends, however it ends, so it can never be left running
// behind it. Standard output and error stay as `process` has set them up.
void startTiedToUs(QProcess& process, const CommandLine& command);

// True while the process exists. A child of ours that has ended is reaped here, so
// it never lingers as a zombie that would still count as existing.
bool processExists(pid_t pid);

}  // namespace platform
