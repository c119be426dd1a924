#include "confinement/system_call_filter.hpp"

#include "base/errors.hpp"

#include <cerrno>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <string>

#include <sched.h>
#include <seccomp.h>
#include <sys/mman.h>
#include <unistd.h>

namespace conv {
namespace {

struct FilterDeleter {
    void operator()(void* filter) const { seccomp_release(filter); }
};
using FilterHandle = std::unique_ptr<void, FilterDeleter>;

[[noreturn]] void fail(const std::string& what, int error)
{
    throw ConversionError("cannot confine the converter: " + what + ": " + std::strerror(-error));
}

void add(scmp_filter_ctx filter, std::uint32_t action, int call, std::initializer_list<scmp_arg_cmp> conditions = {})
{
    const int added = seccomp_rule_add_array(filter, action, call, static_cast<unsigned>(conditions.size()),
                                             conditions.size() ? conditions.begin() : nullptr);
    if (added < 0)
        fail("system call " + std::to_string(call), added);
}

// What a conversion does after the confinement, as strace shows it on every
// sample video, a stop and a failed run; why each is needed is in README.md.
// clang-format off
constexpr int kAllowed[] = {
    // The source and the 3GP file, both open already: reading, writing, finishing.
    SCMP_SYS(read), SCMP_SYS(pread64), SCMP_SYS(write), SCMP_SYS(pwrite64), SCMP_SYS(lseek), SCMP_SYS(close),
    SCMP_SYS(newfstatat), SCMP_SYS(fcntl), SCMP_SYS(fsync),
    // Packets held back until the other stream catches up: an unnamed memory
    // file, made and emptied again.
    SCMP_SYS(memfd_create), SCMP_SYS(ftruncate),
    // Memory.
    SCMP_SYS(brk), SCMP_SYS(munmap), SCMP_SYS(mremap), SCMP_SYS(madvise),
    // Threads: their hand-offs, start and end.
    SCMP_SYS(futex), SCMP_SYS(set_robust_list), SCMP_SYS(rseq), SCMP_SYS(sched_getaffinity), SCMP_SYS(gettid),
    SCMP_SYS(getpid), SCMP_SYS(exit), SCMP_SYS(exit_group),
    // Signals: the stop watcher, each thread's signal mask.
    SCMP_SYS(rt_sigaction), SCMP_SYS(rt_sigprocmask), SCMP_SYS(rt_sigreturn), SCMP_SYS(poll),
    // The clock, where the kernel's fast path is missing.
    SCMP_SYS(clock_gettime),
};
// clang-format on

#if defined(TOVARO_SANITIZED)
// The test build's sanitizers check whether memory is readable by writing it
// to a pipe, give each thread a signal stack and name the executable in their
// reports.
constexpr int kSanitizerCalls[] = {SCMP_SYS(pipe), SCMP_SYS(pipe2), SCMP_SYS(sigaltstack), SCMP_SYS(readlink),
                                   SCMP_SYS(readlinkat)};
#endif

}  // namespace

void applySystemCallFilter()
{
    const FilterHandle filter(seccomp_init(SCMP_ACT_ERRNO(EPERM)));
    if (!filter)
        fail("seccomp", -ENOMEM);
    // A call under another calling convention would kill only its thread by
    // default, and the process would hang on the threads waiting for it.
    if (const int set = seccomp_attr_set(filter.get(), SCMP_FLTATR_ACT_BADARCH, SCMP_ACT_KILL_PROCESS); set < 0)
        fail("seccomp", set);
    // Every thread, also the ones already running.
    if (const int set = seccomp_attr_set(filter.get(), SCMP_FLTATR_CTL_TSYNC, 1); set < 0)
        fail("seccomp", set);
    // A binary search through the calls rather than a list: the futex calls of
    // the threads' hand-offs come by the ten thousand.
    if (const int set = seccomp_attr_set(filter.get(), SCMP_FLTATR_CTL_OPTIMIZE, 2); set < 0)
        fail("seccomp", set);
    // Older kernels would also slow every thread down against speculative
    // store bypass, a guard between programs, useless within one; where the
    // kernel cannot be told, the filter goes on without.
    seccomp_attr_set(filter.get(), SCMP_FLTATR_CTL_SSB, 1);
    for (const int call : kAllowed)
        add(filter.get(), SCMP_ACT_ALLOW, call);
#if defined(TOVARO_SANITIZED)
    for (const int call : kSanitizerCalls)
        add(filter.get(), SCMP_ACT_ALLOW, call);
#endif
    // Memory, but none made executable: no code is made at run time.
    for (const int call : {SCMP_SYS(mmap), SCMP_SYS(mprotect)})
        add(filter.get(), SCMP_ACT_ALLOW, call, {SCMP_A2(SCMP_CMP_MASKED_EQ, PROT_EXEC, 0)});
    // New threads, not new processes. The C library falls back from clone3,
    // whose flags a filter cannot see, to clone when told it does not exist.
    add(filter.get(), SCMP_ACT_ALLOW, SCMP_SYS(clone), {SCMP_A0(SCMP_CMP_MASKED_EQ, CLONE_THREAD, CLONE_THREAD)});
    add(filter.get(), SCMP_ACT_ERRNO(ENOSYS), SCMP_SYS(clone3));
    // Signals to this process's own threads only.
    add(filter.get(), SCMP_ACT_ALLOW, SCMP_SYS(tgkill), {SCMP_A0(SCMP_CMP_EQ, static_cast<scmp_datum_t>(getpid()))});
    if (const int loaded = seccomp_load(filter.get()); loaded < 0)
        fail("seccomp", loaded);
}

}  // namespace conv
