#pragma once

#include "ffmpeg_handles.hpp"

#include <atomic>
#include <string>

namespace conv {

// The source file, opened by the converter itself and read through FFmpeg:
// the name is a plain file name, never a URL, and only a regular file is
// read. A FIFO or a device could block forever or never end.
class SourceFile {
public:
    // Throws ConversionError(SourceUnreadable) when the file is missing,
    // unreadable or not a regular file. While `stopRequested` (optional) is
    // true, an interrupted read gives up instead of trying again.
    SourceFile(const std::string& path, const std::atomic<bool>* stopRequested);
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
