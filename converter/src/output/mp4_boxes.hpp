// Finds a box in a finished MP4/3GP file.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace conv {

// Where a box sits in a finished MP4/3GP file: the offset of its header and its
// whole size.
struct BoxPlace {
    std::int64_t offset = 0;
    std::int64_t size = 0;
};

// Finds the first box along `path` (four-letter types from the top level down,
// e.g. moov/trak/.../d263) in the file open as `fd` of `fileSize` bytes. Only
// the containers on the way to a sample description are looked into.
std::optional<BoxPlace> findBox(int fd, std::int64_t fileSize, const std::vector<std::string_view>& path);

}  // namespace conv
