#include "engine/cycle_group.h"

#include <algorithm>

namespace nivora {

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

CycleSchedule CycleGroup::RevealTick() {
    for (PictureCycle* cycle : cycles_)
        if (cycle->RevealEnabled()) cycle->RevealTick();
    return Schedule();
}

CycleSchedule CycleGroup::HoldEnd() {
    for (PictureCycle* cycle : cycles_) cycle->HoldEnd();
    return Schedule();
}

}  // namespace nivora
