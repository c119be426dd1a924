#include "ffmpeg_handles.hpp"

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

} // namespace conv
