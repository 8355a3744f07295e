#include "win32/Unit1.h"

#include <climits>
#include <cstdlib>
#include <string>
#include <system_error>
#include <utility>

#include "engine/pictures/surfaces.h"
#include "host/mouse_jump.h"
#include "host/settings_store.h"

namespace nivora::win32 {

namespace {

constexpr UINT kScreenSaverRunning = 97;  // SPI_SETSCREENSAVERRUNNING

}  // namespace

bool IsMouseJump(POINT last, POINT now) {
    return nivora::IsMouseJump(last.x, last.y, now.x, now.y);
}

namespace {

// What a display change alters: the virtual screen and the primary monitor's size.
std::array<int, 6> CurrentScreens() {
    return {GetSystemMetrics(SM_XVIRTUALSCREEN),  GetSystemMetrics(SM_YVIRTUALSCREEN),
            GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN),
            GetSystemMetrics(SM_CXSCREEN),        GetSystemMetrics(SM_CYSCREEN)};
}

}  // namespace

template <class Step>
void TForm1::Picturing(const Scene& scene, Step&& step) {
    if (pictureFailed_) return;
    try {
        step();
    } catch (const std::bad_alloc& error) {
        // No picture can be trusted after that: the timers stop, so that the
        // other monitors' cycles do not go on under the error box.
        StopPicturing();
        if (dynamic_cast<const PictureMemoryError*>(&error)) throw;
        throw PictureMemoryError(clientWidth_, clientHeight_, PictureMemoryBytes(scene, clientWidth_, clientHeight_));
    } catch (const std::system_error&) {
        StopPicturing();  // no thread to make pictures with: as above
        throw;
    }
}

void TForm1::StopPicturing() {
    pictureFailed_ = true;
    Timer1.SetEnabled(false);
    Timer2.SetEnabled(false);
}

TForm1::TForm1(TApplication& application, Registry& registry, SaverMode mode, SIZE screen, DibDrawing& drawing)
    : TForm(application, "TForm1", RGB(128, 128, 128)),
      ConfigMode(mode == SaverMode::Settings),
      Timer1(*this, PictureCycle::kRevealIntervalMs, true),
      Timer2(*this, 0, false),
      Timer3(*this, kJumpCheckMs, false),
      Timer4(*this, kScreenWatchMs, mode != SaverMode::Settings),
      drawing_(drawing) {
    SetCaption("Nivora Glade");
    Timer1.OnTimer = [this] { Timer1Timer(); };
    Timer2.OnTimer = [this] { Timer2Timer(); };
    Timer3.OnTimer = [this] { Timer3Timer(); };
    Timer4.OnTimer = [this] { WatchScreens(); };
    // An error in creation is reported and creation still completes, so the
    // window becomes the main window and the message loop can run.
    Application.Guarded([this, &registry, screen] { FormCreate(registry, screen); });
    CreationComplete();
}

// Every picture's job is told to stop at once and the worker joined, before
// the cycles, their frames and the imaging they draw with go. (Cycle by cycle,
// each would wait for the jobs queued ahead of its own, which nothing stops.)
TForm1::~TForm1() {
    Timer1.SetEnabled(false);
    Timer2.SetEnabled(false);
    Timer3.SetEnabled(false);
    Timer4.SetEnabled(false);
    worker_.reset();
}

