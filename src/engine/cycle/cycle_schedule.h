// When a front-end calls its picture cycle again, and what it shows: the
// cycle's answer to every call. The schedule speaks in the two timers every
// front-end keeps in some form, the reveal's and the hold's, each on or off
// with its interval, so that a front-end with system timers sets them from it
// as they are:
//
//     Timer1.SetEnabled(answer.schedule.reveal.on);
//     Timer2.SetInterval(answer.schedule.hold.intervalMs);
//     Timer2.SetEnabled(answer.schedule.hold.on);
//
// and one that waits in poll() keeps CycleDeadlines. Either way a timer
// that is switched on starts then, one that stays on keeps its time (the
// hold of a picture whose snowflake is made again goes on), and one that is
// switched off forgets it. The rows come with the schedule: the cycle keeps
// none once it has answered, so the front-end shows them or they are lost.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

#include "engine/cycle/row_span.h"

namespace nivora {

struct TimerPlan {
    bool on = false;
    std::uint32_t intervalMs = 0;  // 0: it never fires
    bool operator==(const TimerPlan&) const = default;
};

struct CycleSchedule {
    TimerPlan reveal;  // a reveal tick every intervalMs
    TimerPlan hold;    // the hold ends intervalMs after it began
    bool operator==(const CycleSchedule&) const = default;
};

// The whole answer to one step of a cycle: when to call again, and the frame
// rows drawn since the previous answer (the step's cells, or every row when
// it took a new picture).
struct CycleAnswer {
    CycleSchedule schedule;
    RowSpan rows;
};

// A schedule as deadlines on a steady clock, for a front-end that sleeps in
// poll() until the next one.
class CycleDeadlines {
public:
    using Clock = std::chrono::steady_clock;

    // Takes the answer of a call made at `now`, by the timers' rule above.
    void Follow(const CycleSchedule& schedule, Clock::time_point now);

    bool RevealDue(Clock::time_point now) const { return nextReveal_ && now >= *nextReveal_; }
    bool HoldDue(Clock::time_point now) const { return holdEnd_ && now >= *holdEnd_; }

    // A due reveal tick is made at `now`: the next one is an interval after
    // this one was due, and, as with a system timer, a late tick is not made
    // up for with a burst.
    void RevealTaken(Clock::time_point now);
    // The hold's end is made: the hold is over until an answer starts one.
    void HoldTaken() { holdEnd_.reset(); }
    // Both timers off (a new cycle follows).
    void Clear();

    // How long poll() may sleep in milliseconds: until the first deadline, or
    // `other` when it is sooner; rounded up, since waking early would only
    // mean a second, empty poll; -1 when nothing is due, at most a day.
    int PollTimeoutMs(Clock::time_point now, std::optional<Clock::time_point> other = {}) const;

private:
    std::uint32_t revealEveryMs_ = 0;
    std::optional<Clock::time_point> nextReveal_, holdEnd_;
};

}  // namespace nivora
