#include "ExclusiveLock.h"

#include <QFile>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <cerrno>
#include <utility>

namespace platform {

ExclusiveLock::ExclusiveLock(ExclusiveLock&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}

ExclusiveLock& ExclusiveLock::operator=(ExclusiveLock&& other) noexcept
{
    if (this != &other) {
        release();
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

ExclusiveLock::~ExclusiveLock() { release(); }

ExclusiveLock::Result ExclusiveLock::tryAcquire(const QString& path)
{
    release();
    const QByteArray name = QFile::encodeName(path);
    // Close-on-exec: a child must not inherit the lock and hold it past our end.
    int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0)
        fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);  // another user's file, say
    if (fd < 0)
        return Result::Unavailable;
    int locked = 0;
    do
        locked = ::flock(fd, LOCK_EX | LOCK_NB);
    while (locked != 0 && errno == EINTR);
    if (locked != 0) {
        const bool busy = errno == EWOULDBLOCK;
        ::close(fd);
        return busy ? Result::Busy : Result::Unavailable;
    }
    m_fd = fd;
    return Result::Held;
}

void ExclusiveLock::release()
{
    if (m_fd >= 0)
        ::close(m_fd);  // closing the only descriptor drops the lock
    m_fd = -1;
}

}  // namespace platform
