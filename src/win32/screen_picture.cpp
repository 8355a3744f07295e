#include "win32/screen_picture.h"

#include <algorithm>

#include "engine/pictures/surfaces.h"
#include "win32/imaging_win32.h"

namespace nivora::win32 {

void ScreenPicture::Start(DibDrawing& drawing, PictureWorker& worker, int width, int height, bool first) {
    cycle.reset();
    frameDC_ = nullptr;
    scene.FrameGraphics.reset();
    scene.FrameDib.reset();
    scene.PixelBitmap.reset();
    scene.FieldBitmap.reset();
    frames_ = std::make_unique<WindowFrames>(drawing);
    width_ = width;
    height_ = height;
    unshown_.assign(static_cast<std::size_t>(std::max(height, 0)), 0);
    unshownCount_ = 0;
    SetSaverGeometry(scene, width, height);
    cycle = std::make_unique<PictureCycle>(scene, *frames_, random, worker, width, height);
    if (first) Drawn(cycle->FirstPicture().rows);
}

// The worker makes the frame with the first picture; the window's thread
// touches it only once the cycle has taken a picture into it.
HDC ScreenPicture::FrameDC() {
    if (!frameDC_ && cycle && cycle->LayersTaken() > 0 && scene.FrameDib)
        frameDC_ = frames_->DC(*scene.FrameDib);
    return frameDC_;
}

void ScreenPicture::Flush() {
    if (scene.FrameGraphics) scene.FrameGraphics->Flush();
    GdiFlush();
}

void ScreenPicture::Drawn(const RowSpan& rows) {
    if (rows.Empty()) return;
    for (int row = std::max(rows.first, 0); row <= std::min(rows.last, height_ - 1); ++row)
        if (!unshown_[row]) {
            unshown_[row] = 1;
            ++unshownCount_;
        }
}

long long ScreenPicture::ShowDrawnRows(HWND window, long long budget) {
    if (!cycle) return budget;
    HDC frame = FrameDC();
    if (!frame) return budget;
    if (unshownCount_ == 0) return budget;
    if (!IsWindowVisible(window)) {  // showing it paints it whole
        std::fill(unshown_.begin(), unshown_.end(), 0);
        unshownCount_ = 0;
        return budget;
    }
    Flush();
    HDC dc = GetDC(window);
    // At least one row, so that every window gets on.
    long long rowsLeft = std::max(1LL, budget / std::max(1, width_));
    for (int row = 0; row < height_ && rowsLeft > 0 && unshownCount_ > 0; ++row) {
        if (!unshown_[row]) continue;
        int end = row;
        while (end < height_ && unshown_[end] && end - row < rowsLeft) {
            unshown_[end] = 0;
            --unshownCount_;
            ++end;
        }
        BitBlt(dc, 0, row, width_, end - row, frame, 0, row, SRCCOPY);
        rowsLeft -= end - row;
        budget -= static_cast<long long>(end - row) * width_;
        row = end;
    }
    ReleaseDC(window, dc);
    return std::max(0LL, budget);
}

// Whatever was uncovered comes back from the frame; the window is never
// erased to grey first.
void ScreenPicture::Paint(HWND window, HDC dc, const RECT& area) {
    RECT band = area;
    const int widthOfArea = std::max(1, static_cast<int>(area.right - area.left));
    band.bottom = std::min<LONG>(area.bottom, area.top + std::max(1, kBandPixels / widthOfArea));
    if (band.bottom < area.bottom) {
        const RECT rest{area.left, band.bottom, area.right, area.bottom};
        InvalidateRect(window, &rest, FALSE);
    }
    HDC frame = FrameDC();
    if (!frame) {
        FillRect(dc, &band, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        return;
    }
    Flush();
    BitBlt(dc, band.left, band.top, band.right - band.left, band.bottom - band.top, frame, band.left, band.top,
           SRCCOPY);
}

}  // namespace nivora::win32
