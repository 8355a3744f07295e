// One picture's state: the settings it pictures, its geometry, the reveal
// cursor, the drawing surfaces and the planes the generators fill. Engine
// functions take the scene they work on, so several can live side by side: the
// picture on screen and the next one being prepared, one per monitor, or two
// in a test.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/numbers/real.h"
#include "engine/pictures/generator_counts.h"
#include "engine/pictures/imaging.h"
#include "engine/pictures/zeroed_plane.h"

namespace nivora {

struct SaverSettings {
    std::uint8_t Algorithm = 0;    // snowflake step rule, 1..kSnowflakeRules
    std::int32_t Background = 0;   // background recipe, 0..kBackgroundRecipes
    std::uint8_t Brightness = 0;   // channel cap in twentieths
    std::int32_t TimeShow = 0;     // seconds a finished picture is held
    bool BackgroundRands = false;  // draw a new Background for every picture
    bool RandsAlgorithm = false;   // draw a new Algorithm for every picture

    bool operator==(const SaverSettings&) const = default;
};

// The settings of a first run, and of every front-end that has no stored
// ones: the one table of defaults.
inline constexpr SaverSettings kDefaultSettings{
    .Algorithm = 20,
    .Background = 1,
    .Brightness = 14,
    .TimeShow = 5,
    .BackgroundRands = true,
    .RandsAlgorithm = true,
};

// The planes keep at least the classic capacity (a 1200-pixel snowflake and a
// 2000 x 1500 field) and grow when a picture needs more, so larger screens work
// without writing past an array. They never shrink. Zero pages cost nothing
// until a picture writes them.
inline constexpr int kFlakeCapacity = 1200;
inline constexpr int kFieldWidthCapacity = 2000;
inline constexpr int kFieldHeightCapacity = 1500;

// Red, green, blue and alpha of every snowflake cell, row-major. The colours
// are only ever 0 or 255, so a byte holds them exactly (a cell takes 7 bytes
// instead of 16: about 170 MB less per layer at 4320 rows); the alpha needs
// its 32 bits.
struct TFlakeLayer {
    int Stride = 0;  // cells per row, also the number of rows
    ZeroedPlane<std::uint8_t> Red, Green, Blue;
    ZeroedPlane<std::int32_t> Alpha;

    std::size_t Index(int row, int col) const {
        return static_cast<std::size_t>(row) * static_cast<std::size_t>(Stride) +
               static_cast<std::size_t>(col);
    }
};

// Three extended-precision values per field point, row-major.
struct TBackgroundField {
    int Stride = 0;  // points per row
    int Rows = 0;
    ZeroedPlane<xmath::Real> Plane[3];

    std::size_t Index(int x, int y) const {
        return static_cast<std::size_t>(y) * static_cast<std::size_t>(Stride) +
               static_cast<std::size_t>(x);
    }
};

struct Scene {
    SaverSettings Settings;

    std::int32_t FlakeSize = 0;
    std::int32_t FlakeOffsetX = 0;
    std::int32_t FieldWidth = 0;
    std::int32_t FieldHeight = 0;
    std::int32_t RevealX = 0;
    std::int32_t RevealY = 0;

    TFlakeLayer FlakeLayer;
    TBackgroundField BackgroundField;

    // The drawing surfaces, made by CreateSurfaces. A scene that only
    // prepares layers has a FieldBitmap and no frame.
    std::unique_ptr<Frame> FrameDib;
    std::unique_ptr<Graphics> FrameGraphics;
    std::unique_ptr<Bitmap> PixelBitmap;
    std::unique_ptr<Bitmap> FieldBitmap;

    // Makes sure the FlakeLayer holds rows and columns 0..FlakeSize and the
    // BackgroundField points 0..FieldWidth by 0..FieldHeight; a no-op when the
    // planes are already large enough. Each generator sizes what it fills.
    void EnsurePlaneCapacity();
    void EnsureFlakeCapacity();
    void EnsureFieldCapacity();
};

}  // namespace nivora
