#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "engine/pictures/parallel_rows.h"
#include "engine/pictures/scene.h"
#include "engine/pictures/snowflake.h"

namespace nivora {
namespace {

class SnowflakeTest : public ::testing::Test {
protected:
    Scene scene;
    void TearDown() override { SetGeneratorThreads(0); }

    void Generate(int size, int algorithm) {
        scene.FlakeSize = size;
        scene.Settings.Algorithm = static_cast<std::uint8_t>(algorithm);
        Snowflake(scene);
    }
    std::int32_t Alpha(int row, int col) { return scene.FlakeLayer.Alpha[scene.FlakeLayer.Index(row, col)]; }
    std::int32_t Red(int row, int col) { return scene.FlakeLayer.Red[scene.FlakeLayer.Index(row, col)]; }
};

TEST_F(SnowflakeTest, ReferenceCellsAtSize100) {
    struct Case {
        int algorithm, row, col, alpha;
    };
    const Case cases[] = {{1, 50, 75, 174}, {1, 50, 50, 88},  {1, 30, 60, 132},
                          {3, 20, 50, 123}, {12, 30, 60, 198}, {20, 10, 45, 200}};
    for (const Case& c : cases) {
        Generate(100, c.algorithm);
        EXPECT_EQ(Alpha(c.row, c.col), c.alpha) << "algorithm " << c.algorithm << " at " << c.row << "," << c.col;
        EXPECT_EQ(Red(c.row, c.col), 255);
        EXPECT_EQ(scene.FlakeLayer.Green[scene.FlakeLayer.Index(c.row, c.col)], 255);
        EXPECT_EQ(scene.FlakeLayer.Blue[scene.FlakeLayer.Index(c.row, c.col)], 255);
    }
}

TEST_F(SnowflakeTest, CentreSeedOfAnEvenSquare) {
    FlakeOrbit orbit;
    std::int32_t alpha;
    ASSERT_TRUE(FlakeCell(50, 50, 100, 1, alpha, &orbit));
    EXPECT_NEAR(static_cast<double>(orbit.Y[0]), 0.0031623, 1e-7);
    EXPECT_NEAR(static_cast<double>(orbit.X[0]), 0.2205840, 1e-7);
}

TEST_F(SnowflakeTest, FoldAndThreshold) {
    struct Case {
        long double F;
        double S;
        int alpha;
    };
    const long double pi = 3.14159265358979323846264338327950288L;
    const Case cases[] = {{1, 0.63662, 162},    {2, 0.72676, 185},   {pi / 2, 1.0, 255}, {0.16L, 0.10186, 26},
                          {0.1L, 0.0, 0},       {3.5L, 0.0, 0},      {-0.5L, 0.31831, 81},
                          {-2, 1.27324, 325}};
    for (const Case& c : cases) {
        const xmath::Real S = FoldFinalValue(c.F);
        EXPECT_NEAR(static_cast<double>(S), c.S, 1e-5) << "F = " << static_cast<double>(c.F);
        EXPECT_EQ(xmath::LlRint(S * 255), c.alpha) << "F = " << static_cast<double>(c.F);
    }
    EXPECT_EQ(FoldFinalValue(std::numeric_limits<long double>::quiet_NaN()), 0.0L);
}

TEST_F(SnowflakeTest, OutsideTheDiscOnlyAlphaIsWrittenAndItDependsOnSizeAlone) {
    Generate(100, 7);
    // Corners, edge middles and the extra row and column lie outside.
    for (auto [r, c] : {std::pair{0, 0}, {0, 100}, {100, 0}, {100, 100}, {50, 0}, {0, 50}, {100, 50}, {50, 100}})
        EXPECT_EQ(Alpha(r, c), 0) << r << "," << c;

    // Colours outside the disc keep earlier values.
    scene.FlakeLayer.Red[scene.FlakeLayer.Index(0, 0)] = 17;
    Generate(100, 3);
    EXPECT_EQ(Red(0, 0), 17);

    // The set of outside cells is the same for every rule.
    std::vector<bool> inside7, inside3;
    for (int algorithm : {7, 3}) {
        auto& inside = algorithm == 7 ? inside7 : inside3;
        for (int r = 0; r <= 100; ++r)
            for (int c = 0; c <= 100; ++c) {
                std::int32_t a;
                inside.push_back(FlakeCell(r, c, 100, static_cast<std::uint8_t>(algorithm), a));
            }
    }
    EXPECT_EQ(inside7, inside3);
}

TEST_F(SnowflakeTest, MirrorSymmetricAboutBothCentreLines) {
    Generate(120, 5);
    int asymmetric = 0;
    for (int r = 0; r <= 120; ++r)
        for (int c = 0; c <= 120; ++c) {
            asymmetric += Alpha(r, c) != Alpha(120 - r, c);
            asymmetric += Alpha(r, c) != Alpha(r, 120 - c);
        }
    // Rounding of the coordinates may tip a rare cell.
    EXPECT_LT(asymmetric, 20);
}

TEST_F(SnowflakeTest, SameResultWhateverTheThreadCount) {
    for (int algorithm : {4, 9, 16, 20}) {
        SetGeneratorThreads(1);
        Generate(301, algorithm);
        std::vector<std::int32_t> single(scene.FlakeLayer.Alpha.data(), scene.FlakeLayer.Alpha.data() + scene.FlakeLayer.Alpha.size());
        SetGeneratorThreads(5);
        Generate(301, algorithm);
        EXPECT_TRUE(std::equal(single.begin(), single.end(), scene.FlakeLayer.Alpha.data())) << "algorithm " << algorithm;
    }
}

TEST_F(SnowflakeTest, LayerEqualsACellByCellPass) {
    // The generator shares results between mirror-image cells; every cell must
    // still be exactly what its own computation gives.
    for (int size : {1, 2, 3, 7, 100, 101, 333, 640}) {
        for (int algorithm : {1, 8, 16}) {
            Generate(size, algorithm);
            int mismatches = 0;
            for (int r = 0; r <= size; ++r)
                for (int c = 0; c <= size; ++c) {
                    std::int32_t alpha;
                    FlakeCell(r, c, size, static_cast<std::uint8_t>(algorithm), alpha);
                    mismatches += Alpha(r, c) != alpha;
                }
            EXPECT_EQ(mismatches, 0) << "size " << size << ", algorithm " << algorithm;
        }
    }
}

TEST_F(SnowflakeTest, UnknownRulesGiveAClearDiscWhateverCameBefore) {
    for (int algorithm : {0, 21, 255}) {
        Generate(64, 1);  // leave a real snowflake behind
        Generate(64, algorithm);
        for (int r = 0; r <= 64; ++r)
            for (int c = 0; c <= 64; ++c) ASSERT_EQ(Alpha(r, c), 0) << algorithm;
        EXPECT_EQ(Red(32, 32), 255);
    }
}

TEST_F(SnowflakeTest, NonPositiveSizesWriteNothing) {
    Generate(10, 1);
    const std::int32_t before = Alpha(5, 5);
    for (int size : {0, -1, -500}) {
        Generate(size, 2);
        EXPECT_EQ(Alpha(5, 5), before);
    }
}

TEST_F(SnowflakeTest, SquaresLargerThanTheClassicCapacityFit) {
    Generate(2160, 7);
    EXPECT_GE(scene.FlakeLayer.Stride, 2161);
    EXPECT_EQ(Alpha(2160, 2160), 0);
    EXPECT_GT(Alpha(1080, 1080) + Alpha(1000, 1080) + Alpha(1080, 1000), 0);
}

}  // namespace
}  // namespace nivora
