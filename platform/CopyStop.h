#pragma once
// A request to abandon a copy in progress, made on one thread and seen on the
// copying one, also while that one waits on a source that gives nothing (a pipe).

#include <atomic>

namespace platform {

class CopyStop {
public:
    CopyStop();
    ~CopyStop();
    CopyStop(const CopyStop&) = delete;
    CopyStop& operator=(const CopyStop&) = delete;

    // Safe from any thread; a copy that sees it fails with ECANCELED.
    void request();
    bool requested() const { return m_requested.load(); }
    // Readable once requested: a copy waiting in poll() wakes on it.
    int descriptor() const { return m_event; }

private:
    std::atomic<bool> m_requested{false};
    int m_event = -1;
};

}  // namespace platform
