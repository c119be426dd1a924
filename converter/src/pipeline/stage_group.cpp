#include "pipeline/stage_group.hpp"

#include "base/errors.hpp"

#include <algorithm>
#include <limits>

namespace conv {

StageGroup::Membership::Membership(StageGroup& group, Member member) : group_(group)
{
    std::lock_guard lock(group_.mutex_);
    place_ = group_.members_.insert(group_.members_.end(), std::move(member));
}

StageGroup::Membership::~Membership()
{
    std::lock_guard lock(group_.mutex_);
    group_.members_.erase(place_);
}

void StageGroup::Membership::finished()
{
    std::lock_guard lock(group_.mutex_);
    place_->finished = true;
}

StageGroup::StageGroup(const std::atomic<bool>& stopRequested, double mostSeconds)
    : stopRequested_(stopRequested),
      mostSeconds_(mostSeconds)
{}

StageThread StageGroup::startThread(std::function<void()> work)
{
    return StageThread(std::move(work), failures_, [this] { abortAll(); });
}

void StageGroup::run(const std::function<void()>& reading)
{
    try {
        reading();
    } catch (...) {
        abortAll();
        joinAll();
        check();
        throw;
    }
    joinAll();
    check();
}

void StageGroup::checkStop() const
{
    if (stopRequested_.load())
        throw stoppedOnRequest();
    if (secondsDone() > mostSeconds_)
        throw LengthLimitReached();
}

void StageGroup::check() const
{
    checkStop();
    failures_.rethrowIfAny();
}

double StageGroup::secondsDone() const
{
    std::lock_guard lock(mutex_);
    double furthest = 0;
    for (const Member& member : members_)
        furthest = std::max(furthest, member.secondsDone());
    return furthest;
}

double StageGroup::secondsWritten() const
{
    std::lock_guard lock(mutex_);
    double behind = std::numeric_limits<double>::infinity();
    double furthest = 0;
    for (const Member& member : members_) {
        furthest = std::max(furthest, member.secondsDone());
        if (!member.finished)
            behind = std::min(behind, member.secondsDone());
    }
    return std::min(behind, furthest);
}

void StageGroup::abortAll()
{
    std::lock_guard lock(mutex_);
    for (const Member& member : members_)
        member.abortQueues();
}

void StageGroup::joinAll()
{
    // Only the reading thread joins, and only it adds or removes members.
    for (const Member& member : members_)
        member.joinThreads();
}

}  // namespace conv
