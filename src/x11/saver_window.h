// The saver in one X window: the window it was given (--root, --window-id)
// or one of its own. Like the Windows saver window it only translates: the
// loop's timers call the engine's picture cycle, the rows the cycle drew go
// to the window, Expose repaints from the picture, and a new size makes the
// next picture at that size. Every picture, the first too, is made on the
// engine's worker; what the thread itself does comes in short slices (a
// large frame goes to the window a band of rows at a time), so that it
// answers the X connection and the pipe within a few milliseconds however
// large the window is.
#pragma once

#include <X11/Xlib.h>

#include <memory>
#include <optional>

#include "engine/cycle/picture_cycle.h"
#include "engine/cycle/picture_worker.h"
#include "engine/cycle/random.h"
#include "engine/cycle/row_span.h"
#include "engine/pictures/scene.h"
#include "host/saver_options.h"
#include "linux/saver_loop.h"
#include "x11/window_image.h"

namespace nivora::x11 {

class SaverWindow : public linux_saver::SaverLoop {
public:
    // `window` is drawn into; when `ownWindow`, keys, mouse jumps and closing
    // end the saver, otherwise input is left to whoever owns the window.
    // `wakeFd` becomes readable when the saver should end.
    SaverWindow(Display* display, Window window, bool ownWindow, const SaverOptions& options, int wakeFd);
    ~SaverWindow() override;

    // The first picture at the window's size, then the loop until the end.
    // A size whose pictures need more memory than the machine has throws
    // PictureMemoryError before anything is made.
    void Run();

private:
    void NewPicture(int width, int height);  // a scene and cycle at this size
    void ShowPendingRows();  // one band of the rows still to show
    void HandleEvent(const XEvent& event);

    bool Dispatch() override;
    bool Ended() const override;
    void EndBySignal() override { quit_ = true; }
    CycleSchedule RevealTick() override { return KeepRows(cycle_->RevealTick()); }
    CycleSchedule HoldEnd() override { return KeepRows(cycle_->HoldEnd()); }
    // The answer's rows join those the window does not show yet; its
    // schedule is returned.
    CycleSchedule KeepRows(const CycleAnswer& answer);
    void ShowChanges() override { ShowPendingRows(); }
    void LogStep(const char* what, long long start) override;
    bool PreparePoll(pollfd& connection) override;
    bool DoOwnWork(Clock::time_point now) override;  // a new size, once it has settled
    std::optional<Clock::time_point> OwnDeadline() const override;
    void Idle() override { ShowPendingRows(); }

    Display* display_;
    Window window_;
    bool ownWindow_;
    GC gc_;
    Visual* visual_;
    int depth_;
    Atom deleteWindow_;
    int lastPointerX_ = 0, lastPointerY_ = 0;

    RandomGenerator random_;
    PictureWorker worker_;
    std::unique_ptr<Scene> scene_;
    std::unique_ptr<PictureCycle> cycle_;  // declared after the scene: goes first
    std::unique_ptr<WindowImage> image_;

    // A new window size, taken once the window has kept it a moment (a
    // window being dragged larger sends many).
    int windowWidth_ = 0, windowHeight_ = 0;
    std::optional<Clock::time_point> resizeAt_;
    RowSpan pendingRows_;  // frame rows the window does not show yet
    bool quit_ = false;
};

// Set by the X error handler when the window went away under the saver.
extern volatile bool windowGone;

}  // namespace nivora::x11
