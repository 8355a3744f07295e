#include "controls.h"

#include <commctrl.h>

#include <algorithm>

#include "control_rules.h"

namespace nivora::win32 {

namespace {

void InitControls() {
    static const bool done = [] {
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
        return InitCommonControlsEx(&controls) != FALSE;
    }();
    (void)done;
}

}  // namespace

// ---------------------------------------------------------------- controls

TControl::TControl(TControlForm& form, const char* className, const std::string& text, DWORD style,
                   const RECT& design, const FontChoice* font)
    : form_(form), design_(design), font_(font) {
    handle_ = CreateWindowExA(0, className, text.c_str(), WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, form.Handle(),
                              nullptr, GetModuleHandleA(nullptr), nullptr);
    form.Add(*this);
}

std::string TControl::Text() const {
    std::string text(static_cast<std::size_t>(GetWindowTextLengthA(handle_)) + 1, '\0');
    text.resize(static_cast<std::size_t>(GetWindowTextA(handle_, text.data(), static_cast<int>(text.size()))));
    return text;
}

void TControl::SetText(const std::string& text) {
    if (Text() == text) return;
    SetWindowTextA(handle_, text.c_str());
    if (AutoWidth) form_.Layout(*this);
}

TTrackBar::TTrackBar(TControlForm& form, const RECT& design, int min, int max, int position)
    : TControl(form, TRACKBAR_CLASSA, "", TBS_HORZ | TBS_AUTOTICKS | TBS_BOTTOM | WS_TABSTOP, design, nullptr),
      min_(min), max_(max), position_(std::clamp(position, min, max)) {
    SendMessageA(handle_, TBM_SETRANGEMIN, FALSE, min_);
    SendMessageA(handle_, TBM_SETRANGEMAX, FALSE, max_);
    SendMessageA(handle_, TBM_SETTICFREQ, 1, 0);
    SendMessageA(handle_, TBM_SETLINESIZE, 0, 1);
    SendMessageA(handle_, TBM_SETPAGESIZE, 0, 2);
    SendMessageA(handle_, TBM_SETPOS, TRUE, position_);
}

void TTrackBar::SetPosition(int position) {
    if (!SetSliderPosition(min_, max_, position_, position)) return;
    SendMessageA(handle_, TBM_SETPOS, TRUE, position_);
    if (OnChange) form_.Application.Guarded(OnChange);
}

void TTrackBar::Notify(UINT message, WPARAM /*wParam*/) {
    if (message != WM_HSCROLL) return;
    position_ = static_cast<int>(SendMessageA(handle_, TBM_GETPOS, 0, 0));
    if (OnChange) form_.Application.Guarded(OnChange);
}

TCheckBox::TCheckBox(TControlForm& form, const RECT& design, const std::string& caption, const FontChoice* font)
    : TControl(form, "BUTTON", caption, BS_AUTOCHECKBOX | BS_LEFTTEXT | WS_TABSTOP, design, font) {}

bool TCheckBox::Checked() const { return SendMessageA(handle_, BM_GETCHECK, 0, 0) == BST_CHECKED; }

void TCheckBox::SetChecked(bool checked) {
    bool state = Checked();
    if (!SetCheckBoxState(state, checked)) return;
    SendMessageA(handle_, BM_SETCHECK, state ? BST_CHECKED : BST_UNCHECKED, 0);
    if (OnClick) form_.Application.Guarded(OnClick);
}

void TCheckBox::Notify(UINT message, WPARAM wParam) {
    if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED && OnClick) form_.Application.Guarded(OnClick);
}

TButton::TButton(TControlForm& form, const RECT& design, const std::string& caption, const FontChoice* font)
    : TControl(form, "BUTTON", caption, BS_PUSHBUTTON | WS_TABSTOP, design, font) {}

void TButton::Notify(UINT message, WPARAM wParam) {
    if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED && OnClick) form_.Application.Guarded(OnClick);
}

TStaticText::TStaticText(TControlForm& form, const RECT& design, const std::string& caption, const FontChoice* font)
    : TControl(form, "STATIC", caption, SS_LEFTNOWORDWRAP | SS_NOPREFIX, design, font) {
    HandCursor = false;
    AutoWidth = true;
    form.Layout(*this);
}

// ---------------------------------------------------------------- the form

TControlForm::TControlForm(TApplication& application, const char* className, COLORREF background, FontChoice font)
    : TForm(application, className, background), background_(background), backgroundBrush_(CreateSolidBrush(background)),
      font_(font) {
    InitControls();
    // Tab and the arrow keys move between the controls as in a dialog.
    SetWindowLongA(Handle(), GWL_EXSTYLE, GetWindowLongA(Handle(), GWL_EXSTYLE) | WS_EX_CONTROLPARENT);
    dpi_ = Dpi();
}

