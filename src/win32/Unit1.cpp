#include "win32/Unit1.h"

#include <cstdlib>
#include <string>

#include "engine/parallel_rows.h"
#include "engine/picture_cycle.h"
#include "engine/random.h"
#include "engine/scene.h"
#include "engine/settings_store.h"
#include "win32/imaging_win32.h"

namespace nivora::win32 {

TForm1* Form1 = nullptr;

namespace {

constexpr UINT kScreenSaverRunning = 97;  // SPI_SETSCREENSAVERRUNNING
constexpr int kMouseJump = 100;

}  // namespace

bool IsMouseJump(POINT last, POINT now) {
    return std::abs(static_cast<long long>(last.x) - now.x) > kMouseJump ||
           std::abs(static_cast<long long>(last.y) - now.y) > kMouseJump;
}

TForm1::TForm1() : TForm("TForm1", RGB(128, 128, 128)), Timer1(*this, 10, true), Timer2(*this, 0, false) {
    Form1 = this;
    SetCaption("Nivora Glade");
    Timer1.OnTimer = [this] { Timer1Timer(); };
    Timer2.OnTimer = [this] { Timer2Timer(); };
    // An error in creation is reported and creation still completes, so the
    // window becomes the main window and the message loop can run.
    Guarded([this] { FormCreate(); });
    CreationComplete();
}

void TForm1::FormCreate() {
    // A damaged key is reported and start-up goes on with what could be read
    // and defaults for the rest.
    std::string loadError;
    if (!LoadSettingsForStartUp(loadError)) Application.ShowException(loadError);

    Randomize();

    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    int clientWidth, clientHeight;
    if (!ConfigMode) {
        SetBorder(Border::None);
        clientWidth = screenWidth;
        clientHeight = screenHeight;
        SetSaverGeometry(clientWidth, clientHeight);
        ShowCursor(FALSE);
        SetBounds(screenWidth / 2 - clientWidth / 2, screenHeight / 2 - clientHeight / 2, clientWidth, clientHeight);
    } else {
        SetBorder(Border::Single);
        clientWidth = screenWidth / 2;
        clientHeight = screenHeight / 2;
        SetSaverGeometry(clientWidth, clientHeight);
        const SIZE outer = OuterSizeForClient(clientWidth, clientHeight);
        SetBounds(screenWidth / 2 - outer.cx / 2, screenHeight / 5, outer.cx, outer.cy);
    }

    CreateSurfaces(Imaging(DefaultBackend()), clientWidth, clientHeight);

    // The window procedure runs on a thread whose x87 control word other DLLs
    // may have touched; the generators need the full 64-bit significand.
    EnsureExtendedPrecision();
    FirstPicture();

    Timer2.SetInterval(HoldIntervalMs(SaverSettings.TimeShow));
    GetCursorPos(&LastCursorPos);
    SystemParametersInfoA(kScreenSaverRunning, 1, nullptr, 0);
}

void TForm1::ShowFrame() {
    auto* frame = dynamic_cast<DibFrame*>(FrameDib.get());
    if (!frame) return;
    if (FrameGraphics) FrameGraphics->Flush();
    GdiFlush();
    HDC dc = GetDC(Handle());
    BitBlt(dc, 0, 0, frame->Width(), frame->Height(), frame->DC(), 0, 0, SRCCOPY);
    ReleaseDC(Handle(), dc);
}

void TForm1::Timer1Timer() {
    if (RevealTick().completed) {
        Timer1.SetEnabled(false);
        Timer2.SetEnabled(true);
    }
    ShowFrame();
}

void TForm1::Timer2Timer() {
    EnsureExtendedPrecision();
    HoldEnd();
    Timer1.SetEnabled(true);
    Timer2.SetEnabled(false);
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
