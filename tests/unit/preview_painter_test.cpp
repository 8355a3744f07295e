// The preview's pace and pictures through the worker, on a clock the test
// turns by hand.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <vector>

#include "engine/cycle/cycle_schedule.h"
#include "engine/cycle/picture_cycle.h"
#include "engine/cycle/picture_worker.h"
#include "engine/cycle/preview_painter.h"
#include "support/pictures.h"
#include "support/preview_reference.h"

namespace nivora {
namespace {

void StartPreview(Scene& scene, RandomGenerator& random, int width, int height, std::uint32_t seed) {
    const SaverSettings settings{.Brightness = 14, .BackgroundRands = true, .RandsAlgorithm = true};
    StartScene(scene, random, {settings, seed, width, height, true});
}

// Paints when the painter's schedule says they are due, as a host that
// follows it calls them, on the test's clock. The clock stands still while
// the worker makes a picture, however long a loaded machine makes that take:
// the pace is the painter's, not the worker's.
struct PaneRun {
    Scene scene;
    RandomGenerator random;
    PictureWorker worker;
    std::unique_ptr<PictureCycle> cycle;
    std::unique_ptr<PreviewPainter> painter;
    CycleDeadlines deadlines;
    std::uint64_t now = 0;
    int paints = 0;  // the painter asked

    PaneRun(int width, int height, std::uint32_t seed) {
        StartPreview(scene, random, width, height, seed);
        cycle = std::make_unique<PictureCycle>(scene, SoftwareImaging(), random, worker);
        cycle->FirstPicture();
        painter = std::make_unique<PreviewPainter>(*cycle);
    }

    // The next shown paint; returns the clock when it was shown.
    std::uint64_t NextShown() {
        for (;;) {
            if (paints > 0) now += static_cast<std::uint64_t>(deadlines.PollTimeoutMs(At(now)));
            if (deadlines.HoldDue(At(now)))
                deadlines.HoldTaken();
            else if (deadlines.RevealDue(At(now)))
                deadlines.RevealTaken(At(now));
            if (cycle->Waiting()) cycle->FinishAwaited();
            ++paints;
            const bool shown = painter->Paint(now);
            deadlines.Follow(painter->Schedule(), At(now));
            if (shown) return now;
        }
    }
    static CycleDeadlines::Clock::time_point At(std::uint64_t ms) {
        return CycleDeadlines::Clock::time_point{} + std::chrono::milliseconds(ms);
    }
};

TEST(PreviewPainter, A152x112PaneKeepsThePaceAndPausesASecondAfterEachPicture) {
    PaneRun run(152, 112, 12345);
    EXPECT_EQ(run.scene.FlakeOffsetX, 20);
    std::uint64_t last = run.NextShown();
    EXPECT_EQ(run.scene.RevealY * 112 + run.scene.RevealX, 225);
    for (int paint = 2; paint <= 55; ++paint) {
        const std::uint64_t shown = run.NextShown();
        EXPECT_EQ(shown - last, PreviewPainter::kPaintPauseMs) << "paint " << paint;
        EXPECT_EQ(run.scene.RevealY * 112 + run.scene.RevealX, 225 * paint) << "paint " << paint;
        last = shown;
    }
    EXPECT_EQ(run.painter->PicturesCompleted(), 0);
    // The 56th paint completes the picture after its 169th step; the frame is
    // shown a second later with the first 56 cells of the next picture.
    const std::uint64_t shown = run.NextShown();
    EXPECT_EQ(run.painter->PicturesCompleted(), 1);
    EXPECT_EQ(shown - last, PreviewPainter::kPaintPauseMs + PreviewPainter::kPicturePauseMs);
    EXPECT_EQ(run.paints, 57);  // asked only when due: the 56 shown, and the one that completed the picture
    EXPECT_EQ(run.scene.RevealY, 0);
    EXPECT_EQ(run.scene.RevealX, 56);
    EXPECT_GE(run.scene.Settings.Algorithm, 1);
    EXPECT_LE(run.scene.Settings.Algorithm, 19);
    EXPECT_GE(run.scene.Settings.Background, 1);
    EXPECT_LE(run.scene.Settings.Background, 20);
}

// Through the worker, the frames shown are those of the paints made one after
// the other on one thread, for a wide pane and a pane taller than wide (whose
// cells left of the edge are clipped).
TEST(PreviewPainter, ShowsWhatPaintsOnOneThreadShow) {
    for (auto [width, height] : {std::pair{40, 30}, std::pair{20, 40}}) {
        Scene steps;
        RandomGenerator stepsRandom;
        StartPreview(steps, stepsRandom, width, height, 77);
        PreviewFirstPicture(steps, stepsRandom);
        PaneRun run(width, height, 77);
        for (int paint = 0; paint < 80; ++paint) {
            PreviewRevealTick(steps, stepsRandom, nullptr);
            run.NextShown();
            ASSERT_EQ(FrameFingerprint(run.scene), FrameFingerprint(steps))
                << width << "x" << height << " paint " << paint;
        }
        EXPECT_GE(run.painter->PicturesCompleted(), 3);
        EXPECT_EQ(run.random.Seed, stepsRandom.Seed);
    }
}

}  // namespace
}  // namespace nivora
