// The queue between two threads of a run: bounded, closable, abortable.
#pragma once

#include <algorithm>
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
// With a batch larger than one, a side that had to wait is woken only once
// that many items (or places) are ready for it: for small items, whose every
// hand-over would otherwise cost a thread switch. Large items are best taken
// at once, while they are still in the cache.
template <typename T>
class BoundedQueue {
public:
    explicit BoundedQueue(std::size_t capacity, const std::atomic<bool>* stop = nullptr, std::size_t batch = 1)
        : capacity_(std::max<std::size_t>(1, capacity)),
          batch_(std::clamp<std::size_t>(batch, 1, capacity_)),
          stop_(stop)
    {}

    // False when the consumer has given up or a stop was requested; the item is dropped.
    bool push(T item)
    {
        std::unique_lock lock(mutex_);
        if (items_.size() >= capacity_) {
            producerWaiting_ = true;
            waitFor(roomAvailable_, lock, [&] { return items_.size() + batch_ <= capacity_; });
            producerWaiting_ = false;
        }
        if (aborted_)
            return false;
        items_.push_back(std::move(item));
        if (consumerWaiting_ && items_.size() >= batch_)
            itemAvailable_.notify_one();
        return true;
    }

    // Nothing when the queue is closed and empty, or aborted.
    std::optional<T> pop()
    {
        std::unique_lock lock(mutex_);
        if (items_.empty()) {
            consumerWaiting_ = true;
            waitFor(itemAvailable_, lock, [&] { return items_.size() >= batch_ || closed_; });
            consumerWaiting_ = false;
        }
        if (aborted_ || items_.empty())
            return std::nullopt;
        T item = std::move(items_.front());
        items_.pop_front();
        if (producerWaiting_ && items_.size() + batch_ <= capacity_)
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
    std::size_t batch_;
    const std::atomic<bool>* stop_;
    bool producerWaiting_ = false;
    bool consumerWaiting_ = false;
    bool closed_ = false;
    bool aborted_ = false;
};

}  // namespace conv
