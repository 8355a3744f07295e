#include "engine/picture_steps.h"

#include <chrono>
#include <cstdio>
#include <stdexcept>

#include "engine/background_colouring.h"
#include "engine/background_field.h"
#include "engine/snowflake.h"

namespace nivora {

void SetSaverGeometry(Scene& scene, int clientWidth, int clientHeight) {
    scene.FlakeSize = clientHeight;
    scene.FieldWidth = clientWidth / 2;
    scene.FieldHeight = clientHeight / 2;
}

void SetPreviewGeometry(Scene& scene, int width, int height) {
    scene.FlakeSize = height;
    scene.FieldWidth = width;
    scene.FieldHeight = height;
}

std::uint64_t PictureMemoryBytes(const Scene& scene, int width, int height, int scenes) {
    const auto flakeCells = static_cast<std::uint64_t>(std::max(scene.FlakeSize, 0) + 1) *
                            static_cast<std::uint64_t>(std::max(scene.FlakeSize, 0) + 1);
    const auto fieldPoints = static_cast<std::uint64_t>(std::max(scene.FieldWidth, 0) + 1) *
                             static_cast<std::uint64_t>(std::max(scene.FieldHeight, 0) + 1);
    const std::uint64_t perScene = flakeCells * (3 * sizeof(std::uint8_t) + sizeof(std::int32_t)) + fieldPoints * 3 * sizeof(xmath::Real) +
                                   fieldPoints * sizeof(Argb);
    const std::uint64_t frame =
        ((3 * static_cast<std::uint64_t>(std::max(width, 0)) + 3) & ~std::uint64_t{3}) *
        static_cast<std::uint64_t>(std::max(height, 0));
    return frame + static_cast<std::uint64_t>(scenes) * perScene;
}

namespace {

std::string MemoryText(int width, int height, std::uint64_t bytes) {
    char text[160];
    std::snprintf(text, sizeof text, "Not enough memory for a picture of %d x %d: it needs about %.1f GB", width,
                  height, static_cast<double>(bytes) / 1e9);
    return text;
}

}  // namespace

PictureMemoryError::PictureMemoryError(int width, int height, std::uint64_t bytes)
    : text_(MemoryText(width, height, bytes)) {}

void CreateSurfaces(Scene& scene, ImagingPlatform& platform, int width, int height) {
    if (width < 0 || height < 0 || width > kMaxSurfaceSide || height > kMaxSurfaceSide)
        throw std::invalid_argument("picture size " + std::to_string(width) + " x " + std::to_string(height) +
                                    " out of range");
    try {
        scene.EnsureFlakeCapacity();
        scene.FrameDib = platform.CreateFrame(width, height);
        scene.FlakeOffsetX = (width - height) / 2;
        scene.FrameGraphics = platform.CreateGraphics(*scene.FrameDib);
        scene.PixelBitmap = platform.CreateBitmap(1, 1);
        scene.FieldBitmap = platform.CreateBitmap(scene.FieldWidth, scene.FieldHeight);
    } catch (const std::bad_alloc&) {
        throw PictureMemoryError(width, height, PictureMemoryBytes(scene, width, height));
    }
}

void LayField(Scene& scene) {
    if (!scene.FrameGraphics || !scene.FieldBitmap) return;
    scene.FrameGraphics->DrawImageRect(*scene.FieldBitmap, 0, 0, scene.FrameDib->Width(), scene.FrameDib->Height());
}

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

std::uint32_t HoldIntervalMs(std::int32_t timeShow) {
    // The longest interval a Windows timer accepts (USER_TIMER_MAXIMUM).
    constexpr long long kLongest = 0x7FFFFFFF;
    if (timeShow <= 0) return 0;
    return static_cast<std::uint32_t>(std::min(static_cast<long long>(timeShow) * 1000, kLongest));
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
        scene.RevealY = 0;
        scene.RevealX = 0;
        return true;
    }
    return false;
}

