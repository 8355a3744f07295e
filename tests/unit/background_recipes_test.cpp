#include <gtest/gtest.h>

#include <cmath>
#include <utility>

#include "engine/pictures/background_recipes.h"

namespace nivora {
namespace {

using xmath::Real;

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

}  // namespace
}  // namespace nivora
