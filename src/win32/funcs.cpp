#include "win32/funcs.h"

#include <atomic>
#include <cstdlib>
#include <memory>

#include "engine/command_line.h"
#include "engine/picture_cycle.h"
#include "engine/picture_worker.h"
#include "engine/preview_painter.h"
#include "engine/settings_store.h"
#include "engine/surfaces.h"
#include "win32/imaging_win32.h"

namespace nivora::win32 {

namespace {

constexpr const char* kHostClass = "MyBriskScreenSaverClass";

HWND HostWindow = nullptr;
std::atomic<bool> QuitRequested{false};

// The picture the host paints; it lives on the window's thread for the
// length of RunPreviewHost.
struct Preview {
    PictureWorker worker;  // declared first: it outlives the cycle
    Scene scene;
    RandomGenerator random;
    std::unique_ptr<PictureCycle> cycle;
    std::unique_ptr<PreviewPainter> painter;
    HDC frameDC = nullptr;
    ~Preview() {
        painter.reset();
        cycle.reset();
    }
};
Preview* preview = nullptr;

void PaintPreviewFrame(HWND window) {
    ValidateRect(window, nullptr);
    if (!preview || !preview->painter->Paint(GetTickCount64())) return;
    if (preview->scene.FrameGraphics) preview->scene.FrameGraphics->Flush();
    GdiFlush();
    HDC dc = GetDC(window);
    BitBlt(dc, 0, 0, preview->scene.FrameDib->Width(), preview->scene.FrameDib->Height(), preview->frameDC, 0, 0,
           SRCCOPY);
    ReleaseDC(window, dc);
}

LRESULT CALLBACK HostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_NCCREATE:
            return 1;  // no default handling: the window keeps no title
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        case WM_PAINT:
            try {
                PaintPreviewFrame(window);
            } catch (...) {
                // No message box in the preview: a picture that cannot be
                // made (memory) ends it.
                PostQuitMessage(0);
            }
            return 0;
        // Only the popup gets these (the pane's child is disabled): a key or a
        // click ends it once the password allows, the mouse moving does not.
        // An end already allowed is not asked for again.
        case WM_KEYDOWN:
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
            if (!QuitRequested) QuitRequested = VerifySaverPassword();
            return 0;
        case WM_MOUSEMOVE:
            return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// Only asks for paints; it computes nothing.
DWORD WINAPI PacingThread(LPVOID) {
    ShowWindow(HostWindow, SW_SHOW);
    UpdateWindow(HostWindow);
    do {
        InvalidateRect(HostWindow, nullptr, FALSE);
        Sleep(10);
    } while (!QuitRequested);
    PostMessageA(HostWindow, WM_DESTROY, 0, 0);
    return 0;
}

// The value read into 4 bytes, its type not checked; a string holds the
// digits the control panel writes, so "0" is read as 0 rather than as the
// character's code.
bool PasswordInUse(HKEY key) {
    char buffer[4] = {};
    DWORD type = REG_NONE, size = sizeof buffer;
    if (RegQueryValueExA(key, "ScreenSaveUsePassword", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) !=
        ERROR_SUCCESS)
        return false;
    if (type == REG_SZ) return std::atoi(std::string(buffer, strnlen(buffer, sizeof buffer)).c_str()) != 0;
    return (buffer[0] | buffer[1] | buffer[2] | buffer[3]) != 0;
}

}  // namespace

HWND CreateHostWindow(int left, int top, int width, int height, HWND parent) {
    WNDCLASSA windowClass{};
    windowClass.style = CS_PARENTDC;
    windowClass.lpfnWndProc = HostWindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kHostClass;
    RegisterClassA(&windowClass);
    const DWORD style = parent ? WS_CHILD | WS_VISIBLE | WS_DISABLED : WS_POPUP | WS_VISIBLE;
    HostWindow = CreateWindowExA(0, kHostClass, "MySaver", style, left, top, width, height, parent, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
    if (!parent) {
        SetWindowPos(HostWindow, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOREDRAW);
        // Its keys ask for the password, so it takes the keyboard.
        SetForegroundWindow(HostWindow);
    }
    return HostWindow;
}

bool VerifySaverPassword() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, KEY_READ, &key) != ERROR_SUCCESS) return true;
    if (!PasswordInUse(key)) {
        RegCloseKey(key);
        return true;
    }
    HMODULE module = LoadLibraryA("PASSWORD.CPL");
    if (reinterpret_cast<UINT_PTR>(module) <= 32) {
        RegCloseKey(key);
        return true;
    }
    using Verify = BOOL(WINAPI*)(HWND);
    const auto verify = reinterpret_cast<Verify>(reinterpret_cast<void*>(GetProcAddress(module, "VerifyScreenSavePwd")));
    ShowCursor(TRUE);
    const bool mayEnd = verify ? verify(HostWindow) != 0 : true;
    ShowCursor(FALSE);
    FreeLibrary(module);
    RegCloseKey(key);
    return mayEnd;
}

void RunPreviewHost(const std::string& handleText, Registry& registry) {
    const HWND parent = reinterpret_cast<HWND>(static_cast<INT_PTR>(ParseWindowHandle(handleText)));
    int left = 0, top = 0, width, height;
    if (parent) {
        RECT pane{};
        if (!IsWindow(parent) || !GetWindowRect(parent, &pane)) return;  // no pane to draw in
        width = pane.right - pane.left;
        height = pane.bottom - pane.top;
    } else {
        // No pane: a quarter of the primary monitor, centred.
        const int screenWidth = GetSystemMetrics(SM_CXSCREEN), screenHeight = GetSystemMetrics(SM_CYSCREEN);
        width = screenWidth / 2;
        height = screenHeight / 2;
        left = (screenWidth - width) / 2;
        top = (screenHeight - height) / 2;
    }
    if (width < 1 || height < 1) return;

    QuitRequested = false;
    if (!CreateHostWindow(left, top, width, height, parent)) return;

    Preview host;
    host.random.Randomize();
    host.scene.Settings.RandsAlgorithm = host.scene.Settings.BackgroundRands = true;
    // A black background would look broken: the stored brightness, or the default.
    host.scene.Settings.Brightness = ReadStoredBrightness(registry).value_or(kDefaultSettings.Brightness);
    SetPreviewGeometry(host.scene, width, height);
    ImagingPlatform& imaging = Imaging(DefaultBackend());
    CreateSurfaces(host.scene, imaging, width, height);
    host.frameDC = static_cast<DibFrame&>(*host.scene.FrameDib).DC();
    host.cycle = std::make_unique<PictureCycle>(host.scene, imaging, host.random, host.worker);
    host.cycle->FirstPicture();
    // The generator is seeded once more as pacing starts; the picture being
    // prepared follows the new seed.
    host.random.Randomize();
    host.cycle->SettingsChanged();
    host.painter = std::make_unique<PreviewPainter>(*host.cycle);
    preview = &host;

    if (HANDLE pacing = CreateThread(nullptr, 0, PacingThread, nullptr, 0, nullptr)) CloseHandle(pacing);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    preview = nullptr;
}

}  // namespace nivora::win32
