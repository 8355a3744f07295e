#include "engine/cycle/reveal.h"

namespace nivora {

void BlendCell(Scene& scene, int row, int col) {
    const TFlakeLayer& layer = scene.FlakeLayer;
    if (row < 0 || col < 0 || row >= layer.Stride || col >= layer.Stride) return;
    const std::size_t i = layer.Index(row, col);
    const Argb colour = (static_cast<Argb>(layer.Alpha[i] & 0xFF) << 24) |
                        (static_cast<Argb>(layer.Red[i] & 0xFF) << 16) |
                        (static_cast<Argb>(layer.Green[i] & 0xFF) << 8) | static_cast<Argb>(layer.Blue[i] & 0xFF);
    scene.PixelBitmap->SetPixel(0, 0, colour);
    scene.FrameGraphics->DrawImageRect(*scene.PixelBitmap, scene.FlakeOffsetX + col, row, 1, 1);
}

void RewindReveal(Scene& scene) {
    scene.RevealX = 0;
    scene.RevealY = 0;
}

namespace {

// Moves the cursor one cell on; true when that finished the square, in which
// case the cursor is back at (0, 0).
bool AdvanceCursor(Scene& scene) {
    if (++scene.RevealX >= scene.FlakeSize) {
        ++scene.RevealY;
        scene.RevealX = 0;
    }
    if (scene.RevealY >= scene.FlakeSize) {
        RewindReveal(scene);
        return true;
    }
    return false;
}

// A cursor moved outside the square by hand would read past the layer; the
// square starts again instead.
void KeepCursorInside(Scene& scene) {
    if (scene.RevealX < 0 || scene.RevealY < 0 || scene.RevealX >= scene.FlakeSize ||
        scene.RevealY >= scene.FlakeSize)
        RewindReveal(scene);
}

}  // namespace

RevealTickResult RevealTick(Scene& scene) {
    RevealTickResult result;
    if (!scene.FrameGraphics) return result;
    if (scene.FlakeSize <= 0) {  // nothing to reveal: the one step completes it
        RewindReveal(scene);
        result.completed = true;
        result.cellsToComplete = 1;
        return result;
    }
    scene.EnsureFlakeCapacity();
    const int cells = 2 * scene.FlakeSize + 1;
    const int frameHeight = scene.FrameDib->Height();
    for (int n = 0; n < cells; ++n) {
        KeepCursorInside(scene);
        if (scene.FlakeLayer.Alpha[scene.FlakeLayer.Index(scene.RevealY, scene.RevealX)] != 0) {
            BlendCell(scene, scene.RevealY, scene.RevealX);
            if (scene.RevealY < frameHeight) result.rows.Add(scene.RevealY);
        }
        if (AdvanceCursor(scene) && !result.completed) {
            result.completed = true;
            result.cellsToComplete = n + 1;
        }
    }
    return result;
}

int PreviewRevealSteps(Scene& scene, int steps, bool& completed) {
    completed = false;
    if (!scene.FrameGraphics) return steps;
    scene.EnsureFlakeCapacity();
    for (int n = 0; n < steps; ++n) {
        KeepCursorInside(scene);
        if (scene.FlakeSize > 0) BlendCell(scene, scene.RevealY, scene.RevealX);  // transparent cells too
        if (scene.FlakeSize <= 0 || AdvanceCursor(scene)) {
            RewindReveal(scene);
            completed = true;
            return n + 1;
        }
    }
    return steps;
}

}  // namespace nivora
