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

#include <array>
#include <memory>
#include <optional>
#include <vector>

#include "engine/cycle/cycle_group.h"
#include "engine/cycle/picture_worker.h"
#include "host/command_line.h"
#include "host/registry.h"
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
    TTimer Timer3;  // a jump of the mouse judged, kJumpCheckMs after it
    TTimer Timer4;  // the screens watched, every kScreenWatchMs

    // A display change moves the pointer when the screen it was on shrinks or
    // goes, and the system may tell of the change only after the move: a jump
    // ends the saver only when no display change came within this long of it.
    static constexpr UINT kJumpCheckMs = 300;
    // The screens are compared with those last seen at least this often, so
    // that a change is known soon after it, also when the system does not
    // tell of it (Wine sends no WM_DISPLAYCHANGE for a resized screen).
    static constexpr UINT kScreenWatchMs = 250;

    // The primary picture: the one the settings window shows and changes.
    Scene& PictureScene() { return primary_->scene; }
    PictureCycle& Cycle() { return *primary_->cycle; }
    bool HasCycle() const { return primary_->cycle != nullptr; }

    // The answer of a call into the primary picture's cycle (the settings
    // window's): its rows go to the window, and the timers follow the
    // cycles, as after every call into them.
    void FollowCycle(const CycleAnswer& answer);

private:
    void FormCreate(Registry& registry, SIZE screen);
    void Timer1Timer();  // a reveal tick of every picture
    void Timer2Timer();  // the hold is over: the next picture on every screen
    void FormKeyDown(WPARAM key);  // full screen: any key ends the saver
    void FormMouseMove();          // full screen: a jump of the mouse, judged by Timer3, ends it
    void FormClose();              // the cursor back, the system told the saver has ended
    void Timer3Timer();            // the jump ends the saver unless the display changed
    // The answer of a step of all the pictures: each one's rows to its window.
    void FollowCycles(const GroupAnswer& answer);
    // The timers as the cycles say, and the rows still to show to the windows.
    void FollowSchedule(const CycleSchedule& schedule);
    // Whether the display changed at `since` or later, the screens compared
    // with those last seen first.
    bool DisplayChangedSince(ULONGLONG since);
    void WatchScreens();

    void DoClose() override { FormClose(); }
    void DoKeyDown(WPARAM key) override { FormKeyDown(key); }
    void DoMouseMove() override { FormMouseMove(); }
    bool PaintsItself() const override { return true; }
    void DoPaint(HDC dc, const RECT& area) override { primary_->Paint(Handle(), dc, area); }
    void DoDisplayChange() override;
    // Beside the settings window, which has the keyboard, it is not activated.
    bool ShowsActive() const override { return !ConfigMode; }
    bool DoMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

    // A window with a picture of its own on each of `others`; with `first`
    // their first pictures are started, otherwise the next HoldEnd starts them.
    void CoverOtherMonitors(const std::vector<RECT>& others, bool first);
    // At a hold's end: the pictures of screens that changed size (or all the
    // other monitors' after a display change) made again, at the new sizes.
    void CoverChangedScreens();
    void ReleaseRetired();  // the pictures thrown away whose jobs are done
    void GroupCycles();

    // Runs a step of the pictures; memory that runs out in it (here or on the
    // worker) is reported with the picture's size and what it needs, and a
    // thread that cannot be started as it is. Either stops the pictures.
    template <class Step>
    void Picturing(const Scene& scene, Step&& step);
    void StopPicturing();

    POINT LastCursorPos{};
    std::array<int, 6> screens_{};     // the virtual screen and the primary monitor's size, as last seen
    ULONGLONG lastDisplayChange_ = 0;  // GetTickCount64 of the latest sign of a display change
    ULONGLONG jumpAt_ = 0;             // of the jump being judged
    bool created_ = false;
    DibDrawing& drawing_;
    // Declared first: it outlives every cycle. Stopped and joined first when
    // the window goes (the cycles call on it only to submit).
    std::optional<PictureWorker> worker_{std::in_place};
    std::unique_ptr<ScreenPicture> primary_ = std::make_unique<ScreenPicture>();
    std::vector<std::unique_ptr<TMonitorForm>> monitors_;
    // Pictures of screens that changed, kept (their windows hidden) until
    // the worker has stopped their jobs: the window's thread never waits for
    // one. Those done go at the next reveal tick.
    std::vector<std::unique_ptr<ScreenPicture>> retiredPictures_;
    std::vector<std::unique_ptr<TMonitorForm>> retiredMonitors_;
    CycleGroup group_;
    SaverSettings loaded_;       // the settings as loaded, for other monitors' pictures
    std::uint32_t firstSeed_ = 0;
    bool displayChanged_ = false;
    bool pictureFailed_ = false;  // memory ran out: the timers stay off
    int clientWidth_ = 0, clientHeight_ = 0;  // the primary picture's
};

}  // namespace nivora::win32
