#include "Process.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <unistd.h>
#include <string>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace platform {

namespace {

bool isExecutableFile(const QString& path)
{
    const QFileInfo info(path);
    return info.isFile() && info.isExecutable();
}

QStringList wordsOf(const QString& text)
{
    return text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

}  // namespace

CommandLine splitCommandLine(const QString& text)
{
    for (qsizetype blank = text.indexOf(QLatin1Char(' ')); blank >= 0;
         blank = text.indexOf(QLatin1Char(' '), blank + 1)) {
        const QString prefix = text.left(blank);
        if (isExecutableFile(prefix))
            return {prefix, wordsOf(text.mid(blank + 1))};
    }
    if (isExecutableFile(text))
        return {text, {}};
    // Nothing on disk matched: fall back to the plain first word.
    QStringList words = wordsOf(text);
    if (words.isEmpty())
        return {};
    const QString program = words.takeFirst();
    return {program, words};
}

pid_t startHidden(const QString& commandLine)
{
    const CommandLine command = splitCommandLine(commandLine);
    if (command.program.isEmpty())
        return 0;

    std::vector<std::string> storage;
    storage.push_back(QFile::encodeName(command.program).toStdString());
    for (const QString& argument : command.arguments)
        storage.push_back(QFile::encodeName(argument).toStdString());
    std::vector<char*> argv;
    for (std::string& word : storage)
        argv.push_back(word.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);

    pid_t pid = 0;
    const int failed = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return failed == 0 ? pid : 0;
}

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

bool processExists(pid_t pid)
{
    if (pid <= 0)
        return false;  // 0 and negative ids name process groups, never one process

    int status = 0;
    const pid_t reaped = ::waitpid(pid, &status, WNOHANG);
    if (reaped == pid)
        return false;  // our child, ended just now
    if (reaped == 0)
        return true;  // our child, still running
    // Not a child of ours: ask the kernel whether the id is in use.
    return ::kill(pid, 0) == 0 || errno == EPERM;
}

}  // namespace platform
