// Several pictures on one clock: one picture cycle per monitor, driven by the
// same two timers so that the pictures change together. The reveal timer runs
// while any picture is still being revealed; the hold begins when the last one
// is complete and lasts the first cycle's hold interval; its end starts a new
// picture everywhere. One cycle on its own behaves exactly as that cycle does.
// The group answers as a cycle does, with the rows of each of its cycles.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/cycle/picture_cycle.h"

namespace nivora {

// The seed of monitor `index` (1, 2, ...) beside the primary one: derived from
// the primary generator's seed without drawing from it, so that the primary
// monitor shows exactly the pictures a single screen would, and each other
// monitor a sequence of its own.
inline std::uint32_t MonitorSeed(std::uint32_t primarySeed, int index) {
    return primarySeed + static_cast<std::uint32_t>(index) * 0x9E3779B9u;
}

// The answer to a step of the group: its schedule, and each cycle's rows.
struct GroupAnswer {
    CycleSchedule schedule;
    struct Drawn {
        const PictureCycle* cycle;
        RowSpan rows;
    };
    std::vector<Drawn> drawn;  // the cycles that were called, in the order they were added

    // The rows `cycle` drew in the step; none for a cycle that was not called.
    RowSpan RowsOf(const PictureCycle* cycle) const;
};

class CycleGroup {
public:
    // The first cycle added sets the hold interval.
    void Add(PictureCycle& cycle) { cycles_.push_back(&cycle); }
    void Clear() { cycles_.clear(); }
    std::size_t Size() const { return cycles_.size(); }

    bool RevealEnabled() const;
    bool HoldEnabled() const;
    std::uint32_t HoldIntervalMs() const { return cycles_.empty() ? 0 : cycles_.front()->HoldIntervalMs(); }

    // The group's answer, as one cycle's: the reveal while any cycle
    // reveals, the hold once all hold, with the first cycle's interval.
    CycleSchedule Schedule() const;

    GroupAnswer RevealTick();  // each cycle still revealing (or awaiting its layers)
    GroupAnswer HoldEnd();     // every cycle

private:
    std::vector<PictureCycle*> cycles_;
};

}  // namespace nivora
