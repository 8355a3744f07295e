#include "engine/cycle/preview_painter.h"

#include "engine/cycle/reveal.h"

namespace nivora {

bool PreviewPainter::Paint(std::uint64_t nowMs) {
    Scene& scene = cycle_.scene();
    int steps;
    if (pausing_) {
        if (nowMs < resumeAt_ || !cycle_.TakeAwaited()) return false;
        pausing_ = false;
        steps = remainingSteps_;
    } else {
        // The first picture is made on the worker: nothing is revealed
        // before it is there.
        if (nowMs < nextPaintAt_ || !cycle_.TakeAwaited()) return false;
        steps = scene.FlakeSize > 0 ? 2 * scene.FlakeSize + 1 : 1;
    }
    while (steps > 0) {
        bool completed = false;
        steps -= PreviewRevealSteps(scene, steps, completed);
        if (!completed) continue;
        ++completed_;
        // The next numbers, drawn now, in their usual order. The answer's
        // rows are not needed: a shown paint shows the whole frame.
        cycle_.HoldEnd();
        pausing_ = true;
        resumeAt_ = nowMs + kPicturePauseMs;
        remainingSteps_ = steps;
        return false;  // the old picture's last cells are never shown, as ever
    }
    nextPaintAt_ = nowMs + kPaintPauseMs;
    return true;
}

}  // namespace nivora
