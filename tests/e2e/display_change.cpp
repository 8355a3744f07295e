// Tells the saver's main window that the display changed, as the system does
// when a monitor is added, removed or resized (WM_DISPLAYCHANGE).
//   display_change.exe [SECONDS INTERVAL_MS]
// Exits 0 once the message is posted, 1 when there is no saver window. With
// SECONDS it tells again every INTERVAL_MS until SECONDS have passed or the
// window is gone (one process: starting one under Wine for every message
// would load the machine more than the saver does), and prints how often.
//   display_change.exe --move-monitor X Y
// Moves the other monitor's saver window to X,Y instead, as Wine does by
// mistake under a reparenting window manager. Exits 1 when there is none.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool Tell() {
    HWND window = FindWindowA("TForm1", "Nivora Glade");
    if (!window) return false;
    const LPARAM size = MAKELPARAM(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    return PostMessageA(window, WM_DISPLAYCHANGE, 32, size) != 0;
}

bool MoveMonitorWindow(int x, int y) {
    HWND window = FindWindowA("TMonitorForm", "Nivora Glade");
    return window && SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--move-monitor") == 0)
        return MoveMonitorWindow(std::atoi(argv[2]), std::atoi(argv[3])) ? 0 : 1;
    if (!Tell()) return 1;
    if (argc < 3) return 0;
    const DWORD span = static_cast<DWORD>(std::atof(argv[1]) * 1000), interval = std::atoi(argv[2]);
    const DWORD start = GetTickCount();
    int told = 1;
    while (GetTickCount() - start < span) {
        Sleep(interval);
        if (!Tell()) break;
        ++told;
    }
    std::printf("%d\n", told);
    return 0;
}
