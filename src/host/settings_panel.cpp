#include "host/settings_panel.h"

#include <algorithm>

#include "host/settings_store.h"

namespace nivora {

WindowBounds PlaceUnder(const WindowBounds& saver, const WindowBounds& own) {
    WindowBounds placed = own;
    placed.left = saver.left + (saver.width - own.width) / 2;
    placed.top = saver.top + saver.height + 2;
    return placed;
}

namespace {

// Moves [start, start + length) into [low, high) as far as it can; `low` wins.
int KeepInside(int start, int length, int low, int high) { return std::max(low, std::min(start, high - length)); }

}  // namespace

WindowBounds PlaceUnder(const WindowBounds& saver, const WindowBounds& own, const WindowBounds& workArea) {
    WindowBounds placed = PlaceUnder(saver, own);
    placed.left = KeepInside(placed.left, placed.width, workArea.left, workArea.Right());
    placed.top = KeepInside(placed.top, placed.height, workArea.top, workArea.Bottom());
    return placed;
}

PairPlacement PlacePair(const WindowBounds& saver, const WindowBounds& own, const WindowBounds& workArea) {
    PairPlacement pair{saver, PlaceUnder(saver, own)};
    const int overhang = pair.own.Bottom() - workArea.Bottom();
    if (overhang > 0) pair.saver.top = std::min(saver.top, std::max(workArea.top, saver.top - overhang));
    pair.own = PlaceUnder(pair.saver, own, workArea);
    return pair;
}

std::string SnowflakeCaption(int algorithm) { return "Snowflake   " + std::to_string(algorithm); }

std::string TimeShowCaption(int seconds) { return "Time show   " + std::to_string(seconds) + " sec"; }

SettingsPanel::SettingsPanel(SettingsWindow& window, PictureCycle& cycle, Registry& registry)
    : window_(window), cycle_(cycle), registry_(registry) {}

void SettingsPanel::PlacePairOnScreen() {
    const WindowBounds saver = window_.SaverBounds();
    const PairPlacement placed = PlacePair(saver, window_.Bounds(), window_.WorkArea());
    if (placed.saver.top != saver.top) window_.MoveSaverTo(placed.saver.left, placed.saver.top);
    PlaceUnderSaver();
}

// At creation and every 30 ms after: the settings window follows the saver
// window, and stays on the screen when the user has dragged the saver window
// low; the saver window itself is never moved back against the user's drag.
void SettingsPanel::PlaceUnderSaver() {
    const WindowBounds own = window_.Bounds();
    const WindowBounds placed = PlaceUnder(window_.SaverBounds(), own, window_.WorkArea());
    if (placed.left != own.left || placed.top != own.top) window_.MoveTo(placed.left, placed.top);
}

void SettingsPanel::FormCreate() {
    PlacePairOnScreen();
    // Each of these may run its slider's change handler: a stored number out
    // of the slider's range is brought into it and the picture made again.
    window_.SetTrackBarPosition(TrackBarId::TrackBar1, Settings().Algorithm);
    window_.SetTrackBarPosition(TrackBarId::TrackBar2, Settings().Background);
    window_.SetTrackBarPosition(TrackBarId::TrackBar3, Settings().Brightness);
    window_.SetTrackBarPosition(TrackBarId::TrackBar4, Settings().TimeShow);
    window_.SetStaticText(StaticTextId::StaticText1, SnowflakeCaption(Settings().Algorithm));
    window_.SetStaticText(StaticTextId::StaticText4, TimeShowCaption(Settings().TimeShow));
    window_.SetCheckBoxChecked(CheckBoxId::CheckBox1, Settings().BackgroundRands);
    window_.SetCheckBoxChecked(CheckBoxId::CheckBox2, Settings().RandsAlgorithm);
}

// Every scroll notification lands here, also those that leave the position
// as it was; and the sync timer sets the positions the settings already have.
// So each handler compares first.
void SettingsPanel::TrackBar1Change() {
    const int position = window_.TrackBarPosition(TrackBarId::TrackBar1);
    if (Settings().Algorithm == position) return;
    Settings().Algorithm = static_cast<std::uint8_t>(position);
    // The layer is made on the worker; a newer position replaces a layer
    // still being made, and the reveal starts again once it is ready.
    window_.FollowCycle(cycle_.RegenerateSnowflake());
    window_.SetStaticText(StaticTextId::StaticText1, SnowflakeCaption(Settings().Algorithm));
}

void SettingsPanel::BackgroundSliderChanged(TrackBarId bar, auto& setting) {
    const int position = window_.TrackBarPosition(bar);
    if (setting == position) return;
    setting = static_cast<std::remove_reference_t<decltype(setting)>>(position);
    // The field is made again for a brightness too, not only recoloured.
    window_.FollowCycle(cycle_.RegenerateBackground());
}

void SettingsPanel::TrackBar2Change() { BackgroundSliderChanged(TrackBarId::TrackBar2, Settings().Background); }

void SettingsPanel::TrackBar3Change() { BackgroundSliderChanged(TrackBarId::TrackBar3, Settings().Brightness); }

void SettingsPanel::TrackBar4Change() {
    const int position = window_.TrackBarPosition(TrackBarId::TrackBar4);
    if (Settings().TimeShow == position) return;
    Settings().TimeShow = position;
    // The picture stays, nothing is drawn; a running hold counts its new
    // interval from now.
    window_.FollowCycle({.schedule = cycle_.Schedule(), .rows = RowSpan{}});
    window_.SetStaticText(StaticTextId::StaticText4, TimeShowCaption(Settings().TimeShow));
}

void SettingsPanel::CheckBox1Click() {
    Settings().BackgroundRands = window_.CheckBoxChecked(CheckBoxId::CheckBox1);
    // The picture being prepared draws (or not) its numbers again.
    window_.FollowCycle(cycle_.SettingsChanged());
}

void SettingsPanel::CheckBox2Click() {
    Settings().RandsAlgorithm = window_.CheckBoxChecked(CheckBoxId::CheckBox2);
    window_.FollowCycle(cycle_.SettingsChanged());
}

void SettingsPanel::Button1Click() { SaveSettings(registry_, Settings()); }

void SettingsPanel::Button2Click() { window_.Close(); }

void SettingsPanel::FormKeyDown(int key) {
    if (key == kEscape) window_.Close();
}

void SettingsPanel::FormClose() { window_.CloseSaver(); }

void SettingsPanel::Timer2Timer() {
    PlaceUnderSaver();
    // A new picture may have drawn random numbers: the sliders show them.
    // Their handlers find the settings equal and make nothing.
    window_.SetTrackBarPosition(TrackBarId::TrackBar1, Settings().Algorithm);
    window_.SetTrackBarPosition(TrackBarId::TrackBar2, Settings().Background);
    window_.SetStaticText(StaticTextId::StaticText1, SnowflakeCaption(Settings().Algorithm));
}

}  // namespace nivora
