// Fingerprints of whole layers and fields. Every build, x86 or not, x87 or
// integer extended numbers, Linux or Windows, must give the same pictures bit
// for bit, so all run these against the same numbers; a change to any rule,
// recipe or rounding shows up here.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "engine/background_colouring.h"
#include "engine/background_field.h"
#include "engine/scene.h"
#include "engine/snowflake.h"

namespace nivora {
namespace {

// FNV-1a over raw bytes.
struct Fingerprint {
    std::uint64_t value = 1469598103934665603ull;
    void Add(const void* data, std::size_t size) {
        const auto* bytes = static_cast<const unsigned char*>(data);
        for (std::size_t i = 0; i < size; ++i) value = (value ^ bytes[i]) * 1099511628211ull;
    }
};

TEST(GoldenPictures, SnowflakeLayersOfEveryRule) {
    Scene scene;
    scene.FlakeSize = 257;
    Fingerprint print;
    for (int algorithm = 1; algorithm <= 20; ++algorithm) {
        scene.Settings.Algorithm = static_cast<std::uint8_t>(algorithm);
        Snowflake(scene);
        for (int row = 0; row <= scene.FlakeSize; ++row)
            print.Add(&scene.FlakeLayer.Alpha[scene.FlakeLayer.Index(row, 0)], sizeof(std::int32_t) * (scene.FlakeSize + 1));
    }
    EXPECT_EQ(print.value, 6085589427878101267ull);
}

TEST(GoldenPictures, FieldsAndColoursOfEveryRecipe) {
    Scene scene;
    scene.FieldWidth = 97;
    scene.FieldHeight = 61;
    scene.FieldBitmap = SoftwareImaging().CreateBitmap(scene.FieldWidth, scene.FieldHeight);
    scene.Settings.Brightness = 20;
    Fingerprint print;
    for (int background = 1; background <= 20; ++background) {
        scene.Settings.Background = background;
        Background0(scene);
        Background1(scene);
        // The 80 bits of every extended value, not its storage padding.
        for (const auto& plane : scene.BackgroundField.Plane)
            for (int y = 0; y <= scene.FieldHeight; ++y)
                for (int x = 0; x <= scene.FieldWidth; ++x) print.Add(&plane[scene.BackgroundField.Index(x, y)], 10);
        for (int y = 0; y < scene.FieldHeight; ++y)
            for (int x = 0; x < scene.FieldWidth; ++x) {
                const std::uint32_t pixel = scene.FieldBitmap->GetPixel(x, y);
                print.Add(&pixel, sizeof pixel);
            }
    }
    EXPECT_EQ(print.value, 9367232901038616349ull);
}

}  // namespace
}  // namespace nivora
