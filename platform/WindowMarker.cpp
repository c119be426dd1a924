#include "WindowMarker.h"

#include <QFile>
#include <QSocketNotifier>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

namespace platform {

namespace {

bool toAddress(const QString& path, sockaddr_un& address)
{
    const QByteArray native = QFile::encodeName(path);
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (native.isEmpty() || static_cast<std::size_t>(native.size()) >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, native.constData(), static_cast<std::size_t>(native.size()));
    return true;
}

sockaddr* asGeneric(sockaddr_un& address) { return reinterpret_cast<sockaddr*>(&address); }

}  // namespace

WindowMarker::WindowMarker(const QString& name, QObject* parent) : QObject(parent)
{
    const QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!folder.isEmpty())
        m_path = folder + QLatin1Char('/') + name;
}

WindowMarker::~WindowMarker()
{
    if (m_socket < 0)
        return;
    ::close(m_socket);
    QFile::remove(m_path);
}

bool WindowMarker::heldElsewhere() const
{
    sockaddr_un address;
    if (m_socket >= 0 || !toAddress(m_path, address))
        return false;
    // Never waits: a holder too busy to let callers in still holds the sign.
    const int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (probe < 0)
        return false;
    const bool answered = ::connect(probe, asGeneric(address), sizeof address) == 0 || errno == EAGAIN;
    ::close(probe);
    return answered;
}

bool WindowMarker::hold()
{
    sockaddr_un address;
    if (m_socket >= 0)
        return true;
    if (!toAddress(m_path, address))
        return false;
    const int socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (socket < 0)
        return false;
    // A socket left by a program that died answers nobody: ours replaces it.
    if (!heldElsewhere())
        QFile::remove(m_path);
    if (::bind(socket, asGeneric(address), sizeof address) != 0 || ::listen(socket, 8) != 0) {
        ::close(socket);
        return false;
    }
    m_socket = socket;
    // Callers only look: each is let in and let go, so none waits in the queue.
    m_callers = new QSocketNotifier(static_cast<qintptr>(socket), QSocketNotifier::Read, this);
    connect(m_callers, &QSocketNotifier::activated, this, [this] {
        for (int caller; (caller = ::accept4(m_socket, nullptr, nullptr, SOCK_CLOEXEC)) >= 0;)
            ::close(caller);
    });
    return true;
}

}  // namespace platform
