// The steps of a picture that every front-end and tool builds on: geometry,
// surfaces, laying the field, the reveal, and the numbers each new picture
// draws. They work on the scene they are given.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <new>
#include <string>

#include "engine/imaging.h"
#include "engine/random.h"
#include "engine/scene.h"

namespace nivora {

// The saver window's geometry: the snowflake square as high as the client
// area, the field at half the client size.
void SetSaverGeometry(Scene& scene, int clientWidth, int clientHeight);

// The preview's geometry: square and field at the pane's full size.
void SetPreviewGeometry(Scene& scene, int width, int height);

// Memory that pictures of width x height in the scene's geometry write, in
// bytes: the frame, and for each scene (a cycle keeps two: the one shown and
// the one being prepared) the snowflake layer, the field planes and the field
// bitmap. The planes' untouched reserve for the classic sizes costs address
// space only, and is not counted.
std::uint64_t PictureMemoryBytes(const Scene& scene, int width, int height, int scenes = 2);

// Memory ran out for a picture: what() is a sentence a user can read.
class PictureMemoryError : public std::bad_alloc {
public:
    PictureMemoryError(int width, int height, std::uint64_t bytes);
    const char* what() const noexcept override { return text_.c_str(); }

private:
    std::string text_;
};

// The largest side a frame may have: its rows of 3 bytes a pixel, padded to
// 4, must count their bytes in an int.
inline constexpr int kMaxSurfaceSide = (0x7FFFFFFF - 3) / 3;

// Makes the four surfaces for a picture of width x height (FrameDib cleared to
// black, FlakeOffsetX, FrameGraphics, PixelBitmap, FieldBitmap) and sizes the
// planes. The geometry must be set first. A negative side, or one above
// kMaxSurfaceSide, throws std::invalid_argument; memory that runs out throws
// PictureMemoryError.
void CreateSurfaces(Scene& scene, ImagingPlatform& platform, int width, int height);

// Draws FieldBitmap stretched over the whole FrameDib.
void LayField(Scene& scene);

// Blends FlakeLayer cell (row, col) onto FrameDib pixel (FlakeOffsetX + col, row).
// A cell outside the layer is ignored; the frame clips the pixel.
void BlendCell(Scene& scene, int row, int col);

// The hold interval for a TimeShow in seconds, in milliseconds; 0 means the
// hold never ends. Negative values hold for ever too, and large ones are
// capped at the longest interval a system timer takes.
std::uint32_t HoldIntervalMs(std::int32_t timeShow);

// A range of frame rows, first to last inclusive; empty when last < first.
struct RowSpan {
    int first = 0, last = -1;

    bool Empty() const { return last < first; }
    void Add(int row) {
        if (Empty()) {
            first = last = row;
        } else {
            first = std::min(first, row);
            last = std::max(last, row);
        }
    }
    void Add(const RowSpan& other) {
        if (other.Empty()) return;
        Add(other.first);
        Add(other.last);
    }
};

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

// The numbers of a new picture where the flags ask for random ones. The
// first picture draws the background first; every later one the algorithm
// first. Algorithm is 1..19 (20 is never drawn), Background 1..20.
void DrawFirstPictureNumbers(SaverSettings& settings, RandomGenerator& random);
void DrawNextPictureNumbers(SaverSettings& settings, RandomGenerator& random);

// How long the stages of one new picture took, in milliseconds.
struct PictureTimings {
    double snowflake = 0, background = 0, colouring = 0;
};

// Generates the snowflake and then the background (both passes) of the
// scene's current numbers; the field is not laid.
void GenerateLayers(Scene& scene, PictureTimings* timings = nullptr);

// A whole new picture on the calling thread, the field laid over the frame:
// the first one, and the one after a hold (cursor rewound first).
void FirstPicture(Scene& scene, RandomGenerator& random, PictureTimings* timings = nullptr);
void HoldEnd(Scene& scene, RandomGenerator& random, PictureTimings* timings = nullptr);

// The preview's pictures: random Background and Algorithm for each.
void PreviewFirstPicture(Scene& scene, RandomGenerator& random);

// Up to `steps` reveal steps of the preview, every cell blended (a cell of
// alpha 0 changes nothing); stops right after the step that completes the
// picture, with the cursor back at (0, 0). Returns the steps taken. A square
// of no cells completes in one step.
int PreviewRevealSteps(Scene& scene, int steps, bool& completed);

// One paint of the preview on the calling thread: 2 x FlakeSize + 1 reveal
// steps, every cell blended. A completed picture is followed at once by a new random one, and
// `pause` is called before the remaining steps go on. Returns the number of
// pictures completed during this paint.
int PreviewRevealTick(Scene& scene, RandomGenerator& random, const std::function<void()>& pause);

}  // namespace nivora
