#include "engine/cycle/cycle_schedule.h"

#include <algorithm>

namespace nivora {

namespace {

// A timer by the rule of system timers: switched on it starts at `now`, left
// on it keeps its deadline, switched off (or of no interval) it has none.
void FollowTimer(const TimerPlan& plan, std::optional<CycleDeadlines::Clock::time_point>& deadline,
                 CycleDeadlines::Clock::time_point now) {
    if (!plan.on || plan.intervalMs == 0)
        deadline.reset();
    else if (!deadline)
        deadline = now + std::chrono::milliseconds(plan.intervalMs);
}

}  // namespace

void CycleDeadlines::Follow(const CycleSchedule& schedule, Clock::time_point now) {
    revealEveryMs_ = schedule.reveal.intervalMs;
    FollowTimer(schedule.reveal, nextReveal_, now);
    FollowTimer(schedule.hold, holdEnd_, now);
}

void CycleDeadlines::RevealTaken(Clock::time_point now) {
    if (!nextReveal_) return;
    *nextReveal_ += std::chrono::milliseconds(revealEveryMs_);
    if (*nextReveal_ < now) *nextReveal_ = now;
}

void CycleDeadlines::Clear() {
    nextReveal_.reset();
    holdEnd_.reset();
}

int CycleDeadlines::PollTimeoutMs(Clock::time_point now, std::optional<Clock::time_point> other) const {
    std::optional<Clock::time_point> next;
    for (const auto& deadline : {nextReveal_, holdEnd_, other})
        if (deadline && (!next || *deadline < *next)) next = deadline;
    if (!next) return -1;
    if (*next <= now) return 0;
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*next - now).count();
    return static_cast<int>(std::min<long long>(wait, 24 * 3600 * 1000));
}

}  // namespace nivora
