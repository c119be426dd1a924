#include "source/disposable_packets.hpp"

#include <cstdint>

namespace conv {
namespace {

constexpr int kSlice = 1;  // a slice of a picture other than an IDR one
constexpr int kAccessUnitDelimiter = 9;
constexpr int kFiller = 12;

// One NAL unit header: true while the packet can still be disposable.
bool unreferenced(std::uint8_t header, bool& sawSlice)
{
    const bool forbidden = header & 0x80;
    const int referenceIdc = (header >> 5) & 3;
    const int type = header & 0x1f;
    if (forbidden || referenceIdc != 0)
        return false;
    sawSlice = sawSlice || type == kSlice;
    return type == kSlice || type == kAccessUnitDelimiter || type == kFiller;
}

// NAL units after start codes (00 00 01), as in MPEG transport streams and
// bare H.264; the codec's escaping keeps start codes out of the units.
bool annexBDisposable(const std::uint8_t* data, int size)
{
    bool sawSlice = false;
    for (int i = 0; i + 3 < size; ++i) {
        if (data[i] != 0 || data[i + 1] != 0 || data[i + 2] != 1)
            continue;
        if (!unreferenced(data[i + 3], sawSlice))
            return false;
        i += 3;
    }
    return sawSlice;
}

// NAL units each behind its length, as in MP4 and Matroska.
bool lengthPrefixedDisposable(const std::uint8_t* data, int size, int lengthBytes)
{
    bool sawSlice = false;
    int at = 0;
    while (at < size) {
        if (size - at <= lengthBytes)
            return false;
        std::uint32_t length = 0;
        for (int i = 0; i < lengthBytes; ++i)
            length = (length << 8) | data[at + i];
        at += lengthBytes;
        if (length == 0 || length > static_cast<std::uint32_t>(size - at) || !unreferenced(data[at], sawSlice))
            return false;
        at += static_cast<int>(length);
    }
    return sawSlice;
}

}  // namespace

bool isDisposable(const AVPacket& packet, const AVCodecParameters& video)
{
    if (packet.flags & AV_PKT_FLAG_DISPOSABLE)
        return true;
    if (video.codec_id != AV_CODEC_ID_H264 || !packet.data || packet.size <= 0)
        return false;
    // An avcC record (version 1) in the extradata means length-prefixed units.
    const std::uint8_t* extra = video.extradata;
    if (extra && video.extradata_size >= 7 && extra[0] == 1)
        return lengthPrefixedDisposable(packet.data, packet.size, (extra[4] & 3) + 1);
    return annexBDisposable(packet.data, packet.size);
}

}  // namespace conv
