#include "output/output_place.hpp"

#include "base/errors.hpp"
#include "output/result_check.hpp"

#include <cerrno>
#include <climits>
#include <cstring>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace conv {
namespace fs = std::filesystem;

namespace {

std::string systemError(int error) { return std::system_category().message(error); }

std::string fdPath(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

[[noreturn]] void refuseOutput(const fs::path& finalPath, const std::string& why)
{
    throw ConversionError("'" + finalPath.string() + "' " + why, ConverterStatus::OutputUnwritable);
}

// The folder the finished file goes to: working files live there too, so
// that linking or renaming never crosses file systems.
fs::path folderOf(const fs::path& finalPath)
{
    return finalPath.has_parent_path() ? finalPath.parent_path() : fs::path(".");
}

// A name the folder's file system cannot take fails now, not after the
// whole conversion.
void refuseUnusableName(const fs::path& finalPath, int folderFd)
{
    const long longestName = fpathconf(folderFd, _PC_NAME_MAX);
    if (longestName > 0 && finalPath.filename().string().size() > static_cast<std::size_t>(longestName))
        refuseOutput(finalPath, "has a name longer than its folder allows (" + std::to_string(longestName) + " bytes)");
    if (finalPath.string().size() >= PATH_MAX)
        refuseOutput(finalPath, "is too long a path");
}

// A short hidden name that nothing uses yet; short so that the final name may
// have any length the file system allows.
std::string freeHiddenName(int attempt)
{
    return ".conv-" + std::to_string(getpid()) + "-" + std::to_string(attempt) + ".part";
}

}  // namespace

OutputPlace::OutputPlace(const std::string& finalPath, bool replaceExisting)
    : finalPath_(finalPath),
      name_(finalPath_.filename().string()),
      replaceExisting_(replaceExisting)
{
    const fs::path folder = folderOf(finalPath_);
    folderFd_ = open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (folderFd_ < 0)
        throw ConversionError("cannot write beside '" + finalPath + "': " + systemError(errno),
                              writeFailureKind(errno));
    try {
        if (name_.empty() || name_ == "." || name_ == "..")
            refuseOutput(finalPath_, "is a folder");
        checkName();
        refuseUnusableName(finalPath_, folderFd_);
    } catch (...) {
        close(folderFd_);
        throw;
    }

    fd_ = openat(folderFd_, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
    for (int attempt = 0; fd_ < 0 && attempt < 100; ++attempt) {
        // This file system keeps no unnamed files: a hidden name it is.
        namedWork_ = freeHiddenName(attempt);
        fd_ = openat(folderFd_, namedWork_.c_str(), O_CREAT | O_EXCL | O_NOFOLLOW | O_RDWR | O_CLOEXEC, 0666);
        if (fd_ < 0 && errno != EEXIST)
            break;
    }
    if (fd_ < 0) {
        const int error = errno;
        namedWork_.clear();
        close(folderFd_);
        throw ConversionError("cannot write beside '" + finalPath + "': " + systemError(error),
                              writeFailureKind(error));
    }
}

OutputPlace::~OutputPlace()
{
    close(fd_);
    if (!placed_ && !namedWork_.empty())
        unlinkat(folderFd_, namedWork_.c_str(), 0);
    close(folderFd_);
}

// Only a regular file is ever replaced: run as root, replacing /dev/null, a
// FIFO others read or a link (/dev/stdout) would break them.
void OutputPlace::checkName() const
{
    struct stat status {};
    if (fstatat(folderFd_, name_.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0)
        return;  // free
    if (S_ISLNK(status.st_mode))
        refuseOutput(finalPath_, "is a symbolic link (give the name of the file itself)");
    if (!S_ISREG(status.st_mode))
        refuseOutput(finalPath_, S_ISDIR(status.st_mode) ? "is a folder" : "is not a regular file");
    if (!replaceExisting_)
        refuseOutput(finalPath_, "already exists (use -y to replace it)");
}

void OutputPlace::placeResult(double reportedSeconds)
{
    if (const auto problem = resultProblem(fd_, reportedSeconds))
        throw ConversionError("the conversion left no sound 3GP file to put at '" + finalPath_.string() +
                              "': " + *problem);
    linkIntoPlace();
    placed_ = true;
}

void OutputPlace::linkIntoPlace()
{
    const std::string cannotMove = "cannot move the finished file to '" + finalPath_.string() + "': ";
    // A link never replaces a file, so without -y a file that appeared
    // meanwhile is refused here, without a gap between check and link.
    const bool linked = namedWork_.empty()
                            ? linkat(AT_FDCWD, fdPath(fd_).c_str(), folderFd_, name_.c_str(), AT_SYMLINK_FOLLOW) == 0
                            : linkat(folderFd_, namedWork_.c_str(), folderFd_, name_.c_str(), 0) == 0;
    if (linked) {
        if (!namedWork_.empty())
            unlinkat(folderFd_, namedWork_.c_str(), 0);
        return;
    }
    const int linkError = errno;
    if (linkError != EEXIST)
        throw ConversionError(cannotMove + systemError(linkError), writeFailureKind(linkError));
    checkName();  // it may have become something else meanwhile

    // Replacing: only a rename swaps a file in place in one step, and it needs
    // a name to start from. For the unnamed file that name lives for two system
    // calls, the only moment a hard kill could leave it behind.
    std::string named = namedWork_;
    for (int attempt = 0; named.empty() && attempt < 100; ++attempt) {
        const std::string candidate = freeHiddenName(attempt);
        if (linkat(AT_FDCWD, fdPath(fd_).c_str(), folderFd_, candidate.c_str(), AT_SYMLINK_FOLLOW) == 0)
            named = candidate;
        else if (errno != EEXIST)
            throw ConversionError(cannotMove + systemError(errno), writeFailureKind(errno));
    }
    if (named.empty())
        throw ConversionError(cannotMove + "no free working name", ConverterStatus::OutputUnwritable);
    if (renameat(folderFd_, named.c_str(), folderFd_, name_.c_str()) != 0) {
        const int renameError = errno;
        if (named != namedWork_)
            unlinkat(folderFd_, named.c_str(), 0);
        throw ConversionError(cannotMove + systemError(renameError), writeFailureKind(renameError));
    }
}

}  // namespace conv
