#include "win32/imaging_win32.h"

#include <algorithm>

#include "win32/gdiplus_flat.h"

namespace nivora::win32 {

DibFrame::DibFrame(int width, int height) {
    dc_ = CreateCompatibleDC(nullptr);
    if (width <= 0 || height <= 0) return;

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // negative: top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap_ || !bits) return;

    previous_ = SelectObject(dc_, bitmap_);
    width_ = width;
    height_ = height;
    stride_ = (3 * width + 3) & ~3;
    bits_ = static_cast<std::uint8_t*>(bits);
    std::fill_n(bits_, static_cast<std::size_t>(stride_) * height_, std::uint8_t{0});
}

DibFrame::~DibFrame() {
    if (previous_) SelectObject(dc_, previous_);
    if (bitmap_) DeleteObject(bitmap_);
    if (dc_) DeleteDC(dc_);
}

namespace {

bool gdiplusStarted = false;
bool gdiplusStopped = false;
ULONG_PTR gdiplusToken = 0;

void StartGdiPlus() {
    if (gdiplusStarted) return;
    GdiplusStartupInputFlat input{1, nullptr, FALSE, FALSE};
    GdiplusStartup(&gdiplusToken, &input, nullptr);
    gdiplusStarted = true;
}

// Objects outliving GdiplusShutdown are not handed back to it.
bool MayRelease() { return gdiplusStarted && !gdiplusStopped; }

// The statuses are kept, as the surface objects always did, and not acted on:
// a failed call leaves the picture as it was.
class GdiPlusBitmap final : public Bitmap {
public:
    GdiPlusBitmap(int width, int height) : width_(width), height_(height) {
        status_ = GdipCreateBitmapFromScan0(width, height, 0, kPixelFormat32bppARGB, nullptr, &bitmap_);
    }
    ~GdiPlusBitmap() override {
        if (bitmap_ && MayRelease()) GdipDisposeImage(reinterpret_cast<GpImage*>(bitmap_));
    }
    int Width() const override { return bitmap_ ? width_ : 0; }
    int Height() const override { return bitmap_ ? height_ : 0; }
    void SetPixel(int x, int y, Argb colour) override { status_ = GdipBitmapSetPixel(bitmap_, x, y, colour); }
    Argb GetPixel(int x, int y) const override {
        GpArgb colour = 0;
        if (GdipBitmapGetPixel(bitmap_, x, y, &colour) != 0) return 0;
        return colour;
    }
    GpImage* Image() const { return reinterpret_cast<GpImage*>(bitmap_); }

private:
    int width_, height_;
    GpBitmap* bitmap_ = nullptr;
    GpStatus status_ = 0;
};

class GdiPlusGraphics final : public Graphics {
public:
    explicit GdiPlusGraphics(DibFrame& frame) { status_ = GdipCreateFromHDC(frame.DC(), &graphics_); }
    ~GdiPlusGraphics() override {
        if (graphics_ && MayRelease()) GdipDeleteGraphics(graphics_);
    }
    void DrawImageRect(const Bitmap& image, int x, int y, int width, int height) override {
        status_ = GdipDrawImageRectI(graphics_, static_cast<const GdiPlusBitmap&>(image).Image(), x, y, width, height);
    }
    void Flush() override { GdiFlush(); }

private:
    GpGraphics* graphics_ = nullptr;
    GpStatus status_ = 0;
};

class GdiPlusPlatform final : public ImagingPlatform {
public:
    std::unique_ptr<Frame> CreateFrame(int width, int height) override {
        return std::make_unique<DibFrame>(width, height);
    }
    std::unique_ptr<Graphics> CreateGraphics(Frame& frame) override {
        return std::make_unique<GdiPlusGraphics>(static_cast<DibFrame&>(frame));
    }
    std::unique_ptr<Bitmap> CreateBitmap(int width, int height) override {
        return std::make_unique<GdiPlusBitmap>(width, height);
    }
};

// The engine's blender writing straight into the DIB section's bits.
class SoftwareDibPlatform final : public SoftwareDrawing {
public:
    std::unique_ptr<Frame> CreateFrame(int width, int height) override {
        return std::make_unique<DibFrame>(width, height);
    }
};

}  // namespace

ImagingPlatform& GdiPlusImaging() {
    static GdiPlusPlatform platform;
    StartGdiPlus();
    return platform;
}

ImagingPlatform& SoftwareDibImaging() {
    static SoftwareDibPlatform platform;
    return platform;
}

ImagingPlatform& Imaging(ImagingBackend backend) {
    return backend == ImagingBackend::GdiPlus ? GdiPlusImaging() : SoftwareDibImaging();
}

ImagingBackend DefaultBackend() {
#if defined(NIVORA_IMAGING_GDIPLUS)
    return ImagingBackend::GdiPlus;
#else
    return ImagingBackend::Software;
#endif
}

const char* BackendName(ImagingBackend backend) {
    return backend == ImagingBackend::GdiPlus ? "gdiplus" : "software";
}

void ShutdownImaging() {
    if (!gdiplusStarted || gdiplusStopped) return;
    GdiplusShutdown(gdiplusToken);
    gdiplusStopped = true;
}

}  // namespace nivora::win32
