#include "confinement/system_call_filter.hpp"

#include "base/errors.hpp"

#include <cerrno>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <string>

#include <fcntl.h>
#include <sched.h>
#include <seccomp.h>
#include <sys/mman.h>
#include <sys/resource.h>
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
    // fstat takes a descriptor only; newfstatat and statx, which also take a
    // name, are refused, and so is every other call that does.
    SCMP_SYS(fstat), SCMP_SYS(fsync),
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
// to a pipe and give each thread a signal stack. Not readlink: it reads a
// name, and the executable's, which their reports show, they read at start.
constexpr int kSanitizerCalls[] = {SCMP_SYS(pipe), SCMP_SYS(pipe2), SCMP_SYS(sigaltstack)};
#endif

// The fcntl commands a conversion makes: a descriptor's flags read. Not the
// ones that signal other processes when the descriptor is ready (F_SETOWN,
// F_SETSIG with O_ASYNC), lease, lock or watch.
constexpr int kFcntlCommands[] = {F_GETFD, F_GETFL};

// The flags the C library's pthread_create gives clone: a thread sharing
// everything with its process, and nothing else (no namespace, no process).
constexpr scmp_datum_t kThreadCloneFlags = CLONE_VM | CLONE_FS | CLONE_FILES | CLONE_SYSVSEM | CLONE_SIGHAND |
                                           CLONE_THREAD | CLONE_SETTLS | CLONE_PARENT_SETTID | CLONE_CHILD_CLEARTID;

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
    for (const int command : kFcntlCommands)
        add(filter.get(), SCMP_ACT_ALLOW, SCMP_SYS(fcntl), {SCMP_A1(SCMP_CMP_EQ, static_cast<scmp_datum_t>(command))});
    // Memory, but none made executable: no code is made at run time.
    for (const int call : {SCMP_SYS(mmap), SCMP_SYS(mprotect)})
        add(filter.get(), SCMP_ACT_ALLOW, call, {SCMP_A2(SCMP_CMP_MASKED_EQ, PROT_EXEC, 0)});
    // New threads, not new processes. The C library falls back from clone3,
    // whose flags a filter cannot see, to clone when told it does not exist.
    add(filter.get(), SCMP_ACT_ALLOW, SCMP_SYS(clone), {SCMP_A0(SCMP_CMP_EQ, kThreadCloneFlags)});
    add(filter.get(), SCMP_ACT_ERRNO(ENOSYS), SCMP_SYS(clone3));
    // The output's size limit, set once the source's duration is known;
    // without capabilities it can only be lowered.
    add(filter.get(), SCMP_ACT_ALLOW, SCMP_SYS(prlimit64),
        {SCMP_A0(SCMP_CMP_EQ, 0), SCMP_A1(SCMP_CMP_EQ, RLIMIT_FSIZE)});
    // Signals to this process's own threads only.
    add(filter.get(), SCMP_ACT_ALLOW, SCMP_SYS(tgkill), {SCMP_A0(SCMP_CMP_EQ, static_cast<scmp_datum_t>(getpid()))});
    if (const int loaded = seccomp_load(filter.get()); loaded < 0)
        fail("seccomp", loaded);
}

}  // namespace conv
