// What the X11 and the Wayland saver share around their protocol: the first
// seed, the tick log, the cycle's two timers and the one poll() that waits
// for them, for the display's connection and for the wake-up pipe (signals).
// A held picture sets no timer, so it costs nothing. The front-ends derive
// from SaverLoop and answer its calls in their protocol's terms.
#pragma once

#include <poll.h>

#include <chrono>
#include <cstdint>
#include <optional>

#include "engine/cycle/cycle_schedule.h"
#include "host/saver_options.h"
#include "linux/tick_log.h"

namespace nivora::linux_saver {

// The seed of the first picture: --seed's, or one from the clock.
std::uint32_t FirstSeed(const x11::SaverOptions& options);

class SaverLoop {
public:
    using Clock = std::chrono::steady_clock;

    // `wakeFd` becomes readable when the saver should end. Throws
    // std::runtime_error when the tick log cannot be written.
    SaverLoop(const x11::SaverOptions& options, int wakeFd);
    virtual ~SaverLoop() = default;
    SaverLoop(const SaverLoop&) = delete;
    SaverLoop& operator=(const SaverLoop&) = delete;

protected:
    // Runs until Ended(); false as soon as the connection is lost.
    bool RunLoop();
    // Takes the schedule of a call into the cycle, then shows the rows the
    // front-end kept from its answer.
    void Follow(const CycleSchedule& schedule);

    // The display's events that have come, handled; false when the
    // connection is lost.
    virtual bool Dispatch() = 0;
    virtual bool Ended() const = 0;
    virtual void EndBySignal() = 0;

    // The cycle the timers drive (one picture's, or all the outputs' on one
    // clock): a step keeps the rows of its answer for ShowChanges and returns
    // the schedule. ShowChanges takes the rows kept to the display, LogStep
    // writes a step to the tick log.
    virtual CycleSchedule RevealTick() = 0;
    virtual CycleSchedule HoldEnd() = 0;
    virtual void ShowChanges() = 0;
    virtual void LogStep(const char* what, long long start) = 0;

    // Before the poll: requests sent, and `connection` set to the display's
    // descriptor and the events to wait for; false when the connection is
    // lost. After it: what came read; false when it is lost.
    virtual bool PreparePoll(pollfd& connection) = 0;
    virtual bool FinishPoll(short /*revents*/) { return true; }

    // Work of the front-end's own (a new window size), done before the
    // timers' when it is due at `now`: true when it was. OwnDeadline says
    // when it is due, or now when the front-end has more to do at once.
    virtual bool DoOwnWork(Clock::time_point) { return false; }
    virtual std::optional<Clock::time_point> OwnDeadline() const { return std::nullopt; }
    // What a turn of the loop with nothing due does.
    virtual void Idle() {}

    const SaverSettings settings_;
    const std::uint32_t firstSeed_;
    TickLog log_;
    CycleDeadlines deadlines_;

private:
    void RevealTimer();
    void HoldTimer();

    int wakeFd_;
};

}  // namespace nivora::linux_saver
