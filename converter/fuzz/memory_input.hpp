#pragma once

#include "base/ffmpeg_handles.hpp"

#include <cstddef>
#include <cstdint>
#include <span>

namespace conv {

// Lets FFmpeg read a source from memory instead of a file. The bytes must
// outlive this object.
class MemoryInput {
public:
    explicit MemoryInput(std::span<const std::uint8_t> bytes);
    MemoryInput(const MemoryInput&) = delete;
    MemoryInput& operator=(const MemoryInput&) = delete;

    AVIOContext* io() { return io_.get(); }

private:
    static int read(void* opaque, std::uint8_t* buffer, int size);
    static std::int64_t seek(void* opaque, std::int64_t offset, int whence);

    std::span<const std::uint8_t> bytes_;
    std::size_t position_ = 0;
    IoContextHandle io_;
};

}  // namespace conv
