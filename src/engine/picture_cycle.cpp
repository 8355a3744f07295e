#include "engine/picture_cycle.h"

#include <algorithm>
#include <chrono>

#include "engine/background_colouring.h"
#include "engine/background_field.h"
#include "engine/random.h"
#include "engine/scene.h"
#include "engine/snowflake.h"

namespace nivora {

void SetSaverGeometry(int clientWidth, int clientHeight) {
    FlakeSize = clientHeight;
    FieldWidth = clientWidth / 2;
    FieldHeight = clientHeight / 2;
}

void SetPreviewGeometry(int width, int height) {
    FlakeSize = height;
    FieldWidth = width;
    FieldHeight = height;
}

void CreateSurfaces(ImagingPlatform& platform, int width, int height) {
    EnsurePlaneCapacity();
    FrameDib = platform.CreateFrame(width, height);
    FlakeOffsetX = (width - height) / 2;
    FrameGraphics = platform.CreateGraphics(*FrameDib);
    PixelBitmap = platform.CreateBitmap(1, 1);
    FieldBitmap = platform.CreateBitmap(FieldWidth, FieldHeight);
}

void LayField() {
    if (!FrameGraphics || !FieldBitmap) return;
    FrameGraphics->DrawImageRect(*FieldBitmap, 0, 0, FrameDib->Width(), FrameDib->Height());
}

void BlendCell(int row, int col) {
    const std::size_t i = FlakeLayer.Index(row, col);
    const Argb colour = (static_cast<Argb>(FlakeLayer.Alpha[i] & 0xFF) << 24) |
                        (static_cast<Argb>(FlakeLayer.Red[i] & 0xFF) << 16) |
                        (static_cast<Argb>(FlakeLayer.Green[i] & 0xFF) << 8) |
                        static_cast<Argb>(FlakeLayer.Blue[i] & 0xFF);
    PixelBitmap->SetPixel(0, 0, colour);
    FrameGraphics->DrawImageRect(*PixelBitmap, FlakeOffsetX + col, row, 1, 1);
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
bool AdvanceCursor() {
    if (++RevealX >= FlakeSize) {
        ++RevealY;
        RevealX = 0;
    }
    if (RevealY >= FlakeSize) {
        RevealY = 0;
        RevealX = 0;
        return true;
    }
    return false;
}

bool CursorInsideSquare() { return RevealX >= 0 && RevealY >= 0 && RevealX < FlakeSize && RevealY < FlakeSize; }

// Runs a stage and, when asked, adds its duration in milliseconds.
template <class Stage>
void Timed(double* total, Stage stage) {
    const auto start = std::chrono::steady_clock::now();
    stage();
    if (total) *total += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

void NewBackground(PictureTimings* timings = nullptr) {
    Timed(timings ? &timings->background : nullptr, Background0);
    Timed(timings ? &timings->colouring : nullptr, [] {
        Background1();
        LayField();
    });
}

void NewSnowflake(PictureTimings* timings) { Timed(timings ? &timings->snowflake : nullptr, Snowflake); }

}  // namespace

RevealTickResult RevealTick() {
    RevealTickResult result;
    if (FlakeSize <= 0 || !FrameGraphics) return result;
    const int cells = 2 * FlakeSize + 1;
    for (int n = 0; n < cells; ++n) {
        // A cursor moved outside the square by hand would read past the
        // layer; start the square again instead.
        if (!CursorInsideSquare()) RevealX = RevealY = 0;
        if (FlakeLayer.Alpha[FlakeLayer.Index(RevealY, RevealX)] != 0) BlendCell(RevealY, RevealX);
        if (AdvanceCursor() && !result.completed) {
            result.completed = true;
            result.cellsToComplete = n + 1;
        }
    }
    return result;
}

void FirstPicture(PictureTimings* timings) {
    if (SaverSettings.BackgroundRands) SaverSettings.Background = static_cast<std::int32_t>(Random(20) + 1);
    NewBackground(timings);
    if (SaverSettings.RandsAlgorithm) SaverSettings.Algorithm = static_cast<std::uint8_t>(Random(19) + 1);
    NewSnowflake(timings);
}

void HoldEnd(PictureTimings* timings) {
    RevealY = 0;
    RevealX = 0;
    if (SaverSettings.RandsAlgorithm) SaverSettings.Algorithm = static_cast<std::uint8_t>(Random(19) + 1);
    NewSnowflake(timings);
    if (SaverSettings.BackgroundRands) SaverSettings.Background = static_cast<std::int32_t>(Random(20) + 1);
    NewBackground(timings);
}

void RegenerateBackground() {
    NewBackground();
    RevealY = 0;
    RevealX = 0;
}

void RegenerateSnowflake() {
    Snowflake();
    LayField();
    RevealY = 0;
    RevealX = 0;
}

namespace {

void NextPreviewPicture() {
    SaverSettings.Algorithm = static_cast<std::uint8_t>(Random(19) + 1);
    Snowflake();
    SaverSettings.Background = static_cast<std::int32_t>(Random(20) + 1);
    NewBackground();
}

}  // namespace

void PreviewFirstPicture() {
    SaverSettings.Background = static_cast<std::int32_t>(Random(20) + 1);
    NewBackground();
    SaverSettings.Algorithm = static_cast<std::uint8_t>(Random(19) + 1);
    Snowflake();
}

int PreviewRevealTick(const std::function<void()>& pause) {
    int completed = 0;
    if (FlakeSize <= 0 || !FrameGraphics) return completed;
    const int cells = 2 * FlakeSize + 1;
    for (int n = 0; n < cells; ++n) {
        if (!CursorInsideSquare()) RevealX = RevealY = 0;
        BlendCell(RevealY, RevealX);  // every cell, transparent ones included
        if (AdvanceCursor()) {
            ++completed;
            NextPreviewPicture();
            if (pause) pause();
        }
    }
    return completed;
}

}  // namespace nivora