// A cursor moved outside the square by hand would read past the layer; the
// square starts again instead.
void KeepCursorInside(Scene& scene) {
    if (scene.RevealX < 0 || scene.RevealY < 0 || scene.RevealX >= scene.FlakeSize ||
        scene.RevealY >= scene.FlakeSize)
        scene.RevealX = scene.RevealY = 0;
}

// Runs a stage and, when asked, adds its duration in milliseconds.
template <class Stage>
void Timed(double* total, Stage stage) {
    const auto start = std::chrono::steady_clock::now();
    stage();
    if (total) *total += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

RevealTickResult RevealTick(Scene& scene) {
    RevealTickResult result;
    if (!scene.FrameGraphics) return result;
    if (scene.FlakeSize <= 0) {  // nothing to reveal: the one step completes it
        scene.RevealX = scene.RevealY = 0;
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

void DrawFirstPictureNumbers(SaverSettings& settings, RandomGenerator& random) {
    if (settings.BackgroundRands) settings.Background = static_cast<std::int32_t>(random.Random(20) + 1);
    if (settings.RandsAlgorithm) settings.Algorithm = static_cast<std::uint8_t>(random.Random(19) + 1);
}

void DrawNextPictureNumbers(SaverSettings& settings, RandomGenerator& random) {
    if (settings.RandsAlgorithm) settings.Algorithm = static_cast<std::uint8_t>(random.Random(19) + 1);
    if (settings.BackgroundRands) settings.Background = static_cast<std::int32_t>(random.Random(20) + 1);
}

void GenerateLayers(Scene& scene, PictureTimings* timings) {
    Timed(timings ? &timings->snowflake : nullptr, [&] { Snowflake(scene); });
    Timed(timings ? &timings->background : nullptr, [&] { Background0(scene); });
    Timed(timings ? &timings->colouring : nullptr, [&] { Background1(scene); });
}

void FirstPicture(Scene& scene, RandomGenerator& random, PictureTimings* timings) {
    DrawFirstPictureNumbers(scene.Settings, random);
    GenerateLayers(scene, timings);
    LayField(scene);
}

void HoldEnd(Scene& scene, RandomGenerator& random, PictureTimings* timings) {
    scene.RevealY = 0;
    scene.RevealX = 0;
    DrawNextPictureNumbers(scene.Settings, random);
    GenerateLayers(scene, timings);
    LayField(scene);
}

namespace {

void NextPreviewPicture(Scene& scene, RandomGenerator& random) {
    scene.Settings.Algorithm = static_cast<std::uint8_t>(random.Random(19) + 1);
    scene.Settings.Background = static_cast<std::int32_t>(random.Random(20) + 1);
    GenerateLayers(scene);
    LayField(scene);
}

}  // namespace

void PreviewFirstPicture(Scene& scene, RandomGenerator& random) {
    scene.Settings.Background = static_cast<std::int32_t>(random.Random(20) + 1);
    scene.Settings.Algorithm = static_cast<std::uint8_t>(random.Random(19) + 1);
    GenerateLayers(scene);
    LayField(scene);
}

int PreviewRevealSteps(Scene& scene, int steps, bool& completed) {
    completed = false;
    if (!scene.FrameGraphics) return steps;
    scene.EnsureFlakeCapacity();
    for (int n = 0; n < steps; ++n) {
        KeepCursorInside(scene);
        if (scene.FlakeSize > 0) BlendCell(scene, scene.RevealY, scene.RevealX);  // transparent cells too
        if (scene.FlakeSize <= 0 || AdvanceCursor(scene)) {
            scene.RevealX = scene.RevealY = 0;
            completed = true;
            return n + 1;
        }
    }
    return steps;
}

int PreviewRevealTick(Scene& scene, RandomGenerator& random, const std::function<void()>& pause) {
    int completed = 0;
    if (!scene.FrameGraphics) return completed;
    for (int steps = scene.FlakeSize > 0 ? 2 * scene.FlakeSize + 1 : 1; steps > 0;) {
        bool done = false;
        steps -= PreviewRevealSteps(scene, steps, done);
        if (done) {
            ++completed;
            NextPreviewPicture(scene, random);
            if (pause) pause();
        }
    }
    return completed;
}

}  // namespace nivora
