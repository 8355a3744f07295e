// A stand-in for the display settings' preview pane. It makes a top-level
// window "Pane Host" with a child pane of the given size and starts the saver
// in it as the display settings do, then after a while destroys the pane and
// times the saver's end.
//   pane_host.exe SCR WIDTH HEIGHT SECONDS    the saver in another process
//   pane_host.exe --in-process WIDTH HEIGHT SECONDS
//                                             the host code in this process
//                                             (Wine shows another process's
//                                             drawing in a child window only
//                                             from within that process)
// Prints, after SECONDS: one line per child window of the pane
//   child CLASS WIDTHxHEIGHT style 0xSTYLE
// and (for another process) the longest time the host window took to answer
// a message asked every 50 ms, after its first answer
//   longest answer MS ms
// then "alive" or "gone" for the saver, and after destroying the pane
//   exit CODE after MS ms
// (the exit line only for another process). Exit status 0, or 1 on a failure
// of its own.
//   pane_host.exe --desktop                   prints the desktop window's
//                                             handle, in decimal
//   pane_host.exe --message-only SCR SECONDS  starts the saver with a
//                                             message-only window as its pane
//                                             and prints "exit CODE after MS
//                                             ms", or "alive" after SECONDS
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/memory_registry.h"
#include "win32/funcs.h"

namespace {

HWND pane = nullptr;

BOOL CALLBACK PrintChild(HWND child, LPARAM) {
    char name[128] = {};
    GetClassNameA(child, name, sizeof name);
    RECT rect{};
    GetWindowRect(child, &rect);
    std::printf("child %s %ldx%ld style 0x%08lX\n", name, rect.right - rect.left, rect.bottom - rect.top,
                static_cast<unsigned long>(GetWindowLongA(child, GWL_STYLE)));
    return TRUE;
}

double Milliseconds() {
    LARGE_INTEGER frequency, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&now);
    return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// The longest time the host window took to answer a message, from its first
// answer on (before it, the first picture is being made), asked every 50 ms.
double longestAnswer = -1;
double nextProbe = 0;

void Probe() {
    const double now = Milliseconds();
    if (now < nextProbe) return;
    nextProbe = now + 50;
    HWND host = FindWindowExA(pane, nullptr, "NivoraGladePreview", nullptr);
    if (!host) return;
    DWORD_PTR result = 0;
    const double start = Milliseconds();
    if (!SendMessageTimeoutA(host, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &result)) return;
    const double took = Milliseconds() - start;
    if (longestAnswer < 0)
        longestAnswer = 0;  // the first answer may wait for the first picture
    else if (took > longestAnswer)
        longestAnswer = took;
}

void Pump(DWORD milliseconds, bool probe = false) {
    const DWORD end = GetTickCount() + milliseconds;
    while (static_cast<LONG>(end - GetTickCount()) > 0) {
        if (probe) Probe();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
}

HWND MakePane(int width, int height) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
    windowClass.lpszClassName = "PaneHostWindow";
    RegisterClassA(&windowClass);
    RECT outer{0, 0, width + 40, height + 40};
    AdjustWindowRect(&outer, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, FALSE);
    HWND top = CreateWindowExA(0, "PaneHostWindow", "Pane Host", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_VISIBLE,
                               0, 0, outer.right - outer.left, outer.bottom - outer.top, nullptr, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
    windowClass.lpszClassName = "PaneHostPane";
    RegisterClassA(&windowClass);
    return CreateWindowExA(0, "PaneHostPane", "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 20, 20, width, height, top,
                           nullptr, GetModuleHandleA(nullptr), nullptr);
}

VOID CALLBACK EndPane(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    EnumChildWindows(pane, PrintChild, 0);
    std::printf("alive\n");
    std::fflush(stdout);
    DestroyWindow(pane);
}

int InProcess(int width, int height, int seconds) {
    pane = MakePane(width, height);
    if (!pane) return 1;
    // The host's own message loop runs; a timer on this thread ends the pane.
    SetTimer(nullptr, 0, static_cast<UINT>(seconds) * 1000, EndPane);
    nivora::MemoryRegistry registry;  // no stored settings: the default brightness
    nivora::win32::WindowsImaging imaging;
    nivora::win32::RunPreviewHost(std::to_string(reinterpret_cast<INT_PTR>(pane)), registry,
                                  imaging.Drawing(nivora::win32::DefaultBackend()));
    return 0;
}

}  // namespace

PROCESS_INFORMATION StartPreview(const char* scr, HWND parent) {
    std::string command = std::string("\"") + scr + "\" /p " + std::to_string(reinterpret_cast<INT_PTR>(parent));
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        std::fprintf(stderr, "cannot start %s\n", scr);
    return process;
}

int MessageOnly(const char* scr, int seconds) {
    HWND window = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 100, 100, HWND_MESSAGE, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    if (!window) return 1;
    const PROCESS_INFORMATION process = StartPreview(scr, window);
    if (!process.hProcess) return 1;
    const double start = Milliseconds();
    while (WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT) {
        if (Milliseconds() - start > seconds * 1000.0) {
            std::printf("alive\n");
            TerminateProcess(process.hProcess, 1);
            return 0;
        }
        Pump(10);
    }
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    std::printf("exit %lu after %.0f ms\n", static_cast<unsigned long>(code), Milliseconds() - start);
    return 0;
}

int main(int argc, char** argv) {
    if (argc == 2 && std::string(argv[1]) == "--desktop") {
        std::printf("%lld\n", static_cast<long long>(reinterpret_cast<INT_PTR>(GetDesktopWindow())));
        return 0;
    }
    if (argc == 4 && std::string(argv[1]) == "--message-only") return MessageOnly(argv[2], std::atoi(argv[3]));
    if (argc == 5 && std::string(argv[1]) == "--in-process")
        return InProcess(std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]));
    if (argc != 5) {
        std::fprintf(stderr,
                     "usage: pane_host SCR WIDTH HEIGHT SECONDS | --in-process WIDTH HEIGHT SECONDS | --desktop"
                     " | --message-only SCR SECONDS\n");
        return 1;
    }
    pane = MakePane(std::atoi(argv[2]), std::atoi(argv[3]));
    if (!pane) return 1;
    const PROCESS_INFORMATION process = StartPreview(argv[1], pane);
    if (!process.hProcess) return 1;
    Pump(static_cast<DWORD>(std::atoi(argv[4])) * 1000, true);
    EnumChildWindows(pane, PrintChild, 0);
    std::printf("longest answer %.0f ms\n", longestAnswer);
    std::printf("%s\n", WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT ? "alive" : "gone");
    std::fflush(stdout);

    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    DestroyWindow(pane);
    while (WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT) Pump(1);
    QueryPerformanceCounter(&end);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    std::printf("exit %lu after %.0f ms\n", static_cast<unsigned long>(code),
                1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart));
    return 0;
}
