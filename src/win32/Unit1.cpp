#include "win32/Unit1.h"

#include <climits>
#include <cstdlib>
#include <string>
#include <utility>

#include "engine/mouse_jump.h"
#include "engine/settings_store.h"
#include "engine/surfaces.h"

namespace nivora::win32 {

namespace {

constexpr UINT kScreenSaverRunning = 97;  // SPI_SETSCREENSAVERRUNNING

}  // namespace

bool IsMouseJump(POINT last, POINT now) {
    return nivora::IsMouseJump(last.x, last.y, now.x, now.y);
}

template <class Step>
void TForm1::Picturing(const Scene& scene, Step&& step) {
    if (pictureFailed_) return;
    try {
        step();
    } catch (const std::bad_alloc& error) {
        // No picture can be trusted after that: the timers stop, so that the
        // other monitors' cycles do not go on under the error box.
        pictureFailed_ = true;
        Timer1.SetEnabled(false);
        Timer2.SetEnabled(false);
        if (dynamic_cast<const PictureMemoryError*>(&error)) throw;
        throw PictureMemoryError(clientWidth_, clientHeight_, PictureMemoryBytes(scene, clientWidth_, clientHeight_));
    }
}

TForm1::TForm1(TApplication& application, Registry& registry, SaverMode mode, SIZE screen, DibDrawing& drawing)
    : TForm(application, "TForm1", RGB(128, 128, 128)),
      ConfigMode(mode == SaverMode::Settings),
      Timer1(*this, PictureCycle::kRevealIntervalMs, true),
      Timer2(*this, 0, false),
      drawing_(drawing) {
    SetCaption("Nivora Glade");
    Timer1.OnTimer = [this] { Timer1Timer(); };
    Timer2.OnTimer = [this] { Timer2Timer(); };
    // An error in creation is reported and creation still completes, so the
    // window becomes the main window and the message loop can run.
    Application.Guarded([this, &registry, screen] { FormCreate(registry, screen); });
    CreationComplete();
}

TForm1::~TForm1() = default;

void TForm1::FormCreate(Registry& registry, SIZE screen) {
    // From now on a jump of the mouse ends the saver, whatever it is doing.
    GetCursorPos(&LastCursorPos);

    // A damaged key is reported and start-up goes on with what could be read
    // and defaults for the rest.
    std::string loadError;
    if (!LoadSettingsForStartUp(registry, primary_.scene.Settings, loadError)) Application.ShowException(loadError);
    loaded_ = primary_.scene.Settings;

    primary_.random.Randomize();
    firstSeed_ = primary_.random.Seed;

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
    primary_.Start(drawing_, worker_, clientWidth, clientHeight, true);
    AnswerSentMessages();
    if (!ConfigMode) CoverOtherMonitors(OtherMonitors(), true);
    GroupCycles();
    FollowCycle();

    SystemParametersInfoA(kScreenSaverRunning, 1, nullptr, 0);
}

void TForm1::CoverOtherMonitors(const std::vector<RECT>& others, bool first) {
    int index = 0;
    for (const RECT& monitor : others) {
        auto form = std::make_unique<TMonitorForm>(
            Application, monitor, [this](WPARAM key) { FormKeyDown(key); }, [this] { FormMouseMove(); });
        ScreenPicture& picture = form->Picture;
        picture.scene.Settings = loaded_;
        picture.random.Seed = MonitorSeed(firstSeed_, ++index);
        picture.Start(drawing_, worker_, monitor.right - monitor.left, monitor.bottom - monitor.top,
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
    const bool primaryChanged = width != primary_.Width() || height != primary_.Height();
    const std::vector<RECT> others = OtherMonitors();
    const bool othersChanged = told || !SameRects(others, monitors_);
    if (!primaryChanged && !othersChanged) return;
    group_.Clear();
    if (primaryChanged) {
        SetBounds(0, 0, width, height);
        clientWidth_ = width;
        clientHeight_ = height;
        primary_.Start(drawing_, worker_, width, height, false);
    }
    if (othersChanged) {
        monitors_.clear();
        CoverOtherMonitors(others, false);
    }
    GroupCycles();
}

void TForm1::GroupCycles() {
    group_.Clear();
    group_.Add(*primary_.cycle);
    for (auto& monitor : monitors_) group_.Add(*monitor->Picture.cycle);
}

void TForm1::FollowCycle() {
    if (primary_.cycle) FollowCycle(group_.Schedule());
}

// The timers as the cycles answered: one switched on starts now, one left on
// keeps its period (the system timers' own rule).
void TForm1::FollowCycle(const CycleSchedule& schedule) {
    Timer1.SetInterval(schedule.reveal.intervalMs);
    Timer1.SetEnabled(schedule.reveal.on && !pictureFailed_);
    Timer2.SetInterval(schedule.hold.intervalMs);
    Timer2.SetEnabled(schedule.hold.on && !pictureFailed_);
    // One band for all windows a tick; everything when no tick follows.
    long long budget = Timer1.Enabled() ? ScreenPicture::kBandPixels : LLONG_MAX;
    budget = primary_.ShowChangedRows(Handle(), budget);
    for (auto& monitor : monitors_) budget = monitor->Picture.ShowChangedRows(monitor->Handle(), budget);
}

// A message box shown during creation runs a message loop of its own, so the
// timers may fire before the cycles exist.
void TForm1::Timer1Timer() {
    if (!primary_.cycle) return;
    CycleSchedule next;
    Picturing(primary_.scene, [this, &next] { next = group_.RevealTick(); });
    FollowCycle(next);
}

void TForm1::Timer2Timer() {
    if (!primary_.cycle) return;
    CycleSchedule next;
    Picturing(primary_.scene, [this, &next] {
        CoverChangedScreens();
        next = group_.HoldEnd();
    });
    FollowCycle(next);
}

void TForm1::FormKeyDown(WPARAM /*key*/) {
    if (!ConfigMode) Close();
}

void TForm1::FormMouseMove() {
    POINT now{};
    GetCursorPos(&now);
    const bool jump = IsMouseJump(LastCursorPos, now);
    LastCursorPos = now;
    if (!ConfigMode && jump) Close();
}

void TForm1::FormClose() {
    ShowCursor(TRUE);
    SystemParametersInfoA(kScreenSaverRunning, 0, nullptr, 0);
}

}  // namespace nivora::win32
