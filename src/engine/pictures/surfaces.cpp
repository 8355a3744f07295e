#include "engine/pictures/surfaces.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

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

}  // namespace nivora
