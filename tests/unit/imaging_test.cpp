#include <gtest/gtest.h>

#include "engine/pictures/imaging.h"

namespace nivora {
namespace {

TEST(SoftwareImaging, FrameIsBlackWithRowsPaddedToFourBytes) {
    auto frame = SoftwareImaging().CreateFrame(5, 3);
    EXPECT_EQ(frame->Stride(), 16);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) EXPECT_EQ(frame->PixelRgb(x, y), 0u);
    EXPECT_EQ(SoftwareImaging().CreateFrame(4, 1)->Stride(), 12);
}

TEST(SoftwareImaging, SetPixelStoresExactlyAndRefusesOutsideCoordinates) {
    auto bitmap = SoftwareImaging().CreateBitmap(3, 2);
    bitmap->SetPixel(2, 1, 0x80123456u);
    EXPECT_EQ(bitmap->GetPixel(2, 1), 0x80123456u);
    for (auto [x, y] : {std::pair{-1, 0}, {3, 0}, {0, 2}, {0, -1}, {1 << 30, 1 << 30}}) bitmap->SetPixel(x, y, 0xFFFFFFFFu);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) EXPECT_EQ(bitmap->GetPixel(x, y), x == 2 && y == 1 ? 0x80123456u : 0u);
}

class CellBlend : public ::testing::Test {
protected:
    void SetUp() override {
        frame = SoftwareImaging().CreateFrame(4, 4);
        graphics = SoftwareImaging().CreateGraphics(*frame);
        pixel = SoftwareImaging().CreateBitmap(1, 1);
        background = SoftwareImaging().CreateBitmap(1, 1);
        background->SetPixel(0, 0, 0xFF204080u);
        graphics->DrawImageRect(*background, 0, 0, 4, 4);
    }
    std::uint32_t Blend(Argb colour, int x = 1, int y = 1) {
        pixel->SetPixel(0, 0, colour);
        graphics->DrawImageRect(*pixel, x, y, 1, 1);
        return frame->PixelRgb(1, 1);
    }
    std::unique_ptr<Frame> frame;
    std::unique_ptr<Graphics> graphics;
    std::unique_ptr<Bitmap> pixel, background;
};

TEST_F(CellBlend, SourceOverWithTheCellsAlpha) {
    EXPECT_EQ(frame->PixelRgb(1, 1), 0x204080u);
    EXPECT_EQ(Blend(0x00FFFFFFu), 0x204080u);  // alpha 0 changes nothing
    EXPECT_EQ(Blend(0x80FFFFFFu), 0x90A0C0u);  // (255 * 128 + c * 127) / 255, rounded
    SetUp();
    EXPECT_EQ(Blend(0xFFFFFFFFu), 0xFFFFFFu);  // alpha 255 replaces
    EXPECT_EQ(Blend(0xFF102030u), 0x102030u);
}

TEST_F(CellBlend, DrawsOutsideTheFrameAreClipped) {
    for (auto [x, y] : {std::pair{-1, 0}, {4, 0}, {0, 4}, {0, -1}, {-1000000, 5}}) Blend(0xFFFFFFFFu, x, y);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(frame->PixelRgb(x, y), 0x204080u) << x << "," << y;
    // A rectangle reaching past the frame draws the part inside.
    graphics->DrawImageRect(*pixel, 3, 3, 5, 5);
    EXPECT_EQ(frame->PixelRgb(3, 3), 0xFFFFFFu);
    EXPECT_EQ(frame->PixelRgb(2, 2), 0x204080u);
}

TEST(SoftwareImaging, StretchInterpolatesBilinearlyBetweenPixelCentres) {
    auto frame = SoftwareImaging().CreateFrame(4, 2);
    auto graphics = SoftwareImaging().CreateGraphics(*frame);
    auto field = SoftwareImaging().CreateBitmap(2, 1);
    field->SetPixel(0, 0, 0xFF000000u);
    field->SetPixel(1, 0, 0xFFFF0000u);
    graphics->DrawImageRect(*field, 0, 0, 4, 2);
    // Destination centres 0.5, 1.5, 2.5, 3.5 map to source -0.25, 0.25, 0.75, 1.25.
    const std::uint32_t expected[] = {0x000000u, 0x400000u, 0xBF0000u, 0xFF0000u};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(frame->PixelRgb(x, y), expected[x]) << x << "," << y;
}

TEST(SoftwareImaging, OpaqueStretchCoversThePreviousPictureCompletely) {
    auto frame = SoftwareImaging().CreateFrame(7, 5);
    auto graphics = SoftwareImaging().CreateGraphics(*frame);
    auto white = SoftwareImaging().CreateBitmap(1, 1);
    white->SetPixel(0, 0, 0xFFFFFFFFu);
    graphics->DrawImageRect(*white, 0, 0, 7, 5);
    auto field = SoftwareImaging().CreateBitmap(3, 2);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) field->SetPixel(x, y, 0xFF336699u);
    graphics->DrawImageRect(*field, 0, 0, 7, 5);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x) EXPECT_EQ(frame->PixelRgb(x, y), 0x336699u);
}

}  // namespace
}  // namespace nivora
