// The saver in one X window: the window it was given (--root, --window-id)
// or one of its own. Like the Windows saver window it only translates: the
// deadlines of the cycle's schedule (the reveal every 10 ms, the hold end)
// call the engine's picture cycle, the rows the cycle drew go to the window, Expose repaints from the
// picture, and a new size makes the next picture at that size. Everything
// waits in one poll() on the X connection and a wake-up pipe (signals), so
// a held picture costs nothing. Every picture, the first too, is made on the
// engine's worker; what the thread itself does comes in short slices (a
// large frame goes to the window a band of rows at a time), so that it
// answers the X connection and the pipe within a few milliseconds however
// large the window is.
#pragma once

#include <X11/Xlib.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>

#include "engine/cycle_schedule.h"
#include "engine/picture_cycle.h"
#include "engine/picture_worker.h"
#include "engine/random.h"
#include "engine/scene.h"
#include "engine/saver_options.h"
#include "x11/window_image.h"

namespace nivora::x11 {

class SaverWindow {
public:
    using Clock = std::chrono::steady_clock;

    // `window` is drawn into; when `ownWindow`, keys, mouse jumps and closing
    // end the saver, otherwise input is left to whoever owns the window.
    // `wakeFd` becomes readable when the saver should end.
    SaverWindow(Display* display, Window window, bool ownWindow, const SaverOptions& options, int wakeFd);
    ~SaverWindow();
    SaverWindow(const SaverWindow&) = delete;
    SaverWindow& operator=(const SaverWindow&) = delete;

    // The first picture at the window's size, then the loop until the end.
    // A size whose pictures need more memory than the machine has throws
    // PictureMemoryError before anything is made.
    void Run();

private:
    void NewPicture(int width, int height);  // a scene and cycle at this size
    void FollowCycle(const CycleSchedule& schedule);
    void ShowPendingRows();  // one band of the rows still to show
    void HandleEvent(const XEvent& event);
    void RevealTimer();
    void HoldTimer();
    void Log(const char* what, Clock::time_point start);

    Display* display_;
    Window window_;
    bool ownWindow_;
    int wakeFd_;
    GC gc_;
    Visual* visual_;
    int depth_;
    Atom deleteWindow_;
    int lastPointerX_ = 0, lastPointerY_ = 0;

    SaverSettings settings_;
    RandomGenerator random_;
    PictureWorker worker_;
    std::unique_ptr<Scene> scene_;
    std::unique_ptr<PictureCycle> cycle_;  // declared after the scene: goes first
    std::unique_ptr<WindowImage> image_;

    CycleDeadlines deadlines_;  // the cycle's timers
    // A new window size, taken once the window has kept it a moment (a
    // window being dragged larger sends many).
    int windowWidth_ = 0, windowHeight_ = 0;
    std::optional<Clock::time_point> resizeAt_;
    RowSpan pendingRows_;  // frame rows the window does not show yet
    bool quit_ = false;

    std::FILE* tickLog_ = nullptr;
    Clock::time_point started_;
    std::uint64_t loggedPictures_ = 0;  // of this cycle
    bool holdLogged_ = false;
};

// Memory that the saver's pictures at width x height need: the engine's
// two scenes and frame, the worker's frame and the window image.
std::uint64_t SaverMemoryBytes(int width, int height);
std::uint64_t SaverMemoryBytes(const Scene& geometry, int width, int height);  // SetSaverGeometry's

// The memory this process can have: the machine's, or less where a control
// group or an address-space limit allows less.
std::uint64_t UsableMemoryBytes();

// Set by the X error handler when the window went away under the saver.
extern volatile bool windowGone;

}  // namespace nivora::x11
