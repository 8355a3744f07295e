// Fingerprints of whole layers and fields. The Linux and the Windows builds,
// natively and under an emulated processor, with x87 or integer numbers, must give the same pictures bit
// for bit, so all run these against the same numbers. Each test keeps two:
// the raw 80 bits of the generators' values (any change to a rule, a recipe
// or a rounding shows) and the colours or alpha values alone (a change there
// is one a user sees).
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "engine/pictures/background_colouring.h"
#include "engine/pictures/background_field.h"
#include "engine/pictures/scene.h"
#include "engine/pictures/snowflake.h"
#include "support/pictures.h"

namespace nivora {
namespace {

TEST(GoldenPictures, SnowflakeLayersOfEveryRule) {
    Scene scene;
    scene.FlakeSize = 257;
    Fingerprint alphas, raw;
    for (int algorithm = 1; algorithm <= 20; ++algorithm) {
        scene.Settings.Algorithm = static_cast<std::uint8_t>(algorithm);
        Snowflake(scene);
        for (int row = 0; row <= scene.FlakeSize; ++row)
            alphas.Add(&scene.FlakeLayer.Alpha[scene.FlakeLayer.Index(row, 0)], sizeof(std::int32_t) * (scene.FlakeSize + 1));
        // Every orbit of every eighth row, as 80-bit values.
        for (int row = 0; row <= scene.FlakeSize; row += 8)
            for (int col = 0; col <= scene.FlakeSize; ++col) {
                FlakeOrbit orbit{};
                std::int32_t alpha = 0;
                if (!FlakeCell(row, col, scene.FlakeSize, static_cast<std::uint8_t>(algorithm), alpha, &orbit)) continue;
                for (int i = 0; i < 6; ++i) {
                    raw.Add(&orbit.X[i], 10);
                    raw.Add(&orbit.Y[i], 10);
                    raw.Add(&orbit.R[i], 10);
                }
            }
    }
    EXPECT_EQ(alphas.value, 6085589427878101267ull);
    EXPECT_EQ(raw.value, 15297777123760800051ull);
}

TEST(GoldenPictures, FieldsAndColoursOfEveryRecipe) {
    Scene scene;
    scene.FieldWidth = 97;
    scene.FieldHeight = 61;
    scene.FieldBitmap = SoftwareImaging().CreateBitmap(scene.FieldWidth, scene.FieldHeight);
    scene.Settings.Brightness = 20;
    Fingerprint raw, colours;
    for (int background = 1; background <= 20; ++background) {
        scene.Settings.Background = background;
        Background0(scene);
        Background1(scene);
        // The 80 bits of every extended value, not its storage padding.
        for (const auto& plane : scene.BackgroundField.Plane)
            for (int y = 0; y <= scene.FieldHeight; ++y)
                for (int x = 0; x <= scene.FieldWidth; ++x) raw.Add(&plane[scene.BackgroundField.Index(x, y)], 10);
        for (int y = 0; y < scene.FieldHeight; ++y)
            for (int x = 0; x < scene.FieldWidth; ++x) {
                const std::uint32_t pixel = scene.FieldBitmap->GetPixel(x, y);
                colours.Add(&pixel, sizeof pixel);
            }
    }
    EXPECT_EQ(raw.value, 17808796315421590005ull);
    EXPECT_EQ(colours.value, 918092657038053129ull);
}

}  // namespace
}  // namespace nivora
