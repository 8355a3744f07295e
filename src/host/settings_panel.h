// The settings window's handlers, over the picture cycle of the saver window
// beside it. The window itself (real controls on Windows, a fake in tests)
// lends the panel the few things the handlers touch, and calls a handler for
// every event of its controls.
#pragma once

#include <cstdint>
#include <string>

#include "engine/cycle/picture_cycle.h"
#include "host/registry.h"

namespace nivora {

enum class TrackBarId { TrackBar1, TrackBar2, TrackBar3, TrackBar4 };
enum class CheckBoxId { CheckBox1, CheckBox2 };
enum class StaticTextId { StaticText1, StaticText4 };

struct WindowBounds {
    int left = 0, top = 0, width = 0, height = 0;
    int Right() const { return left + width; }
    int Bottom() const { return top + height; }
};

// Where the settings window goes: centred under the saver window (the
// halving truncates toward zero, also when the settings window is the wider
// one), two pixels below its lower edge. Both are outer sizes.
WindowBounds PlaceUnder(const WindowBounds& saver, const WindowBounds& own);

// The same place, kept inside the work area of the saver window's monitor:
// where it would leave the work area the settings window moves in, over the
// saver window's bottom if need be. When the work area is smaller than the
// window, its caption (the top-left corner) stays inside.
WindowBounds PlaceUnder(const WindowBounds& saver, const WindowBounds& own, const WindowBounds& workArea);

struct PairPlacement {
    WindowBounds saver, own;
};

// The two windows as they are first shown. The saver window sits a fifth of
// the screen down, which leaves no room for the settings window under it on
// a small screen: there the saver window goes up (not above the work area)
// until the settings window under it ends inside the work area, and what is
// still missing the settings window takes from the saver window's bottom.
PairPlacement PlacePair(const WindowBounds& saver, const WindowBounds& own, const WindowBounds& workArea);

std::string SnowflakeCaption(int algorithm);  // "Snowflake   N"
std::string TimeShowCaption(int seconds);     // "Time show   N sec"

// What the handlers use of the settings window and of the saver window.
class SettingsWindow {
public:
    virtual ~SettingsWindow() = default;

    virtual int TrackBarPosition(TrackBarId bar) const = 0;
    // Clamps `position` to the slider's range; when the result differs from
    // the current position the slider takes it and runs its change handler.
    virtual void SetTrackBarPosition(TrackBarId bar, int position) = 0;
    virtual bool CheckBoxChecked(CheckBoxId box) const = 0;
    // Runs the click handler when the state changes.
    virtual void SetCheckBoxChecked(CheckBoxId box, bool checked) = 0;
    virtual void SetStaticText(StaticTextId text, const std::string& caption) = 0;

    virtual WindowBounds Bounds() const = 0;
    virtual WindowBounds SaverBounds() const = 0;
    // The work area (the screen less the task bar) of the saver window's monitor.
    virtual WindowBounds WorkArea() const = 0;
    virtual void MoveTo(int left, int top) = 0;
    virtual void MoveSaverTo(int left, int top) = 0;

    // The saver window follows its cycle's answer: its timers, and the frame
    // rows drawn.
    virtual void FollowCycle(const CycleAnswer& answer) = 0;
    virtual void Close() = 0;       // the settings window
    virtual void CloseSaver() = 0;  // the saver window, which ends the program
};

class SettingsPanel {
public:
    static constexpr std::uint32_t kTimer2IntervalMs = 30;
    static constexpr int kEscape = 27;

    // The cycle's scene holds the settings being edited; `registry` is where
    // "Save Settings" writes them.
    SettingsPanel(SettingsWindow& window, PictureCycle& cycle, Registry& registry);

    // The rest of the settings window's creation, once the saver window exists.
    void FormCreate();

    void TrackBar1Change();  // Algorithm: a new snowflake
    void TrackBar2Change();  // Background: a new background
    void TrackBar3Change();  // Brightness: the background again
    void TrackBar4Change();  // TimeShow: the hold interval
    void CheckBox1Click();   // BackgroundRands
    void CheckBox2Click();   // RandsAlgorithm
    void Button1Click();     // "Save Settings"
    void Button2Click();     // "Close"
    void FormKeyDown(int key);  // Escape closes the window
    void FormClose();           // closes the saver window too, which ends the program
    void Timer2Timer();         // every 30 ms: under the saver window, sliders on the picture's numbers

private:
    SaverSettings& Settings() { return cycle_.scene().Settings; }
    void PlacePairOnScreen();
    void PlaceUnderSaver();
    // A new background for Background or Brightness as the slider gives it.
    void BackgroundSliderChanged(TrackBarId bar, auto& setting);

    SettingsWindow& window_;
    PictureCycle& cycle_;
    Registry& registry_;
};

}  // namespace nivora
