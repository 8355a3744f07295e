#include "engine/cycle/picture_numbers.h"

#include <gtest/gtest.h>

#include <set>

#include "engine/cycle/random.h"

namespace nivora {
namespace {

TEST(RandomGenerator, LinearCongruentialSequence) {
    RandomGenerator random;
    random.Seed = 0;
    EXPECT_EQ(random.Random(100), 0u);  // seed 1: 1 * 100 / 2^32
    EXPECT_EQ(random.Seed, 1u);
    EXPECT_EQ(random.Random(1000), 31u);  // seed 134775814
    EXPECT_EQ(random.Seed, 134775814u);
    random.Seed = 0xFFFFFFFFu;
    random.Random(2);
    EXPECT_EQ(random.Seed, static_cast<std::uint32_t>(0xFFFFFFFFull * 134775813ull + 1));
    EXPECT_EQ(random.Random(0), 0u);
}

// The random numbers cover their ranges (rule 20 is never drawn); the first
// picture draws its background first and every later one its rule first,
// which a seed's sequence depends on; with the flags off nothing changes.
TEST(PictureNumbers, DrawsCoverTheirRangesInTheSeedsOrder) {
    SaverSettings settings;
    settings.BackgroundRands = settings.RandsAlgorithm = true;
    RandomGenerator random;
    random.Seed = 7;
    std::set<int> algorithms, backgrounds;
    for (int picture = 0; picture < 400; ++picture) {
        DrawNextPictureNumbers(settings, random);
        algorithms.insert(settings.Algorithm);
        backgrounds.insert(settings.Background);
    }
    EXPECT_EQ(algorithms.size(), 19u);
    EXPECT_EQ(*algorithms.begin(), 1);
    EXPECT_EQ(*algorithms.rbegin(), 19);
    EXPECT_EQ(backgrounds.size(), 20u);
    EXPECT_EQ(*backgrounds.begin(), 1);
    EXPECT_EQ(*backgrounds.rbegin(), 20);

    for (const bool first : {true, false}) {
        random.Seed = 42;
        first ? DrawFirstPictureNumbers(settings, random) : DrawNextPictureNumbers(settings, random);
        RandomGenerator again;
        again.Seed = 42;
        const int earlier = static_cast<int>(again.Random(first ? 20 : 19)) + 1;
        const int later = static_cast<int>(again.Random(first ? 19 : 20)) + 1;
        EXPECT_EQ(first ? settings.Background : settings.Algorithm, earlier) << "first picture: " << first;
        EXPECT_EQ(first ? settings.Algorithm : settings.Background, later) << "first picture: " << first;
    }

    settings.BackgroundRands = settings.RandsAlgorithm = false;
    settings.Algorithm = 20;
    settings.Background = 0;
    DrawFirstPictureNumbers(settings, random);
    DrawNextPictureNumbers(settings, random);
    EXPECT_EQ(settings.Algorithm, 20);
    EXPECT_EQ(settings.Background, 0);
}

TEST(HoldInterval, SecondsToMillisecondsWithoutOverflow) {
    EXPECT_EQ(HoldIntervalMs(5), 5000u);
    EXPECT_EQ(HoldIntervalMs(20), 20000u);
    EXPECT_EQ(HoldIntervalMs(0), 0u);
    EXPECT_EQ(HoldIntervalMs(-3), 0u);
    EXPECT_EQ(HoldIntervalMs(4294968), 0x7FFFFFFFu);  // x 1000 would wrap 32 bits
    EXPECT_EQ(HoldIntervalMs(2147483647), 0x7FFFFFFFu);
}

}  // namespace
}  // namespace nivora
