// The picture sequence a user sees, pinned: from a fixed seed, the numbers
// each picture draws (in the order they are drawn: creation takes the
// background first, a hold's end the algorithm first) and a fingerprint of
// each finished frame. A change to the order of the random draws, to any
// generator, to the reveal or to laying the field shows up here.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "engine/picture_cycle.h"
#include "engine/random.h"
#include "engine/scene.h"

namespace nivora {
namespace {

#if defined(__i386__) || defined(__x86_64__)
#define X87_ONLY()
#else
#define X87_ONLY() GTEST_SKIP() << "fingerprints are of x87 extended precision"
#endif

struct Picture {
    int algorithm, background;
    std::uint64_t frame;
    bool operator==(const Picture&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Picture& p) {
    return out << "{" << p.algorithm << ", " << p.background << ", " << p.frame << "ull}";
}

std::uint64_t FrameFingerprint(const Frame& frame) {
    std::uint64_t value = 1469598103934665603ull;
    for (int y = 0; y < frame.Height(); ++y) {
        const std::uint8_t* row = frame.Bits() + static_cast<std::size_t>(y) * frame.Stride();
        for (int i = 0; i < 3 * frame.Width(); ++i) value = (value ^ row[i]) * 1099511628211ull;
    }
    return value;
}

struct Run {
    std::uint32_t seed;
    int clientWidth, clientHeight;
    bool randsAlgorithm, backgroundRands;
};

// The cycle as the saver window drives it: the first picture at creation,
// each later one at a hold's end, every picture revealed to its last cell.
std::vector<Picture> PicturesOf(const Run& run, int count) {
    ResetScene();
    SaverSettings.Algorithm = 20;
    SaverSettings.Background = 1;
    SaverSettings.Brightness = 14;
    SaverSettings.TimeShow = 5;
    SaverSettings.RandsAlgorithm = run.randsAlgorithm;
    SaverSettings.BackgroundRands = run.backgroundRands;
    RandSeed = run.seed;
    SetSaverGeometry(run.clientWidth, run.clientHeight);
    CreateSurfaces(SoftwareImaging(), run.clientWidth, run.clientHeight);

    std::vector<Picture> pictures;
    for (int i = 0; i < count; ++i) {
        if (i == 0)
            FirstPicture();
        else
            HoldEnd();
        while (!RevealTick().completed) {
        }
        FrameGraphics->Flush();
        pictures.push_back({SaverSettings.Algorithm, SaverSettings.Background, FrameFingerprint(*FrameDib)});
    }
    return pictures;
}

// A 640 x 360 screen: the full-screen saver covers it, the settings mode's
// window has half of it as its client area.
TEST(PinnedCycle, FullScreenFromTwoSeeds) {
    X87_ONLY();
    EXPECT_EQ(PicturesOf({20261207, 640, 360, true, true}, 6),
              (std::vector<Picture>{{16, 9, 956731849183413949ull}, {10, 13, 5282581091447264952ull}, {4, 6, 713653774300165494ull},
                   {18, 4, 8000173083788571596ull}, {5, 9, 14915832909509878604ull}, {11, 10, 2312700595945420225ull}}));
    EXPECT_EQ(PicturesOf({4242, 640, 360, false, true}, 5),
              (std::vector<Picture>{{20, 3, 7054113080169055440ull}, {20, 10, 5448916241219692978ull}, {20, 13, 10471836339059602849ull},
                   {20, 12, 10648391618345579858ull}, {20, 14, 8885168509372865904ull}}));
}

TEST(PinnedCycle, WindowedFromTwoSeeds) {
    X87_ONLY();
    EXPECT_EQ(PicturesOf({20261207, 320, 180, true, true}, 6),
              (std::vector<Picture>{{16, 9, 1942125623775936134ull}, {10, 13, 16215716776219673231ull}, {4, 6, 15033233037951093666ull},
                   {18, 4, 16371100617634959758ull}, {5, 9, 6165663588752963052ull}, {11, 10, 2506457117785601539ull}}));
    EXPECT_EQ(PicturesOf({77, 320, 180, true, false}, 5),
              (std::vector<Picture>{{8, 1, 1817694196272598868ull}, {18, 1, 2720565638811641241ull}, {4, 1, 2016847939990703809ull},
                   {12, 1, 14517098321147266109ull}, {19, 1, 13482101430185520027ull}}));
}

}  // namespace
}  // namespace nivora
