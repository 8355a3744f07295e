// One screen's picture in a saver window: its scene, its random generator and
// its picture cycle, and the two ways the frame reaches the window (the rows a
// tick drew, and whatever a paint asks for).
#pragma once

#include <windows.h>

#include <memory>

#include "engine/imaging.h"
#include "engine/picture_cycle.h"
#include "engine/picture_worker.h"
#include "engine/random.h"
#include "engine/scene.h"

namespace nivora::win32 {

struct ScreenPicture {
    Scene scene;
    RandomGenerator random;
    std::unique_ptr<PictureCycle> cycle;

    ScreenPicture() = default;
    ScreenPicture(const ScreenPicture&) = delete;
    ScreenPicture& operator=(const ScreenPicture&) = delete;
    ~ScreenPicture() { cycle.reset(); }  // the cycle's job stops before the scene goes

    // Surfaces for a client area of width x height in the saver geometry and
    // a cycle over them, its first picture made. Settings and seed are set first.
    void Start(ImagingPlatform& imaging, PictureWorker& worker, int width, int height);

    void ShowChangedRows(HWND window);
    void Paint(HDC dc, const RECT& area);

private:
    void Flush();
    HDC frameDC_ = nullptr;  // the DIB section's memory DC
};

}  // namespace nivora::win32
