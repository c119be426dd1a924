#include "base/open_file_size.hpp"

#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace conv {

std::int64_t openFileSize(int fd)
{
    struct stat status {};
    if (syscall(SYS_fstat, fd, &status) != 0)
        return -1;
    return status.st_size;
}

}  // namespace conv
