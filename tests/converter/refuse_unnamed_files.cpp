// Preloaded into conv.dll by a test: a file system that keeps no unnamed files
// (FAT, some network shares) refuses O_TMPFILE. Each refusal touches the file
// UNNAMED_REFUSED_MARK names, so the test knows the refusal was met.

// The C library's checking wrappers would stand in for the definitions below.
#undef _FORTIFY_SOURCE

#include <cerrno>
#include <cstdarg>
#include <cstdlib>

#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

int openUnlessUnnamed(int folder, const char* path, int flags, mode_t mode)
{
    if ((flags & O_TMPFILE) == O_TMPFILE) {
        if (const char* mark = std::getenv("UNNAMED_REFUSED_MARK")) {
            const long fd = syscall(SYS_openat, AT_FDCWD, mark, O_CREAT | O_WRONLY | O_CLOEXEC, 0600);
            if (fd >= 0)
                syscall(SYS_close, fd);
        }
        errno = EOPNOTSUPP;
        return -1;
    }
    return static_cast<int>(syscall(SYS_openat, folder, path, flags, mode));
}

mode_t modeArgument(int flags, va_list arguments)
{
    return (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE ? static_cast<mode_t>(va_arg(arguments, int)) : 0;
}

}  // namespace

extern "C" int open(const char* path, int flags, ...)
{
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = modeArgument(flags, arguments);
    va_end(arguments);
    return openUnlessUnnamed(AT_FDCWD, path, flags, mode);
}

// The same function under its large-file name.
extern "C" int open64(const char* path, int flags, ...) __attribute__((alias("open")));

extern "C" int openat(int folder, const char* path, int flags, ...)
{
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = modeArgument(flags, arguments);
    va_end(arguments);
    return openUnlessUnnamed(folder, path, flags, mode);
}

extern "C" int openat64(int folder, const char* path, int flags, ...) __attribute__((alias("openat")));
