#pragma once
// Starting the converter as a background process tied to this program's life.

#include <QString>
#include <QStringList>

#include <span>

class QProcess;

namespace platform {

struct CommandLine {
    QString program;
    QStringList arguments;
};

// Starts `command` as its program with exactly its arguments: no shell, nothing split
// or interpreted. It reads nothing (standard input is the null device), and it is
// killed when this program ends, however it ends, so it can never be left running
// behind it. It starts with `heldSignals` blocked, to take them when it is ready.
// Standard output and error stay as `process` has set them up.
void startTiedToUs(QProcess& process, const CommandLine& command, std::span<const int> heldSignals);

}  // namespace platform
