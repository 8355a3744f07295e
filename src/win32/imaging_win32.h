// Imaging on Windows. The frame is always a 24-bit DIB section selected into a
// memory DC, so it can be copied onto a window with BitBlt; what draws into it
// is either GDI+ (flat interface) or the engine's software blender. A
// window's frames belong to it and are lent to the engine.
#pragma once

#include <windows.h>

#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "engine/pictures/imaging.h"

namespace nivora::win32 {

// Top-down 24-bit DIB section: top row first, rows padded to 4 bytes, which
// is exactly the engine's Frame layout. Cleared to black.
class DibFrame final : public Frame {
public:
    DibFrame(int width, int height);
    ~DibFrame() override;
    DibFrame(const DibFrame&) = delete;
    DibFrame& operator=(const DibFrame&) = delete;

    int Width() const override { return width_; }
    int Height() const override { return height_; }
    int Stride() const override { return stride_; }
    std::uint8_t* Bits() override { return bits_; }
    HDC DC() const { return dc_; }

private:
    int width_ = 0, height_ = 0, stride_ = 0;
    std::uint8_t* bits_ = nullptr;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ previous_ = nullptr;
};

enum class ImagingBackend { Software, GdiPlus };

// What draws into DIB frames: the graphics bound to one, and the bitmaps
// drawn with them.
class DibDrawing {
public:
    virtual ~DibDrawing() = default;
    virtual std::unique_ptr<Graphics> CreateGraphics(DibFrame& frame) = 0;
    virtual std::unique_ptr<Bitmap> CreateBitmap(int width, int height) = 0;
};

// The program's imaging: the engine's blender, and GDI+, started the first
// time it is asked for and shut down when this goes. Surfaces still alive
// then are left to the process's end rather than released into a stopped
// GDI+.
class WindowsImaging {
public:
    WindowsImaging();
    ~WindowsImaging();
    WindowsImaging(const WindowsImaging&) = delete;
    WindowsImaging& operator=(const WindowsImaging&) = delete;

    DibDrawing& Drawing(ImagingBackend backend);

private:
    class GdiPlus;
    std::unique_ptr<DibDrawing> software_;
    std::unique_ptr<GdiPlus> gdiplus_;
};

// The frames of one window's pictures: made and kept here, lent to the
// engine, which sees only a Frame. The window copies to the screen from the
// DIB section of the frame the engine's scene holds. Frames are made and
// given back on the worker's thread too.
class WindowFrames final : public ImagingPlatform {
public:
    explicit WindowFrames(DibDrawing& drawing) : drawing_(drawing) {}
    ~WindowFrames() override;
    WindowFrames(const WindowFrames&) = delete;
    WindowFrames& operator=(const WindowFrames&) = delete;

    std::unique_ptr<Frame> CreateFrame(int width, int height) override;
    // For a frame lent from here; any other has nothing to draw on here.
    std::unique_ptr<Graphics> CreateGraphics(Frame& frame) override;
    std::unique_ptr<Bitmap> CreateBitmap(int width, int height) override { return drawing_.CreateBitmap(width, height); }

    // The memory DC of `frame`'s DIB section when it is a frame lent from
    // here, otherwise nullptr.
    HDC DC(const Frame& frame) const;

private:
    class Loan;
    DibFrame* Lent(const Frame& frame) const;
    void GiveBack(const Frame& loan);

    DibDrawing& drawing_;
    mutable std::mutex mutex_;
    std::vector<std::pair<const Frame*, std::unique_ptr<DibFrame>>> frames_;  // the loan and what it lends
};

// The backend this build draws with (chosen at build time, NIVORA_WIN32_IMAGING).
ImagingBackend DefaultBackend();
const char* BackendName(ImagingBackend backend);

}  // namespace nivora::win32
