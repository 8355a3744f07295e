#include "win32/Unit2.h"

#include "engine/pictures/generator_counts.h"

namespace nivora::win32 {

namespace {

const FontChoice kWindowFont{"MS Sans Serif", 11, false};
const FontChoice kBoldArial13{"Arial", 13, true};
const FontChoice kBoldArial11{"Arial", 11, true};

// The controls take 426 x 145 pixels inside an inner border of 8 on every
// side; positions are at 96 DPI within that area.
constexpr int kDesignWidth = 426, kDesignHeight = 145, kInnerBorder = 8;

constexpr RECT Box(int left, int top, int width, int height) { return {left, top, left + width, top + height}; }

constexpr UINT kActivate = WM_APP + 1;

}  // namespace

// What the panel's handlers touch: the controls, both windows' places, the
// saver window's timers and its closing.
class TForm2::Window : public SettingsWindow {
public:
    explicit Window(TForm2& form) : form_(form) {}

    int TrackBarPosition(TrackBarId bar) const override { return Bar(bar).Position(); }
    void SetTrackBarPosition(TrackBarId bar, int position) override { Bar(bar).SetPosition(position); }
    bool CheckBoxChecked(CheckBoxId box) const override { return Check(box).Checked(); }
    void SetCheckBoxChecked(CheckBoxId box, bool checked) override { Check(box).SetChecked(checked); }
    void SetStaticText(StaticTextId text, const std::string& caption) override {
        (text == StaticTextId::StaticText1 ? form_.StaticText1 : form_.StaticText4).SetText(caption);
    }
    WindowBounds Bounds() const override { return BoundsOf(form_); }
    WindowBounds SaverBounds() const override { return BoundsOf(*form_.Form1); }
    WindowBounds WorkArea() const override {
        MONITORINFO monitor{};
        monitor.cbSize = sizeof monitor;
        RECT r{};
        if (GetMonitorInfoA(MonitorFromWindow(form_.Form1->Handle(), MONITOR_DEFAULTTONEAREST), &monitor))
            r = monitor.rcWork;
        else
            SystemParametersInfoA(SPI_GETWORKAREA, 0, &r, 0);
        return {r.left, r.top, r.right - r.left, r.bottom - r.top};
    }
    void MoveTo(int left, int top) override { Move(form_, left, top); }
    void MoveSaverTo(int left, int top) override { Move(*form_.Form1, left, top); }
    void FollowCycle(const CycleAnswer& answer) override { form_.Form1->FollowCycle(answer); }
    void Close() override { form_.Close(); }
    void CloseSaver() override { form_.Form1->Close(); }

private:
    static void Move(const TForm& form, int left, int top) {
        SetWindowPos(form.Handle(), nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    static WindowBounds BoundsOf(const TForm& form) {
        const RECT r = form.WindowRect();
        return {r.left, r.top, r.right - r.left, r.bottom - r.top};
    }
    TTrackBar& Bar(TrackBarId bar) const {
        switch (bar) {
            case TrackBarId::TrackBar1: return form_.TrackBar1;
            case TrackBarId::TrackBar2: return form_.TrackBar2;
            case TrackBarId::TrackBar3: return form_.TrackBar3;
            case TrackBarId::TrackBar4: break;
        }
        return form_.TrackBar4;
    }
    TCheckBox& Check(CheckBoxId box) const {
        return box == CheckBoxId::CheckBox1 ? form_.CheckBox1 : form_.CheckBox2;
    }

    TForm2& form_;
};

TForm2::TForm2(TApplication& application, Registry& registry, DibDrawing& drawing)
    : TControlForm(application, "TForm2", RGB(192, 192, 192), kWindowFont),
      TrackBar1(*this, Box(0, 25, 200, 12), 1, kSnowflakeRules, 1),
      TrackBar2(*this, Box(0, 90, 200, 12), 0, kBackgroundRecipes, 1),
      TrackBar4(*this, Box(226, 25, 200, 12), 1, 20, 1),
      StaticText1(*this, Box(8, 0, 71, 20), "Snowflake", &kBoldArial13),
      StaticText2(*this, Box(8, 65, 80, 20), "Background", &kBoldArial13),
      StaticText4(*this, Box(232, 0, 73, 20), "Time show", &kBoldArial13),
      Button1(*this, Box(8, 120, 100, 25), "Save Settings", &kBoldArial13),
      Button2(*this, Box(346, 120, 75, 25), "Close", &kBoldArial13),
      CheckBox2(*this, Box(130, 0, 62, 17), "Random", &kBoldArial11),
      CheckBox1(*this, Box(130, 65, 62, 17), "Random", &kBoldArial11),
      TrackBar3(*this, Box(226, 90, 200, 12), 1, 20, 5),
      Label1(*this, Box(232, 65, 66, 16), "Brightness", &kBoldArial13),
      Timer2(*this, SettingsPanel::kTimer2IntervalMs, false) {
    SetCaption("Screensaver Settings");
    SetBorder(Border::Single);
    SetWindowLongA(Handle(), GWL_EXSTYLE, GetWindowLongA(Handle(), GWL_EXSTYLE) | WS_EX_TOPMOST);
    SetWindowPos(Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SetDesignClientSize(kDesignWidth, kDesignHeight, kInnerBorder);
    // Until the panel exists the controls' handlers have nothing to call.
    Application.Guarded([this, &registry, &drawing] { FormCreate(registry, drawing); });
    CreationComplete();
}

TForm2::~TForm2() { Timer2.SetEnabled(false); }

void TForm2::FormCreate(Registry& registry, DibDrawing& drawing) {
    // Windowed, half the screen, deaf to keys and mouse.
    Form1 = std::make_unique<TForm1>(Application, registry, SaverMode::Settings, PrimaryScreenSize(), drawing);
    // A saver window whose creation failed has been reported, and the
    // program is ending: there is no picture for the panel to change.
    if (!Form1->HasCycle()) return;

    window_ = std::make_unique<Window>(*this);
    panel_ = std::make_unique<SettingsPanel>(*window_, Form1->Cycle(), registry);
    TrackBar1.OnChange = [this] { panel_->TrackBar1Change(); };
    TrackBar2.OnChange = [this] { panel_->TrackBar2Change(); };
    TrackBar3.OnChange = [this] { panel_->TrackBar3Change(); };
    TrackBar4.OnChange = [this] { panel_->TrackBar4Change(); };
    CheckBox1.OnClick = [this] { panel_->CheckBox1Click(); };
    CheckBox2.OnClick = [this] { panel_->CheckBox2Click(); };
    Button1.OnClick = [this] { panel_->Button1Click(); };
    Button2.OnClick = [this] { panel_->Button2Click(); };
    Timer2.OnTimer = [this] {
        // A minimised pair is not placed: the window manager keeps it.
        if (KeepPairTogether()) panel_->Timer2Timer();
    };
    // Both can be minimised (also through the window manager, which Wine
    // follows only for a window with a minimise box), and go as one.
    for (HWND window : {Handle(), Form1->Handle()}) {
        SetWindowLongA(window, GWL_STYLE, GetWindowLongA(window, GWL_STYLE) | WS_MINIMIZEBOX);
        SetWindowPos(window, nullptr, 0, 0, 0, 0,
                     SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }

    panel_->FormCreate();
    Timer2.SetEnabled(true);
    Show();
    // The message loop shows the saver window next, as the main window but
    // not active (it takes no keys); the settings window asks for the
    // keyboard once more after that.
    PostMessageA(Handle(), kActivate, 0, 0);
}

// The glued pair is minimised and restored as one: when either of them
// changed, the other follows. True when neither is minimised.
bool TForm2::KeepPairTogether() {
    const bool settings = IsIconic(Handle()) != FALSE, saver = IsIconic(Form1->Handle()) != FALSE;
    if (settings != saver) {
        const bool settingsChanged = settings != settingsMinimised_;
        ShowWindow(settingsChanged ? Form1->Handle() : Handle(),
                   (settingsChanged ? settings : saver) ? SW_SHOWMINNOACTIVE : SW_SHOWNOACTIVATE);
    }
    const bool minimised = IsIconic(Handle()) || IsIconic(Form1->Handle());
    // Back on the screen, the pair gives the keyboard to the settings window
    // again, whichever window the system activated.
    if (pairMinimised_ && !minimised) SetForegroundWindow(Handle());
    settingsMinimised_ = IsIconic(Handle()) != FALSE;
    pairMinimised_ = minimised;
    return !minimised;
}

void TForm2::DoKeyDown(WPARAM key) {
    if (panel_) panel_->FormKeyDown(static_cast<int>(key));
}

void TForm2::DoClose() {
    Timer2.SetEnabled(false);
    if (panel_) panel_->FormClose();
}

bool TForm2::DoMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (message == kActivate) {
        SetForegroundWindow(Handle());
        return true;
    }
    return TControlForm::DoMessage(message, wParam, lParam, result);
}

}  // namespace nivora::win32
