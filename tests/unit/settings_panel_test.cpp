// The settings window's handlers over a live picture cycle, with a fake
// window whose sliders and check boxes keep the rules of the real ones (the
// same engine functions decide): a position set from code is clamped and runs
// the change handler only when it differs; every user scroll runs it; a check
// box set from code runs its click handler when its state changes.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <map>
#include <thread>

#include "engine/cycle/picture_cycle.h"
#include "engine/cycle/picture_steps.h"
#include "engine/cycle/picture_worker.h"
#include "engine/cycle/random.h"
#include "engine/cycle/reveal.h"
#include "engine/pictures/scene.h"
#include "engine/pictures/snowflake.h"
#include "engine/pictures/surfaces.h"
#include "host/settings_panel.h"
#include "support/memory_registry.h"
#include "support/pictures.h"
#include "win32/forms/control_rules.h"

namespace nivora {
namespace {

class FakeSettingsWindow : public SettingsWindow {
public:
    struct Slider {
        int min, max, position;
    };
    SettingsPanel* panel = nullptr;
    // Ranges and design positions of the four sliders.
    std::map<TrackBarId, Slider> sliders{{TrackBarId::TrackBar1, {1, 20, 1}},
                                         {TrackBarId::TrackBar2, {0, 20, 1}},
                                         {TrackBarId::TrackBar3, {1, 20, 5}},
                                         {TrackBarId::TrackBar4, {1, 20, 1}}};
    std::map<CheckBoxId, bool> checked{{CheckBoxId::CheckBox1, false}, {CheckBoxId::CheckBox2, false}};
    std::map<StaticTextId, std::string> texts{{StaticTextId::StaticText1, "Snowflake"},
                                              {StaticTextId::StaticText4, "Time show"}};
    WindowBounds own{377, 352, 448, 190};
    WindowBounds saver{316, 144, 646, 389};
    WindowBounds workArea{0, 0, 1280, 1024};
    int changeHandlerRuns = 0, closes = 0, saverCloses = 0, follows = 0;

    int TrackBarPosition(TrackBarId bar) const override { return sliders.at(bar).position; }
    void SetTrackBarPosition(TrackBarId bar, int position) override {
        Slider& slider = sliders.at(bar);
        if (SetSliderPosition(slider.min, slider.max, slider.position, position)) Changed(bar);
    }
    // A user's move: the handler runs whether the position changed or not.
    void UserScroll(TrackBarId bar, int position) {
        sliders.at(bar).position = position;
        Changed(bar);
    }
    bool CheckBoxChecked(CheckBoxId box) const override { return checked.at(box); }
    void SetCheckBoxChecked(CheckBoxId box, bool state) override {
        if (SetCheckBoxState(checked.at(box), state)) Clicked(box);
    }
    void UserClick(CheckBoxId box) {
        checked.at(box) = !checked.at(box);
        Clicked(box);
    }
    void SetStaticText(StaticTextId text, const std::string& caption) override { texts[text] = caption; }
    WindowBounds Bounds() const override { return own; }
    WindowBounds SaverBounds() const override { return saver; }
    WindowBounds WorkArea() const override { return workArea; }
    void MoveTo(int left, int top) override {
        own.left = left;
        own.top = top;
    }
    void MoveSaverTo(int left, int top) override {
        saver.left = left;
        saver.top = top;
    }
    void FollowCycle(const CycleAnswer&) override { ++follows; }
    void Close() override {
        ++closes;
        panel->FormClose();
    }
    void CloseSaver() override { ++saverCloses; }

private:
    void Changed(TrackBarId bar) {
        ++changeHandlerRuns;
        switch (bar) {
            case TrackBarId::TrackBar1: panel->TrackBar1Change(); break;
            case TrackBarId::TrackBar2: panel->TrackBar2Change(); break;
            case TrackBarId::TrackBar3: panel->TrackBar3Change(); break;
            case TrackBarId::TrackBar4: panel->TrackBar4Change(); break;
        }
    }
    void Clicked(CheckBoxId box) {
        if (box == CheckBoxId::CheckBox1)
            panel->CheckBox1Click();
        else
            panel->CheckBox2Click();
    }
};

void StartPanelScene(Scene& scene, RandomGenerator& random, const SaverSettings& settings, std::uint32_t seed) {
    StartScene(scene, random, {settings, seed, 240, 160});
}

// The saver window's side: its scene and cycle, a settings window and the panel.
struct Rig {
    Scene scene;
    RandomGenerator random;
    PictureWorker worker;
    MemoryRegistry registry;
    FakeSettingsWindow window;
    std::unique_ptr<PictureCycle> cycle;
    std::unique_ptr<SettingsPanel> panel;

