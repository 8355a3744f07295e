#include "engine/cycle/cycle_group.h"

#include <algorithm>

namespace nivora {

RowSpan GroupAnswer::RowsOf(const PictureCycle* cycle) const {
    for (const Drawn& each : drawn)
        if (each.cycle == cycle) return each.rows;
    return {};
}

bool CycleGroup::RevealEnabled() const {
    return std::any_of(cycles_.begin(), cycles_.end(), [](const PictureCycle* c) { return c->RevealEnabled(); });
}

bool CycleGroup::HoldEnabled() const {
    return !cycles_.empty() &&
           std::all_of(cycles_.begin(), cycles_.end(), [](const PictureCycle* c) { return c->HoldEnabled(); });
}

CycleSchedule CycleGroup::Schedule() const {
    return {.reveal = {RevealEnabled(), PictureCycle::kRevealIntervalMs}, .hold = {HoldEnabled(), HoldIntervalMs()}};
}

GroupAnswer CycleGroup::RevealTick() {
    GroupAnswer answer;
    for (PictureCycle* cycle : cycles_)
        if (cycle->RevealEnabled()) answer.drawn.push_back({cycle, cycle->RevealTick().rows});
    answer.schedule = Schedule();
    return answer;
}

GroupAnswer CycleGroup::HoldEnd() {
    GroupAnswer answer;
    for (PictureCycle* cycle : cycles_) answer.drawn.push_back({cycle, cycle->HoldEnd().rows});
    answer.schedule = Schedule();
    return answer;
}

}  // namespace nivora
