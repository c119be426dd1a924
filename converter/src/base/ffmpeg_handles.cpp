#include "base/ffmpeg_handles.hpp"

#include <new>

namespace conv {

FrameHandle allocateFrame()
{
    FrameHandle frame(av_frame_alloc());
    if (!frame)
        throw std::bad_alloc();
    return frame;
}

PacketHandle allocatePacket()
{
    PacketHandle packet(av_packet_alloc());
    if (!packet)
        throw std::bad_alloc();
    return packet;
}

IoContextHandle readingIoContext(void* opaque, int bufferSize, int (*read)(void*, std::uint8_t*, int),
                                 std::int64_t (*seek)(void*, std::int64_t, int))
{
    auto* buffer = static_cast<std::uint8_t*>(av_malloc(static_cast<std::size_t>(bufferSize)));
    if (!buffer)
        throw std::bad_alloc();
    IoContextHandle io(avio_alloc_context(buffer, bufferSize, 0, opaque, read, nullptr, seek));
    if (!io) {
        av_free(buffer);
        throw std::bad_alloc();
    }
    return io;
}

}  // namespace conv
