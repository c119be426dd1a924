#include "source/source_file.hpp"

#include "base/errors.hpp"
#include "base/open_file_size.hpp"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace conv {
namespace {

constexpr int kBufferSize = 32768;

[[noreturn]] void unreadable(const std::string& path, const std::string& why)
{
    throw ConversionError("cannot open '" + path + "': " + why, ConverterStatus::SourceUnreadable);
}

}  // namespace

int openSourceFile(const std::string& path)
{
    // Without O_NONBLOCK, opening a FIFO waits for a writer that may never come.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        unreadable(path, std::strerror(errno));
    struct stat status {};
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        close(fd);
        unreadable(path, S_ISDIR(status.st_mode) ? "it is a folder" : "it is not a regular file");
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

SourceFile::SourceFile(int fd, const std::atomic<bool>* stopRequested) : fd_(fd), stopRequested_(stopRequested)
{
    try {
        io_ = readingIoContext(this, kBufferSize, &SourceFile::read, &SourceFile::seek);
    } catch (...) {
        close(fd_);
        throw;
    }
}

SourceFile::~SourceFile()
{
    io_.reset();
    close(fd_);
}

int SourceFile::read(void* opaque, std::uint8_t* buffer, int size)
{
    auto* self = static_cast<SourceFile*>(opaque);
    for (;;) {
        const ssize_t count = ::read(self->fd_, buffer, static_cast<std::size_t>(size));
        if (count > 0)
            return static_cast<int>(count);
        if (count == 0)
            return AVERROR_EOF;
        if (errno != EINTR)
            return AVERROR(errno);
        if (self->stopRequested_ && self->stopRequested_->load())
            return AVERROR_EXIT;
    }
}

std::int64_t SourceFile::seek(void* opaque, std::int64_t offset, int whence)
{
    auto* self = static_cast<SourceFile*>(opaque);
    if ((whence & ~AVSEEK_FORCE) == AVSEEK_SIZE) {
        const std::int64_t size = openFileSize(self->fd_);
        return size >= 0 ? size : AVERROR(errno);
    }
    const off_t position = lseek(self->fd_, offset, whence & ~AVSEEK_FORCE);
    return position < 0 ? AVERROR(errno) : position;
}

}  // namespace conv
