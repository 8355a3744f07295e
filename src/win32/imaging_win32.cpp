#include "win32/imaging_win32.h"

#include <algorithm>
#include <atomic>
#include <stdexcept>

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

// GDI+ as one WindowsImaging started it. What was made with it asks, when
// it goes, whether GDI+ still runs. Not in the unnamed namespace: it is a
// member of WindowsImaging::GdiPlus, whose name is the program's.
struct GdiPlusSession {
    ULONG_PTR token = 0;
    std::atomic<bool> running{false};
};

namespace {

// The statuses are kept, as the surface objects always did, and not acted on:
// a failed call leaves the picture as it was.
class GdiPlusBitmap final : public Bitmap {
public:
    GdiPlusBitmap(std::shared_ptr<const GdiPlusSession> session, int width, int height)
        : session_(std::move(session)), width_(width), height_(height) {
        status_ = GdipCreateBitmapFromScan0(width, height, 0, kPixelFormat32bppARGB, nullptr, &bitmap_);
    }
    ~GdiPlusBitmap() override {
        if (bitmap_ && session_->running) GdipDisposeImage(reinterpret_cast<GpImage*>(bitmap_));
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
    std::shared_ptr<const GdiPlusSession> session_;
    int width_, height_;
    GpBitmap* bitmap_ = nullptr;
    GpStatus status_ = 0;
};

class GdiPlusGraphics final : public Graphics {
public:
    GdiPlusGraphics(std::shared_ptr<const GdiPlusSession> session, DibFrame& frame) : session_(std::move(session)) {
        status_ = GdipCreateFromHDC(frame.DC(), &graphics_);
    }
    ~GdiPlusGraphics() override {
        if (graphics_ && session_->running) GdipDeleteGraphics(graphics_);
    }
    // The bitmaps come from the same drawing as this graphics.
    void DrawImageRect(const Bitmap& image, int x, int y, int width, int height) override {
        status_ = GdipDrawImageRectI(graphics_, static_cast<const GdiPlusBitmap&>(image).Image(), x, y, width, height);
    }
    void Flush() override { GdiFlush(); }

private:
    std::shared_ptr<const GdiPlusSession> session_;
    GpGraphics* graphics_ = nullptr;
    GpStatus status_ = 0;
};

// The engine's blender writing straight into the DIB section's bits.
class SoftwareDibDrawing final : public DibDrawing {
public:
    std::unique_ptr<Graphics> CreateGraphics(DibFrame& frame) override {
        return SoftwareImaging().CreateGraphics(frame);
    }
    std::unique_ptr<Bitmap> CreateBitmap(int width, int height) override {
        return SoftwareImaging().CreateBitmap(width, height);
    }
};

}  // namespace

class WindowsImaging::GdiPlus final : public DibDrawing {
public:
    GdiPlus() : session_(std::make_shared<GdiPlusSession>()) {
        GdiplusStartupInputFlat input{1, nullptr, FALSE, FALSE};
        GdiplusStartup(&session_->token, &input, nullptr);
        session_->running = true;
    }
    ~GdiPlus() override {
        session_->running = false;
        GdiplusShutdown(session_->token);
    }
    std::unique_ptr<Graphics> CreateGraphics(DibFrame& frame) override {
        return std::make_unique<GdiPlusGraphics>(session_, frame);
    }
    std::unique_ptr<Bitmap> CreateBitmap(int width, int height) override {
        return std::make_unique<GdiPlusBitmap>(session_, width, height);
    }

private:
    std::shared_ptr<GdiPlusSession> session_;
};

WindowsImaging::WindowsImaging() : software_(std::make_unique<SoftwareDibDrawing>()) {}

WindowsImaging::~WindowsImaging() = default;

DibDrawing& WindowsImaging::Drawing(ImagingBackend backend) {
    if (backend == ImagingBackend::Software) return *software_;
    if (!gdiplus_) gdiplus_ = std::make_unique<GdiPlus>();
    return *gdiplus_;
}

// ---------------------------------------------------------------- a window's frames

class WindowFrames::Loan final : public Frame {
public:
    Loan(WindowFrames& owner, DibFrame& frame) : owner_(owner), frame_(frame) {}
    ~Loan() override { owner_.GiveBack(*this); }
    int Width() const override { return frame_.Width(); }
    int Height() const override { return frame_.Height(); }
    int Stride() const override { return frame_.Stride(); }
    std::uint8_t* Bits() override { return frame_.Bits(); }

private:
    WindowFrames& owner_;
    DibFrame& frame_;
};

// Every loan has been given back by now: the scenes and cycles that hold
// them go before the frames do.
WindowFrames::~WindowFrames() = default;

std::unique_ptr<Frame> WindowFrames::CreateFrame(int width, int height) {
    auto frame = std::make_unique<DibFrame>(width, height);
    auto loan = std::make_unique<Loan>(*this, *frame);
    const std::lock_guard<std::mutex> lock(mutex_);
    frames_.emplace_back(loan.get(), std::move(frame));
    return loan;
}

std::unique_ptr<Graphics> WindowFrames::CreateGraphics(Frame& frame) {
    DibFrame* dib = Lent(frame);
    if (!dib) throw std::invalid_argument("a frame these windows did not lend");
    return drawing_.CreateGraphics(*dib);
}

HDC WindowFrames::DC(const Frame& frame) const {
    const DibFrame* dib = Lent(frame);
    return dib ? dib->DC() : nullptr;
}

DibFrame* WindowFrames::Lent(const Frame& frame) const {
    const std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& [loan, dib] : frames_)
        if (loan == &frame) return dib.get();
    return nullptr;
}

void WindowFrames::GiveBack(const Frame& loan) {
    std::unique_ptr<DibFrame> returned;  // destroyed outside the lock
    const std::lock_guard<std::mutex> lock(mutex_);
    for (auto it = frames_.begin(); it != frames_.end(); ++it)
        if (it->first == &loan) {
            returned = std::move(it->second);
            frames_.erase(it);
            return;
        }
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

}  // namespace nivora::win32
