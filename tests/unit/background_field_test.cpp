#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "engine/pictures/background_field.h"
#include "engine/pictures/background_recipes.h"
#include "engine/pictures/parallel_rows.h"
#include "engine/pictures/scene.h"

namespace nivora {
namespace {

using xmath::Real;

// The ten bytes of an extended value that carry it; the rest is padding.
constexpr std::size_t kValueBytes = 10;

bool SameBits(Real a, Real b) { return std::memcmp(&a, &b, kValueBytes) == 0; }

class BackgroundField : public ::testing::Test {
protected:
    Scene scene;
    void TearDown() override { SetGeneratorThreads(0); }

    Real& At(int plane, int x, int y) {
        return scene.BackgroundField.Plane[plane][scene.BackgroundField.Index(x, y)];
    }

    void Fill(int background, int W, int H) {
        scene.Settings.Background = background;
        scene.FieldWidth = W;
        scene.FieldHeight = H;
        Background0(scene);
    }

    // Marks points 0..columns-1 by 0..rows-1 of every plane with a value no
    // recipe produces.
    void Mark(int columns, int rows) {
        scene.FieldWidth = columns;
        scene.FieldHeight = rows;
        scene.EnsurePlaneCapacity();
        for (int p = 0; p < 3; ++p)
            for (int y = 0; y < rows; ++y)
                for (int x = 0; x < columns; ++x) At(p, x, y) = -777.0L;
    }

    std::vector<Real> Snapshot(int columns, int rows) {
        std::vector<Real> values;
        for (int p = 0; p < 3; ++p)
            for (int y = 0; y < rows; ++y)
                for (int x = 0; x < columns; ++x) values.push_back(At(p, x, y));
        return values;
    }

    static bool SameField(const std::vector<Real>& a, const std::vector<Real>& b) {
        if (a.size() != b.size()) return false;
        for (std::size_t i = 0; i < a.size(); ++i)
            if (!SameBits(a[i], b[i])) return false;
        return true;
    }
};

TEST_F(BackgroundField, FillCoversColumnWAndRowHAndNothingBeyond) {
    // W = H = 1: exactly the four points (0,0), (1,0), (0,1), (1,1).
    Mark(4, 4);
    Fill(4, 1, 1);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            const bool inside = x <= 1 && y <= 1;
            const RecipeValues want = EvaluateRecipe(4, x, y, 1, 1);
            EXPECT_EQ(At(0, x, y), inside ? want.p0 : -777.0L) << x << "," << y;
            EXPECT_EQ(At(1, x, y), inside ? want.p1 : -777.0L) << x << "," << y;
            EXPECT_EQ(At(2, x, y), inside ? want.p2 : -777.0L) << x << "," << y;
        }

    // A wider field, for every recipe: every point of 0..W by 0..H holds the
    // recipe's values at that point alone (the fill computes a column's and
    // a row's part of the points once), with u = 1 in column W and v = 1 in
    // row H.
    const int W = 37, H = 23;
    for (int n = 1; n <= 20; ++n) {
        Mark(W + 2, H + 2);
        Fill(n, W, H);
        for (int y = 0; y <= H + 1; ++y)
            for (int x = 0; x <= W + 1; ++x) {
                const bool inside = x <= W && y <= H;
                const RecipeValues want = EvaluateRecipe(n, x, y, W, H);
                ASSERT_EQ(At(0, x, y), inside ? want.p0 : -777.0L) << n << ": " << x << "," << y;
                ASSERT_EQ(At(1, x, y), inside ? want.p1 : -777.0L) << n << ": " << x << "," << y;
                ASSERT_EQ(At(2, x, y), inside ? want.p2 : -777.0L) << n << ": " << x << "," << y;
            }
    }
}

TEST_F(BackgroundField, BackgroundZeroClearsTheRange) {
    Fill(8, 30, 20);
    Fill(0, 30, 20);
    for (int p = 0; p < 3; ++p)
        for (int y = 0; y <= 20; ++y)
            for (int x = 0; x <= 30; ++x) ASSERT_EQ(At(p, x, y), 0.0L) << p << ":" << x << "," << y;
}

TEST_F(BackgroundField, NumbersOutsideZeroToTwentyAndEmptyFieldsChangeNothing) {
    Fill(3, 40, 30);
    const std::vector<Real> before = Snapshot(41, 31);
    for (int n : {-1, 21, 255, 1 << 30}) {
        Fill(n, 40, 30);
        EXPECT_TRUE(SameField(before, Snapshot(41, 31))) << "background " << n;
    }
    for (auto [W, H] : {std::pair{0, 30}, {40, 0}, {0, 0}, {-5, 30}, {40, -1}}) {
        Fill(9, W, H);
        EXPECT_TRUE(SameField(before, Snapshot(41, 31))) << W << " x " << H;
    }
}

TEST_F(BackgroundField, SameFieldOnEveryRunWhateverTheThreadCount) {
    const int W = 211, H = 97;
    for (int n : {1, 9, 14, 18}) {
        SetGeneratorThreads(1);
        Fill(n, W, H);
        const std::vector<Real> single = Snapshot(W + 1, H + 1);
        Fill(n, W, H);
        EXPECT_TRUE(SameField(single, Snapshot(W + 1, H + 1))) << "second run, recipe " << n;
        for (int threads : {2, 5}) {
            SetGeneratorThreads(threads);
            Fill(0, W, H);
            Fill(n, W, H);
            EXPECT_TRUE(SameField(single, Snapshot(W + 1, H + 1))) << threads << " threads, recipe " << n;
        }
    }
}

TEST_F(BackgroundField, FieldsBeyondTheClassicCapacityFit) {
    const int W = 3840, H = 2160;
    Fill(6, W, H);
    ASSERT_GE(scene.BackgroundField.Stride, W + 1);
    ASSERT_GE(scene.BackgroundField.Rows, H + 1);
    for (auto [x, y] : {std::pair{W, H}, {W, 0}, {0, H}, {2001, 1501}, {1234, 2000}}) {
        const RecipeValues want = EvaluateRecipe(6, x, y, W, H);
        EXPECT_EQ(At(0, x, y), want.p0) << x << "," << y;
        EXPECT_EQ(At(2, x, y), want.p2) << x << "," << y;
    }
}

}  // namespace
}  // namespace nivora
