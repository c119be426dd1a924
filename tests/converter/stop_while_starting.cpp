// Preloaded into conv.dll by a test: sends the process SIGTERM while its
// libraries are being set up, after loading and before main runs.

#include <csignal>

#include <unistd.h>

[[gnu::constructor]] static void stopWhileStarting() { kill(getpid(), SIGTERM); }
