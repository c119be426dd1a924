// A run's threads and the first failure met on any of them. Within pipeline/ only.
#pragma once

#include <exception>
#include <functional>
#include <mutex>
#include <thread>

namespace conv {

// The first failure of a run, whichever thread met it: later ones are mostly
// the stop the first one caused.
class FirstFailure {
public:
    void record(std::exception_ptr failure)
    {
        std::lock_guard lock(mutex_);
        if (!failure_)
            failure_ = std::move(failure);
    }
    void rethrowIfAny() const
    {
        std::lock_guard lock(mutex_);
        if (failure_)
            std::rethrow_exception(failure_);
    }

private:
    mutable std::mutex mutex_;
    std::exception_ptr failure_;
};

// Runs one stage of a conversion on a thread of its own and always joins it.
// A stage that throws records its failure and calls `stopAll`, which aborts
// the queues so that the other stages stop too.
// Stages run at the process's own priority: any lower, and they starve
// whenever another program keeps a core busy (a user who wants the whole
// conversion lower starts it with `nice`).
class StageThread {
public:
    StageThread(std::function<void()> work, FirstFailure& failures, std::function<void()> stopAll)
        : thread_([work = std::move(work), &failures, stopAll = std::move(stopAll)] {
              try {
                  work();
              } catch (...) {
                  failures.record(std::current_exception());
                  stopAll();
              }
          })
    {}
    ~StageThread() { join(); }
    StageThread(const StageThread&) = delete;
    StageThread& operator=(const StageThread&) = delete;

    void join()
    {
        if (thread_.joinable())
            thread_.join();
    }

private:
    std::thread thread_;
};

}  // namespace conv
