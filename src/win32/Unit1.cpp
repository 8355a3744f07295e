#include "win32/Unit1.h"

#include <cstdlib>
#include <string>

#include "engine/picture_steps.h"
#include "engine/settings_store.h"
#include "win32/imaging_win32.h"

namespace nivora::win32 {

bool ConfigMode = false;
TForm1* Form1 = nullptr;

namespace {

constexpr UINT kScreenSaverRunning = 97;  // SPI_SETSCREENSAVERRUNNING
constexpr int kMouseJump = 100;

}  // namespace

bool IsMouseJump(POINT last, POINT now) {
    return std::abs(static_cast<long long>(last.x) - now.x) > kMouseJump ||
           std::abs(static_cast<long long>(last.y) - now.y) > kMouseJump;
}

template <class Step>
void TForm1::Picturing(const Scene& scene, Step&& step) {
    try {
        step();
    } catch (const PictureMemoryError&) {
        throw;
    } catch (const std::bad_alloc&) {
        throw PictureMemoryError(clientWidth_, clientHeight_, PictureMemoryBytes(scene, clientWidth_, clientHeight_));
    }
}

TForm1::TForm1(Registry& registry)
    : TForm("TForm1", RGB(128, 128, 128)), Timer1(*this, PictureCycle::kRevealIntervalMs, true), Timer2(*this, 0, false) {
    Form1 = this;
    SetCaption("Nivora Glade");
    Timer1.OnTimer = [this] { Timer1Timer(); };
    Timer2.OnTimer = [this] { Timer2Timer(); };
    // An error in creation is reported and creation still completes, so the
    // window becomes the main window and the message loop can run.
    Guarded([this, &registry] { FormCreate(registry); });
    CreationComplete();
}

TForm1::~TForm1() = default;

void TForm1::FormCreate(Registry& registry) {
    // A damaged key is reported and start-up goes on with what could be read
    // and defaults for the rest.
    std::string loadError;
    if (!LoadSettingsForStartUp(registry, primary_.scene.Settings, loadError)) Application.ShowException(loadError);
    loaded_ = primary_.scene.Settings;

    primary_.random.Randomize();
    firstSeed_ = primary_.random.Seed;

    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
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

    // The first picture is made here, before the window shows; every later
    // one is prepared on the worker while the one before it shows.
    clientWidth_ = clientWidth;
    clientHeight_ = clientHeight;
    Picturing(primary_.scene, [&] { primary_.Start(Imaging(DefaultBackend()), worker_, clientWidth, clientHeight); });
    if (!ConfigMode) CoverOtherMonitors();
    GroupCycles();
    FollowCycle();

    GetCursorPos(&LastCursorPos);
    SystemParametersInfoA(kScreenSaverRunning, 1, nullptr, 0);
}

void TForm1::CoverOtherMonitors() {
    int index = 0;
    for (const RECT& monitor : OtherMonitors()) {
        auto form = std::make_unique<TMonitorForm>(
            monitor, [this](WPARAM key) { FormKeyDown(key); }, [this] { FormMouseMove(); });
        ScreenPicture& picture = form->Picture;
        picture.scene.Settings = loaded_;
        picture.random.Seed = MonitorSeed(firstSeed_, ++index);
        picture.Start(Imaging(DefaultBackend()), worker_, monitor.right - monitor.left, monitor.bottom - monitor.top);
        ShowWindow(form->Handle(), SW_SHOWNA);
        monitors_.push_back(std::move(form));
    }
}

void TForm1::CoverScreensAgain() {
    displayChanged_ = false;
    group_.Clear();
    monitors_.clear();
    const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    if (width != primary_.scene.FrameDib->Width() || height != primary_.scene.FrameDib->Height()) {
        SetBounds(0, 0, width, height);
        clientWidth_ = width;
        clientHeight_ = height;
        primary_.Start(Imaging(DefaultBackend()), worker_, width, height);
    }
    CoverOtherMonitors();
    GroupCycles();
}

void TForm1::GroupCycles() {
    group_.Clear();
    group_.Add(*primary_.cycle);
    for (auto& monitor : monitors_) group_.Add(*monitor->Picture.cycle);
}

void TForm1::FollowCycle() {
    if (!primary_.cycle) return;
    Timer1.SetEnabled(group_.RevealEnabled());
    Timer2.SetInterval(group_.HoldIntervalMs());
    Timer2.SetEnabled(group_.HoldEnabled());
    primary_.ShowChangedRows(Handle());
    for (auto& monitor : monitors_) monitor->Picture.ShowChangedRows(monitor->Handle());
}

// A message box shown during creation runs a message loop of its own, so the
// timers may fire before the cycles exist.
void TForm1::Timer1Timer() {
    if (!primary_.cycle) return;
    Picturing(primary_.scene, [this] { group_.RevealTick(); });
    FollowCycle();
}

void TForm1::Timer2Timer() {
    if (!primary_.cycle) return;
    Picturing(primary_.scene, [this] {
        if (displayChanged_ && !ConfigMode) CoverScreensAgain();
        group_.HoldEnd();
    });
    FollowCycle();
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
