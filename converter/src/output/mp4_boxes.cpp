#include "output/mp4_boxes.hpp"

#include <array>
#include <cstring>

#include <unistd.h>

namespace conv {
namespace {

std::uint32_t bigEndian32(const std::uint8_t* bytes)
{
    return (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) | (std::uint32_t{bytes[2]} << 8) |
           bytes[3];
}

// Bytes between a box's header and its first child: the sample description
// counts its entries, and a visual sample entry has its fixed fields first.
std::int64_t childrenStart(std::string_view type)
{
    if (type == "stsd")
        return 8;
    if (type == "s263" || type == "mp4v" || type == "avc1")
        return 78;
    return 0;
}

std::optional<BoxPlace> findWithin(int fd, std::int64_t begin, std::int64_t end,
                                   const std::vector<std::string_view>& path, std::size_t depth)
{
    std::int64_t at = begin;
    while (at + 8 <= end) {
        std::array<std::uint8_t, 16> header{};
        if (pread(fd, header.data(), header.size(), at) < 8)
            return std::nullopt;
        std::int64_t size = bigEndian32(header.data());
        std::int64_t headerSize = 8;
        if (size == 1) {
            size = static_cast<std::int64_t>((std::uint64_t{bigEndian32(header.data() + 8)} << 32) |
                                             bigEndian32(header.data() + 12));
            headerSize = 16;
        } else if (size == 0) {
            size = end - at;
        }
        if (size < headerSize || size > end - at)
            return std::nullopt;
        const std::string_view type(reinterpret_cast<const char*>(header.data() + 4), 4);
        if (type == path[depth]) {
            if (depth + 1 == path.size())
                return BoxPlace{at, size};
            // Another box of the same type may hold the rest of the path
            // (the sound track's trak before the picture's).
            if (auto found = findWithin(fd, at + headerSize + childrenStart(type), at + size, path, depth + 1))
                return found;
        }
        at += size;
    }
    return std::nullopt;
}

}  // namespace

std::optional<BoxPlace> findBox(int fd, std::int64_t fileSize, const std::vector<std::string_view>& path)
{
    if (path.empty())
        return std::nullopt;
    return findWithin(fd, 0, fileSize, path, 0);
}

}  // namespace conv
