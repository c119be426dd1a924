// The pipelines of one run: the first failure stops them all, and which failure a run reports.
#pragma once

#include "pipeline/stage_thread.hpp"

#include <atomic>
#include <functional>
#include <list>
#include <mutex>

namespace conv {

// The pipelines of one run (video, audio) and the first failure on any of
// their threads. A failure aborts the queues of every pipeline, so that all of
// them stop; the run then reports what is worth reporting: a stop request or
// an output grown past its limit before the failure, and the failure before
// what the reading thread met (mostly the stop it caused).
class StageGroup {
public:
    // What the group asks of a pipeline.
    struct Member {
        std::function<void()> abortQueues;
        std::function<void()> joinThreads;
        std::function<double()> secondsDone;  // of output made
        bool finished = false;                // all its output is made
    };

    // A pipeline's place in the group, for as long as it lives: taken before
    // its threads start, given up after they have ended.
    class Membership {
    public:
        Membership(StageGroup& group, Member member);
        ~Membership();
        Membership(const Membership&) = delete;
        // All of this pipeline's output is made: it holds back secondsWritten() no longer.
        void finished();
        Membership& operator=(const Membership&) = delete;

    private:
        StageGroup& group_;
        std::list<Member>::iterator place_;
    };

    // The run stops when `stopRequested` turns true or its output grows past
    // `mostSeconds`.
    StageGroup(const std::atomic<bool>& stopRequested, double mostSeconds);

    // A thread of a pipeline: when `work` throws, the failure is kept and
    // every queue aborted.
    StageThread startThread(std::function<void()> work);

    // Runs the reading side on this thread, then waits for every pipeline's
    // threads. Throws what is worth reporting when anything failed, once all
    // have stopped.
    void run(const std::function<void()>& reading);

    // Throws when the run is to stop: a stop request, an output too long.
    void checkStop() const;
    // checkStop(), then the first failure of a thread.
    void check() const;

    // For the pipelines' queues to poll while they wait.
    const std::atomic<bool>* stopRequested() const { return &stopRequested_; }

    // The output made so far, in seconds: the furthest pipeline's.
    double secondsDone() const;
    // The output every pipeline has made, in seconds: the one furthest behind
    // among those still at work.
    double secondsWritten() const;

private:
    void abortAll();
    void joinAll();

    const std::atomic<bool>& stopRequested_;
    const double mostSeconds_;
    FirstFailure failures_;
    mutable std::mutex mutex_;  // guards members_: threads abort on failure
    std::list<Member> members_;
};

}  // namespace conv