    Rig(const SaverSettings& settings, std::uint32_t seed, WindowBounds workArea = {0, 0, 1280, 1024}) {
        window.workArea = workArea;
        StartPanelScene(scene, random, settings, seed);
        cycle = std::make_unique<PictureCycle>(scene, SoftwareImaging(), random, worker);
        cycle->FirstPicture();
        panel = std::make_unique<SettingsPanel>(window, *cycle, registry);
        window.panel = panel.get();
        panel->FormCreate();
    }
    void RevealAll() { nivora::RevealAll(*cycle); }
    void AwaitLayers() {
        while (cycle->Waiting()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            cycle->RevealTick();
        }
    }
};

SaverSettings Stored(int algorithm, int background, int brightness, int timeShow, bool rands) {
    SaverSettings s;
    s.Algorithm = static_cast<std::uint8_t>(algorithm);
    s.Background = background;
    s.Brightness = static_cast<std::uint8_t>(brightness);
    s.TimeShow = timeShow;
    s.BackgroundRands = s.RandsAlgorithm = rands;
    return s;
}

TEST(SettingsPanel, CreationShowsTheStoredSettingsAndPlacesTheWindowUnderTheSaver) {
    Rig rig(Stored(20, 1, 14, 5, false), 11);
    FakeSettingsWindow& w = rig.window;
    EXPECT_EQ(w.sliders[TrackBarId::TrackBar1].position, 20);
    EXPECT_EQ(w.sliders[TrackBarId::TrackBar2].position, 1);
    EXPECT_EQ(w.sliders[TrackBarId::TrackBar3].position, 14);
    EXPECT_EQ(w.sliders[TrackBarId::TrackBar4].position, 5);
    EXPECT_EQ(w.texts[StaticTextId::StaticText1], "Snowflake   20");
    EXPECT_EQ(w.texts[StaticTextId::StaticText4], "Time show   5 sec");
    EXPECT_FALSE(w.checked[CheckBoxId::CheckBox1]);
    EXPECT_FALSE(w.checked[CheckBoxId::CheckBox2]);
    // The sliders' handlers ran (positions differed from the design ones) and
    // found the settings equal: the first picture was not made again.
    EXPECT_EQ(w.changeHandlerRuns, 3);
    rig.AwaitLayers();
    EXPECT_EQ(rig.cycle->LayersTaken(), 1u);
    // 316 + (646 - 448) / 2, and two pixels under 144 + 389.
    EXPECT_EQ(w.own.left, 415);
    EXPECT_EQ(w.own.top, 535);

    // A wider settings window than saver: the halving truncates toward zero.
    EXPECT_EQ(PlaceUnder({100, 50, 301, 200}, {0, 0, 400, 90}).left, 100 - 49);
    EXPECT_EQ(PlaceUnder({-7, -3, 1, 1}, {0, 0, 4, 90}).left, -8);
    EXPECT_EQ(PlaceUnder({-7, -3, 1, 1}, {0, 0, 4, 90}).top, 0);
}

TEST(SettingsPanel, StoredNumbersOutsideTheRangesAreClampedOrKept) {
    // Algorithm 25 shows 20 and makes the snowflake again; TimeShow 30 becomes 20.
    Rig over(Stored(25, 1, 14, 30, false), 12);
    EXPECT_EQ(over.scene.Settings.Algorithm, 20);
    EXPECT_EQ(over.window.texts[StaticTextId::StaticText1], "Snowflake   20");
    EXPECT_TRUE(over.cycle->Waiting());
    EXPECT_EQ(over.scene.Settings.TimeShow, 20);
    EXPECT_EQ(over.cycle->HoldIntervalMs(), 20000u);
    EXPECT_EQ(over.window.texts[StaticTextId::StaticText4], "Time show   20 sec");
    // The first picture is still on the worker: it is made again with the
    // clamped rule and taken once.
    over.AwaitLayers();
    EXPECT_EQ(over.cycle->LayersTaken(), 1u);

    // Algorithm 0 with the slider already at 1: no handler runs, 0 stays.
    // Background 0 is in its slider's range and moves the slider.
    Rig under(Stored(0, 0, 14, 5, false), 13);
    EXPECT_EQ(under.window.sliders[TrackBarId::TrackBar1].position, 1);
    EXPECT_EQ(under.scene.Settings.Algorithm, 0);
    EXPECT_EQ(under.window.texts[StaticTextId::StaticText1], "Snowflake   0");
    EXPECT_EQ(under.window.sliders[TrackBarId::TrackBar2].position, 0);
    under.AwaitLayers();
    EXPECT_EQ(under.cycle->LayersTaken(), 1u);
    // The sync timer keeps it so until the user moves that slider.
    under.panel->Timer2Timer();
    EXPECT_EQ(under.scene.Settings.Algorithm, 0);
    under.window.UserScroll(TrackBarId::TrackBar1, 1);
    EXPECT_EQ(under.scene.Settings.Algorithm, 1);
    EXPECT_EQ(under.window.texts[StaticTextId::StaticText1], "Snowflake   1");
}

// A drag through every position with reveal ticks in between, as the timer
// would give them: the picture where the thumb stops is the one a
// synchronous regeneration for that position gives.
TEST(SettingsPanel, ADragEndsOnThePictureTheStepsGive) {
    const SaverSettings stored = Stored(20, 1, 14, 5, false);
    Rig rig(stored, 21);
    FakeSettingsWindow& w = rig.window;
    for (int tick = 0; tick < 3; ++tick) rig.cycle->RevealTick();

    for (int position = 19; position >= 1; --position) {
        w.UserScroll(TrackBarId::TrackBar1, position);
        w.UserScroll(TrackBarId::TrackBar1, position);  // a notification that moved nothing
        rig.cycle->RevealTick();
    }
    EXPECT_EQ(w.texts[StaticTextId::StaticText1], "Snowflake   1");
    w.UserScroll(TrackBarId::TrackBar3, 9);
    w.UserScroll(TrackBarId::TrackBar2, 6);
    w.UserScroll(TrackBarId::TrackBar2, 6);
    rig.RevealAll();
    EXPECT_EQ(rig.scene.Settings.Algorithm, 1);
    EXPECT_EQ(rig.scene.Settings.Brightness, 9);
    EXPECT_EQ(rig.scene.Settings.Background, 6);
    EXPECT_EQ(w.texts[StaticTextId::StaticText1], "Snowflake   1");

    Scene steps;
    RandomGenerator stepsRandom;
    StartPanelScene(steps, stepsRandom, stored, 21);
    MakeFirstPictureNow(steps, stepsRandom);
    steps.Settings.Algorithm = 1;
    steps.Settings.Brightness = 9;
    steps.Settings.Background = 6;
    GenerateLayers(steps);
    LayField(steps);
    steps.RevealX = steps.RevealY = 0;
    while (!RevealTick(steps).completed) {
    }
    EXPECT_EQ(FrameFingerprint(rig.scene), FrameFingerprint(steps));
    // Superseded requests were dropped, not all taken one after the other.
    EXPECT_LT(rig.cycle->LayersTaken(), 10u);
}

TEST(SettingsPanel, ChangesDuringTheHoldRestartTheRevealButNotTheHold) {
    Rig rig(Stored(20, 1, 14, 5, false), 31);
    FakeSettingsWindow& w = rig.window;
    rig.RevealAll();
    ASSERT_TRUE(rig.cycle->HoldEnabled());

    // The time slider changes the interval and nothing of the picture.
    w.UserScroll(TrackBarId::TrackBar4, 12);
    EXPECT_EQ(rig.cycle->HoldIntervalMs(), 12000u);
    EXPECT_EQ(w.texts[StaticTextId::StaticText4], "Time show   12 sec");
    EXPECT_FALSE(rig.cycle->RevealEnabled());
    EXPECT_FALSE(rig.cycle->Waiting());

    w.UserScroll(TrackBarId::TrackBar3, 17);
    EXPECT_TRUE(rig.cycle->RevealEnabled());
    EXPECT_TRUE(rig.cycle->HoldEnabled());
    rig.AwaitLayers();  // the tick that takes the new layer reveals too
    for (int tick = 0; tick < 4; ++tick) rig.cycle->RevealTick();
    const int cellsPerTick = 2 * rig.scene.FlakeSize + 1;
    EXPECT_EQ(rig.scene.RevealX + rig.scene.RevealY * rig.scene.FlakeSize, 5 * cellsPerTick);
    EXPECT_TRUE(rig.cycle->HoldEnabled());

    // The hold ends in the middle of the restarted reveal: a new picture,
    // with the numbers of the sliders since both flags are off.
    rig.cycle->HoldEnd();
    rig.AwaitLayers();
    EXPECT_EQ(rig.scene.Settings.Brightness, 17);
    EXPECT_EQ(rig.scene.Settings.Algorithm, 20);
    EXPECT_EQ(rig.scene.RevealX + rig.scene.RevealY * rig.scene.FlakeSize, cellsPerTick);
}

TEST(SettingsPanel, TheSyncTimerFollowsRandomPicturesAndTheSaverWindow) {
    Rig rig(Stored(20, 1, 14, 5, true), 41);
    FakeSettingsWindow& w = rig.window;
    EXPECT_TRUE(w.checked[CheckBoxId::CheckBox1]);
    EXPECT_TRUE(w.checked[CheckBoxId::CheckBox2]);
    // The first picture's random numbers are on the sliders at creation.
    EXPECT_EQ(w.sliders[TrackBarId::TrackBar1].position, rig.scene.Settings.Algorithm);
    EXPECT_EQ(w.sliders[TrackBarId::TrackBar2].position, rig.scene.Settings.Background);

    for (int picture = 0; picture < 4; ++picture) {
        rig.RevealAll();
        rig.cycle->HoldEnd();
        rig.AwaitLayers();
        const std::uint64_t taken = rig.cycle->LayersTaken();
        rig.panel->Timer2Timer();
        EXPECT_EQ(w.sliders[TrackBarId::TrackBar1].position, rig.scene.Settings.Algorithm);
        EXPECT_EQ(w.sliders[TrackBarId::TrackBar2].position, rig.scene.Settings.Background);
        EXPECT_EQ(w.texts[StaticTextId::StaticText1], SnowflakeCaption(rig.scene.Settings.Algorithm));
        EXPECT_FALSE(rig.cycle->Waiting()) << "the sync made the picture again";
        EXPECT_EQ(rig.cycle->LayersTaken(), taken);
    }

    // The saver window moved: the settings window follows it.
    w.saver.left = 40;
    w.saver.top = 10;
    rig.panel->Timer2Timer();
    EXPECT_EQ(w.own.left, 40 + (646 - 448) / 2);
    EXPECT_EQ(w.own.top, 10 + 389 + 2);
}

bool Inside(const WindowBounds& window, const WindowBounds& area) {
    return window.left >= area.left && window.top >= area.top && window.Right() <= area.Right() &&
           window.Bottom() <= area.Bottom();
}

// The saver window as the settings mode makes it on a screen: half the
// screen inside a caption and border, a fifth of the screen down.
WindowBounds SaverOn(int screenWidth, int screenHeight) {
    const int width = screenWidth / 2 + 6, height = screenHeight / 2 + 29;
    return {screenWidth / 2 - width / 2, screenHeight / 5, width, height};
}

// Screens from 448 x 280 to 2560 x 1600, with no task bar, one at the bottom
// and one at the top: the settings window always ends on the screen, keeps
// its classic place wherever that fits, and leaves the saver window's lower
// edge only when the saver window has gone up as far as it can.
TEST(SettingsPlacement, TheSettingsWindowEndsInsideTheWorkAreaOfEveryScreen) {
    const WindowBounds own{0, 0, 448, 190};
    int classic = 0, moved = 0, overlapping = 0;
    for (int height = 280; height <= 1600; height += 8) {
        const int width = height * 16 / 10;
        for (const int bar : {0, 40, -40}) {
            const WindowBounds work{0, std::max(0, -bar), width, height - std::abs(bar)};
            const WindowBounds saver = SaverOn(width, height);
            const PairPlacement placed = PlacePair(saver, own, work);
            SCOPED_TRACE(testing::Message() << width << "x" << height << " task bar " << bar);
            EXPECT_EQ(placed.saver.left, saver.left);
            EXPECT_LE(placed.saver.top, saver.top);
            EXPECT_GE(placed.saver.top, std::min(saver.top, work.top));
            EXPECT_TRUE(Inside(placed.own, work));
            const WindowBounds under = PlaceUnder(saver, own);
            if (under.Bottom() <= work.Bottom()) {
                ++classic;
                EXPECT_EQ(placed.saver.top, saver.top);
                EXPECT_EQ(placed.own.left, under.left);
                EXPECT_EQ(placed.own.top, under.top);
            } else if (placed.own.top == placed.saver.Bottom() + 2) {
                ++moved;
                EXPECT_EQ(placed.own.Bottom(), work.Bottom()) << "moved further than needed";
                EXPECT_EQ(placed.own.left, under.left);
            } else {
                ++overlapping;
                EXPECT_EQ(placed.saver.top, work.top) << "overlaps while the saver window could go up";
                EXPECT_LT(placed.own.top, placed.saver.Bottom() + 2);
            }
        }
    }
    // The sweep met all three cases.
    EXPECT_GT(classic, 0);
    EXPECT_GT(moved, 0);
    EXPECT_GT(overlapping, 0);

    // 800 x 600 with the Windows program's borders: 41 pixels too low, so
    // the pair goes up by 41 and the settings window ends at the screen's edge.
    const PairPlacement small = PlacePair({197, 120, 406, 329}, own, {0, 0, 800, 600});
    EXPECT_EQ(small.saver.top, 79);
    EXPECT_EQ(small.own.top, 79 + 329 + 2);
    EXPECT_EQ(small.own.left, 197 + (406 - 448) / 2);

    // A work area that is smaller than the window keeps the caption on it; a
    // monitor left of the primary one has negative coordinates.
    const WindowBounds tiny = PlaceUnder({10, 10, 100, 60}, own, {0, 0, 300, 150});
    EXPECT_EQ(tiny.left, 0);
    EXPECT_EQ(tiny.top, 0);
    const WindowBounds left = PlaceUnder({-1800, 600, 800, 300}, own, {-1600, 0, 1600, 900});
    EXPECT_EQ(left.left, -1600);
    EXPECT_EQ(left.top, 900 - 190);
}

// On a small screen creation moves the saver window up; afterwards the sync
// timer only ever moves the settings window, also when the user drags the
// saver window low.
TEST(SettingsPanel, OnASmallScreenThePairGoesUpAndTheSettingsWindowStaysOnIt) {
    const WindowBounds work{0, 0, 1024, 570};  // 1024 x 600 less a task bar
    Rig rig(Stored(20, 1, 14, 5, false), 61, work);
    FakeSettingsWindow& w = rig.window;
    // 144 + 389 + 2 + 190 = 725 would end 155 pixels below the work area;
    // the saver window can go up by 144 only, the rest is overlap.
    EXPECT_EQ(w.saver.top, 0);
    EXPECT_EQ(w.saver.left, 316);
    EXPECT_EQ(w.own.top, 570 - 190);
    EXPECT_EQ(w.own.left, 316 + (646 - 448) / 2);

    w.saver.top = 300;
    rig.panel->Timer2Timer();
    EXPECT_EQ(w.saver.top, 300) << "the timer moved the saver window back";
    EXPECT_TRUE(Inside(w.own, work));
    w.saver.left = 900;
    rig.panel->Timer2Timer();
    EXPECT_EQ(w.own.left, 1024 - 448);
    EXPECT_TRUE(Inside(w.own, work));
    // Dragged back to where the settings window fits under it: glued again.
    w.saver = {100, -250, 646, 389};
    rig.panel->Timer2Timer();
    EXPECT_EQ(w.own.top, -250 + 389 + 2);
    EXPECT_EQ(w.own.left, 100 + (646 - 448) / 2);
}

TEST(SettingsPanel, FlagsSaveAndClose) {
    Rig rig(Stored(20, 1, 14, 5, true), 51);
    rig.AwaitLayers();
    FakeSettingsWindow& w = rig.window;
    const SaverSettings picked = rig.scene.Settings;

    // Unchecking keeps the picture; the next picture takes the slider's numbers.
    w.UserClick(CheckBoxId::CheckBox1);
    w.UserClick(CheckBoxId::CheckBox2);
    EXPECT_FALSE(rig.scene.Settings.BackgroundRands);
    EXPECT_FALSE(rig.scene.Settings.RandsAlgorithm);
    EXPECT_FALSE(rig.cycle->Waiting());
    rig.RevealAll();
    rig.cycle->HoldEnd();
    rig.AwaitLayers();
    EXPECT_EQ(rig.scene.Settings.Algorithm, picked.Algorithm);
    EXPECT_EQ(rig.scene.Settings.Background, picked.Background);

    // "Save Settings" stores what is in memory, the picked numbers included.
    w.UserScroll(TrackBarId::TrackBar4, 6);
    rig.panel->Button1Click();
    const std::string key = "Software\\NivoraGlade";
    EXPECT_EQ(rig.registry.ReadDword(key, "Algorithm"), picked.Algorithm);
    EXPECT_EQ(rig.registry.ReadDword(key, "Background"), static_cast<std::uint32_t>(picked.Background));
    EXPECT_EQ(rig.registry.ReadDword(key, "Time_Show"), 6u);
    EXPECT_EQ(rig.registry.ReadDword(key, "BackgroundRands"), 0u);
    EXPECT_EQ(rig.registry.ReadDword(key, "Rands_Algorithm"), 0u);
    EXPECT_EQ(rig.registry.ReadDword(key, "Brightness"), 14u);

    // Only Escape closes; closing the settings window closes the saver.
    rig.panel->FormKeyDown('A');
    rig.panel->FormKeyDown(37);
    EXPECT_EQ(w.closes, 0);
    rig.panel->FormKeyDown(27);
    EXPECT_EQ(w.closes, 1);
    EXPECT_EQ(w.saverCloses, 1);
    rig.panel->Button2Click();
    EXPECT_EQ(w.closes, 2);
}

}  // namespace
}  // namespace nivora
