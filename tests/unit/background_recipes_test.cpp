#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "engine/background_field.h"
#include "engine/background_recipes.h"
#include "engine/parallel_rows.h"
#include "engine/scene.h"

namespace nivora {
namespace {

using xmath::Real;

// The ten bytes of an extended value that carry it; the rest is padding.
constexpr std::size_t kValueBytes = 10;

bool SameBits(Real a, Real b) { return std::memcmp(&a, &b, kValueBytes) == 0; }

class BackgroundFieldTest : public ::testing::Test {
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

TEST(BackgroundRecipes, ReferenceValuesAtQuarterThreeQuarters) {
    const double table[20][3] = {
        {0.724776, 1.040319, 1.514310},   {0.893160, 0.609034, 0.379717},   {1.132087, 1.416622, 0.629619},
        {0.442442, 0.772789, 1.066066},   {0.229849, 0.229849, 0.708073},   {0.450000, 0.450000, 0.900000},
        {0.271447, 0.978553, 1.125000},   {1.991766, 3.405873, 3.712865},   {0.982146, 0.433817, 0.980177},
        {1.729849, 1.494996, 0.942002},   {3.494996, 1.858169, 0.573009},   {-0.020574, -0.020574, 0.841471},
        {-0.321899, 0.910583, 0.853722},  {0.782620, -0.785776, 0.858415},  {0.367076, -0.312712, 0.956992},
        {0.478488, 0.970034, 0.947260},   {0.593714, 0.537910, 0.695733},   {0.204979, 0.091196, 0.290342},
        {0.353404, 0.713832, 0.529058},   {0.972572, 0.256506, 0.608781},
    };
    for (int n = 1; n <= 20; ++n) {
        const RecipeValues v = EvaluateRecipe(n, 25, 75, 100, 100);
        const double* want = table[n - 1];
        EXPECT_NEAR(static_cast<double>(v.p0), want[0], 1e-6) << "recipe " << n;
        EXPECT_NEAR(static_cast<double>(v.p1), want[1], 1e-6) << "recipe " << n;
        EXPECT_NEAR(static_cast<double>(v.p2), want[2], 1e-6) << "recipe " << n;
    }
}

TEST(BackgroundRecipes, CornersAndCentresOfTheSymmetricRecipes) {
    const long double s1 = std::sin(1.0L), s2 = std::sin(2.0L);
    // Recipe 5 is a tent: zero at opposite corners, peaks at the centre.
    for (auto [x, y] : {std::pair{0, 0}, {80, 60}}) {
        const RecipeValues v = EvaluateRecipe(5, x, y, 80, 60);
        EXPECT_EQ(v.p0, 0.0L);
        EXPECT_EQ(v.p1, 0.0L);
        EXPECT_EQ(v.p2, 0.0L);
    }
    const RecipeValues centre = EvaluateRecipe(5, 40, 30, 80, 60);
    EXPECT_NEAR(static_cast<double>(centre.p0), static_cast<double>(s1 * s1), 1e-15);
    EXPECT_NEAR(static_cast<double>(centre.p1), static_cast<double>(s1 * s1), 1e-15);
    EXPECT_NEAR(static_cast<double>(centre.p2), static_cast<double>(s2 * s2), 1e-15);

    // Recipe 6 gives p0 = p1 and p2 = 2 p0 everywhere, 0.7 at the centre.
    for (auto [x, y] : {std::pair{0, 0}, {13, 57}, {80, 60}, {40, 30}}) {
        const RecipeValues v = EvaluateRecipe(6, x, y, 80, 60);
        EXPECT_EQ(v.p0, v.p1);
        EXPECT_NEAR(static_cast<double>(v.p2), static_cast<double>(2 * v.p0), 1e-15);
    }
    EXPECT_NEAR(static_cast<double>(EvaluateRecipe(6, 40, 30, 80, 60).p0), 0.7, 1e-15);

    // Recipe 7 runs from (0, 0, 0) to (2, 2, 1) across the field.
    const RecipeValues origin = EvaluateRecipe(7, 0, 0, 80, 60), far = EvaluateRecipe(7, 80, 60, 80, 60);
    EXPECT_EQ(origin.p0 + origin.p1 + origin.p2, 0.0L);
    EXPECT_NEAR(static_cast<double>(far.p0), 2.0, 1e-15);
    EXPECT_NEAR(static_cast<double>(far.p1), 2.0, 1e-15);
    EXPECT_NEAR(static_cast<double>(far.p2), 1.0, 1e-15);
}

TEST_F(BackgroundFieldTest, FillCoversColumnWAndRowHAndNothingBeyond) {
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

    // A wider field: every point of 0..W by 0..H holds the recipe's values,
    // with u = 1 in column W and v = 1 in row H.
    const int W = 37, H = 23;
    Mark(W + 2, H + 2);
    Fill(13, W, H);
    for (int y = 0; y <= H + 1; ++y)
        for (int x = 0; x <= W + 1; ++x) {
            const bool inside = x <= W && y <= H;
            const RecipeValues want = EvaluateRecipe(13, x, y, W, H);
            ASSERT_EQ(At(0, x, y), inside ? want.p0 : -777.0L) << x << "," << y;
            ASSERT_EQ(At(1, x, y), inside ? want.p1 : -777.0L) << x << "," << y;
            ASSERT_EQ(At(2, x, y), inside ? want.p2 : -777.0L) << x << "," << y;
        }
}

TEST_F(BackgroundFieldTest, BackgroundZeroClearsTheRange) {
    Fill(8, 30, 20);
    Fill(0, 30, 20);
    for (int p = 0; p < 3; ++p)
        for (int y = 0; y <= 20; ++y)
            for (int x = 0; x <= 30; ++x) ASSERT_EQ(At(p, x, y), 0.0L) << p << ":" << x << "," << y;
}

TEST_F(BackgroundFieldTest, NumbersOutsideZeroToTwentyAndEmptyFieldsChangeNothing) {
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

TEST_F(BackgroundFieldTest, SameFieldOnEveryRunWhateverTheThreadCount) {
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

TEST_F(BackgroundFieldTest, FieldsBeyondTheClassicCapacityFit) {
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
