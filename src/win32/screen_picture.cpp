#include "win32/screen_picture.h"

#include "engine/picture_steps.h"
#include "win32/imaging_win32.h"

namespace nivora::win32 {

void ScreenPicture::Start(ImagingPlatform& imaging, PictureWorker& worker, int width, int height) {
    cycle.reset();
    SetSaverGeometry(scene, width, height);
    CreateSurfaces(scene, imaging, width, height);
    // Both Windows backends draw into a DIB section.
    frameDC_ = static_cast<DibFrame&>(*scene.FrameDib).DC();
    cycle = std::make_unique<PictureCycle>(scene, imaging, random, worker);
    cycle->FirstPicture();
}

void ScreenPicture::Flush() {
    if (scene.FrameGraphics) scene.FrameGraphics->Flush();
    GdiFlush();
}

void ScreenPicture::ShowChangedRows(HWND window) {
    if (!cycle) return;
    const RowSpan rows = cycle->TakeChangedRows();
    if (rows.Empty() || !frameDC_ || !IsWindowVisible(window)) return;
    Flush();
    HDC dc = GetDC(window);
    BitBlt(dc, 0, rows.first, scene.FrameDib->Width(), rows.last - rows.first + 1, frameDC_, 0, rows.first, SRCCOPY);
    ReleaseDC(window, dc);
}

// Whatever was uncovered comes back from the frame; the window is never
// erased to grey first.
void ScreenPicture::Paint(HDC dc, const RECT& area) {
    if (!frameDC_) return;
    Flush();
    BitBlt(dc, area.left, area.top, area.right - area.left, area.bottom - area.top, frameDC_, area.left, area.top,
           SRCCOPY);
}

}  // namespace nivora::win32
