// SIGINT, SIGTERM and SIGHUP to a stop request that interrupts blocked reads.
#pragma once

#include <pthread.h>
#include <atomic>
#include <thread>

namespace conv {

// Turns SIGINT, SIGTERM and SIGHUP into a stop request that the conversion
// sees at once, also while the main thread waits in a read that never returns
// (a hung network share): a watcher thread takes the signals and keeps
// interrupting the main thread's system calls until the run has unwound. A
// run that still has not after a few seconds is ended there, which leaves
// nothing behind either (see OutputPlace and WorkerProcess). SIGPIPE is ignored, so a
// closed stderr is a failed write, not a silent death.
//
// Construct it first thing in main, before any other thread exists: the
// signals stay blocked in every thread started after it. The watcher starts
// with startWatching(), once the converter has confined itself (the confinement
// reaches only threads started after it); a signal that came before waits
// for it.
class StopSignals {
public:
    explicit StopSignals(std::atomic<bool>& stopRequested);
    ~StopSignals();

    void startWatching();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

private:
    void watch();

    std::atomic<bool>& stopRequested_;
    pthread_t mainThread_;
    int signalFd_ = -1;
    int quitFd_ = -1;
    std::thread watcher_;
};

}  // namespace conv
