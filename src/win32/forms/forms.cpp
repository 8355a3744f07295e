#include "forms.h"

#include <algorithm>
#include <stdexcept>

namespace nivora::win32 {

std::string ErrorBoxText(const std::string& message) {
    if (!message.empty() && static_cast<unsigned char>(message.back()) > static_cast<unsigned char>('.'))
        return message + '.';
    return message;
}

namespace {

ErrorVerdict PlainVerdict(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return {e.what(), false};
    } catch (...) {
        return {"Unknown error", false};
    }
}

}  // namespace

TApplication::~TApplication() {
    if (!Window()) return;
    Detach();
    DestroyWindow(Window());
}

void TApplication::FormCreated(TForm& form) {
    if (!mainForm_) mainForm_ = &form;
}

void TApplication::HandleException(std::exception_ptr error) noexcept {
    ErrorVerdict verdict;
    try {
        verdict = ReadError ? ReadError(error) : PlainVerdict(error);
    } catch (...) {
        verdict = PlainVerdict(error);
    }
    ShowException(verdict.message);
    if (verdict.endProgram) Terminate();  // through the message loop
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

void AnswerSentMessages() {
    MSG message;
    PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
}

void TApplication::Run() {
    if (!mainForm_) return;
    ShowHandle();
    AnswerSentMessages();
    mainForm_->Show();
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (TForm* form = TForm::FromHandle(GetAncestor(message.hwnd, GA_ROOT)))
            if (form->PreTranslateMessage(message)) continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

HWND TApplication::Handle() {
    if (Window()) return Window();
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = &TApplication::WindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hIcon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(1));
    windowClass.lpszClassName = "TApplication";
    RegisterClassA(&windowClass);
    // A popup with the application-window style is listed like any top-level
    // window; with no size it shows nothing. It sits at the screen's centre,
    // which the saver window covers in either mode.
    return Create(WS_EX_APPWINDOW, "TApplication", Title.c_str(), WS_POPUP, GetSystemMetrics(SM_CXSCREEN) / 2,
                  GetSystemMetrics(SM_CYSCREEN) / 2, 0, 0, nullptr);
}

void TApplication::ShowHandle() {
    if (!Window()) return;
    SetWindowTextA(Window(), Title.c_str());
    ShowWindow(Window(), SW_SHOWNA);
}

void TApplication::FormGone(TForm& form) {
    if (activeForm_ == &form) activeForm_ = nullptr;
    if (mainForm_ == &form) mainForm_ = nullptr;
}

LRESULT TApplication::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_ACTIVATE && LOWORD(wParam) != WA_INACTIVE) {
        TForm* form = activeForm_ ? activeForm_ : mainForm_;
        if (form && IsWindowVisible(form->Handle())) {
            SetActiveWindow(form->Handle());
            return 0;
        }
    }
    if (message == WM_CLOSE) {  // Alt-F4 or "Close window" on the task-bar entry
        if (mainForm_) mainForm_->Close();
        return 0;
    }
    return DefWindowProcA(Window(), message, wParam, lParam);
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
    owner_.Application.Guarded(OnTimer);
}

// ---------------------------------------------------------------- forms

namespace {

void RegisterFormClass(const char* className, COLORREF background, WNDPROC windowProc) {
    WNDCLASSA windowClass{};
    if (GetClassInfoA(GetModuleHandleA(nullptr), className, &windowClass)) return;  // the first form of its class did
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    windowClass.hIcon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(1));
    windowClass.hbrBackground = CreateSolidBrush(background);
    windowClass.lpszClassName = className;
    RegisterClassA(&windowClass);
}

constexpr DWORD kStyleNone = WS_POPUP | WS_CLIPCHILDREN;
constexpr DWORD kStyleSingle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;

}  // namespace

TForm::TForm(TApplication& application, const char* className, COLORREF background) : Application(application) {
    RegisterFormClass(className, background, &TForm::WindowProc);
    // The creation's messages reach this form while it is only a TForm: its
    // own handling, not yet the derived form's (which does not exist yet).
    if (!Create(0, className, "", kStyleNone, 0, 0, 0, 0, Application.Handle()))
        throw std::runtime_error("Cannot create window");
}

TForm::~TForm() {
    Application.FormGone(*this);
    for (TTimer* timer : timers_) KillTimer(Handle(), timer->Id());
    if (Handle()) {
        Detach();
        DestroyWindow(Handle());
    }
}

void TForm::CreationComplete() { Application.FormCreated(*this); }

void TForm::Show() {
    closed_ = false;
    if (ShowsActive()) {
        ShowWindow(Handle(), SW_SHOW);
        SetForegroundWindow(Handle());
    } else {
        ShowWindow(Handle(), SW_SHOWNA);
    }
    AnswerSentMessages();
    UpdateWindow(Handle());
}

