#include "linux/saver_loop.h"

#include "engine/cycle/random.h"

namespace nivora::linux_saver {

std::uint32_t FirstSeed(const x11::SaverOptions& options) {
    RandomGenerator random;
    if (options.seed)
        random.Seed = *options.seed;
    else
        random.Randomize();
    return random.Seed;
}

SaverLoop::SaverLoop(const x11::SaverOptions& options, int wakeFd)
    : settings_(options.settings), firstSeed_(FirstSeed(options)), log_(options.tickLog), wakeFd_(wakeFd) {}

bool SaverLoop::RunLoop() {
    while (!Ended()) {
        if (!Dispatch()) return false;
        if (Ended()) break;

        const auto now = Clock::now();
        if (!DoOwnWork(now)) {
            if (deadlines_.HoldDue(now))
                HoldTimer();
            else if (deadlines_.RevealDue(now))
                RevealTimer();
            else
                Idle();
        }
        if (Ended()) break;

        pollfd fds[2] = {{-1, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
        if (!PreparePoll(fds[0])) return false;
        const int ready = poll(fds, 2, deadlines_.PollTimeoutMs(Clock::now(), OwnDeadline()));
        if (!FinishPoll(ready > 0 ? fds[0].revents : 0)) return false;
        if (ready > 0 && (fds[1].revents & POLLIN)) EndBySignal();
    }
    return true;
}

void SaverLoop::Follow(const CycleSchedule& schedule) {
    deadlines_.Follow(schedule, Clock::now());
    ShowChanges();
}

void SaverLoop::RevealTimer() {
    const long long start = log_.Now();
    deadlines_.RevealTaken(Clock::now());
    Follow(RevealTick());
    LogStep("tick", start);
}

void SaverLoop::HoldTimer() {
    const long long start = log_.Now();
    deadlines_.HoldTaken();
    Follow(HoldEnd());
    LogStep("hold-end", start);
}

}  // namespace nivora::linux_saver
