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
void TForm1::Picturing(Step&& step) {
    try {
        step();
    } catch (const PictureMemoryError&) {
        throw;
    } catch (const std::bad_alloc&) {
        throw PictureMemoryError(clientWidth_, clientHeight_, PictureMemoryBytes(scene_, clientWidth_, clientHeight_));
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

// The cycle stops its job before the scene it works on goes.
TForm1::~TForm1() { cycle_.reset(); }

void TForm1::FormCreate(Registry& registry) {
    // A damaged key is reported and start-up goes on with what could be read
    // and defaults for the rest.
    std::string loadError;
    if (!LoadSettingsForStartUp(registry, scene_.Settings, loadError)) Application.ShowException(loadError);

    random_.Randomize();

    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    int clientWidth, clientHeight;
    if (!ConfigMode) {
        SetBorder(Border::None);
        clientWidth = screenWidth;
        clientHeight = screenHeight;
        SetSaverGeometry(scene_, clientWidth, clientHeight);
        ShowCursor(FALSE);
        SetBounds(screenWidth / 2 - clientWidth / 2, screenHeight / 2 - clientHeight / 2, clientWidth, clientHeight);
    } else {
        SetBorder(Border::Single);
        clientWidth = screenWidth / 2;
        clientHeight = screenHeight / 2;
        SetSaverGeometry(scene_, clientWidth, clientHeight);
        const SIZE outer = OuterSizeForClient(clientWidth, clientHeight);
        SetBounds(screenWidth / 2 - outer.cx / 2, screenHeight / 5, outer.cx, outer.cy);
    }

    clientWidth_ = clientWidth;
    clientHeight_ = clientHeight;
    ImagingPlatform& imaging = Imaging(DefaultBackend());
    Picturing([&] { CreateSurfaces(scene_, imaging, clientWidth, clientHeight); });
    // Both Windows backends draw into a DIB section.
    frameDC_ = static_cast<DibFrame&>(*scene_.FrameDib).DC();

    // The first picture is made here, before the window shows; every later
    // one is prepared on the worker while the one before it shows.
    Picturing([&] {
        cycle_ = std::make_unique<PictureCycle>(scene_, imaging, random_, worker_);
        cycle_->FirstPicture();
    });
    FollowCycle();

    GetCursorPos(&LastCursorPos);
    SystemParametersInfoA(kScreenSaverRunning, 1, nullptr, 0);
}

void TForm1::FollowCycle() {
    if (!cycle_) return;
    Timer1.SetEnabled(cycle_->RevealEnabled());
    Timer2.SetInterval(cycle_->HoldIntervalMs());
    Timer2.SetEnabled(cycle_->HoldEnabled());
    const RowSpan rows = cycle_->TakeChangedRows();
    if (!rows.Empty()) ShowRows(rows.first, rows.last);
}

void TForm1::ShowRows(int first, int last) {
    if (!frameDC_ || !IsWindowVisible(Handle())) return;
    if (scene_.FrameGraphics) scene_.FrameGraphics->Flush();
    GdiFlush();
    HDC dc = GetDC(Handle());
    BitBlt(dc, 0, first, scene_.FrameDib->Width(), last - first + 1, frameDC_, 0, first, SRCCOPY);
    ReleaseDC(Handle(), dc);
}

// Whatever was uncovered comes back from the frame; the window is never
// erased to grey first.
void TForm1::DoPaint(HDC dc, const RECT& area) {
    if (!frameDC_) return;
    if (scene_.FrameGraphics) scene_.FrameGraphics->Flush();
    GdiFlush();
    BitBlt(dc, area.left, area.top, area.right - area.left, area.bottom - area.top, frameDC_, area.left, area.top,
           SRCCOPY);
}

// A message box shown during creation runs a message loop of its own, so the
// timers may fire before the cycle exists.
void TForm1::Timer1Timer() {
    if (!cycle_) return;
    Picturing([this] { cycle_->RevealTick(); });
    FollowCycle();
}

void TForm1::Timer2Timer() {
    if (!cycle_) return;
    Picturing([this] { cycle_->HoldEnd(); });
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
