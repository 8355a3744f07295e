// One screen's picture in a saver window: its scene, its random generator, its
// picture cycle and the frames it lends the cycle, and the two ways the frame
// reaches the window (the rows a tick drew, and whatever a paint asks for).
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "engine/cycle/picture_cycle.h"
#include "engine/cycle/picture_worker.h"
#include "engine/cycle/random.h"
#include "engine/cycle/row_span.h"
#include "engine/pictures/imaging.h"
#include "engine/pictures/scene.h"
#include "win32/imaging_win32.h"

namespace nivora::win32 {

struct ScreenPicture {
private:
    // Declared first: the scene and the cycle hold its frames.
    std::unique_ptr<WindowFrames> frames_;

public:
    Scene scene;
    RandomGenerator random;
    std::unique_ptr<PictureCycle> cycle;

    ScreenPicture() = default;
    ScreenPicture(const ScreenPicture&) = delete;
    ScreenPicture& operator=(const ScreenPicture&) = delete;
    ~ScreenPicture() { cycle.reset(); }  // the cycle's job stops before the scene goes

    // A cycle for a client area of width x height in the saver geometry,
    // with frames of its own that `drawing` draws into. Settings and seed
    // are set first. Nothing is made here: the surfaces and the picture are
    // made on the worker, so that the window's thread only ever waits for a
    // copy of pixels. With `first`, the first
    // picture's numbers are drawn now and its making starts; otherwise the
    // cycle starts with the next HoldEnd, as the one it replaces would have.
    void Start(DibDrawing& drawing, PictureWorker& worker, int width, int height, bool first);

    // The client area the picture is made for.
    int Width() const { return width_; }
    int Height() const { return height_; }

    // Rows the cycle answered it drew: they wait for ShowDrawnRows.
    void Drawn(const RowSpan& rows);
    // Copies the rows drawn and not yet shown to the window, at most `budget`
    // pixels of them (top first), and returns what is left of the budget; the
    // rest waits for the next call. Under Wine a 3840 x 2160 frame takes about
    // a fifth of a second to reach the screen, longer than a window may stay
    // deaf, so a whole new picture goes in bands, one a tick.
    long long ShowDrawnRows(HWND window, long long budget);
    // The part of `area` that one band allows; the rest of it is made invalid
    // again, for the next WM_PAINT. Until the first picture is there the
    // window is black.
    void Paint(HWND window, HDC dc, const RECT& area);

    // The pixels that go to the windows in one message.
    static constexpr int kBandPixels = 1 << 19;

private:
    void Flush();
    HDC FrameDC();
    HDC frameDC_ = nullptr;  // the DIB section's memory DC, once the worker made it
    int width_ = 0, height_ = 0;
    std::vector<char> unshown_;  // per frame row: drawn, not yet copied to the window
    int unshownCount_ = 0;
};

}  // namespace nivora::win32
