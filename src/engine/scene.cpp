#include "engine/scene.h"

#include <algorithm>

namespace nivora {

TSaverSettings SaverSettings;
bool ConfigMode = false;
bool PreviewMode = false;

std::int32_t FlakeSize = 0;
std::int32_t FlakeOffsetX = 0;
std::int32_t FieldWidth = 0;
std::int32_t FieldHeight = 0;
std::int32_t RevealX = 0;
std::int32_t RevealY = 0;

TFlakeLayer FlakeLayer;
TBackgroundField BackgroundField;

std::unique_ptr<Frame> FrameDib;
std::unique_ptr<Graphics> FrameGraphics;
std::unique_ptr<Bitmap> PixelBitmap;
std::unique_ptr<Bitmap> FieldBitmap;

namespace {

void GrowFlakeLayer(int cells) {
    if (cells <= FlakeLayer.Stride) return;
    const std::size_t count = static_cast<std::size_t>(cells) * static_cast<std::size_t>(cells);
    for (auto* plane : {&FlakeLayer.Red, &FlakeLayer.Green, &FlakeLayer.Blue, &FlakeLayer.Alpha})
        *plane = ZeroedPlane<std::int32_t>(count);
    FlakeLayer.Stride = cells;
}

void GrowBackgroundField(int columns, int rows) {
    if (columns <= BackgroundField.Stride && rows <= BackgroundField.Rows) return;
    columns = std::max(columns, BackgroundField.Stride);
    rows = std::max(rows, BackgroundField.Rows);
    const std::size_t count = static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows);
    for (auto& plane : BackgroundField.Plane) plane = ZeroedPlane<long double>(count);
    BackgroundField.Stride = columns;
    BackgroundField.Rows = rows;
}

}  // namespace

void EnsurePlaneCapacity() {
    GrowFlakeLayer(std::max(FlakeSize, kFlakeCapacity) + 1);
    GrowBackgroundField(std::max(FieldWidth, kFieldWidthCapacity) + 1,
                        std::max(FieldHeight, kFieldHeightCapacity) + 1);
}

void ResetScene() {
    SaverSettings = TSaverSettings{};
    ConfigMode = false;
    PreviewMode = false;
    FlakeSize = FlakeOffsetX = FieldWidth = FieldHeight = RevealX = RevealY = 0;
    FieldBitmap.reset();
    PixelBitmap.reset();
    FrameGraphics.reset();
    FrameDib.reset();
}

}  // namespace nivora
