// Lists a top-level window and its controls, so that a test can read what a
// window shows (the controls draw their text; X11 tools see none of it).
//   window_controls.exe CAPTION
//     window "CAPTION" LEFT TOP WIDTH HEIGHT client WIDTH HEIGHT dpi DPI
//     origin X Y
//     control CLASS "TEXT" LEFT TOP WIDTH HEIGHT [range MIN MAX pos POS] [check 0|1] [focus]
//   (control rectangles are in the window's client area, whose top-left
//   corner lies at the origin on the screen)
//   window_controls.exe --probe CAPTION MILLISECONDS
//     asks the window's thread for an answer (WM_NULL) every 10 ms for that
//     long and prints "longest MS answers N": the longest time it was busy.
// Exits 1 when there is no visible window with that caption.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string TextOf(HWND window) {
    char text[512] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

struct Lister {
    HWND parent;
    HWND focus;
};

BOOL CALLBACK ListControl(HWND control, LPARAM data) {
    auto* lister = reinterpret_cast<Lister*>(data);
    if (GetParent(control) != lister->parent) return TRUE;
    char className[64] = {};
    GetClassNameA(control, className, sizeof className);
    RECT r{};
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, lister->parent, reinterpret_cast<POINT*>(&r), 2);
    std::printf("control %s \"%s\" %ld %ld %ld %ld", className, TextOf(control).c_str(), r.left, r.top,
                r.right - r.left, r.bottom - r.top);
    const std::string name = className;
    if (_stricmp(className, TRACKBAR_CLASSA) == 0) {
        std::printf(" range %ld %ld pos %ld", static_cast<long>(SendMessageA(control, TBM_GETRANGEMIN, 0, 0)),
                    static_cast<long>(SendMessageA(control, TBM_GETRANGEMAX, 0, 0)),
                    static_cast<long>(SendMessageA(control, TBM_GETPOS, 0, 0)));
    } else if (_stricmp(className, "Button") == 0) {
        const LONG type = GetWindowLongA(control, GWL_STYLE) & BS_TYPEMASK;
        if (type == BS_AUTOCHECKBOX || type == BS_CHECKBOX)
            std::printf(" check %d", SendMessageA(control, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0);
    }
    if (control == lister->focus) std::printf(" focus");
    std::printf("\n");
    return TRUE;
}

HWND FindVisible(const char* caption) {
    HWND window = nullptr;
    while ((window = FindWindowExA(nullptr, window, nullptr, caption)))
        if (IsWindowVisible(window)) return window;
    return nullptr;
}

int Probe(HWND window, DWORD milliseconds) {
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    const DWORD until = GetTickCount() + milliseconds;
    double longest = 0;
    int answers = 0;
    while (static_cast<LONG>(until - GetTickCount()) > 0) {
        DWORD_PTR result = 0;
        QueryPerformanceCounter(&start);
        if (!SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &result)) break;
        QueryPerformanceCounter(&end);
        const double ms = 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) /
                          static_cast<double>(frequency.QuadPart);
        if (ms > longest) longest = ms;
        ++answers;
        Sleep(10);
    }
    std::printf("longest %.1f answers %d\n", longest, answers);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 4 && std::string(argv[1]) == "--probe") {
        HWND window = FindVisible(argv[2]);
        return window ? Probe(window, static_cast<DWORD>(std::atoi(argv[3]))) : 1;
    }
    if (argc < 2) return 2;
    HWND window = FindVisible(argv[1]);
    if (!window) return 1;
    RECT r{}, client{};
    GetWindowRect(window, &r);
    GetClientRect(window, &client);
    GUITHREADINFO thread{};
    thread.cbSize = sizeof thread;
    GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &thread);
    using GetDpiForWindowCall = UINT(WINAPI*)(HWND);
    const auto getDpi = reinterpret_cast<GetDpiForWindowCall>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "GetDpiForWindow")));
    std::printf("window \"%s\" %ld %ld %ld %ld client %ld %ld dpi %u\n", argv[1], r.left, r.top, r.right - r.left,
                r.bottom - r.top, client.right, client.bottom, getDpi ? getDpi(window) : 0u);
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    std::printf("origin %ld %ld\n", origin.x, origin.y);
    Lister lister{window, thread.hwndFocus};
    EnumChildWindows(window, ListControl, reinterpret_cast<LPARAM>(&lister));
    return 0;
}
