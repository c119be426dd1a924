// The size of an open file, asked of its descriptor alone.
#pragma once

#include <cstdint>

namespace conv {

// The size in bytes of the file open as `fd`, or -1 with errno set. Uses the
// fstat system call, which takes nothing but a descriptor: the confined worker
// may make it, while the C library's fstat goes through newfstatat, which
// also takes a name and is refused there.
std::int64_t openFileSize(int fd);

}  // namespace conv
