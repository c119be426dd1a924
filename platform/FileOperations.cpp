#include "FileOperations.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace platform {

namespace {

QString systemError(int error = errno) { return QString::fromLocal8Bit(std::strerror(error)); }

QByteArray native(const QString& path) { return QFile::encodeName(path); }

// Closes a descriptor when it goes out of scope.
struct Descriptor {
    int fd = -1;
    ~Descriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

bool writeAll(int out, const char* data, size_t length)
{
    while (length > 0) {
        const ssize_t written = ::write(out, data, length);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        length -= static_cast<size_t>(written);
    }
    return true;
}

// Waits until `in` has something to read or has ended, or until `stop` is requested.
// False when stopped (errno ECANCELED) or when the wait failed.
bool awaitInput(int in, const CopyStop* stop)
{
    pollfd watched[2] = {{in, POLLIN, 0}, {stop ? stop->descriptor() : -1, POLLIN, 0}};
    for (;;) {
        if (stop && stop->requested()) {
            errno = ECANCELED;
            return false;
        }
        if (::poll(watched, 2, -1) >= 0) {
            if (!(stop && stop->requested()))
                return true;
        } else if (errno != EINTR) {
            return false;
        }
    }
}

// Copies everything `in` still holds to `out`. The kernel copies file to file itself
// where it can (no trip through our memory, a shared extent on file systems that
// offer one), a slice at a time so that a stop is seen within a moment; pipes and the
// like go through a large buffer, read only once poll() says there is something, so
// a stop also ends a wait on a source that never writes. errno tells why on failure.
bool copyContents(int in, int out, const CopyStop* stop)
{
    constexpr size_t kSlice = size_t{64} << 20;
    for (;;) {
        if (stop && stop->requested()) {
            errno = ECANCELED;
            return false;
        }
        const ssize_t copied = ::copy_file_range(in, nullptr, out, nullptr, kSlice, 0);
        if (copied > 0)
            continue;
        if (copied == 0)
            return true;
        if (errno == EINTR)
            continue;
        if (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP && errno != EBADF)
            return false;
        break;  // not between these two: copy by hand from where the kernel stopped
    }
    std::vector<char> buffer(size_t{1} << 20);
    for (;;) {
        if (!awaitInput(in, stop))
            return false;
        const ssize_t got = ::read(in, buffer.data(), buffer.size());
        if (got < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (got < 0)
            return false;
        if (got == 0)
            return true;
        if (!writeAll(out, buffer.data(), static_cast<size_t>(got)))
            return false;
    }
}

// Opens a source without waiting: a pipe that no one writes to yet opens at once, and
// copyContents waits for its writer where a stop can reach it.
int openSource(const QString& path) { return ::open(native(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC); }

// Names the result under its final name without replacing anything there.
// Returns 0, or the errno of the failure (EEXIST: the name is taken).
int linkWithoutReplacing(const QString& from, const QString& to)
{
    if (::renameat2(AT_FDCWD, native(from).constData(), AT_FDCWD, native(to).constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // A file system without that kind of rename: a hard link fails just as well
    // when the name is taken.
    if (::link(native(from).constData(), native(to).constData()) != 0)
        return errno;
    ::unlink(native(from).constData());
    return 0;
}

}  // namespace

Status copyFileReplacing(const QString& from, const QString& to, const CopyStop* stop)
{
    Descriptor source{openSource(from)};
    if (source.fd < 0)
        return Status::failure(QStringLiteral("cannot read %1: %2").arg(from, systemError()));

    // The temporary file lives in the target's folder so the final rename stays on
    // one file system and is atomic.
    QTemporaryFile staging(QFileInfo(to).absolutePath() + QStringLiteral("/.copy-XXXXXX"));
    if (!staging.open()) {
        const int error = errno;
        return Status::failure(QStringLiteral("cannot write beside %1: %2").arg(to, staging.errorString()), error);
    }
    if (!copyContents(source.fd, staging.handle(), stop)) {
        const int error = errno;
        return Status::failure(QStringLiteral("cannot copy %1 to %2: %3").arg(from, to, systemError(error)), error);
    }

    struct stat info {};
    if (::fstat(source.fd, &info) == 0)
        ::fchmod(staging.handle(), info.st_mode & 07777);  // the converter must stay executable

    if (std::rename(native(staging.fileName()).constData(), native(to).constData()) != 0)
        return Status::failure(QStringLiteral("cannot replace %1: %2").arg(to, systemError()));
    staging.setAutoRemove(false);  // it is the target now
    return Status::success();
}

Status copyUnderFreeName(const QString& from, const QString& folder, const std::function<QString(int)>& nameFor,
                         QString* placed, const CopyStop* stop)
{
    Descriptor source{openSource(from)};
    if (source.fd < 0)
        return Status::failure(QStringLiteral("cannot read %1: %2").arg(from, systemError()));

    // Created with the usual permissions of a new file (the umask applies), unlike a
    // private temporary file.
    static std::atomic<int> serial{0};
    const QString staging = folder + QStringLiteral("/.partial-%1-%2").arg(::getpid()).arg(serial++);
    Descriptor out{::open(native(staging).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666)};
    if (out.fd < 0) {
        const int error = errno;
        return Status::failure(QStringLiteral("cannot write in %1: %2").arg(folder, systemError(error)), error);
    }
    const auto fail = [&](const QString& what, int error) {
        ::unlink(native(staging).constData());
        return Status::failure(what + QStringLiteral(": ") + systemError(error), error);
    };
    if (!copyContents(source.fd, out.fd, stop) || ::fdatasync(out.fd) != 0)
        return fail(QStringLiteral("cannot write in %1").arg(folder), errno);

    for (int attempt = 1; attempt <= 10000; ++attempt) {
        const QString target = folder + QLatin1Char('/') + nameFor(attempt);
        const int error = linkWithoutReplacing(staging, target);
        if (error == 0) {
            if (placed)
                *placed = target;
            return Status::success();
        }
        if (error != EEXIST)
            return fail(QStringLiteral("cannot name the copy %1").arg(target), error);
    }
    return fail(QStringLiteral("no free name in %1").arg(folder), EEXIST);
}

FileStamp stampOf(const QString& path)
{
    struct stat info {};
    if (::stat(native(path).constData(), &info) != 0)
        return {};
    return {true, static_cast<quint64>(info.st_dev), static_cast<quint64>(info.st_ino),
            static_cast<qint64>(info.st_size),
            static_cast<qint64>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec};
}

Status createFolder(const QString& path)
{
    if (QFileInfo::exists(path))
        return Status::failure(QStringLiteral("%1 already exists").arg(path));
    if (!QDir().mkdir(path))
        return Status::failure(QStringLiteral("cannot create %1").arg(path));
    return Status::success();
}

Status deleteFile(const QString& path)
{
    QFile file(path);
    if (!file.remove())
        return Status::failure(QStringLiteral("cannot delete %1: %2").arg(path, file.errorString()));
    return Status::success();
}

}  // namespace platform
