// Packets of the stream that runs ahead, held in an unnamed memory file. Within output/ only.
#pragma once

#include "base/ffmpeg_handles.hpp"

#include <cstdint>
#include <cstdio>
#include <optional>

namespace conv {

// Packets of one stream held back, in order, in an unnamed memory file
// (memfd) rather than on the heap: one stream of the output may run minutes
// ahead of the other (a source whose sound comes long before its pictures),
// and the process's own memory stays flat. A memory file needs nothing of the
// file system, which the confined converter may no longer use.
class PacketSpill {
public:
    PacketSpill() = default;
    ~PacketSpill();
    PacketSpill(const PacketSpill&) = delete;
    PacketSpill& operator=(const PacketSpill&) = delete;

    bool empty() const { return held_ == 0; }
    void push(const AVPacket& packet);
    // The timestamp of the first packet held; empty() must be false.
    std::int64_t frontPts() const { return front_.pts; }
    // Takes the first packet held into `packet` (whose data it replaces).
    void pop(AVPacket& packet);

    // What is stored before each packet's data.
    struct Header {
        std::int64_t pts;
        std::int64_t dts;
        std::int64_t duration;
        std::int32_t flags;
        std::int32_t size;
    };

private:
    Header readHeader() const;

    std::FILE* file_ = nullptr;
    // The first packet's header, kept at hand: the writer asks for its time
    // after every packet it is given.
    Header front_{};
    std::int64_t readAt_ = 0;
    std::int64_t writeAt_ = 0;
    std::int64_t held_ = 0;
};

}  // namespace conv
