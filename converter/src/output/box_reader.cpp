#include "output/box_reader.hpp"

#include <algorithm>

namespace conv::boxes {

std::uint32_t read32(Bytes bytes, std::size_t at)
{
    return (std::uint32_t{bytes[at]} << 24) | (std::uint32_t{bytes[at + 1]} << 16) |
           (std::uint32_t{bytes[at + 2]} << 8) | bytes[at + 3];
}

std::uint64_t read64(Bytes bytes, std::size_t at)
{
    return (std::uint64_t{read32(bytes, at)} << 32) | read32(bytes, at + 4);
}

std::optional<std::vector<Box>> boxesFilling(Bytes bytes)
{
    std::vector<Box> found;
    std::size_t at = 0;
    while (at < bytes.size()) {
        const std::size_t left = bytes.size() - at;
        if (left < 8)
            return std::nullopt;
        std::uint64_t size = read32(bytes, at);
        std::size_t header = 8;
        if (size == 1) {
            if (left < 16)
                return std::nullopt;
            size = read64(bytes, at + 8);
            header = 16;
        }
        if (size < header || size > left)
            return std::nullopt;
        const std::string_view type(reinterpret_cast<const char*>(bytes.data() + at + 4), 4);
        found.push_back(Box{type, bytes.subspan(at + header, static_cast<std::size_t>(size) - header)});
        at += static_cast<std::size_t>(size);
    }
    return found;
}

std::optional<Box> onlyBox(const std::vector<Box>& boxes, std::string_view type)
{
    const auto isType = [type](const Box& box) { return box.type == type; };
    const auto first = std::find_if(boxes.begin(), boxes.end(), isType);
    if (first == boxes.end() || std::find_if(first + 1, boxes.end(), isType) != boxes.end())
        return std::nullopt;
    return *first;
}

std::optional<Box> onlyBoxAlong(Bytes payload, std::initializer_list<std::string_view> path)
{
    std::optional<Box> box;
    for (const std::string_view type : path) {
        const auto children = boxesFilling(box ? box->payload : payload);
        if (!children)
            return std::nullopt;
        box = onlyBox(*children, type);
        if (!box)
            return std::nullopt;
    }
    return box;
}

}  // namespace conv::boxes
