// What the picture engine asks of a 2D imaging platform: a 24-bit frame whose
// pixels can be written and shown, 32-bit ARGB bitmaps, setting one pixel, and
// drawing a bitmap into a rectangle of the frame (stretched, blended source
// over destination, clipped). The software implementation is portable; the
// Windows program adds one over GDI+.
#pragma once

#include <cstdint>
#include <memory>

namespace nivora {

// Non-premultiplied colour: alpha in bits 24..31, red 16..23, green 8..15,
// blue 0..7.
using Argb = std::uint32_t;

// A 24-bit picture: blue, green, red per pixel, each row padded to a multiple
// of 4 bytes, top row first. The memory belongs to the platform (a DIB section
// on Windows).
class Frame {
public:
    virtual ~Frame() = default;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    virtual int Stride() const = 0;
    virtual std::uint8_t* Bits() = 0;
    const std::uint8_t* Bits() const { return const_cast<Frame*>(this)->Bits(); }

    // 0x00RRGGBB of one pixel; x and y must lie inside the frame.
    std::uint32_t PixelRgb(int x, int y) const {
        const std::uint8_t* p = Bits() + static_cast<std::size_t>(y) * Stride() + 3 * x;
        return (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[1]) << 8) | p[0];
    }
};

// A 32-bit ARGB bitmap owned by the platform.
class Bitmap {
public:
    virtual ~Bitmap() = default;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    // Stores one pixel exactly; a coordinate outside the bitmap is refused
    // without effect.
    virtual void SetPixel(int x, int y, Argb colour) = 0;
    // Whole rows at once, for callers that write every pixel of a row
    // (the background colouring). The default goes through SetPixel.
    virtual void SetRow(int y, const Argb* colours, int count) {
        for (int x = 0; x < count; ++x) SetPixel(x, y, colours[x]);
    }
    virtual Argb GetPixel(int x, int y) const = 0;
};

// A drawing context bound to one Frame.
class Graphics {
public:
    virtual ~Graphics() = default;
    // Draws the whole image into (x, y, width, height) of the frame, scaled
    // with bilinear interpolation, blended source over destination with the
    // image's alpha, clipped to the frame.
    virtual void DrawImageRect(const Bitmap& image, int x, int y, int width, int height) = 0;
    // Completes all drawing so that the frame's pixels can be read or shown.
    virtual void Flush() {}
};

class ImagingPlatform {
public:
    virtual ~ImagingPlatform() = default;
    // The frame is cleared to black.
    virtual std::unique_ptr<Frame> CreateFrame(int width, int height) = 0;
    virtual std::unique_ptr<Graphics> CreateGraphics(Frame& frame) = 0;
    virtual std::unique_ptr<Bitmap> CreateBitmap(int width, int height) = 0;
};

// Bitmaps and drawing in software, over frames that a derived platform makes
// (ordinary memory here, a DIB section on Windows).
class SoftwareDrawing : public ImagingPlatform {
public:
    std::unique_ptr<Graphics> CreateGraphics(Frame& frame) override;
    std::unique_ptr<Bitmap> CreateBitmap(int width, int height) override;
};

// The portable implementation, used by the native build and the tools.
ImagingPlatform& SoftwareImaging();

}  // namespace nivora
