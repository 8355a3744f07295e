#include <gtest/gtest.h>

#include <vector>

#include "engine/cycle/picture_steps.h"
#include "engine/cycle/random.h"
#include "engine/cycle/reveal.h"
#include "engine/pictures/scene.h"
#include "engine/pictures/surfaces.h"

namespace nivora {
namespace {

// Software imaging that also records where 1 x 1 cells are drawn.
struct RecordingImaging : ImagingPlatform {
    struct Cell {
        int x, y;
    };
    std::vector<Cell> cells;

    struct RecordingGraphics : Graphics {
        RecordingGraphics(RecordingImaging& owner, Frame& frame)
            : owner(owner), inner(SoftwareImaging().CreateGraphics(frame)) {}
        void DrawImageRect(const Bitmap& image, int x, int y, int width, int height) override {
            if (width == 1 && height == 1 && image.Width() == 1) owner.cells.push_back({x, y});
            inner->DrawImageRect(image, x, y, width, height);
        }
        RecordingImaging& owner;
        std::unique_ptr<Graphics> inner;
    };

    std::unique_ptr<Frame> CreateFrame(int w, int h) override { return SoftwareImaging().CreateFrame(w, h); }
    std::unique_ptr<Graphics> CreateGraphics(Frame& frame) override {
        return std::make_unique<RecordingGraphics>(*this, frame);
    }
    std::unique_ptr<Bitmap> CreateBitmap(int w, int h) override { return SoftwareImaging().CreateBitmap(w, h); }
};

// The one-thread steps of a picture over a scene whose cells are recorded.
class PictureSteps : public ::testing::Test {
protected:
    Scene scene;

    void FillAlpha(std::int32_t value) {
        for (int r = 0; r <= scene.FlakeSize; ++r)
            for (int c = 0; c <= scene.FlakeSize; ++c) scene.FlakeLayer.Alpha[scene.FlakeLayer.Index(r, c)] = value;
    }
    RecordingImaging imaging;
    RandomGenerator random;
};

TEST_F(PictureSteps, SaverGeometryOfA1080pScreen) {
    SetSaverGeometry(scene, 1920, 1080);
    CreateSurfaces(scene, imaging, 1920, 1080);
    EXPECT_EQ(scene.FlakeSize, 1080);
    EXPECT_EQ(scene.FlakeOffsetX, 420);
    EXPECT_EQ(scene.FieldWidth, 960);
    EXPECT_EQ(scene.FieldHeight, 540);
    EXPECT_EQ(scene.FieldBitmap->Width(), 960);
    EXPECT_EQ(scene.FieldBitmap->Height(), 540);
    EXPECT_EQ(scene.PixelBitmap->Width(), 1);

    SetPreviewGeometry(scene, 152, 112);
    CreateSurfaces(scene, imaging, 152, 112);
    EXPECT_EQ(scene.FlakeSize, 112);
    EXPECT_EQ(scene.FlakeOffsetX, 20);
    EXPECT_EQ(scene.FieldWidth, 152);
    EXPECT_EQ(scene.FieldHeight, 112);

    SetSaverGeometry(scene, 600, 1001);  // taller than wide; div rounds toward zero
    CreateSurfaces(scene, imaging, 600, 1001);
    EXPECT_EQ(scene.FlakeOffsetX, -200);
    EXPECT_EQ(scene.FieldHeight, 500);
}

TEST_F(PictureSteps, A1080pPictureTakes540TicksAndTheLastOneWrapsToRowZero) {
    SetSaverGeometry(scene, 1920, 1080);
    CreateSurfaces(scene, imaging, 1920, 1080);
    FillAlpha(255);
    int ticks = 0;
    RevealTickResult last;
    while (!(last = RevealTick(scene)).completed) {
        ++ticks;
        ASSERT_LT(ticks, 1000);
    }
    ++ticks;
    EXPECT_EQ(ticks, 540);
    EXPECT_EQ(last.cellsToComplete, 1621);
    ASSERT_EQ(imaging.cells.size(), 540u * 2161u);
    // The remaining 540 draws of the last tick go over the first cells of row 0 again.
    for (std::size_t i = 1080u * 1080u; i < imaging.cells.size(); ++i) {
        const auto& cell = imaging.cells[i];
        EXPECT_EQ(cell.y, 0);
        EXPECT_EQ(cell.x, 420 + static_cast<int>(i - 1080u * 1080u));
    }
    EXPECT_EQ(scene.RevealY, 0);
    EXPECT_EQ(scene.RevealX, 540);
}

TEST_F(PictureSteps, SaverRevealSkipsOnlyCellsWhoseWholeAlphaIsZero) {
    SetSaverGeometry(scene, 8, 4);
    CreateSurfaces(scene, imaging, 8, 4);
    FillAlpha(0);
    scene.FlakeLayer.Alpha[scene.FlakeLayer.Index(0, 1)] = 256;  // low byte 0: drawn, changes nothing
    scene.FlakeLayer.Alpha[scene.FlakeLayer.Index(1, 0)] = 255;
    scene.FlakeLayer.Red[scene.FlakeLayer.Index(1, 0)] = scene.FlakeLayer.Green[scene.FlakeLayer.Index(1, 0)] = scene.FlakeLayer.Blue[scene.FlakeLayer.Index(1, 0)] = 255;
    RevealTick(scene);  // 9 cells of the 16
    ASSERT_EQ(imaging.cells.size(), 2u);
    EXPECT_EQ(imaging.cells[0].x, 2 + 1);
    EXPECT_EQ(imaging.cells[0].y, 0);
    EXPECT_EQ(scene.FrameDib->PixelRgb(3, 0), 0u);
    EXPECT_EQ(scene.FrameDib->PixelRgb(2, 1), 0xFFFFFFu);
}

TEST_F(PictureSteps, CellsBeyondTheSidesOfATallFrameLeaveNoTrace) {
    SetSaverGeometry(scene, 4, 10);
    CreateSurfaces(scene, imaging, 4, 10);
    EXPECT_EQ(scene.FlakeOffsetX, -3);
    for (int r = 0; r < 10; ++r)
        for (int c = 0; c < 10; ++c) {
            const auto i = scene.FlakeLayer.Index(r, c);
            scene.FlakeLayer.Alpha[i] = scene.FlakeLayer.Red[i] = scene.FlakeLayer.Green[i] = scene.FlakeLayer.Blue[i] = 255;
        }
    while (!RevealTick(scene).completed) {
    }
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(scene.FrameDib->PixelRgb(x, y), 0xFFFFFFu);
}

}  // namespace
}  // namespace nivora
