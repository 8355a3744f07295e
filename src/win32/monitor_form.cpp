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
