#include "StopSignalNotifier.h"

#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>
#include <cerrno>
#include <csignal>

namespace platform {

namespace {

// The handler may only write to a pipe; the window thread reads it.
int g_pipe[2] = {-1, -1};

void onSignal(int taken)
{
    const int saved = errno;
    const auto number = static_cast<unsigned char>(taken);
    (void)!::write(g_pipe[1], &number, 1);
    errno = saved;
}

}  // namespace

StopSignalNotifier::StopSignalNotifier(std::span<const int> taken, QObject* parent) : QObject(parent)
{
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;  // the signals keep their default: the program ends at once
    m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &StopSignalNotifier::readPending);
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int stop : taken)
        ::sigaction(stop, &action, nullptr);
}

StopSignalNotifier::~StopSignalNotifier()
{
    // The handlers stay, writing to a pipe nobody reads: a late signal is then lost
    // rather than ending a program that is closing in good order anyway.
    delete m_notifier;
}

void StopSignalNotifier::readPending()
{
    unsigned char number = 0;
    while (::read(g_pipe[0], &number, 1) == 1)
        emit received(number);
}

}  // namespace platform
