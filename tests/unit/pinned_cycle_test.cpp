// The picture sequence a user sees, pinned: from a fixed seed, the numbers
// each picture draws (in the order they are drawn: creation takes the
// background first, a hold's end the algorithm first) and a fingerprint of
// each finished frame. A change to the order of the random draws, to any
// generator, to the reveal or to laying the field shows up here.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

#include "engine/cycle/cycle_group.h"
#include "engine/cycle/picture_cycle.h"
#include "engine/cycle/picture_steps.h"
#include "engine/cycle/picture_worker.h"
#include "engine/cycle/random.h"
#include "engine/cycle/reveal.h"
#include "engine/pictures/scene.h"
#include "engine/pictures/snowflake.h"
#include "engine/pictures/surfaces.h"
#include "support/pictures.h"

namespace nivora {
namespace {

struct Picture {
    int algorithm, background;
    std::uint64_t frame;
    bool operator==(const Picture&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Picture& p) {
    return out << "{" << p.algorithm << ", " << p.background << ", " << p.frame << "ull}";
}

struct SeedRun {
    std::uint32_t seed;
    int clientWidth, clientHeight;
    bool randsAlgorithm, backgroundRands;
};

// The settings, seed and geometry of a run; the surfaces too unless the
// cycle is to make them on the worker.
void StartRun(const SeedRun& run, Scene& scene, RandomGenerator& random, bool surfaces = true) {
    const SaverSettings settings{.Algorithm = 20, .Background = 1, .Brightness = 14, .TimeShow = 5,
                                 .BackgroundRands = run.backgroundRands, .RandsAlgorithm = run.randsAlgorithm};
    StartScene(scene, random, {settings, run.seed, run.clientWidth, run.clientHeight}, surfaces);
}

// A cycle over the scene of a run: over its surfaces, or, as a window's
// thread makes it, with the surfaces left to the worker.
std::unique_ptr<PictureCycle> CycleOf(const SeedRun& run, Scene& scene, RandomGenerator& random, PictureWorker& worker,
                                      bool surfacesOnWorker) {
    StartRun(run, scene, random, !surfacesOnWorker);
    if (surfacesOnWorker)
        return std::make_unique<PictureCycle>(scene, SoftwareImaging(), random, worker, run.clientWidth, run.clientHeight);
    return std::make_unique<PictureCycle>(scene, SoftwareImaging(), random, worker);
}

Picture Finished(Scene& scene) {
    return {scene.Settings.Algorithm, scene.Settings.Background, FrameFingerprint(scene)};
}

// The cycle as a saver window drives it, with the next picture prepared on
// the worker: the first picture at creation, each later one at a hold's end,
// every picture revealed to its last cell. `driving` says how a front-end
// drives it: surfaces made on the worker (a window's thread), new fields taken
// by swapping frames rather than copying them.
struct Driving {
    bool surfacesOnWorker = false;
    bool swapFrames = false;
};
std::vector<Picture> PicturesOf(const SeedRun& run, int count, Driving driving = {}) {
    Scene scene;
    RandomGenerator random;
    PictureWorker worker;
    const auto cycle = CycleOf(run, scene, random, worker, driving.surfacesOnWorker);
    if (driving.swapFrames) cycle->SwapFramesOnTake();
    cycle->FirstPicture();
    std::vector<Picture> pictures;
    for (int i = 0; i < count; ++i) {
        if (i > 0) cycle->HoldEnd();
        RevealAll(*cycle);
        EXPECT_TRUE(cycle->HoldEnabled());
        pictures.push_back(Finished(scene));
    }
    return pictures;
}

// The same steps on one thread, one after the other.
std::vector<Picture> PicturesInSteps(const SeedRun& run, int count) {
    Scene scene;
    RandomGenerator random;
    StartRun(run, scene, random);
    std::vector<Picture> pictures;
    for (int i = 0; i < count; ++i) {
        if (i == 0)
            MakeFirstPictureNow(scene, random);
        else
            MakeNextPictureNow(scene, random);
        while (!RevealTick(scene).completed) {
        }
        pictures.push_back(Finished(scene));
    }
    return pictures;
}

// A 640 x 360 screen: the full-screen saver covers it, the settings mode's
// window has half of it as its client area.
TEST(PinnedCycle, FullScreenFromTwoSeeds) {
    EXPECT_EQ(PicturesOf({20261207, 640, 360, true, true}, 6),
              (std::vector<Picture>{{16, 9, 956731849183413949ull}, {10, 13, 5282581091447264952ull}, {4, 6, 713653774300165494ull},
                   {18, 4, 8000173083788571596ull}, {5, 9, 14915832909509878604ull}, {11, 10, 2312700595945420225ull}}));
    EXPECT_EQ(PicturesOf({4242, 640, 360, false, true}, 5),
              (std::vector<Picture>{{20, 3, 7054113080169055440ull}, {20, 10, 5448916241219692978ull}, {20, 13, 10471836339059602849ull},
                   {20, 12, 10648391618345579858ull}, {20, 14, 8885168509372865904ull}}));
}

TEST(PinnedCycle, StepsOnOneThreadGiveTheSamePictures) {
    for (const SeedRun& run : {SeedRun{20261207, 640, 360, true, true}, SeedRun{77, 320, 180, true, false}}) {
        const auto steps = PicturesInSteps(run, 5);
        EXPECT_EQ(steps, PicturesOf(run, 5)) << "seed " << run.seed;
        EXPECT_EQ(steps, PicturesOf(run, 5, {.swapFrames = true})) << "seed " << run.seed << ", frames swapped";
    }
}

// A window's cycle, whose surfaces are made on the worker with the first
// picture, shows the same pictures.
TEST(PinnedCycle, SurfacesMadeOnTheWorkerGiveTheSamePictures) {
    for (const SeedRun& run : {SeedRun{20261207, 640, 360, true, true}, SeedRun{4242, 320, 180, false, true}})
        EXPECT_EQ(PicturesOf(run, 4, {.surfacesOnWorker = true}), PicturesInSteps(run, 4)) << "seed " << run.seed;
}

// A screen that changed size: at the hold's end its cycle is replaced by one
// of the new size on the same generator, started by that HoldEnd. The
// sequence goes on as if the screen had always had the new size from that
// picture on, and the window's thread never waits for the surfaces.
TEST(PinnedCycle, AScreenThatChangedSizeGoesOnWithTheSameNumbers) {
    const SeedRun before{99, 320, 180, true, true}, after{99, 200, 150, true, true};
    Scene steps, stepsResized, scene;
    RandomGenerator stepsRandom, unused, random;
    PictureWorker worker;
    StartRun(before, steps, stepsRandom);
    MakeFirstPictureNow(steps, stepsRandom);
    StartRun(after, stepsResized, unused);
    auto cycle = CycleOf(before, scene, random, worker, true);
    cycle->FirstPicture();
    RevealAll(*cycle);

    // The steps: the hold ends on the resized screen, with the generator as
    // the first picture left it.
    stepsResized.Settings = steps.Settings;
    MakeNextPictureNow(stepsResized, stepsRandom);
    while (!RevealTick(stepsResized).completed) {
    }

    cycle.reset();
    scene.FrameGraphics.reset();
    scene.FrameDib.reset();
    scene.PixelBitmap.reset();
    scene.FieldBitmap.reset();
    SetSaverGeometry(scene, after.clientWidth, after.clientHeight);
    cycle = std::make_unique<PictureCycle>(scene, SoftwareImaging(), random, worker, after.clientWidth, after.clientHeight);
    cycle->HoldEnd();
    EXPECT_TRUE(cycle->Waiting());
    RevealAll(*cycle);
    EXPECT_EQ(Finished(scene), Finished(stepsResized));
    EXPECT_EQ(scene.FrameDib->Width(), 200);
    EXPECT_EQ(random.Seed, stepsRandom.Seed);
}

// A window resized at any moment (an X window, a Wayland output) gets a
// cycle of the new size on the same generator that goes on where the old one
// was in the seed's sequence: a picture whose numbers were drawn but which
// never showed (the first, or one awaited at a hold's end) is made at the new
// size from the same numbers; after one that showed comes the next. The
// pictures are then those the steps give at the new size, in the seed's order.
TEST(PinnedCycle, AResizedWindowGoesOnWithTheSeedsPictures) {
    const SeedRun before{42, 320, 180, true, true}, after{42, 240, 180, true, true};
    const auto atNewSize = PicturesInSteps(after, 4);
    enum class Moment { FirstAwaited, SecondAwaited, SecondRevealed };
    const struct {
        Moment moment;
        int next;  // the picture of the sequence the new cycle shows first
    } cases[] = {{Moment::FirstAwaited, 0}, {Moment::SecondAwaited, 1}, {Moment::SecondRevealed, 2}};
    for (const auto& c : cases) {
        Scene scene, resized;
        RandomGenerator random, unused;
        PictureWorker worker;
        auto cycle = CycleOf(before, scene, random, worker, false);
        cycle->FirstPicture();
        // A job behind the first picture's keeps the worker from preparing
        // the second until the cycle is replaced.
        std::atomic<bool> release{false};
        worker.Submit([&] {
            while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        });
        if (c.moment != Moment::FirstAwaited) {
            RevealAll(*cycle);
            cycle->HoldEnd();
            EXPECT_TRUE(cycle->Waiting());
        }
        if (c.moment == Moment::SecondRevealed) {
            release = true;
            cycle->FinishAwaited();
            cycle->RevealTick();
        }
        const PictureCycle::SequencePlace place = cycle->Place();
        release = true;
        cycle.reset();

        StartRun(after, resized, unused);
        cycle = std::make_unique<PictureCycle>(resized, SoftwareImaging(), random, worker);
        cycle->ContinueAt(place);
        std::vector<Picture> shown;
        for (int i = 0; i < 2; ++i) {
            if (i > 0) cycle->HoldEnd();
            RevealAll(*cycle);
            shown.push_back(Finished(resized));
        }
        EXPECT_EQ(shown, std::vector<Picture>(atNewSize.begin() + c.next, atNewSize.begin() + c.next + 2))
            << "resized at moment " << static_cast<int>(c.moment);
    }
}

TEST(PinnedCycle, WindowedFromTwoSeeds) {
    EXPECT_EQ(PicturesOf({20261207, 320, 180, true, true}, 6),
              (std::vector<Picture>{{16, 9, 1942125623775936134ull}, {10, 13, 16215716776219673231ull}, {4, 6, 15033233037951093666ull},
                   {18, 4, 16371100617634959758ull}, {5, 9, 6165663588752963052ull}, {11, 10, 2506457117785601539ull}}));
    EXPECT_EQ(PicturesOf({77, 320, 180, true, false}, 5),
              (std::vector<Picture>{{8, 1, 1817694196272598868ull}, {18, 1, 2720565638811641241ull}, {4, 1, 2016847939990703809ull},
                   {12, 1, 14517098321147266109ull}, {19, 1, 13482101430185520027ull}}));
}

}  // namespace
}  // namespace nivora

namespace nivora {
namespace {

// Two scenes with a cycle each, sharing one worker, advanced picture by
// picture in turns: each gives what it gives alone.
TEST(CycleScenes, TwoScenesInTurnsGiveWhatEachGivesAlone) {
    const SeedRun runs[2] = {{11, 320, 180, true, true}, {12, 200, 300, true, true}};
    Scene scenes[2];
    RandomGenerator randoms[2];
    PictureWorker worker;
    std::unique_ptr<PictureCycle> cycles[2];
    std::vector<Picture> together[2];
    for (int i = 0; i < 2; ++i) {
        StartRun(runs[i], scenes[i], randoms[i]);
        cycles[i] = std::make_unique<PictureCycle>(scenes[i], SoftwareImaging(), randoms[i], worker);
        cycles[i]->FirstPicture();
    }
    for (int picture = 0; picture < 4; ++picture)
        for (int i = 0; i < 2; ++i) {
            if (picture > 0) cycles[i]->HoldEnd();
            while (cycles[i]->RevealEnabled()) cycles[i]->RevealTick();
            together[i].push_back(Finished(scenes[i]));
        }
    for (int i = 0; i < 2; ++i) EXPECT_EQ(together[i], PicturesInSteps(runs[i], 4)) << "scene " << i;
}

// Settings changed while a picture shows, as the settings window changes
// them: the prepared picture is dropped where it no longer fits, and what
// shows is what the steps give on one thread with the same changes, whether
// new fields are copied into the frame or the frames are swapped.
void ChangeWhileAPictureShows(bool swapFrames) {
    SCOPED_TRACE(swapFrames ? "frames swapped" : "fields copied");
    const SeedRun run{31, 240, 160, true, true};
    Scene steps, scene;
    RandomGenerator stepsRandom, random;
    PictureWorker worker;
    StartRun(run, steps, stepsRandom);
    StartRun(run, scene, random);
    PictureCycle cycle(scene, SoftwareImaging(), random, worker);
    if (swapFrames) cycle.SwapFramesOnTake();
    MakeFirstPictureNow(steps, stepsRandom);
    cycle.FirstPicture();
    auto revealAll = [&] {
        while (!RevealTick(steps).completed) {
        }
        while (cycle.RevealEnabled()) cycle.RevealTick();
        EXPECT_EQ(Finished(scene), Finished(steps));
    };
    revealAll();

    // Both flags off and fixed numbers before the hold ends.
    for (Scene* s : {&steps, &scene}) {
        s->Settings.RandsAlgorithm = s->Settings.BackgroundRands = false;
        s->Settings.Algorithm = 7;
        s->Settings.Background = 3;
    }
    cycle.SettingsChanged();
    MakeNextPictureNow(steps, stepsRandom);
    cycle.HoldEnd();
    for (int tick = 0; tick < 5; ++tick) {
        RevealTick(steps);
        do cycle.RevealTick();
        while (cycle.Waiting());
    }

    // A new snowflake and a new brightness in the middle of the reveal.
    steps.Settings.Algorithm = scene.Settings.Algorithm = 12;
    Snowflake(steps);
    LayField(steps);
    steps.RevealX = steps.RevealY = 0;
    cycle.RegenerateSnowflake();
    steps.Settings.Brightness = scene.Settings.Brightness = 9;
    GenerateLayers(steps);  // the snowflake again gives the same layer
    LayField(steps);
    cycle.RegenerateBackground();
    revealAll();
    EXPECT_EQ(scene.Settings.Algorithm, 12);
    EXPECT_EQ(scene.Settings.Background, 3);

    // The flags back on: the next picture draws again, in the usual order.
    for (Scene* s : {&steps, &scene}) s->Settings.RandsAlgorithm = s->Settings.BackgroundRands = true;
    MakeNextPictureNow(steps, stepsRandom);
    cycle.HoldEnd();
    revealAll();
    EXPECT_EQ(random.Seed, stepsRandom.Seed);
}

TEST(CycleScenes, ChangesWhileAPictureShowsGiveWhatTheStepsGive) {
    ChangeWhileAPictureShows(false);
    ChangeWhileAPictureShows(true);
}

}  // namespace
}  // namespace nivora

namespace nivora {
namespace {

// A window one pixel high, or none: each picture still completes and the
// next one follows.
TEST(CycleScenes, FlatWindowsStillCycle) {
    for (int height : {1, 0}) {
        Scene scene;
        RandomGenerator random;
        PictureWorker worker;
        StartRun({5, 64, height, true, true}, scene, random);
        PictureCycle cycle(scene, SoftwareImaging(), random, worker);
        cycle.FirstPicture();
        for (int picture = 0; picture < 3; ++picture) {
            RevealAll(cycle);
            ASSERT_TRUE(cycle.HoldEnabled()) << "height " << height;
            cycle.HoldEnd();
        }
        EXPECT_GE(cycle.LayersTaken(), 3u);
    }
}

}  // namespace
}  // namespace nivora

namespace nivora {
namespace {

// Three monitors of different sizes on one clock: each shows the pictures a
// single screen of its size shows from its seed, the primary one from the
// primary seed, and all change together.
TEST(CycleScenes, MonitorsOnOneClockShowWhatEachShowsAlone) {
    const std::uint32_t primary = 2026;
    const SeedRun runs[3] = {{primary, 320, 180, true, true},
                             {MonitorSeed(primary, 1), 256, 256, true, true},
                             {MonitorSeed(primary, 2), 150, 300, true, true}};
    Scene scenes[3];
    RandomGenerator randoms[3];
    PictureWorker worker;
    std::unique_ptr<PictureCycle> cycles[3];
    CycleGroup group;
    for (int i = 0; i < 3; ++i) {
        StartRun(runs[i], scenes[i], randoms[i]);
        cycles[i] = std::make_unique<PictureCycle>(scenes[i], SoftwareImaging(), randoms[i], worker);
        cycles[i]->FirstPicture();
        group.Add(*cycles[i]);
    }
    std::vector<Picture> shown[3];
    for (int picture = 0; picture < 3; ++picture) {
        if (picture > 0) group.HoldEnd();
        int ticks = 0;
        while (group.RevealEnabled()) {
            EXPECT_FALSE(group.HoldEnabled());
            group.RevealTick();
            ++ticks;
        }
        EXPECT_TRUE(group.HoldEnabled());
        EXPECT_GE(ticks, 150);  // the tallest square, 300 rows, sets the pace
        for (int i = 0; i < 3; ++i) shown[i].push_back(Finished(scenes[i]));
    }
    for (int i = 0; i < 3; ++i) EXPECT_EQ(shown[i], PicturesInSteps(runs[i], 3)) << "monitor " << i;
}

}  // namespace
}  // namespace nivora
