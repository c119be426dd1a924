#include "output/descriptor_io.hpp"

#include "base/open_file_size.hpp"

#include <cerrno>
#include <cstdint>
#include <new>

#include <unistd.h>

extern "C" {
#include <libavformat/avformat.h>
}

namespace conv {
namespace {

// The same buffer size avio_open gives a file.
constexpr int kBufferSize = 32768;

struct Cursor {
    int fd;
    std::int64_t position = 0;
};

Cursor& cursorOf(void* opaque) { return *static_cast<Cursor*>(opaque); }

int readAt(void* opaque, std::uint8_t* buffer, int size)
{
    Cursor& cursor = cursorOf(opaque);
    for (;;) {
        const ssize_t count = pread(cursor.fd, buffer, static_cast<std::size_t>(size), cursor.position);
        if (count > 0) {
            cursor.position += count;
            return static_cast<int>(count);
        }
        if (count == 0)
            return AVERROR_EOF;
        if (errno != EINTR)
            return AVERROR(errno);
    }
}

int writeAt(void* opaque, std::uint8_t* buffer, int size)
{
    Cursor& cursor = cursorOf(opaque);
    for (int done = 0; done < size;) {
        const ssize_t count = pwrite(cursor.fd, buffer + done, static_cast<std::size_t>(size - done), cursor.position);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return AVERROR(count < 0 ? errno : EIO);
        cursor.position += count;
        done += static_cast<int>(count);
    }
    return size;
}

std::int64_t seekTo(void* opaque, std::int64_t offset, int whence)
{
    Cursor& cursor = cursorOf(opaque);
    whence &= ~AVSEEK_FORCE;
    const bool fromEnd = whence == AVSEEK_SIZE || whence == SEEK_END;
    const std::int64_t size = fromEnd ? openFileSize(cursor.fd) : 0;
    if (size < 0)
        return AVERROR(errno);
    std::int64_t position = 0;
    switch (whence) {
    case AVSEEK_SIZE: return size;
    case SEEK_SET: position = offset; break;
    case SEEK_CUR: position = cursor.position + offset; break;
    case SEEK_END: position = size + offset; break;
    default: return AVERROR(EINVAL);
    }
    if (position < 0)
        return AVERROR(EINVAL);
    cursor.position = position;
    return position;
}

int openReadBack(AVFormatContext* format, AVIOContext** io, const char*, int flags, AVDictionary**)
{
    if (flags != AVIO_FLAG_READ)
        return AVERROR(EPERM);
    try {
        *io = descriptorIo(static_cast<int>(reinterpret_cast<std::intptr_t>(format->opaque)), false).release();
        return 0;
    } catch (const std::bad_alloc&) {
        return AVERROR(ENOMEM);
    }
}

int closeReadBack(AVFormatContext*, AVIOContext* io)
{
    const DescriptorIoHandle closing(io);
    return 0;
}

}  // namespace

void DescriptorIoDeleter::operator()(AVIOContext* context) const
{
    if (!context)
        return;
    // FFmpeg may have replaced the buffer: it is freed through the context.
    av_freep(&context->buffer);
    delete static_cast<Cursor*>(context->opaque);
    avio_context_free(&context);
}

DescriptorIoHandle descriptorIo(int fd, bool writing)
{
    auto* buffer = static_cast<std::uint8_t*>(av_malloc(kBufferSize));
    if (!buffer)
        throw std::bad_alloc();
    auto* cursor = new (std::nothrow) Cursor{fd};
    AVIOContext* io = cursor ? avio_alloc_context(buffer, kBufferSize, writing ? 1 : 0, cursor,
                                                  writing ? nullptr : readAt, writing ? writeAt : nullptr, seekTo)
                             : nullptr;
    if (!io) {
        delete cursor;
        av_free(buffer);
        throw std::bad_alloc();
    }
    // Written out when the buffer is full, not after every packet the muxer
    // marks as a flush point.
    io->min_packet_size = kBufferSize;
    return DescriptorIoHandle(io);
}

void readBackThrough(AVFormatContext& format, int fd)
{
    format.opaque = reinterpret_cast<void*>(static_cast<std::intptr_t>(fd));
    format.io_open = openReadBack;
    format.io_close2 = closeReadBack;
}

}  // namespace conv