void TForm::Hide() { ShowWindow(Handle(), SW_HIDE); }

void TForm::Close() {
    // Several input messages may be queued behind the one that closed us.
    if (closed_) return;
    closed_ = true;
    Application.Guarded([this] { DoClose(); });
    // Off the screen at once, also the main window: the process may take a
    // moment longer to end (threads stopped, libraries unloaded), and a saver
    // that a key has ended must not stay in view meanwhile.
    Hide();
    if (Application.MainForm() == this) Application.Terminate();
}

void TForm::SetBorder(Border border) {
    const DWORD visible = GetWindowLongA(Handle(), GWL_STYLE) & WS_VISIBLE;
    SetWindowLongA(Handle(), GWL_STYLE, (border == Border::None ? kStyleNone : kStyleSingle) | visible);
    SetWindowPos(Handle(), nullptr, 0, 0, 0, 0,
                 SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TForm::SetCaption(const std::string& caption) { SetWindowTextA(Handle(), caption.c_str()); }

void TForm::SetBounds(int left, int top, int width, int height) {
    SetWindowPos(Handle(), nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

namespace {

// Per-window DPI calls exist from Windows 10 1607 on; looked up at run time
// so that the program still starts on older systems.
using GetDpiForWindowCall = UINT(WINAPI*)(HWND);
using AdjustWindowRectExForDpiCall = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);

template <class Call>
Call User32Call(const char* name) {
    return reinterpret_cast<Call>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), name)));
}

}  // namespace

UINT TForm::Dpi() const {
    static const auto getDpiForWindow = User32Call<GetDpiForWindowCall>("GetDpiForWindow");
    if (getDpiForWindow) {
        if (const UINT dpi = getDpiForWindow(Handle())) return dpi;
    }
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

SIZE TForm::OuterSizeForClient(int clientWidth, int clientHeight) const {
    static const auto adjustForDpi = User32Call<AdjustWindowRectExForDpiCall>("AdjustWindowRectExForDpi");
    RECT rect{0, 0, clientWidth, clientHeight};
    const auto style = static_cast<DWORD>(GetWindowLongA(Handle(), GWL_STYLE));
    const auto exStyle = static_cast<DWORD>(GetWindowLongA(Handle(), GWL_EXSTYLE));
    if (!adjustForDpi || !adjustForDpi(&rect, style, FALSE, exStyle, Dpi()))
        AdjustWindowRectEx(&rect, style, FALSE, exStyle);
    return {rect.right - rect.left, rect.bottom - rect.top};
}

RECT TForm::WindowRect() const {
    RECT rect{};
    GetWindowRect(Handle(), &rect);
    return rect;
}

SIZE TForm::ClientSize() const {
    RECT rect{};
    GetClientRect(Handle(), &rect);
    return {rect.right - rect.left, rect.bottom - rect.top};
}

void TForm::OnTimerMessage(UINT_PTR id) {
    for (TTimer* timer : timers_)
        if (timer->Id() == id) {
            timer->Tick();
            return;
        }
}

LRESULT TForm::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    // The handlers are guarded one by one; this catches what falls between.
    try {
        return Respond(message, wParam, lParam);
    } catch (...) {
        Application.HandleException(std::current_exception());
        return 0;
    }
}

LRESULT TForm::Respond(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (DoMessage(message, wParam, lParam, result)) return result;
    switch (message) {
        case WM_ACTIVATE:
            if (LOWORD(wParam) != WA_INACTIVE) Application.FormActivated(*this);
            break;
        case WM_TIMER:
            OnTimerMessage(wParam);
            return 0;
        case WM_KEYDOWN:
            Application.Guarded([&] { DoKeyDown(wParam); });
            return 0;
        case WM_SYSKEYDOWN:
            Application.Guarded([&] { DoKeyDown(wParam); });
            break;  // Alt+F4 and the system menu keys still work
        case WM_MOUSEMOVE:
            Application.Guarded([&] { DoMouseMove(); });
            return 0;
        case WM_CLOSE:
            Close();
            return 0;
        case WM_DISPLAYCHANGE:
            Application.Guarded([&] { DoDisplayChange(); });
            break;
        case WM_ERASEBKGND:
            if (PaintsItself()) return 1;
            break;
        case WM_PAINT: {
            PAINTSTRUCT paint;
            HDC dc = BeginPaint(Handle(), &paint);
            Application.Guarded([&] { DoPaint(dc, paint.rcPaint); });
            EndPaint(Handle(), &paint);
            return 0;
        }
    }
    return DefWindowProcA(Handle(), message, wParam, lParam);
}

}  // namespace nivora::win32
