#include "memory_input.hpp"

#include <algorithm>
#include <cstring>

namespace conv {

MemoryInput::MemoryInput(std::span<const std::uint8_t> bytes)
    : bytes_(bytes),
      io_(readingIoContext(this, 4096, &MemoryInput::read, &MemoryInput::seek))
{}

int MemoryInput::read(void* opaque, std::uint8_t* buffer, int size)
{
    auto* self = static_cast<MemoryInput*>(opaque);
    const std::size_t left = self->bytes_.size() - self->position_;
    const std::size_t count = std::min(left, static_cast<std::size_t>(std::max(size, 0)));
    if (count == 0)
        return AVERROR_EOF;
    std::memcpy(buffer, self->bytes_.data() + self->position_, count);
    self->position_ += count;
    return static_cast<int>(count);
}

std::int64_t MemoryInput::seek(void* opaque, std::int64_t offset, int whence)
{
    auto* self = static_cast<MemoryInput*>(opaque);
    const auto size = static_cast<std::int64_t>(self->bytes_.size());
    std::int64_t target = 0;
    switch (whence & ~AVSEEK_FORCE) {
    case AVSEEK_SIZE: return size;
    case SEEK_SET: target = offset; break;
    case SEEK_CUR: target = static_cast<std::int64_t>(self->position_) + offset; break;
    case SEEK_END: target = size + offset; break;
    default: return AVERROR(EINVAL);
    }
    if (target < 0 || target > size)
        return AVERROR(EINVAL);
    self->position_ = static_cast<std::size_t>(target);
    return target;
}

}  // namespace conv
