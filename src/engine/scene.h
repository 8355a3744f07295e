// The process-wide scene: settings in memory, mode flags, picture geometry,
// the reveal cursor, the drawing surfaces and the two sets of planes that the
// generators fill. Every part of the program reaches these directly; nobody
// holds a copy.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/imaging.h"
#include "engine/zeroed_plane.h"

namespace nivora {

struct TSaverSettings {
    std::uint8_t Algorithm = 0;    // snowflake step rule, 1..20
    std::int32_t Background = 0;   // background recipe, 0..20
    std::uint8_t Brightness = 0;   // channel cap in twentieths
    std::int32_t TimeShow = 0;     // seconds a finished picture is held
    bool BackgroundRands = false;  // draw a new Background for every picture
    bool RandsAlgorithm = false;   // draw a new Algorithm for every picture
};

// The planes keep at least the classic capacity (a 1200-pixel snowflake and a
// 2000 x 1500 field) and grow when a picture needs more, so larger screens work
// without writing past an array. They never shrink.
inline constexpr int kFlakeCapacity = 1200;
inline constexpr int kFieldWidthCapacity = 2000;
inline constexpr int kFieldHeightCapacity = 1500;

// Red, green, blue and alpha of every snowflake cell, row-major.
struct TFlakeLayer {
    int Stride = 0;  // cells per row, also the number of rows
    ZeroedPlane<std::int32_t> Red, Green, Blue, Alpha;

    std::size_t Index(int row, int col) const {
        return static_cast<std::size_t>(row) * static_cast<std::size_t>(Stride) +
               static_cast<std::size_t>(col);
    }
};

// Three extended-precision values per field point, row-major.
struct TBackgroundField {
    int Stride = 0;  // points per row
    int Rows = 0;
    ZeroedPlane<long double> Plane[3];

    std::size_t Index(int x, int y) const {
        return static_cast<std::size_t>(y) * static_cast<std::size_t>(Stride) +
               static_cast<std::size_t>(x);
    }
};

extern TSaverSettings SaverSettings;
extern bool ConfigMode;
extern bool PreviewMode;

extern std::int32_t FlakeSize;
extern std::int32_t FlakeOffsetX;
extern std::int32_t FieldWidth;
extern std::int32_t FieldHeight;
extern std::int32_t RevealX;
extern std::int32_t RevealY;

extern TFlakeLayer FlakeLayer;
extern TBackgroundField BackgroundField;

// The drawing surfaces, made once per process by CreateSurfaces.
extern std::unique_ptr<Frame> FrameDib;
extern std::unique_ptr<Graphics> FrameGraphics;
extern std::unique_ptr<Bitmap> PixelBitmap;
extern std::unique_ptr<Bitmap> FieldBitmap;

// Makes sure the FlakeLayer holds rows and columns 0..FlakeSize and the
// BackgroundField points 0..FieldWidth by 0..FieldHeight. Called whenever the
// geometry is set; a no-op when the planes are already large enough.
void EnsurePlaneCapacity();

// Puts the whole scene back to its process-start state (settings zero, flags
// false, geometry 0, no surfaces). The planes keep their storage. Used by tests
// and by tools that build several scenes in one process.
void ResetScene();

}  // namespace nivora
