// Preloaded into conv.dll by the confinement test: acts as a decoder subverted
// by a crafted file would, at the first read of the source (a regular file),
// and writes on stderr what worked, one "conv probe: NAME=1|0" line each.
//   CONV_PROBE=attempts  try to reach files, names, the network, programs;
//                        CONV_PROBE_SCENE names the test's folder (in/, out/,
//                        elsewhere/), CONV_PROBE_PORT a listening TCP port
//   CONV_PROBE=x32       a system call under the x32 calling convention
//   CONV_PROBE=int80     a system call through int 0x80
// With CONV_PROBE_AT_START=1 the attempts are made as the program starts,
// before it confines anything.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

bool probed = false;
int earlierSocket = -1;  // made before any confinement

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

[[gnu::constructor]] void prepareProbe()
{
    unsetenv("LD_PRELOAD");  // not into the program it tries to start
    earlierSocket = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (env("CONV_PROBE_AT_START") == "1")
        probe();
}

}  // namespace

extern "C" ssize_t read(int fd, void* buffer, size_t size)
{
    struct stat status {};
    if (!probed && fstat(fd, &status) == 0 && S_ISREG(status.st_mode))
        probe();
    return syscall(SYS_read, fd, buffer, size);
}
