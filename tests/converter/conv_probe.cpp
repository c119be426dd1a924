// Preloaded into conv.dll by the confinement test: acts as a decoder subverted
// by a crafted file would, at the first read of the source (a regular file),
// and writes on stderr what worked, one "conv probe: NAME=1|0" line each.
//   CONV_PROBE=attempts  try to reach files, names, the network, programs,
//                        other processes, namespaces, executable memory;
//                        CONV_PROBE_SCENE names the test's folder (in/, out/,
//                        elsewhere/), CONV_PROBE_PORT a listening TCP port;
//                        descriptors 7 (a file, for writing) and 8 (the folder
//                        elsewhere/) are the caller's, left open
//   CONV_PROBE=x32       a system call under the x32 calling convention
//   CONV_PROBE=int80     a system call through int 0x80
//   CONV_PROBE=result:HOW  damages the finished 3GP file as the worker hands
//                        it over (at its fsync): junk after its boxes, cut to
//                        its ftyp, cut short, grown to a sparse GiB,
//                        written past its ceiling (said on stderr), no 3GP brand, a
//                        chunk moved, the duration tripled
// With CONV_PROBE_AT_START=1 the attempts are made as the program starts,
// before it confines anything.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sched.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

namespace {

bool probed = false;
int earlierSocket = -1;  // made before any confinement
bool asRoot = false;     // asked before any confinement
pid_t caller = 0;        // likewise

std::string env(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

bool canOpen(const std::string& path, int flags)
{
    const int fd = open(path.c_str(), flags | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    char byte = 0;
    const bool done = (flags & O_ACCMODE) == O_RDONLY ? syscall(SYS_read, fd, &byte, 1) == 1 : write(fd, "x", 1) == 1;
    close(fd);
    return done;
}

bool canConnect(int fd, int port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return fd >= 0 && connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

bool canSpawnTrue()
{
    pid_t child = 0;
    char program[] = "/bin/true";
    char* arguments[] = {program, nullptr};
    if (posix_spawn(&child, program, nullptr, nullptr, arguments, environ) != 0)
        return false;
    int status = 0;
    return waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// A thread started with `flags` other than the C library's own; it ends at once.
bool canCloneThread(int flags)
{
    alignas(64) static char stacks[2][64 * 1024];
    static int used = 0;
    char* stackTop = stacks[used++ % 2] + sizeof stacks[0];
    return clone([](void*) -> int { return static_cast<int>(syscall(SYS_exit, 0)); }, stackTop, flags, nullptr) > 0;
}

bool canMapExecutable()
{
    void* page = mmap(nullptr, 4096, PROT_READ | PROT_EXEC, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return page != MAP_FAILED && munmap(page, 4096) == 0;
}

bool canMakeExecutable()
{
    void* page = mmap(nullptr, 4096, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return page != MAP_FAILED && mprotect(page, 4096, PROT_READ | PROT_EXEC) == 0;
}

// Leaves stderr's owner as it was, so a successful attempt signals nobody.
bool canOwnStderrSignals()
{
    const bool owned = fcntl(2, F_SETOWN, getpid()) == 0;
    if (owned)
        fcntl(2, F_SETOWN, 0);
    return owned;
}

bool canLock(int fd)
{
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    return fcntl(fd, F_SETLK, &lock) == 0;
}

void attemptOutside(const std::string& scene, const std::function<void(const char*, bool)>& note)
{
    const std::string secret = scene + "/elsewhere/secret.txt";
    struct stat status {};
    char target[256];
    note("stat by name", stat(secret.c_str(), &status) == 0);
    note("stat by name, empty path flag", fstatat(AT_FDCWD, secret.c_str(), &status, AT_EMPTY_PATH) == 0);
    struct statx extended {};
    note("statx by name", statx(AT_FDCWD, secret.c_str(), 0, STATX_SIZE, &extended) == 0);
    note("readlink", readlink(("/proc/" + std::to_string(caller) + "/exe").c_str(), target, sizeof target) > 0);
    note("truncate by name", truncate(secret.c_str(), 1) == 0);
    note("write to inherited descriptor", write(7, "x", 1) == 1);
    note("stat through inherited folder", fstatat(8, "secret.txt", &status, 0) == 0);
    note("fcntl F_SETOWN", canOwnStderrSignals());
    note("fcntl F_SETSIG", fcntl(2, F_SETSIG, SIGKILL) == 0);
    note("fcntl lock", canLock(7));
    note("fcntl notify", fcntl(8, F_NOTIFY, DN_MODIFY) == 0);
    note("signal the caller", caller > 1 && kill(caller, 0) == 0);
    note("map executable memory", canMapExecutable());
    note("make memory executable", canMakeExecutable());
    note("clone a bare thread", canCloneThread(CLONE_VM | CLONE_SIGHAND | CLONE_THREAD));
    // Only root may make namespaces at all, confined or not.
    if (asRoot)
        note("clone a thread into new namespaces",
             canCloneThread(CLONE_VM | CLONE_SIGHAND | CLONE_THREAD | CLONE_NEWNET | CLONE_NEWUTS));
}

void attemptAll()
{
    const std::string scene = env("CONV_PROBE_SCENE");
    const std::string in = scene + "/in/";
    const std::string out = scene + "/out/";
    const std::string home = env("HOME") + "/.conv-probe-" + std::to_string(getpid());
    std::string lines;
    const auto note = [&](const char* name, bool worked) {
        lines += std::string("conv probe: ") + name + (worked ? "=1\n" : "=0\n");
    };
    note("unlink beside output", unlink((out + "sibling.mp4").c_str()) == 0);
    note("unlink two folders below output", unlink((out + "sub/deep/victim.txt").c_str()) == 0);
    note("rename below output", rename((out + "sub/a.txt").c_str(), (out + "sub/b.txt").c_str()) == 0);
    note("create beside output", canOpen(out + "created.txt", O_WRONLY | O_CREAT | O_EXCL));
    note("create below output", canOpen(out + "sub/created.txt", O_WRONLY | O_CREAT | O_EXCL));
    note("link into output folder", link((in + "clip.avi").c_str(), (out + "linked.avi").c_str()) == 0);
    note("make folder in output", mkdir((out + "made").c_str(), 0700) == 0);
    note("read outside", canOpen(scene + "/elsewhere/secret.txt", O_RDONLY));
    note("create beside input", canOpen(in + "new.txt", O_WRONLY | O_CREAT | O_EXCL));
    note("write beside input", canOpen(in + "notes.txt", O_WRONLY | O_APPEND));
    note("create in home", canOpen(home, O_WRONLY | O_CREAT | O_EXCL) && unlink(home.c_str()) == 0);
    note("rename input", rename((in + "clip.avi").c_str(), (in + "moved.avi").c_str()) == 0 &&
                             rename((in + "moved.avi").c_str(), (in + "clip.avi").c_str()) == 0);
    note("connect", canConnect(earlierSocket, std::atoi(env("CONV_PROBE_PORT").c_str())));
    note("new socket", socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0) >= 0);
    note("start /bin/true", canSpawnTrue());
    note("remove input", unlink((in + "clip.avi").c_str()) == 0);
    attemptOutside(scene, note);
    if (write(2, lines.data(), lines.size()) < 0)
        _exit(99);
}

void probe()
{
    probed = true;
    const std::string what = env("CONV_PROBE");
    if (what == "attempts") {
        attemptAll();
    } else if (what == "x32") {
        syscall(0x40000000L | SYS_getpid);
    } else if (what == "int80") {
        long result = 20;  // getpid on i386
        asm volatile("int $0x80" : "+a"(result) : : "memory");
    }
}

// The file's bytes, read through its descriptor.
std::string wholeFile(int fd)
{
    struct stat status {};
    if (syscall(SYS_fstat, fd, &status) != 0)
        return {};
    std::string bytes(static_cast<std::size_t>(status.st_size), '\0');
    return pread(fd, bytes.data(), bytes.size(), 0) == static_cast<ssize_t>(bytes.size()) ? bytes : std::string();
}

std::uint32_t bigEndian(const std::string& bytes, std::size_t at)
{
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i)
        value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

void putBigEndian(int fd, std::uint32_t value, std::size_t at)
{
    const unsigned char bytes[4] = {static_cast<unsigned char>(value >> 24), static_cast<unsigned char>(value >> 16),
                                    static_cast<unsigned char>(value >> 8), static_cast<unsigned char>(value)};
    if (pwrite(fd, bytes, 4, static_cast<off_t>(at)) != 4)
        _exit(98);
}

void damageResult(int fd, const std::string& how)
{
    const std::string bytes = wholeFile(fd);
    if (bytes.size() < 64)
        _exit(97);
    if (how == "junk") {
        if (pwrite(fd, "junk after the boxes", 20, static_cast<off_t>(bytes.size())) != 20)
            _exit(98);
    } else if (how == "ftyp only") {
        if (ftruncate(fd, bigEndian(bytes, 0)) != 0)
            _exit(98);
    } else if (how == "cut short") {
        if (ftruncate(fd, static_cast<off_t>(bytes.size() - 100)) != 0)
            _exit(98);
    } else if (how == "sparse GiB") {
        if (pwrite(fd, "", 1, off_t{1} << 29) != 1)
            _exit(98);
    } else if (how == "past ceiling") {
        // Far past what the rates allow for the source's length, on a sparse file.
        const bool written = pwrite(fd, "", 1, off_t{1} << 40) == 1;
        const std::string line = std::string("conv probe: past ceiling=") + (written ? "1\n" : "0\n");
        if (write(2, line.data(), line.size()) < 0)
            _exit(99);
    } else if (how == "no 3gp brand") {
        for (std::size_t at = 8; at + 4 <= bigEndian(bytes, 0); at += 4)
            if (pwrite(fd, "isom", 4, static_cast<off_t>(at)) != 4)
                _exit(98);
    } else if (how == "chunk moved") {
        const std::size_t table = bytes.find("stco");  // version, flags, count, first offset
        putBigEndian(fd, bigEndian(bytes, table + 12) + 1, table + 12);
    } else if (how == "duration tripled") {
        const std::size_t header = bytes.find("mvhd");  // version, flags, two times, timescale, duration
        putBigEndian(fd, bigEndian(bytes, header + 20) * 3, header + 20);
    }
}

[[gnu::constructor]] void prepareProbe()
{
    unsetenv("LD_PRELOAD");  // not into the program it tries to start
    earlierSocket = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    asRoot = geteuid() == 0;
    caller = getppid();
    if (env("CONV_PROBE_AT_START") == "1")
        probe();
}

}  // namespace

extern "C" int fsync(int fd)
{
    const std::string what = env("CONV_PROBE");
    if (what.rfind("result:", 0) == 0)
        damageResult(fd, what.substr(7));
    return static_cast<int>(syscall(SYS_fsync, fd));
}

extern "C" ssize_t read(int fd, void* buffer, size_t size)
{
    // The fstat system call itself: the C library's goes through newfstatat,
    // which the confined converter may not make.
    struct stat status {};
    if (!probed && syscall(SYS_fstat, fd, &status) == 0 && S_ISREG(status.st_mode))
        probe();
    return syscall(SYS_read, fd, buffer, size);
}
