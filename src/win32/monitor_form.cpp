#include "win32/monitor_form.h"

namespace nivora::win32 {

TMonitorForm::TMonitorForm(TApplication& application, const RECT& monitor, std::function<void(WPARAM)> keyDown,
                           std::function<void()> mouseMove)
    : TForm(application, "TMonitorForm", RGB(0, 0, 0)),
      monitor_(monitor),
      keyDown_(std::move(keyDown)),
      mouseMove_(std::move(mouseMove)) {
    SetCaption("Nivora Glade");
    SetBorder(Border::None);
    SetBounds(monitor.left, monitor.top, monitor.right - monitor.left, monitor.bottom - monitor.top);
    placed_ = true;
}

namespace {

constexpr UINT kReturnToMonitor = WM_APP + 2;
// Enough for any honest sequence of moves; a window that is moved away for
// ever stays where it is put rather than fight without end.
constexpr int kMaxReturns = 8;

}  // namespace

// Nothing on Windows moves a saver's popup, but Wine under a reparenting
// window manager can come to believe a new window lies where its frame first
// stood (0,0), and then sends the mouse moves over this monitor to no window:
// a jump there would end nothing. Going back to the monitor puts Wine's idea
// of the window and the X server's in step again. The move is posted, so it
// is made after the one being reported has finished.
bool TMonitorForm::DoMessage(UINT message, WPARAM, LPARAM, LRESULT& result) {
    if (message == WM_WINDOWPOSCHANGED && placed_ && returns_ < kMaxReturns) {
        const RECT now = WindowRect();
        if (!EqualRect(&now, &monitor_)) {
            ++returns_;
            PostMessageA(Handle(), kReturnToMonitor, 0, 0);
        }
        return false;
    }
    if (message == kReturnToMonitor) {
        SetWindowPos(Handle(), nullptr, monitor_.left, monitor_.top, monitor_.right - monitor_.left,
                     monitor_.bottom - monitor_.top, SWP_NOZORDER | SWP_NOACTIVATE);
        result = 0;
        return true;
    }
    return false;
}

namespace {

BOOL CALLBACK CollectOtherMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM data) {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (GetMonitorInfoA(monitor, &info) && !(info.dwFlags & MONITORINFOF_PRIMARY) &&
        info.rcMonitor.right > info.rcMonitor.left && info.rcMonitor.bottom > info.rcMonitor.top)
        reinterpret_cast<std::vector<RECT>*>(data)->push_back(info.rcMonitor);
    return TRUE;
}

}  // namespace

SIZE PrimaryScreenSize() { return {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}; }

std::vector<RECT> OtherMonitors() {
    std::vector<RECT> monitors;
    EnumDisplayMonitors(nullptr, nullptr, CollectOtherMonitor, reinterpret_cast<LPARAM>(&monitors));
    return monitors;
}

}  // namespace nivora::win32
