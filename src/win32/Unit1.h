// The saver window: full screen (or half screen beside the settings window).
// Its creation loads the settings, draws the first picture's numbers and asks
// the worker for the picture; the window shows black until it is there and
// answers meanwhile. From then on it only translates: Timer1 (the reveal) and Timer2 (the hold) call the
// engine's picture cycles, and the rows they drew are copied to the windows.
// In the full-screen mode every other monitor gets a window of its own
// (TMonitorForm) with its own picture on the same clock. A key press or a
// jump of the mouse on any of them ends the saver.
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "engine/command_line.h"
#include "engine/cycle_group.h"
#include "engine/picture_worker.h"
#include "engine/registry.h"
#include "win32/forms/forms.h"
#include "win32/imaging_win32.h"
#include "win32/monitor_form.h"
#include "win32/screen_picture.h"

namespace nivora::win32 {

// A jump of more than 100 pixels on either axis between two mouse-move events.
bool IsMouseJump(POINT last, POINT now);

class TForm1 : public TForm {
public:
    // `mode` FullScreen covers the whole primary screen of size `screen` (and
    // every other monitor) and ends at a key or a jump of the mouse; Settings
    // places a captioned window with half the screen's width and height as
    // its client area, centred across and a fifth of the screen down, deaf to
    // both. The settings come from `registry`.
    // The pictures are drawn with `drawing`.
    TForm1(TApplication& application, Registry& registry, SaverMode mode, SIZE screen, DibDrawing& drawing);
    ~TForm1() override;

    // True when the saver window runs beside the settings window.
    const bool ConfigMode;

    TTimer Timer1;  // the reveal, every 10 ms
    TTimer Timer2;  // the hold, TimeShow seconds

    // The primary picture: the one the settings window shows and changes.
    Scene& PictureScene() { return primary_.scene; }
    PictureCycle& Cycle() { return *primary_.cycle; }
    bool HasCycle() const { return primary_.cycle != nullptr; }

    // After any call into a cycle: the timers follow what the cycles say,
    // and the rows they drew go to the windows.
    void FollowCycle();
    void FollowCycle(const CycleSchedule& schedule);

private:
    void FormCreate(Registry& registry, SIZE screen);
    void Timer1Timer();
    void Timer2Timer();
    void FormKeyDown(WPARAM key);
    void FormMouseMove();
    void FormClose();

    void DoClose() override { FormClose(); }
    void DoKeyDown(WPARAM key) override { FormKeyDown(key); }
    void DoMouseMove() override { FormMouseMove(); }
    bool PaintsItself() const override { return true; }
    void DoPaint(HDC dc, const RECT& area) override { primary_.Paint(Handle(), dc, area); }
    void DoDisplayChange() override { displayChanged_ = true; }

    // A window with a picture of its own on each of `others`; with `first`
    // their first pictures are started, otherwise the next HoldEnd starts them.
    void CoverOtherMonitors(const std::vector<RECT>& others, bool first);
    // At a hold's end: the pictures of screens that changed size (or all the
    // other monitors' after a display change) made again, at the new sizes.
    void CoverChangedScreens();
    void GroupCycles();

    // Runs a step of the pictures; memory that runs out in it (here or on the
    // worker) is reported with the picture's size and what it needs.
    template <class Step>
    void Picturing(const Scene& scene, Step&& step);

    POINT LastCursorPos{};
    DibDrawing& drawing_;
    PictureWorker worker_;  // declared first: it outlives every cycle
    ScreenPicture primary_;
    std::vector<std::unique_ptr<TMonitorForm>> monitors_;
    CycleGroup group_;
    SaverSettings loaded_;       // the settings as loaded, for other monitors' pictures
    std::uint32_t firstSeed_ = 0;
    bool displayChanged_ = false;
    bool pictureFailed_ = false;  // memory ran out: the timers stay off
    int clientWidth_ = 0, clientHeight_ = 0;  // the primary picture's
};

}  // namespace nivora::win32
