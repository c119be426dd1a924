#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>

namespace conv {

// Hands work from one thread to another. A full queue makes the producer wait,
// which keeps memory flat when the consumer is the slower side.
template <typename T>
class BoundedQueue {
public:
    explicit BoundedQueue(std::size_t capacity) : capacity_(capacity) {}

    // False when the consumer has given up; the item is dropped.
    bool push(T item)
    {
        std::unique_lock lock(mutex_);
        roomAvailable_.wait(lock, [&] { return items_.size() < capacity_ || aborted_; });
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
        itemAvailable_.wait(lock, [&] { return !items_.empty() || closed_ || aborted_; });
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
        aborted_ = true;
        items_.clear();
        itemAvailable_.notify_all();
        roomAvailable_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable itemAvailable_;
    std::condition_variable roomAvailable_;
    std::deque<T> items_;
    std::size_t capacity_;
    bool closed_ = false;
    bool aborted_ = false;
};

} // namespace conv
