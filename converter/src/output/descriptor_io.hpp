// The muxer's writing and reading back through the working file's descriptor. Within output/ only.
#pragma once

#include "base/ffmpeg_handles.hpp"

namespace conv {

struct DescriptorIoDeleter {
    void operator()(AVIOContext* context) const;
};
using DescriptorIoHandle = std::unique_ptr<AVIOContext, DescriptorIoDeleter>;

// An AVIOContext on an open file descriptor, with a position of its own
// (pread and pwrite), so the muxer writes the 3GP file and reads it back
// without opening anything by name. The descriptor is not closed with it.
DescriptorIoHandle descriptorIo(int fd, bool writing);

// Lets the muxer `format` read back the file it writes to `fd` (moving the
// index to the front) through descriptorIo; any other open is refused.
void readBackThrough(AVFormatContext& format, int fd);

}  // namespace conv
