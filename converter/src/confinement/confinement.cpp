#include "confinement/confinement.hpp"

#include "base/errors.hpp"
#include "confinement/system_call_filter.hpp"

#include <cerrno>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <system_error>

#include <fcntl.h>
#include <linux/capability.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace conv {
namespace {

// Landlock's interface, written out because the build machine's kernel
// headers may be older than the kernel the converter runs on.
namespace landlock {
constexpr unsigned kAskVersion = 1U << 0;

// File system rights, by the ABI that brought them.
constexpr std::uint64_t kEveryRightOfAbi1 = (1ULL << 13) - 1;
constexpr std::uint64_t kRefer = 1ULL << 13;     // ABI 2
constexpr std::uint64_t kTruncate = 1ULL << 14;  // ABI 3
constexpr std::uint64_t kIoctlDev = 1ULL << 15;  // ABI 5
// Network rights (ABI 4): TCP bind and connect.
constexpr std::uint64_t kEveryNetRight = (1ULL << 0) | (1ULL << 1);
// Scopes (ABI 6): abstract UNIX sockets and signals outside the domain.
constexpr std::uint64_t kEveryScope = (1ULL << 0) | (1ULL << 1);

struct RulesetAttr {
    std::uint64_t handledFs = 0;
    std::uint64_t handledNet = 0;
    std::uint64_t scoped = 0;
};

int abiVersion() { return static_cast<int>(syscall(SYS_landlock_create_ruleset, nullptr, 0, kAskVersion)); }

// Everything this ABI can forbid: all of it is forbidden but what a rule allows.
RulesetAttr everythingHandled(int abi)
{
    RulesetAttr attr;
    attr.handledFs =
        kEveryRightOfAbi1 | (abi >= 2 ? kRefer : 0) | (abi >= 3 ? kTruncate : 0) | (abi >= 5 ? kIoctlDev : 0);
    attr.handledNet = abi >= 4 ? kEveryNetRight : 0;
    attr.scoped = abi >= 6 ? kEveryScope : 0;
    return attr;
}
}  // namespace landlock

[[noreturn]] void fail(const std::string& what)
{
    throw ConversionError("cannot confine the converter: " + what + ": " + std::system_category().message(errno));
}

// Every right handled and none granted: the files the conversion works on
// are open already. Returns false when this kernel has no Landlock.
bool restrictFiles()
{
    const int abi = landlock::abiVersion();
    if (abi < 1)
        return false;
    const landlock::RulesetAttr attr = landlock::everythingHandled(abi);
    const int ruleset = static_cast<int>(syscall(SYS_landlock_create_ruleset, &attr, sizeof attr, 0));
    if (ruleset < 0)
        fail("Landlock");
    const bool restricted = syscall(SYS_landlock_restrict_self, ruleset, 0) == 0;
    const int error = errno;
    close(ruleset);
    errno = error;
    if (!restricted)
        fail("Landlock");
    return true;
}

// The worker needs no capability, also when run as root: without them it
// cannot raise the limits it is held to or make namespaces either.
void dropCapabilities()
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct none[_LINUX_CAPABILITY_U32S_3] = {};
    if (syscall(SYS_capset, &header, none) != 0)
        fail("capabilities");
}

bool onlyThreadRunning()
{
    std::error_code error;
    auto tasks = std::filesystem::directory_iterator("/proc/self/task", error);
    return !error && std::distance(begin(tasks), end(tasks)) == 1;
}

}  // namespace

std::optional<std::string> confine()
{
    if (!onlyThreadRunning())
        throw std::logic_error("confine() while other threads run");
    // Loaded now, as the confined process cannot read it: the time zone
    // (formatting a container's dates asks for it).
    tzset();
    dropCapabilities();
    if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0)
        fail("no new privileges");
    const bool filesConfined = restrictFiles();
    applySystemCallFilter();
    if (!filesConfined)
        return "note: this kernel has no Landlock; the converter's system calls are confined, its files are not";
    return std::nullopt;
}

}  // namespace conv
