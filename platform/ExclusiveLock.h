#pragma once
// A lock that one process holds at a time, across every program that takes the same
// file. It is released when dropped, and by the kernel when the process dies, however
// it dies: a killed program never leaves a stale lock behind.

#include <QString>

namespace platform {

class ExclusiveLock {
public:
    enum class Result { Held, Busy, Unavailable };

    ExclusiveLock() = default;
    ExclusiveLock(ExclusiveLock&& other) noexcept;
    ExclusiveLock& operator=(ExclusiveLock&& other) noexcept;
    ExclusiveLock(const ExclusiveLock&) = delete;
    ExclusiveLock& operator=(const ExclusiveLock&) = delete;
    ~ExclusiveLock();

    // Takes the lock on `path` (created when missing) without waiting. Busy: someone
    // else holds it. Unavailable: the file cannot be opened at all.
    Result tryAcquire(const QString& path);
    bool held() const { return m_fd >= 0; }
    void release();

private:
    int m_fd = -1;
};

}  // namespace platform