TControlForm::~TControlForm() {
    for (auto& [choice, font] : fonts_) DeleteObject(font);
    DeleteObject(backgroundBrush_);
}

int TControlForm::Scaled(int pixels) const { return MulDiv(pixels, static_cast<int>(dpi_), 96); }

void TControlForm::Add(TControl& control) {
    controls_.push_back(&control);
    Layout(control);
}

HFONT TControlForm::FontFor(const FontChoice* choice) {
    for (auto& [known, font] : fonts_)
        if (known == choice) return font;
    const FontChoice& wanted = choice ? *choice : font_;
    // A negative height asks for the character height, without the leading.
    HFONT font = CreateFontA(-Scaled(wanted.height), 0, 0, 0, wanted.bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                             DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                             DEFAULT_PITCH | FF_DONTCARE, wanted.name);
    fonts_.emplace_back(choice, font);
    return font;
}

void TControlForm::Layout(TControl& control) {
    const RECT& r = control.design_;
    HFONT font = FontFor(control.font_);
    int width = Scaled(r.right - r.left);
    if (control.AutoWidth) {
        const std::string text = control.Text();
        HDC dc = GetDC(control.handle_);
        HGDIOBJ old = SelectObject(dc, font);
        SIZE extent{};
        GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &extent);
        SelectObject(dc, old);
        ReleaseDC(control.handle_, dc);
        width = extent.cx;
    }
    SetWindowPos(control.handle_, nullptr, Scaled(innerBorder_ + r.left), Scaled(innerBorder_ + r.top), width,
                 Scaled(r.bottom - r.top), SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageA(control.handle_, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

void TControlForm::SetDesignClientSize(int width, int height, int innerBorder) {
    designClient_ = {width, height};
    innerBorder_ = innerBorder;
    ApplyDpi(dpi_);
}

void TControlForm::ApplyDpi(UINT dpi) {
    dpi_ = dpi;
    for (auto& [choice, font] : fonts_) DeleteObject(font);
    fonts_.clear();
    for (TControl* control : controls_) Layout(*control);
    const SIZE outer = OuterSizeForClient(Scaled(designClient_.cx + 2 * innerBorder_),
                                          Scaled(designClient_.cy + 2 * innerBorder_));
    SetWindowPos(Handle(), nullptr, 0, 0, outer.cx, outer.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TControlForm::FocusFirstControl() {
    for (TControl* control : controls_)
        if (GetWindowLongA(control->Handle(), GWL_STYLE) & WS_TABSTOP) {
            SetFocus(control->Handle());
            return;
        }
}

TControl* TControlForm::ControlOf(HWND window) const {
    for (TControl* control : controls_)
        if (control->Handle() == window) return control;
    return nullptr;
}

bool TControlForm::DoMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (message) {
        case WM_HSCROLL:
        case WM_COMMAND:
            if (TControl* control = ControlOf(reinterpret_cast<HWND>(lParam))) {
                control->Notify(message, wParam);
                return true;
            }
            return false;
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN: {
            HDC dc = reinterpret_cast<HDC>(wParam);
            SetBkColor(dc, background_);
            SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
            result = reinterpret_cast<LRESULT>(backgroundBrush_);
            return true;
        }
        case WM_SETCURSOR: {
            TControl* control = ControlOf(reinterpret_cast<HWND>(wParam));
            if (!control || !control->HandCursor || LOWORD(lParam) != HTCLIENT) return false;
            SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_HAND)));
            result = TRUE;
            return true;
        }
        case WM_DPICHANGED: {
            const auto* suggested = reinterpret_cast<const RECT*>(lParam);
            SetWindowPos(Handle(), nullptr, suggested->left, suggested->top, 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            ApplyDpi(LOWORD(wParam));
            return true;
        }
        case WM_ACTIVATE:
            if (LOWORD(wParam) == WA_INACTIVE) {
                HWND focus = GetFocus();
                if (focus && IsChild(Handle(), focus)) focused_ = focus;
            }
            return false;
        case WM_SETFOCUS:
            // The form itself takes no keys: its focus goes to a control.
            if (focused_ && IsWindow(focused_))
                SetFocus(focused_);
            else
                FocusFirstControl();
            return true;
    }
    return false;
}

bool TControlForm::PreTranslateMessage(MSG& message) {
    if (message.message == WM_KEYDOWN) {
        // Key preview: the form's handler first, whichever control has the focus.
        const WPARAM key = message.wParam;
        Application.Guarded([&] { DoKeyDown(key); });
        if (!IsWindowVisible(Handle())) return true;  // the key closed the form
        if (message.hwnd == Handle()) return true;
    }
    return IsDialogMessageA(Handle(), &message) != FALSE;
}

}  // namespace nivora::win32
