// What the engine does at the edges of memory and of its arrays: sizes whose
// rows cannot be counted, cells outside the layer, and allocations that fail
// (made to fail on purpose with gPlaneBytesLimit).
#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <cstdint>
#include <new>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "engine/cycle/picture_cycle.h"
#include "engine/cycle/picture_steps.h"
#include "engine/cycle/picture_worker.h"
#include "engine/cycle/random.h"
#include "engine/cycle/reveal.h"
#include "engine/pictures/scene.h"
#include "engine/pictures/surfaces.h"
#include "support/pictures.h"

namespace nivora {
namespace {

// Restores the limit however the test ends.
struct PlaneLimit {
    explicit PlaneLimit(std::size_t bytes) { gPlaneBytesLimit = bytes; }
    ~PlaneLimit() { gPlaneBytesLimit = SIZE_MAX; }
};

std::vector<std::uint8_t> Pixels(const Frame& frame) {
    const std::uint8_t* bits = frame.Bits();
    return {bits, bits + static_cast<std::size_t>(frame.Stride()) * frame.Height()};
}

TEST(Bounds, CreateSurfacesRefusesSidesWhoseRowsOverflow) {
    Scene scene;
    SetPreviewGeometry(scene, 4, 4);
    for (const auto& [width, height] : std::vector<std::pair<int, int>>{
             {kMaxSurfaceSide + 1, 1}, {1, kMaxSurfaceSide + 1}, {INT_MAX, 1}, {-1, 4}, {4, -1}})
        EXPECT_THROW(CreateSurfaces(scene, SoftwareImaging(), width, height), std::invalid_argument)
            << width << " x " << height;
    EXPECT_NO_THROW(CreateSurfaces(scene, SoftwareImaging(), 0, 0));
}

TEST(Bounds, BlendCellOutsideTheLayerChangesNothing) {
    Scene scene;
    RandomGenerator random;
    StartScene(scene, random, {{7, 3, 14, 5, false, false}, 3, 64, 36});
    MakeFirstPictureNow(scene, random);
    scene.FrameGraphics->Flush();
    const auto before = Pixels(*scene.FrameDib);
    const int stride = scene.FlakeLayer.Stride;
    for (const auto& [row, col] : std::vector<std::pair<int, int>>{
             {-1, 0}, {0, -1}, {stride, 0}, {0, stride}, {INT_MAX, INT_MAX}, {INT_MIN, 5}})
        BlendCell(scene, row, col);
    scene.FrameGraphics->Flush();
    EXPECT_EQ(Pixels(*scene.FrameDib), before);
}

TEST(Memory, AFailedPlaneIsReportedWithThePicturesSizeAndNeed) {
    Scene scene;
    SetSaverGeometry(scene, 4000, 2000);
    {
        const PlaneLimit limit(1 << 20);
        try {
            CreateSurfaces(scene, SoftwareImaging(), 4000, 2000);
            FAIL() << "no failure";
        } catch (const PictureMemoryError& error) {
            // Field points of three long doubles: 16 bytes each here, 12 in a 32-bit build.
            EXPECT_EQ(std::string(error.what()), std::string("Not enough memory for a picture of 4000 x 2000: it needs about ") +
                                                     (sizeof(long double) == 16 ? "0.3 GB" : "0.2 GB"));
        }
    }
    EXPECT_EQ(PictureMemoryBytes(scene, 4000, 2000),
              24000000ull + 2 * (2001ull * 2001 * 7 + 2001ull * 1001 * (3 * sizeof(long double) + 4)));
    // Memory back: the same scene is made.
    EXPECT_NO_THROW(CreateSurfaces(scene, SoftwareImaging(), 4000, 2000));
}

// A window's cycle leaves its surfaces to the worker: memory that runs out
// for them comes out of the tick that would take the first picture, with the
// picture's size and need, and the cycle then does nothing more.
TEST(Memory, SurfacesThatFailOnTheWorkerAreReportedAtTheFirstTick) {
    Scene scene;
    RandomGenerator random;
    PictureWorker worker;
    SetSaverGeometry(scene, 4000, 2000);
    PictureCycle cycle(scene, SoftwareImaging(), random, worker, 4000, 2000);
    std::string reported;
    {
        const PlaneLimit limit(1 << 20);
        cycle.FirstPicture();
        // By the clock: a loaded machine's worker may take seconds to fail.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (reported.empty() && std::chrono::steady_clock::now() < deadline) {
            try {
                cycle.RevealTick();
            } catch (const PictureMemoryError& error) {
                reported = error.what();
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    EXPECT_EQ(reported.rfind("Not enough memory for a picture of 4000 x 2000: it needs about ", 0), 0u) << reported;
    EXPECT_TRUE(cycle.Failed());
    EXPECT_FALSE(cycle.Waiting());
    EXPECT_FALSE(cycle.RevealEnabled());
    EXPECT_FALSE(cycle.HoldEnabled());
    EXPECT_NO_THROW(cycle.RevealTick());
    EXPECT_NO_THROW(cycle.HoldEnd());
    EXPECT_FALSE(cycle.RevealEnabled());
    EXPECT_EQ(scene.FrameDib, nullptr);
}

// Screens and panes from 1 x 1 up, in both geometries: a whole picture made,
// laid and revealed to its last cell (run under the sanitizers too). The 8K
// screen runs once, in the saver's geometry.
TEST(Sizes, FromOnePixelToEightK) {
    struct Case {
        int width, height;
        bool preview;
    };
    std::vector<Case> cases;
    for (const auto& [width, height] : std::vector<std::pair<int, int>>{
             {1, 1}, {1, 2}, {2, 1}, {3, 2}, {2, 3}, {7, 480}, {640, 1}, {1, 640}, {320, 180}})
        for (const bool preview : {false, true}) cases.push_back({width, height, preview});
    cases.push_back({7680, 4320, false});
    for (const Case& c : cases) {
        Scene scene;
        RandomGenerator random;
        StartScene(scene, random, {{20, 7, 14, 5, false, false}, 11, c.width, c.height, c.preview});
        MakeFirstPictureNow(scene, random);
        int ticks = 0;
        while (!RevealTick(scene).completed && ticks <= c.height + 2) ++ticks;
        EXPECT_LE(ticks, c.height / 2 + 2) << c.width << " x " << c.height << (c.preview ? " preview" : " saver");
        scene.FrameGraphics->Flush();
    }
}

}  // namespace
}  // namespace nivora