void TForm1::FormCreate(Registry& registry, SIZE screen) {
    // From now on a jump of the mouse ends the saver, whatever it is doing.
    GetCursorPos(&LastCursorPos);
    screens_ = CurrentScreens();

    // A damaged key is reported and start-up goes on with what could be read
    // and defaults for the rest.
    std::string loadError;
    if (!LoadSettingsForStartUp(registry, primary_->scene.Settings, loadError)) Application.ShowException(loadError);
    loaded_ = primary_->scene.Settings;

    primary_->random.Randomize();
    firstSeed_ = primary_->random.Seed;

    const int screenWidth = screen.cx;
    const int screenHeight = screen.cy;
    int clientWidth, clientHeight;
    if (!ConfigMode) {
        SetBorder(Border::None);
        clientWidth = screenWidth;
        clientHeight = screenHeight;
        ShowCursor(FALSE);
        SetBounds(screenWidth / 2 - clientWidth / 2, screenHeight / 2 - clientHeight / 2, clientWidth, clientHeight);
    } else {
        SetBorder(Border::Single);
        clientWidth = screenWidth / 2;
        clientHeight = screenHeight / 2;
        SIZE outer = OuterSizeForClient(clientWidth, clientHeight);
        SetBounds(screenWidth / 2 - outer.cx / 2, screenHeight / 5, outer.cx, outer.cy);
        // The border sizes come from the window's DPI; where the system
        // still gives another client area (a caption that wraps, a border
        // the calculation did not know), the outer size takes the difference.
        const SIZE client = ClientSize();
        if (client.cx != clientWidth || client.cy != clientHeight) {
            outer.cx += clientWidth - client.cx;
            outer.cy += clientHeight - client.cy;
            SetBounds(screenWidth / 2 - outer.cx / 2, screenHeight / 5, outer.cx, outer.cy);
        }
    }

    // The first picture's numbers are drawn here, in the usual order; the
    // picture itself, like every later one, is made on the worker, so the
    // window shows black at once and answers from its first message. The
    // primary picture is asked for first, and so made first.
    clientWidth_ = clientWidth;
    clientHeight_ = clientHeight;
    AnswerSentMessages();
    // The worker's thread starts here: one that cannot be made is reported
    // as memory that runs out would be.
    Picturing(primary_->scene, [this, clientWidth, clientHeight] {
        primary_->Start(drawing_, *worker_, clientWidth, clientHeight, true);
        AnswerSentMessages();
        if (!ConfigMode) CoverOtherMonitors(OtherMonitors(), true);
    });
    GroupCycles();
    FollowSchedule(group_.Schedule());

    SystemParametersInfoA(kScreenSaverRunning, 1, nullptr, 0);
    created_ = true;
}

void TForm1::CoverOtherMonitors(const std::vector<RECT>& others, bool first) {
    int index = 0;
    for (const RECT& monitor : others) {
        auto form = std::make_unique<TMonitorForm>(
            Application, monitor, [this](WPARAM key) { FormKeyDown(key); }, [this] { FormMouseMove(); });
        ScreenPicture& picture = form->Picture;
        picture.scene.Settings = loaded_;
        picture.random.Seed = MonitorSeed(firstSeed_, ++index);
        picture.Start(drawing_, *worker_, monitor.right - monitor.left, monitor.bottom - monitor.top,
                      first);
        ShowWindow(form->Handle(), SW_SHOWNA);
        monitors_.push_back(std::move(form));
        AnswerSentMessages();
    }
}

namespace {

bool SameRects(const std::vector<RECT>& monitors, const std::vector<std::unique_ptr<TMonitorForm>>& forms) {
    if (monitors.size() != forms.size()) return false;
    for (std::size_t i = 0; i < monitors.size(); ++i) {
        const RECT a = monitors[i], b = forms[i]->Monitor();
        if (a.left != b.left || a.top != b.top || a.right != b.right || a.bottom != b.bottom) return false;
    }
    return true;
}

}  // namespace

// At a hold's end: a picture whose screen changed size is made again, at the
// new size. The system does not always tell of a change (Wine sends no
// WM_DISPLAYCHANGE when a screen is resized), so the sizes are compared every
// time; the message still has every other monitor covered again. A remade
// picture's cycle starts with the HoldEnd that follows, which draws its
// numbers as the old cycle would have; the making is on the worker.
void TForm1::CoverChangedScreens() {
    const bool told = std::exchange(displayChanged_, false);
    if (ConfigMode) return;
    const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    const bool primaryChanged = width != primary_->Width() || height != primary_->Height();
    const std::vector<RECT> others = OtherMonitors();
    const bool othersChanged = told || !SameRects(others, monitors_);
    if (!primaryChanged && !othersChanged) return;
    // The pictures thrown away go on until their jobs have stopped, and
    // new ones take their places; the sequence of numbers goes on.
    group_.Clear();
    if (primaryChanged) {
        primary_->cycle->DropJob();
        auto picture = std::make_unique<ScreenPicture>();
        picture->scene.Settings = primary_->scene.Settings;
        picture->random = primary_->random;
        retiredPictures_.push_back(std::exchange(primary_, std::move(picture)));
        SetBounds(0, 0, width, height);
        clientWidth_ = width;
        clientHeight_ = height;
        primary_->Start(drawing_, *worker_, width, height, false);
    }
    if (othersChanged) {
        for (auto& monitor : monitors_) {
            monitor->Picture.cycle->DropJob();
            ShowWindow(monitor->Handle(), SW_HIDE);
            retiredMonitors_.push_back(std::move(monitor));
        }
        monitors_.clear();
        CoverOtherMonitors(others, false);
    }
    GroupCycles();
}

