// The supervisor's own check of the worker's file before it is placed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace conv {

// Reads `size` bytes at `offset` into `into`; false when they are not all there.
using ReadAt = std::function<bool(std::uint64_t offset, std::uint8_t* into, std::size_t size)>;

// What is wrong with a file of `fileSize` bytes, read through `read`, as the
// result of a conversion the worker says lasts `reportedSeconds`; nothing when
// it is sound: top-level boxes that fill the file exactly, an ftyp first with
// a 3GP brand, one moov and one mdat, in the moov one H.263 video track and/or
// one AMR sound track whose chunks lie inside the mdat and fill it, and a
// duration within a second of the reported one. Written apart from the muxer
// and the worker, which a crafted source may have subverted: it trusts no
// size and reads no more than the index, whatever the file's size.
std::optional<std::string> resultProblem(const ReadAt& read, std::uint64_t fileSize, double reportedSeconds);

// The same of the file open as `fd`.
std::optional<std::string> resultProblem(int fd, double reportedSeconds);

}  // namespace conv
