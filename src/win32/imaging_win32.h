// Imaging on Windows. The frame is always a 24-bit DIB section selected into a
// memory DC, so it can be copied onto a window with BitBlt; what draws into it
// is either GDI+ (flat interface) or the engine's software blender.
#pragma once

#include <windows.h>

#include "engine/imaging.h"

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

// GDI+ is started (input version 1) the first time this is called.
ImagingPlatform& GdiPlusImaging();
ImagingPlatform& SoftwareDibImaging();
ImagingPlatform& Imaging(ImagingBackend backend);

// The backend this build draws with (chosen at build time, NIVORA_WIN32_IMAGING).
ImagingBackend DefaultBackend();
const char* BackendName(ImagingBackend backend);

// Shuts GDI+ down if it was started. Surfaces still alive afterwards are
// left to the process's end rather than released into a stopped GDI+.
void ShutdownImaging();

}  // namespace nivora::win32
