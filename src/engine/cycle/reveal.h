// The reveal: the snowflake blended onto the frame cell by cell, a tick of
// the saver's reveal at a time, or the preview's steps.
#pragma once

#include "engine/cycle/row_span.h"
#include "engine/pictures/scene.h"

namespace nivora {

// Blends FlakeLayer cell (row, col) onto FrameDib pixel (FlakeOffsetX + col, row).
// A cell outside the layer is ignored; the frame clips the pixel.
void BlendCell(Scene& scene, int row, int col);

// The reveal starts again from the first cell of the square. The one place
// that rewinds the cursor (RevealX, RevealY), whoever starts a new picture.
void RewindReveal(Scene& scene);

struct RevealTickResult {
    bool completed = false;   // the last cell of the square was reached
    int cellsToComplete = 0;  // cells handled before completion, this tick
    RowSpan rows;             // frame rows that a blended cell touched
};

// One reveal tick of the saver: 2 x FlakeSize + 1 cells from the cursor on,
// skipping cells of alpha 0. On completion the cursor returns to (0, 0) and
// the remaining cells of the tick are handled from there. A square of no
// cells completes in one step. The caller then stops the reveal and starts
// the hold.
RevealTickResult RevealTick(Scene& scene);

// Up to `steps` reveal steps of the preview, every cell blended (a cell of
// alpha 0 changes nothing); stops right after the step that completes the
// picture, with the cursor back at (0, 0). Returns the steps taken. A square
// of no cells completes in one step.
int PreviewRevealSteps(Scene& scene, int steps, bool& completed);

}  // namespace nivora
