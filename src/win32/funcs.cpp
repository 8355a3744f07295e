#include "win32/funcs.h"

#include <atomic>
#include <cstdlib>
#include <memory>

#include "engine/cycle/picture_cycle.h"
#include "engine/cycle/picture_worker.h"
#include "engine/cycle/preview_painter.h"
#include "engine/pictures/surfaces.h"
#include "host/command_line.h"
#include "host/settings_store.h"
#include "win32/forms/window_object.h"
#include "win32/imaging_win32.h"

namespace nivora::win32 {

namespace {

// What a pane's owner or a test finds the preview by; the window has no title.
constexpr const char* kHostClass = "NivoraGladePreview";

// What the pacing thread is given: the window to ask for paints and the flag
// that stops it. Both belong to the host, which waits for the thread's end.
struct Pacing {
    HWND window;
    const std::atomic<bool>& quitRequested;
};

// Only asks for paints; it computes nothing.
DWORD WINAPI PacingThread(LPVOID parameter) {
    const Pacing& pacing = *static_cast<const Pacing*>(parameter);
    ShowWindow(pacing.window, SW_SHOW);
    UpdateWindow(pacing.window);
    do {
        InvalidateRect(pacing.window, nullptr, FALSE);
        Sleep(10);
    } while (!pacing.quitRequested);
    PostMessageA(pacing.window, WM_DESTROY, 0, 0);
    return 0;
}

// The host: its window, the picture it paints and the end the password
// allows. It lives on the window's thread for the length of RunPreviewHost.
class PreviewHost : public WindowObject<PreviewHost> {
public:
    explicit PreviewHost(DibDrawing& drawing) : frames_(drawing) {}
    PreviewHost(const PreviewHost&) = delete;
    PreviewHost& operator=(const PreviewHost&) = delete;
    ~PreviewHost();

    // The window: a disabled child filling `parent`, or for no parent a
    // visible top-most popup of width x height at (left, top).
    bool CreateWindowIn(int left, int top, int width, int height, HWND parent);
    // The picture, its first one made now.
    void StartPicture(Registry& registry, int width, int height);
    // Paces the paints and answers the window until it ends.
    void Run();

private:
    friend class WindowObject<PreviewHost>;
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void PaintFrame();

    std::atomic<bool> QuitRequested{false};
    WindowFrames frames_;   // declared before the picture, which holds its frames
    PictureWorker worker_;  // declared before the picture: it outlives the cycle
    Scene scene_;
    RandomGenerator random_;
    std::unique_ptr<PictureCycle> cycle_;
    std::unique_ptr<PreviewPainter> painter_;
    HDC frameDC_ = nullptr;
};

PreviewHost::~PreviewHost() {
    // The window stays until the process ends, as the pane expects; it no
    // longer reaches this host.
    Detach();
    painter_.reset();
    cycle_.reset();
}

bool PreviewHost::CreateWindowIn(int left, int top, int width, int height, HWND parent) {
    WNDCLASSA windowClass{};
    windowClass.style = CS_PARENTDC;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kHostClass;
    RegisterClassA(&windowClass);
    const DWORD style = parent ? WS_CHILD | WS_VISIBLE | WS_DISABLED : WS_POPUP | WS_VISIBLE;
    if (!Create(0, kHostClass, nullptr, style, left, top, width, height, parent)) return false;
    if (!parent) {
        SetWindowPos(Window(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOREDRAW);
        // Its keys ask for the password, so it takes the keyboard.
        SetForegroundWindow(Window());
    }
    return true;
}

void PreviewHost::StartPicture(Registry& registry, int width, int height) {
    random_.Randomize();
    scene_.Settings.RandsAlgorithm = scene_.Settings.BackgroundRands = true;
    // A black background would look broken: the stored brightness, or the default.
    scene_.Settings.Brightness = ReadStoredBrightness(registry).value_or(kDefaultSettings.Brightness);
    SetPreviewGeometry(scene_, width, height);
    CreateSurfaces(scene_, frames_, width, height);
    frameDC_ = frames_.DC(*scene_.FrameDib);
    cycle_ = std::make_unique<PictureCycle>(scene_, frames_, random_, worker_);
    // The painter sets the pace, and PaintFrame shows the frame whole: the
    // cycle's answers are not needed here.
    cycle_->FirstPicture();
    // The generator is seeded once more as pacing starts; the picture being
    // prepared follows the new seed.
    random_.Randomize();
    cycle_->SettingsChanged();
    painter_ = std::make_unique<PreviewPainter>(*cycle_);
}

void PreviewHost::Run() {
    const Pacing pacing{Window(), QuitRequested};
    HANDLE thread = CreateThread(nullptr, 0, PacingThread, const_cast<Pacing*>(&pacing), 0, nullptr);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    if (!thread) return;
    // The loop may also end without the pacing thread (the pane went, a
    // picture failed): it is stopped and waited for, answering the messages
    // it sends to the window meanwhile.
    QuitRequested = true;
    while (MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_SENDMESSAGE) == WAIT_OBJECT_0 + 1)
        PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    CloseHandle(thread);
}

void PreviewHost::PaintFrame() {
    ValidateRect(Window(), nullptr);
    if (!painter_ || !painter_->Paint(GetTickCount64())) return;
    if (scene_.FrameGraphics) scene_.FrameGraphics->Flush();
    GdiFlush();
    HDC dc = GetDC(Window());
    BitBlt(dc, 0, 0, scene_.FrameDib->Width(), scene_.FrameDib->Height(), frameDC_, 0, 0, SRCCOPY);
    ReleaseDC(Window(), dc);
}

LRESULT PreviewHost::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        case WM_PAINT:
            try {
                PaintFrame();
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
            if (!QuitRequested) QuitRequested = VerifySaverPassword(Window());
            return 0;
        case WM_MOUSEMOVE:
            return 0;
    }
    return DefWindowProcA(Window(), message, wParam, lParam);
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

bool VerifySaverPassword(HWND owner) {
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
    const bool mayEnd = verify ? verify(owner) != 0 : true;
    ShowCursor(FALSE);
    FreeLibrary(module);
    RegCloseKey(key);
    return mayEnd;
}

namespace {

// A window the preview can be a child of: one on the desktop, not the desktop
// itself (a child of the desktop is a top-level window over the whole screen,
// disabled, so that no input would ever end it) nor a message-only window
// (which shows nothing and never goes with a dialog).
bool CanHoldPreview(HWND pane) {
    const HWND desktop = GetDesktopWindow();
    if (!IsWindow(pane) || pane == desktop) return false;
    return GetAncestor(GetAncestor(pane, GA_ROOT), GA_PARENT) == desktop;
}

}  // namespace

void RunPreviewHost(const std::string& handleText, Registry& registry, DibDrawing& drawing) {
    const HWND parent = reinterpret_cast<HWND>(static_cast<INT_PTR>(ParseWindowHandle(handleText)));
    int left = 0, top = 0, width, height;
    if (parent) {
        RECT pane{};
        if (!CanHoldPreview(parent) || !GetWindowRect(parent, &pane)) return;  // no pane to draw in
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

    PreviewHost host(drawing);
    if (!host.CreateWindowIn(left, top, width, height, parent)) return;
    host.StartPicture(registry, width, height);
    host.Run();
}

}  // namespace nivora::win32
