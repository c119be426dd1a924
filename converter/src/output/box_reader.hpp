// MP4/3GP boxes read from bytes held in memory, every size checked. Within output/ only.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace conv::boxes {

using Bytes = std::span<const std::uint8_t>;

// One box: its type and what follows its header.
struct Box {
    std::string_view type;
    Bytes payload;
};

std::uint32_t read32(Bytes bytes, std::size_t at);
std::uint64_t read64(Bytes bytes, std::size_t at);

// The boxes that fill `bytes` exactly, or nothing when a size is below its
// header, runs past the end, is left open (0), or leaves bytes over.
std::optional<std::vector<Box>> boxesFilling(Bytes bytes);

// The one box of `type` among `boxes`; nothing when there is none or more.
std::optional<Box> onlyBox(const std::vector<Box>& boxes, std::string_view type);

// The one box along `path` inside `payload`, each step the only one of its type.
std::optional<Box> onlyBoxAlong(Bytes payload, std::initializer_list<std::string_view> path);

}  // namespace conv::boxes
