// The settings window: four sliders and two check boxes that change the
// settings of the half-screen saver window above it, which shows every change
// at once; "Save Settings" stores them, "Close" or Escape ends the program.
// Its creation creates the saver window (which thereby becomes the main
// window) and places itself under it; Timer2 keeps it there and keeps the
// first two sliders on the numbers of the picture on screen. The handlers'
// rules live in the engine's SettingsPanel; this file wires real controls to it.
#pragma once

#include <memory>

#include "host/registry.h"
#include "host/settings_panel.h"
#include "win32/Unit1.h"
#include "win32/forms/controls.h"

namespace nivora::win32 {

class TForm2 : public TControlForm {
public:
    // The saver window's pictures are drawn with `drawing`.
    TForm2(TApplication& application, Registry& registry, DibDrawing& drawing);
    ~TForm2() override;

    // Declared, and so created, in the tab order; the static texts and the
    // label take no focus.
    TTrackBar TrackBar1;  // Algorithm
    TTrackBar TrackBar2;  // Background
    TTrackBar TrackBar4;  // TimeShow
    TStaticText StaticText1;
    TStaticText StaticText2;
    TStaticText StaticText4;
    TButton Button1;
    TButton Button2;
    TCheckBox CheckBox2;  // RandsAlgorithm
    TCheckBox CheckBox1;  // BackgroundRands
    TTrackBar TrackBar3;  // Brightness
    TStaticText Label1;
    TTimer Timer2;  // 30 ms: placement under the saver window, slider sync

private:
    class Window;
    void FormCreate(Registry& registry, DibDrawing& drawing);
    void DoKeyDown(WPARAM key) override;
    void DoClose() override;
    bool DoMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    bool KeepPairTogether();

    // The saver window this one changes; it is the main window, since its
    // creation completes first.
    std::unique_ptr<TForm1> Form1;
    std::unique_ptr<Window> window_;
    std::unique_ptr<SettingsPanel> panel_;
    // As the last look at the pair found them.
    bool settingsMinimised_ = false;
    bool pairMinimised_ = false;
};

}  // namespace nivora::win32
