// Opens the source, a regular file only, for FFmpeg to read through its descriptor.
#pragma once

#include "base/ffmpeg_handles.hpp"

#include <atomic>
#include <string>

namespace conv {

// Opens the source for reading: the name is a plain file name, never a URL,
// and only a regular file is read (a FIFO or a device could block forever or
// never end). Throws ConversionError(SourceUnreadable) when the file is
// missing, unreadable or not a regular file.
int openSourceFile(const std::string& path);

// The open source, read through FFmpeg.
class SourceFile {
public:
    // Takes over `fd`, from openSourceFile(). While `stopRequested` (optional)
    // is true, an interrupted read gives up instead of trying again.
    SourceFile(int fd, const std::atomic<bool>* stopRequested);
    ~SourceFile();
    SourceFile(const SourceFile&) = delete;
    SourceFile& operator=(const SourceFile&) = delete;

    AVIOContext& io() { return *io_; }

private:
    static int read(void* opaque, std::uint8_t* buffer, int size);
    static std::int64_t seek(void* opaque, std::int64_t offset, int whence);

    int fd_ = -1;
    const std::atomic<bool>* stopRequested_;
    IoContextHandle io_;
};

}  // namespace conv
