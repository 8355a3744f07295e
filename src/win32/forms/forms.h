// A thin forms layer over user32 that emulates the behaviours of the forms
// framework the windows were written against, just what they need:
// the application object (title, main window, general error handler, message
// loop), top-level forms with one small handler per message, and message-loop
// timers with the semantics the picture cycle was written against.
// It knows nothing of the pictures: the program tells the application object
// what an exception means (its text, and whether the program ends).
#pragma once

#include <windows.h>

#include <exception>
#include <functional>
#include <string>
#include <vector>

#include "window_object.h"

namespace nivora::win32 {

class TForm;

// The text of the general error handler's box: a full stop is appended only
// when the message's last character sorts after '.'.
std::string ErrorBoxText(const std::string& message);

// What the general error handler does with an exception: the message of its
// box, and whether the program ends after it.
struct ErrorVerdict {
    std::string message;
    bool endProgram = false;
};

class TApplication : public WindowObject<TApplication> {
public:
    TApplication() = default;
    ~TApplication();
    TApplication(const TApplication&) = delete;
    TApplication& operator=(const TApplication&) = delete;

    std::string Title;

    // The first form whose creation completes.
    TForm* MainForm() const { return mainForm_; }
    void FormCreated(TForm& form);

    // The general error handler: a stop box with the title as caption, and
    // the end of the message loop when the verdict says so. ReadError is the
    // program's reading of an exception; without one (or when it fails) a
    // std::exception's what() is shown and the program goes on. Tests replace
    // OnException to see the text instead of the box.
    void HandleException(std::exception_ptr error) noexcept;
    void ShowException(const std::string& message) noexcept;
    std::function<ErrorVerdict(std::exception_ptr)> ReadError;
    std::function<void(const std::string&)> OnException;

    // Runs a handler so that no exception unwinds into the system: whatever
    // it throws goes to the general handler and the message loop carries on.
    template <class Handler>
    void Guarded(Handler&& handler) noexcept {
        try {
            handler();
        } catch (...) {
            HandleException(std::current_exception());
        }
    }

    // Shows the main form and dispatches messages until Terminate; returns at
    // once when there is no main form.
    void Run();
    void Terminate() { PostQuitMessage(0); }

    // The application's own window: it owns every form, so that the forms
    // share one task-bar and Alt-Tab entry, which carries the title. It is
    // visible but has no size, under the forms it owns; activating it (from
    // the task bar) activates the form that was active last.
    HWND Handle();
    void FormActivated(TForm& form) { activeForm_ = &form; }
    void FormGone(TForm& form);

private:
    friend class WindowObject<TApplication>;
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void ShowHandle();

    TForm* mainForm_ = nullptr;
    TForm* activeForm_ = nullptr;
};

// Answers the messages other threads and processes have sent to this
// thread's windows, and leaves the queue as it is. Between the steps of a
// window's creation, so that a new window answers while it is being set up
// and shown.
void AnswerSentMessages();

// A message-loop timer. Interval 0 never fires (SetTimer would turn 0 into
// about 10 ms); a new interval on an enabled timer starts its period again;
// a disabled timer delivers no tick, not even one already pending.
class TTimer {
public:
    TTimer(TForm& owner, UINT interval, bool enabled);
    ~TTimer();
    TTimer(const TTimer&) = delete;
    TTimer& operator=(const TTimer&) = delete;

    std::function<void()> OnTimer;

    UINT Interval() const { return interval_; }
    void SetInterval(UINT interval);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);

    UINT_PTR Id() const { return id_; }
    void Tick();  // from the owner's WM_TIMER

private:
    void Update();

    TForm& owner_;
    UINT_PTR id_;
    UINT interval_;
    bool enabled_;
};

// A top-level window. The window exists (hidden) from construction on, so
// that the derived form's creation code can place it and start its timers.
class TForm : public WindowObject<TForm> {
public:
    virtual ~TForm();
    TForm(const TForm&) = delete;
    TForm& operator=(const TForm&) = delete;

    // The application the form belongs to; it outlives the form.
    TApplication& Application;

    HWND Handle() const { return Window(); }
    // The form a window belongs to, or nullptr.
    static TForm* FromHandle(HWND window) { return FromWindow(window); }
    void Show();
    void Hide();
    // Runs the close handler and hides the form; closing the main form also
    // ends the message loop.
    void Close();

    // Border and caption: none (a bare popup) or single (caption with the
    // system menu only, not resizable).
    enum class Border { None, Single };
    void SetBorder(Border border);
    void SetCaption(const std::string& caption);
    void SetBounds(int left, int top, int width, int height);
    // Outer size for a wanted client size under the current border, with the
    // border sizes of the window's DPI where the system tells them.
    SIZE OuterSizeForClient(int clientWidth, int clientHeight) const;
    // The window's DPI (96 where the system has no per-window DPI).
    UINT Dpi() const;
    RECT WindowRect() const;
    SIZE ClientSize() const;

protected:
    TForm(TApplication& application, const char* className, COLORREF background);
    // Called at the end of the derived constructor: the main-window rule.
    void CreationComplete();

    virtual void DoClose() {}
    virtual void DoKeyDown(WPARAM /*key*/) {}
    virtual void DoMouseMove() {}
    // A form that paints every pixel of what it is asked to paint: its
    // background is never erased first, so nothing flashes grey.
    virtual bool PaintsItself() const { return false; }
    virtual void DoPaint(HDC /*dc*/, const RECT& /*area*/) {}
    virtual void DoDisplayChange() {}
    // Whether Show also activates the form; one that takes no keys need not.
    virtual bool ShowsActive() const { return true; }
    // A message the derived form handles before the ones above; true when it
    // did, with the message's result.
    virtual bool DoMessage(UINT /*message*/, WPARAM /*wParam*/, LPARAM /*lParam*/, LRESULT& /*result*/) {
        return false;
    }
    // A queued message for this form or one of its child windows, before it
    // is dispatched; true when it is used up.
    virtual bool PreTranslateMessage(MSG& /*message*/) { return false; }

private:
    friend class TApplication;
    friend class TTimer;
    friend class WindowObject<TForm>;
    // Every message of the window, from WM_NCCREATE on: the last net before
    // an exception would unwind through user32's frames.
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Respond(UINT message, WPARAM wParam, LPARAM lParam);
    void OnTimerMessage(UINT_PTR id);

    bool closed_ = false;
    std::vector<TTimer*> timers_;
    UINT_PTR nextTimerId_ = 1;
};

}  // namespace nivora::win32
