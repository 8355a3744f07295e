#include "win32/forms.h"

#include <algorithm>
#include <map>
#include <stdexcept>

#include "engine/command_line.h"

namespace nivora::win32 {

TApplication Application;

void TApplication::FormCreated(TForm& form) {
    if (!mainForm_) mainForm_ = &form;
}

void TApplication::HandleException(std::exception_ptr error) noexcept {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        ShowException(e.what());
    } catch (...) {
        ShowException("Unknown error");
    }
}

void TApplication::ShowException(const std::string& message) noexcept {
    try {
        if (OnException) {
            OnException(message);
            return;
        }
        const std::string text = ErrorBoxText(message);
        MessageBoxA(nullptr, text.c_str(), Title.c_str(), MB_OK | MB_ICONSTOP);
    } catch (...) {
        // Nothing sensible is left to report a failure of the report with.
    }
}

void TApplication::Run() {
    if (!mainForm_) return;
    mainForm_->Show();
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

// ---------------------------------------------------------------- timers

TTimer::TTimer(TForm& owner, UINT interval, bool enabled)
    : owner_(owner), id_(owner.nextTimerId_++), interval_(interval), enabled_(enabled) {
    owner_.timers_.push_back(this);
    Update();
}

TTimer::~TTimer() {
    KillTimer(owner_.Handle(), id_);
    auto& timers = owner_.timers_;
    timers.erase(std::remove(timers.begin(), timers.end(), this), timers.end());
}

void TTimer::SetInterval(UINT interval) {
    if (interval == interval_) return;
    interval_ = interval;
    Update();
}

void TTimer::SetEnabled(bool enabled) {
    if (enabled == enabled_) return;
    enabled_ = enabled;
    Update();
}

void TTimer::Update() {
    KillTimer(owner_.Handle(), id_);
    // Re-arming an existing id restarts its period, which is what a new
    // interval asks for.
    if (enabled_ && interval_ != 0) SetTimer(owner_.Handle(), id_, interval_, nullptr);
}

void TTimer::Tick() {
    // A WM_TIMER may already sit in the queue when the timer is disabled.
    if (!enabled_ || interval_ == 0 || !OnTimer) return;
    Guarded(OnTimer);
}

// ---------------------------------------------------------------- forms

namespace {

void RegisterFormClass(const char* className, COLORREF background, WNDPROC windowProc) {
    static std::map<std::string, bool> registered;
    if (registered[className]) return;
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    windowClass.hIcon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(1));
    windowClass.hbrBackground = CreateSolidBrush(background);
    windowClass.lpszClassName = className;
    registered[className] = true;
    RegisterClassA(&windowClass);
}

constexpr DWORD kStyleNone = WS_POPUP | WS_CLIPCHILDREN;
constexpr DWORD kStyleSingle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;

}  // namespace

TForm::TForm(const char* className, COLORREF background) {
    RegisterFormClass(className, background, &TForm::WindowProc);
    handle_ = CreateWindowExA(0, className, "", kStyleNone, 0, 0, 0, 0, nullptr, nullptr,
                              GetModuleHandleA(nullptr), nullptr);
    if (!handle_) throw std::runtime_error("Cannot create window");
    // Until now the window's messages went to DefWindowProc (no form attached).
    SetWindowLongPtrA(handle_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

TForm::~TForm() {
    for (TTimer* timer : timers_) KillTimer(handle_, timer->Id());
    if (handle_) {
        SetWindowLongPtrA(handle_, GWLP_USERDATA, 0);
        DestroyWindow(handle_);
    }
}

void TForm::CreationComplete() { Application.FormCreated(*this); }

void TForm::Show() {
    closed_ = false;
    ShowWindow(handle_, SW_SHOW);
    SetForegroundWindow(handle_);
    UpdateWindow(handle_);
}

void TForm::Hide() { ShowWindow(handle_, SW_HIDE); }

void TForm::Close() {
    // Several input messages may be queued behind the one that closed us.
    if (closed_) return;
    closed_ = true;
    Guarded([this] { DoClose(); });
    // Off the screen at once, also the main window: the process may take a
    // moment longer to end (threads stopped, libraries unloaded), and a saver
    // that a key has ended must not stay in view meanwhile.
    Hide();
    if (Application.MainForm() == this) Application.Terminate();
}

void TForm::SetBorder(Border border) {
    const DWORD visible = GetWindowLongA(handle_, GWL_STYLE) & WS_VISIBLE;
    SetWindowLongA(handle_, GWL_STYLE, (border == Border::None ? kStyleNone : kStyleSingle) | visible);
    SetWindowPos(handle_, nullptr, 0, 0, 0, 0,
                 SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TForm::SetCaption(const std::string& caption) { SetWindowTextA(handle_, caption.c_str()); }

void TForm::SetBounds(int left, int top, int width, int height) {
    SetWindowPos(handle_, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

SIZE TForm::OuterSizeForClient(int clientWidth, int clientHeight) const {
    RECT rect{0, 0, clientWidth, clientHeight};
    AdjustWindowRectEx(&rect, static_cast<DWORD>(GetWindowLongA(handle_, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongA(handle_, GWL_EXSTYLE)));
    return {rect.right - rect.left, rect.bottom - rect.top};
}

RECT TForm::WindowRect() const {
    RECT rect{};
    GetWindowRect(handle_, &rect);
    return rect;
}

SIZE TForm::ClientSize() const {
    RECT rect{};
    GetClientRect(handle_, &rect);
    return {rect.right - rect.left, rect.bottom - rect.top};
}

void TForm::OnTimerMessage(UINT_PTR id) {
    for (TTimer* timer : timers_)
        if (timer->Id() == id) {
            timer->Tick();
            return;
        }
}

LRESULT CALLBACK TForm::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* form = reinterpret_cast<TForm*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (!form) return DefWindowProcA(hwnd, message, wParam, lParam);
    // The handlers are guarded one by one; this is the last net before the
    // exception would unwind through user32's frames.
    try {
        return form->HandleMessage(message, wParam, lParam);
    } catch (...) {
        Application.HandleException(std::current_exception());
        return 0;
    }
}

LRESULT TForm::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_TIMER:
            OnTimerMessage(wParam);
            return 0;
        case WM_KEYDOWN:
            Guarded([&] { DoKeyDown(wParam); });
            return 0;
        case WM_SYSKEYDOWN:
            Guarded([&] { DoKeyDown(wParam); });
            break;  // Alt+F4 and the system menu keys still work
        case WM_MOUSEMOVE:
            Guarded([&] { DoMouseMove(); });
            return 0;
        case WM_CLOSE:
            Close();
            return 0;
        case WM_ERASEBKGND:
            if (PaintsItself()) return 1;
            break;
        case WM_PAINT: {
            PAINTSTRUCT paint;
            HDC dc = BeginPaint(handle_, &paint);
            Guarded([&] { DoPaint(dc, paint.rcPaint); });
            EndPaint(handle_, &paint);
            return 0;
        }
    }
    return DefWindowProcA(handle_, message, wParam, lParam);
}

}  // namespace nivora::win32
