#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>

namespace conv {

// Hands work from one thread to another. A full queue makes the producer wait,
// which keeps memory flat when the consumer is the slower side.
// An optional stop flag (set from a signal handler, which cannot wake a
// waiting thread) is polled while waiting; once set, the queue aborts itself,
// so a stop request never waits for a full queue to drain.
template <typename T>
class BoundedQueue {
public:
    explicit BoundedQueue(std::size_t capacity, const std::atomic<bool>* stop = nullptr)
        : capacity_(capacity), stop_(stop)
    {
    }

    // False when the consumer has given up or a stop was requested; the item is dropped.
    bool push(T item)
    {
        std::unique_lock lock(mutex_);
        waitFor(roomAvailable_, lock, [&] { return items_.size() < capacity_; });
        if (aborted_)
            return false;
        items_.push_back(std::move(item));
        itemAvailable_.notify_one();
        return true;
    }

    // Nothing when the queue is closed and empty, or aborted.
    std::optional<T> pop()
    {
        std::unique_lock lock(mutex_);
        waitFor(itemAvailable_, lock, [&] { return !items_.empty() || closed_; });
        if (aborted_ || items_.empty())
            return std::nullopt;
        T item = std::move(items_.front());
        items_.pop_front();
        roomAvailable_.notify_one();
        return item;
    }

    // No more items will come; the consumer still gets the ones queued.
    void close()
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
        itemAvailable_.notify_all();
    }

    // Both sides stop at once; queued items are dropped.
    void abort()
    {
        std::lock_guard lock(mutex_);
        abortLocked();
    }

    // Whether pop() ended because of abort() rather than the end of the items.
    bool aborted() const
    {
        std::lock_guard lock(mutex_);
        return aborted_;
    }

private:
    template <typename Ready>
    void waitFor(std::condition_variable& condition, std::unique_lock<std::mutex>& lock, Ready ready)
    {
        constexpr std::chrono::milliseconds kStopPoll{20};
        for (;;) {
            if (!aborted_ && stop_ && stop_->load())
                abortLocked();
            if (aborted_ || ready())
                return;
            if (stop_)
                condition.wait_for(lock, kStopPoll);
            else
                condition.wait(lock);
        }
    }

    void abortLocked()
    {
        aborted_ = true;
        items_.clear();
        itemAvailable_.notify_all();
        roomAvailable_.notify_all();
    }

    mutable std::mutex mutex_;
    std::condition_variable itemAvailable_;
    std::condition_variable roomAvailable_;
    std::deque<T> items_;
    std::size_t capacity_;
    const std::atomic<bool>* stop_;
    bool closed_ = false;
    bool aborted_ = false;
};

} // namespace conv
