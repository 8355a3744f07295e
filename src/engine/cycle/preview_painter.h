// The preview's pace, for a host that paints whenever it is asked to: each
// paint reveals 2 x FlakeSize + 1 cells (every cell blended) and is followed
// by a 40 ms pause; a picture completed within a paint is followed by a new
// one with random numbers after a one-second pause, and the rest of that
// paint's cells go to the new picture. The pauses are kept as times, not
// sleeps, and the new picture comes from the worker, so the host's thread is
// never held up: a paint that falls inside a pause does nothing. Like the
// cycle, the painter answers with its schedule: paints due every 40 ms, or
// the pause after a picture; a host with timers or deadlines follows it
// rather than asking on a beat of its own.
#pragma once

#include <cstdint>

#include "engine/cycle/cycle_schedule.h"
#include "engine/cycle/picture_cycle.h"

namespace nivora {

class PreviewPainter {
public:
    static constexpr std::uint32_t kPaintPauseMs = 40;
    static constexpr std::uint32_t kPicturePauseMs = 1000;

    // `cycle` is over a scene in the preview geometry whose random flags are
    // both set; its first picture is made.
    explicit PreviewPainter(PictureCycle& cycle) : cycle_(cycle) {}

    // One paint at `nowMs` of a steady clock: true when the frame changed and
    // should be shown, whole (a new picture's field covers all of it).
    bool Paint(std::uint64_t nowMs);

    // When to paint again: the paints as the reveal, the pause after a
    // picture as the hold.
    CycleSchedule Schedule() const {
        return {.reveal = {!pausing_, kPaintPauseMs}, .hold = {pausing_, kPicturePauseMs}};
    }

    int PicturesCompleted() const { return completed_; }

private:
    PictureCycle& cycle_;
    std::uint64_t nextPaintAt_ = 0;
    bool pausing_ = false;       // after a completed picture
    std::uint64_t resumeAt_ = 0;
    int remainingSteps_ = 0;     // of the paint that completed the picture
    int completed_ = 0;
};

}  // namespace nivora
