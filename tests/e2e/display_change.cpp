// Tells the saver's main window that the display changed, as the system does
// when a monitor is added, removed or resized (WM_DISPLAYCHANGE).
//   display_change.exe
// Exits 0 once the message is posted, 1 when there is no saver window.
#include <windows.h>

int main() {
    HWND window = FindWindowA("TForm1", "Nivora Glade");
    if (!window) return 1;
    const LPARAM size = MAKELPARAM(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    return PostMessageA(window, WM_DISPLAYCHANGE, 32, size) ? 0 : 1;
}
