// The controls under a real message queue, with the rules the settings
// window's handlers rely on: sliders clamp a position set from code and run
// their change handler only when it differs (TBM_SETPOS notifies nobody),
// every scroll notification from the user runs it; check boxes run their
// click handler when code changes their state; the form sees keys before the
// focused control; a DPI change lays the controls out again.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <vector>

#include "win32/forms/controls.h"
#include "messages.h"

namespace nivora::win32 {
namespace {

const FontChoice kBold13{"Arial", 13, true};

class PanelForm : public TControlForm {
public:
    explicit PanelForm(TApplication& application)
        : TControlForm(application, "TPanelForm", RGB(192, 192, 192), FontChoice{}),
          Bar(*this, {0, 25, 200, 37}, 1, 20, 1),
          Check(*this, {130, 0, 192, 17}, "Random", &kBold13),
          Text(*this, {8, 0, 79, 20}, "Snowflake", &kBold13) {
        SetDesignClientSize(426, 145, 8);
    }
    TTrackBar Bar;
    TCheckBox Check;
    TStaticText Text;
    std::vector<WPARAM> previewed;
    using TControlForm::PreTranslateMessage;

private:
    void DoKeyDown(WPARAM key) override { previewed.push_back(key); }
};

RECT ClientRectOf(HWND control) {
    RECT r{};
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

TEST(Controls, SliderPositionsFromCodeAndFromTheUser) {
    TApplication application;
    PanelForm form(application);
    std::vector<int> seen;
    form.Bar.OnChange = [&] { seen.push_back(form.Bar.Position()); };

    form.Bar.SetPosition(25);  // clamped to 20: a change
    form.Bar.SetPosition(20);  // no change
    form.Bar.SetPosition(-3);  // clamped to 1: a change
    Drain();                   // TBM_SETPOS queued no notification either
    EXPECT_EQ(seen, (std::vector<int>{20, 1}));
    EXPECT_EQ(SendMessageA(form.Bar.Handle(), TBM_GETPOS, 0, 0), 1);

    // The user's keys: a line is 1, a page 2; the release notifies too
    // (TB_ENDTRACK), with the position as it was, and the handler runs.
    seen.clear();
    SendMessageA(form.Bar.Handle(), WM_KEYDOWN, VK_RIGHT, 0);
    SendMessageA(form.Bar.Handle(), WM_KEYUP, VK_RIGHT, 0);
    SendMessageA(form.Bar.Handle(), WM_KEYDOWN, VK_NEXT, 0);
    EXPECT_EQ(seen, (std::vector<int>{2, 2, 4}));
    EXPECT_EQ(form.Bar.Position(), 4);
}

TEST(Controls, CheckBoxClicksFromCodeOnlyOnAChangeAndFromTheUserAlways) {
    TApplication application;
    PanelForm form(application);
    std::vector<bool> seen;
    form.Check.OnClick = [&] { seen.push_back(form.Check.Checked()); };
    form.Check.SetChecked(false);
    form.Check.SetChecked(true);
    form.Check.SetChecked(true);
    SendMessageA(form.Check.Handle(), BM_CLICK, 0, 0);
    EXPECT_EQ(seen, (std::vector<bool>{true, false}));
    EXPECT_TRUE(GetWindowLongA(form.Check.Handle(), GWL_STYLE) & BS_LEFTTEXT);
}

TEST(Controls, TheFormSeesAKeyBeforeTheFocusedSlider) {
    TApplication application;
    PanelForm form(application);
    form.Bar.SetPosition(10);
    std::vector<int> seen;
    form.Bar.OnChange = [&] { seen.push_back(form.Bar.Position()); };
    ShowWindow(form.Handle(), SW_SHOWNA);
    SetFocus(form.Bar.Handle());
    for (WPARAM key : {WPARAM{VK_ESCAPE}, WPARAM{VK_LEFT}}) {
        MSG message{form.Bar.Handle(), WM_KEYDOWN, key, 0, 0, {}};
        if (!form.PreTranslateMessage(message)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    EXPECT_EQ(form.previewed, (std::vector<WPARAM>{VK_ESCAPE, VK_LEFT}));
    EXPECT_EQ(seen, (std::vector<int>{9}));  // and the slider still took its key
}

TEST(Controls, ADpiChangeScalesLayoutFontsAndWindow) {
    TApplication application;
    PanelForm form(application);
    ASSERT_EQ(form.CurrentDpi(), 96u) << "the test expects Wine's default DPI";
    RECT bar = ClientRectOf(form.Bar.Handle());
    EXPECT_EQ(bar.left, 8);
    EXPECT_EQ(bar.top, 33);
    EXPECT_EQ(bar.right - bar.left, 200);
    EXPECT_EQ(form.ClientSize().cx, 442);
    EXPECT_EQ(form.ClientSize().cy, 161);
    const LONG narrow = ClientRectOf(form.Text.Handle()).right - ClientRectOf(form.Text.Handle()).left;

    RECT suggested{40, 30, 40 + 900, 30 + 400};
    SendMessageA(form.Handle(), WM_DPICHANGED, MAKEWPARAM(192, 192), reinterpret_cast<LPARAM>(&suggested));
    bar = ClientRectOf(form.Bar.Handle());
    EXPECT_EQ(bar.left, 16);
    EXPECT_EQ(bar.top, 66);
    EXPECT_EQ(bar.right - bar.left, 400);
    EXPECT_EQ(bar.bottom - bar.top, 24);
    EXPECT_EQ(form.ClientSize().cx, 884);
    EXPECT_EQ(form.ClientSize().cy, 322);
    EXPECT_EQ(form.WindowRect().left, 40);
    LOGFONTA font{};
    GetObjectA(reinterpret_cast<HFONT>(SendMessageA(form.Text.Handle(), WM_GETFONT, 0, 0)), sizeof font, &font);
    EXPECT_EQ(font.lfHeight, -26);
    EXPECT_EQ(font.lfWeight, FW_BOLD);
    // The static text's width follows its text in the larger font.
    const LONG wide = ClientRectOf(form.Text.Handle()).right - ClientRectOf(form.Text.Handle()).left;
    EXPECT_GE(wide, 2 * narrow - 4);
    EXPECT_LE(wide, 2 * narrow + 4);
}

}  // namespace
}  // namespace nivora::win32
