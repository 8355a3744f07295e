// The surfaces a picture is drawn on: the geometry of the saver and the
// preview, the memory a picture needs (and the error when it runs out), the
// frame and its bitmaps, and laying the field over the frame.
#pragma once

#include <cstdint>
#include <new>
#include <string>

#include "engine/pictures/imaging.h"
#include "engine/pictures/scene.h"

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

}  // namespace nivora
