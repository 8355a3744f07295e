// The steps of the picture cycle that every front-end drives from its timers
// or paint handler: geometry, surfaces, laying the field, the reveal, the hold
// end and the first picture. They work on the scene alone.
#pragma once

#include <cstdint>
#include <functional>

#include "engine/imaging.h"

namespace nivora {

// The saver window's geometry: the snowflake square as high as the client
// area, the field at half the client size.
void SetSaverGeometry(int clientWidth, int clientHeight);

// The preview's geometry: square and field at the pane's full size.
void SetPreviewGeometry(int width, int height);

// Makes the four surfaces for a picture of width x height (FrameDib cleared to
// black, FlakeOffsetX, FrameGraphics, PixelBitmap, FieldBitmap) and sizes the
// planes. The geometry must be set first.
void CreateSurfaces(ImagingPlatform& platform, int width, int height);

// Draws FieldBitmap stretched over the whole FrameDib.
void LayField();

// Blends FlakeLayer cell (row, col) onto FrameDib pixel (FlakeOffsetX + col, row).
void BlendCell(int row, int col);

// The hold interval for a TimeShow in seconds, in milliseconds; 0 means the
// hold never ends. Negative values hold for ever too, and large ones are
// capped at the longest interval a system timer takes.
std::uint32_t HoldIntervalMs(std::int32_t timeShow);

struct RevealTickResult {
    bool completed = false;  // the last cell of the square was reached
    int cellsToComplete = 0; // cells handled before completion, this tick
};

// One reveal tick of the saver: 2 x FlakeSize + 1 cells from the cursor on,
// skipping cells of alpha 0. On completion the cursor returns to (0, 0) and
// the remaining cells of the tick are handled from there. The caller then
// stops the reveal timer and starts the hold.
RevealTickResult RevealTick();

// How long the stages of one new picture took, in milliseconds.
struct PictureTimings {
    double snowflake = 0, background = 0, colouring = 0;
};

// The saver's first picture: a random Background if asked for, the field laid
// over the picture, then a random Algorithm if asked for and the snowflake.
void FirstPicture(PictureTimings* timings = nullptr);

// The end of a hold: cursor to (0, 0), a new snowflake, a new background
// (random numbers where the flags ask for them), the field laid.
void HoldEnd(PictureTimings* timings = nullptr);

// The background again for the current settings (after a settings change):
// both passes, the field laid, and the reveal rewound.
void RegenerateBackground();

// The snowflake again for the current Algorithm, the field laid over the
// partial reveal, and the reveal rewound.
void RegenerateSnowflake();

// The preview's first picture: random Background and Algorithm.
void PreviewFirstPicture();

// One paint of the preview: 2 x FlakeSize + 1 reveal steps, every cell
// blended. A completed picture is followed at once by a new random one, and
// `pause` is called before the remaining steps go on. Returns the number of
// pictures completed during this paint.
int PreviewRevealTick(const std::function<void()>& pause);

}  // namespace nivora
