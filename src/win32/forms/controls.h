// Child controls on a form, created in code from a layout given in pixels at
// 96 DPI and scaled by the form's DPI: sliders (msctls_trackbar32), check
// boxes, push buttons and static texts. They keep the rules that the settings
// window's handlers were written against:
// - a slider's position set from code is clamped to its range and runs the
//   change handler only when it differs (TBM_SETPOS notifies nobody, so the
//   control calls the handler itself); every scroll notification from the
//   user runs it, also one that left the position as it was;
// - a check box's state set from code runs its click handler when it changes.
// A TControlForm hosts them: it routes their notifications, paints them on
// its own background colour, gives them the hand cursor, previews their key
// presses (the form's key handler sees a key before the focused control),
// moves the focus with Tab in creation order, and lays them out again when
// its DPI changes.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "forms.h"

namespace nivora::win32 {

class TControlForm;

// A font by name and character height in pixels at 96 DPI.
struct FontChoice {
    const char* name = "MS Sans Serif";
    int height = 11;
    bool bold = false;
};

class TControl {
public:
    virtual ~TControl() = default;
    TControl(const TControl&) = delete;
    TControl& operator=(const TControl&) = delete;

    HWND Handle() const { return handle_; }
    const RECT& DesignRect() const { return design_; }  // in the form's client area at 96 DPI
    std::string Text() const;
    // Sets the text when it differs (a timer may set the same text often).
    void SetText(const std::string& text);
    bool HandCursor = true;
    // The width follows the text (static texts), so a longer caption is
    // neither wrapped nor cut.
    bool AutoWidth = false;

protected:
    TControl(TControlForm& form, const char* className, const std::string& text, DWORD style, const RECT& design,
             const FontChoice* font);
    friend class TControlForm;
    // WM_HSCROLL or WM_COMMAND from this control.
    virtual void Notify(UINT /*message*/, WPARAM /*wParam*/) {}

    TControlForm& form_;
    HWND handle_ = nullptr;
    RECT design_;
    const FontChoice* font_;  // nullptr: the form's font
};

class TTrackBar : public TControl {
public:
    // Horizontal, a tick at every step below the track; the arrow keys move
    // the thumb by 1, the page keys by 2.
    TTrackBar(TControlForm& form, const RECT& design, int min, int max, int position);

    std::function<void()> OnChange;
    int Min() const { return min_; }
    int Max() const { return max_; }
    int Position() const { return position_; }
    void SetPosition(int position);

private:
    void Notify(UINT message, WPARAM wParam) override;
    int min_, max_, position_;
};

class TCheckBox : public TControl {
public:
    // The caption stands left of the box.
    TCheckBox(TControlForm& form, const RECT& design, const std::string& caption, const FontChoice* font);

    std::function<void()> OnClick;
    bool Checked() const;
    void SetChecked(bool checked);

private:
    void Notify(UINT message, WPARAM wParam) override;
};

class TButton : public TControl {
public:
    TButton(TControlForm& form, const RECT& design, const std::string& caption, const FontChoice* font);
    std::function<void()> OnClick;

private:
    void Notify(UINT message, WPARAM wParam) override;
};

class TStaticText : public TControl {
public:
    TStaticText(TControlForm& form, const RECT& design, const std::string& caption, const FontChoice* font);
};

class TControlForm : public TForm {
public:
    ~TControlForm() override;

    // Client size inside the inner border and the border, at 96 DPI.
    void SetDesignClientSize(int width, int height, int innerBorder);
    // Pixels at 96 DPI to pixels at the form's DPI.
    int Scaled(int pixels) const;
    UINT CurrentDpi() const { return dpi_; }
    // The first control that takes the focus.
    void FocusFirstControl();

protected:
    TControlForm(TApplication& application, const char* className, COLORREF background, FontChoice font);
    bool DoMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    bool PreTranslateMessage(MSG& message) override;

private:
    friend class TControl;
    friend class TStaticText;
    void Add(TControl& control);
    void ApplyDpi(UINT dpi);
    void Layout(TControl& control);
    HFONT FontFor(const FontChoice* choice);
    TControl* ControlOf(HWND window) const;

    COLORREF background_;
    HBRUSH backgroundBrush_;
    FontChoice font_;
    UINT dpi_ = 96;
    SIZE designClient_{0, 0};
    int innerBorder_ = 0;
    std::vector<TControl*> controls_;
    std::vector<std::pair<const FontChoice*, HFONT>> fonts_;
    HWND focused_ = nullptr;  // given back when the form is activated again
};

}  // namespace nivora::win32