void TForm1::ReleaseRetired() {
    const auto done = [](const ScreenPicture& picture) { return !picture.cycle || !picture.cycle->Busy(); };
    std::erase_if(retiredPictures_, [&done](const auto& picture) { return done(*picture); });
    std::erase_if(retiredMonitors_, [&done](const auto& monitor) { return done(monitor->Picture); });
}

void TForm1::GroupCycles() {
    group_.Clear();
    group_.Add(*primary_->cycle);
    for (auto& monitor : monitors_) group_.Add(*monitor->Picture.cycle);
}

// In the settings mode the group holds the primary cycle alone, so its
// schedule is the group's.
void TForm1::FollowCycle(const CycleAnswer& answer) {
    if (!primary_->cycle) return;
    primary_->Drawn(answer.rows);
    FollowSchedule(group_.Schedule());
}

void TForm1::FollowCycles(const GroupAnswer& answer) {
    primary_->Drawn(answer.RowsOf(primary_->cycle.get()));
    for (auto& monitor : monitors_) monitor->Picture.Drawn(answer.RowsOf(monitor->Picture.cycle.get()));
    FollowSchedule(answer.schedule);
}

// One switched on starts now, one left on keeps its period (the system
// timers' own rule).
void TForm1::FollowSchedule(const CycleSchedule& schedule) {
    Timer1.SetInterval(schedule.reveal.intervalMs);
    Timer1.SetEnabled(schedule.reveal.on && !pictureFailed_);
    Timer2.SetInterval(schedule.hold.intervalMs);
    Timer2.SetEnabled(schedule.hold.on && !pictureFailed_);
    // One band for all windows a tick; everything when no tick follows.
    long long budget = Timer1.Enabled() ? ScreenPicture::kBandPixels : LLONG_MAX;
    budget = primary_->ShowDrawnRows(Handle(), budget);
    for (auto& monitor : monitors_) budget = monitor->Picture.ShowDrawnRows(monitor->Handle(), budget);
}

// A message box shown during creation runs a message loop of its own, so the
// timers may fire before the cycles exist.
void TForm1::Timer1Timer() {
    ReleaseRetired();
    if (!primary_->cycle) return;
    GroupAnswer next;
    Picturing(primary_->scene, [this, &next] { next = group_.RevealTick(); });
    FollowCycles(next);
}

void TForm1::Timer2Timer() {
    if (!primary_->cycle) return;
    GroupAnswer next;
    Picturing(primary_->scene, [this, &next] {
        CoverChangedScreens();
        next = group_.HoldEnd();
    });
    FollowCycles(next);
}

void TForm1::FormKeyDown(WPARAM /*key*/) {
    if (!ConfigMode) Close();
}

// A jump waits for its judgement (Timer3) unless a display change came just
// before it, which made it: the new position is then simply the next one a
// jump is measured from.
void TForm1::FormMouseMove() {
    POINT now{};
    GetCursorPos(&now);
    const bool jump = IsMouseJump(LastCursorPos, now);
    LastCursorPos = now;
    if (ConfigMode || !jump || Timer3.Enabled()) return;
    const ULONGLONG moved = GetTickCount64();
    if (DisplayChangedSince(moved > kJumpCheckMs ? moved - kJumpCheckMs : 0)) return;
    jumpAt_ = moved;
    Timer3.SetEnabled(true);
}

void TForm1::Timer3Timer() {
    Timer3.SetEnabled(false);
    if (!DisplayChangedSince(jumpAt_)) Close();
}

bool TForm1::DisplayChangedSince(ULONGLONG since) {
    WatchScreens();
    return lastDisplayChange_ != 0 && lastDisplayChange_ >= since;
}

void TForm1::WatchScreens() {
    const std::array<int, 6> screens = CurrentScreens();
    if (screens == screens_) return;
    screens_ = screens;
    lastDisplayChange_ = GetTickCount64();
}

void TForm1::DoDisplayChange() {
    displayChanged_ = true;
    lastDisplayChange_ = GetTickCount64();
}

// Wine resizes a window that covered a screen when the screen changes size,
// and tells of it sooner than of the screen itself.
bool TForm1::DoMessage(UINT message, WPARAM /*wParam*/, LPARAM lParam, LRESULT& /*result*/) {
    if (message == WM_WINDOWPOSCHANGED && created_ && !(reinterpret_cast<const WINDOWPOS*>(lParam)->flags & SWP_NOSIZE))
        lastDisplayChange_ = GetTickCount64();
    return false;
}

void TForm1::FormClose() {
    ShowCursor(TRUE);
    SystemParametersInfoA(kScreenSaverRunning, 0, nullptr, 0);
}

}  // namespace nivora::win32
