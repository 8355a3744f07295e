// The GDI+ backend and the software backend draw the same cells, the same
// stretched field and the same whole picture into DIB sections; their pixels
// are compared. Only rounding may differ inside a picture; how much the
// bilinear edges differ is printed for the record.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>

#include "engine/cycle/picture_steps.h"
#include "engine/cycle/random.h"
#include "engine/cycle/reveal.h"
#include "engine/pictures/scene.h"
#include "engine/pictures/surfaces.h"
#include "win32/imaging_win32.h"

namespace nivora::win32 {
namespace {

// Both drawings for the whole run; like the program's surfaces left at its
// end, the tests' are never released into a stopped GDI+.
DibDrawing& Drawing(ImagingBackend backend) {
    static WindowsImaging& imaging = *new WindowsImaging;
    return imaging.Drawing(backend);
}

struct Surfaces {
    explicit Surfaces(ImagingBackend which, int width, int height)
        : backend(which),
          platform(Drawing(which)),
          frame(platform.CreateFrame(width, height)),
          graphics(platform.CreateGraphics(*frame)),
          pixel(platform.CreateBitmap(1, 1)) {}

    void Blend(Argb colour, int x, int y) {
        pixel->SetPixel(0, 0, colour);
        graphics->DrawImageRect(*pixel, x, y, 1, 1);
    }

    ImagingBackend backend;
    WindowFrames platform;
    std::unique_ptr<Frame> frame;
    std::unique_ptr<Graphics> graphics;
    std::unique_ptr<Bitmap> pixel;
};

int ChannelDifference(std::uint32_t a, std::uint32_t b) {
    int most = 0;
    for (int shift = 0; shift < 24; shift += 8)
        most = std::max(most, std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)));
    return most;
}

struct Difference {
    int most = 0;        // largest channel difference
    long differing = 0;  // pixels with any difference
};

// Compares the pixels of two frames inside [x0, x1) x [y0, y1).
Difference Compare(const Frame& a, const Frame& b, int x0, int y0, int x1, int y1) {
    Difference d;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            const int c = ChannelDifference(a.PixelRgb(x, y), b.PixelRgb(x, y));
            d.most = std::max(d.most, c);
            d.differing += c != 0;
        }
    return d;
}

TEST(GdiPlusBitmap, StoresPixelsExactlyAndRefusesOutsideCoordinates) {
    auto bitmap = Drawing(ImagingBackend::GdiPlus).CreateBitmap(3, 2);
    ASSERT_EQ(bitmap->Width(), 3);
    bitmap->SetPixel(2, 1, 0x80123456u);
    bitmap->SetPixel(0, 0, 0x00FFFFFFu);
    for (auto [x, y] : {std::pair{-1, 0}, {3, 0}, {0, 2}, {0, -1}}) bitmap->SetPixel(x, y, 0xFF00FF00u);
    EXPECT_EQ(bitmap->GetPixel(2, 1), 0x80123456u);  // not premultiplied
    EXPECT_EQ(bitmap->GetPixel(0, 0), 0x00FFFFFFu);
    EXPECT_EQ(bitmap->GetPixel(1, 0), 0u);            // a new bitmap is transparent black
}

TEST(DibFrameTest, TopRowFirstPaddedAndBlack) {
    DibFrame frame(5, 3);
    ASSERT_NE(frame.Bits(), nullptr);
    EXPECT_EQ(frame.Stride(), 16);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) EXPECT_EQ(frame.PixelRgb(x, y), 0u);
    // A GDI pixel at the top left lands in the first bytes.
    SetPixelV(frame.DC(), 0, 0, RGB(0x12, 0x34, 0x56));
    GdiFlush();
    EXPECT_EQ(frame.PixelRgb(0, 0), 0x123456u);
    EXPECT_EQ(frame.Bits()[0], 0x56);
}

// The engine draws into a window's frames through what they lend it; the
// window copies from the DIB section of exactly the frames it lent.
TEST(DibFrameTest, AWindowKnowsTheFramesItLentAndNoOther) {
    WindowFrames frames(Drawing(ImagingBackend::Software));
    std::unique_ptr<Frame> lent = frames.CreateFrame(4, 2);
    std::unique_ptr<Frame> second = frames.CreateFrame(4, 2);
    const HDC dc = frames.DC(*lent);
    ASSERT_NE(dc, nullptr);
    EXPECT_NE(frames.DC(*second), dc);
    SetPixelV(dc, 3, 1, RGB(0x12, 0x34, 0x56));
    GdiFlush();
    EXPECT_EQ(lent->PixelRgb(3, 1), 0x123456u);  // the engine's view is the DIB section's memory
    EXPECT_EQ(second->PixelRgb(3, 1), 0u);

    std::unique_ptr<Frame> foreign = SoftwareImaging().CreateFrame(4, 2);
    EXPECT_EQ(frames.DC(*foreign), nullptr);
    EXPECT_THROW(frames.CreateGraphics(*foreign), std::invalid_argument);
    lent.reset();  // given back: the other stays lent
    EXPECT_NE(frames.DC(*second), nullptr);
}

// One row per alpha, every column another colour over another background.
TEST(ImagingBackends, CellBlendsAgree) {
    const int alphas[] = {0, 1, 2, 64, 127, 128, 129, 200, 254, 255};
    const int columns = 32, rows = std::size(alphas);
    Surfaces software(ImagingBackend::Software, columns, rows);
    Surfaces gdiplus(ImagingBackend::GdiPlus, columns, rows);
    for (Surfaces* s : {&software, &gdiplus}) {
        for (int y = 0; y < rows; ++y)
            for (int x = 0; x < columns; ++x) s->Blend(0xFF000000u | (x * 0x0801u + y * 0x1F0000u), x, y);
        for (int y = 0; y < rows; ++y)
            for (int x = 0; x < columns; ++x) s->Blend(Argb(alphas[y]) << 24 | (x * 0x070B0Du ^ 0xC0FFEEu), x, y);
        s->graphics->Flush();
    }
    // Under Wine the two round the blend the same way, to the last bit.
    for (int y = 0; y < rows; ++y)
        EXPECT_EQ(Compare(*software.frame, *gdiplus.frame, 0, y, columns, y + 1).differing, 0) << "alpha " << alphas[y];
}

TEST(ImagingBackends, CellsOutsideTheFrameAreClippedInBoth) {
    for (ImagingBackend backend : {ImagingBackend::Software, ImagingBackend::GdiPlus}) {
        Surfaces s(backend, 4, 4);
        for (auto [x, y] : {std::pair{-1, 0}, {4, 0}, {0, 4}, {0, -1}, {-100000, 2}}) s.Blend(0xFFFFFFFFu, x, y);
        s.graphics->Flush();
        EXPECT_EQ(Compare(*s.frame, *Surfaces(backend, 4, 4).frame, 0, 0, 4, 4).differing, 0)
            << BackendName(backend);
    }
}

// The field stretched by 2 as the saver lays it. The two backends place their
// bilinear samples differently: the software one maps pixel centres onto
// pixel centres, Wine's GDI+ samples destination x at source x / 2 and fades
// the last column and row towards transparent. On a smooth field that leaves
// rounding inside the picture; sharp steps and the outer edges differ more.
TEST(ImagingBackends, StretchedFieldAgreesInsideAndCoversTheFrame) {
    const int fieldWidth = 320, fieldHeight = 180;
    const int width = 2 * fieldWidth, height = 2 * fieldHeight;
    auto smooth = [&](int x, int y) {
        return Argb(0xFF000000u | (x * 255 / (fieldWidth - 1)) << 16 | (y * 255 / (fieldHeight - 1)) << 8 |
                    ((x + y) * 255 / (fieldWidth + fieldHeight - 2)));
    };
    auto checked = [](int x, int y) { return Argb((x / 8 + y / 8) % 2 ? 0xFFE0E0E0u : 0xFF202020u); };

    struct Case {
        const char* name;
        std::function<Argb(int, int)> colour;
        bool smooth;
    };
    for (const Case& c : {Case{"smooth", smooth, true}, Case{"checked", checked, false}}) {
        Surfaces software(ImagingBackend::Software, width, height);
        Surfaces gdiplus(ImagingBackend::GdiPlus, width, height);
        for (Surfaces* s : {&software, &gdiplus}) {
            s->Blend(0xFF00FF00u, 5, 5);  // to be covered completely
            auto field = s->platform.CreateBitmap(fieldWidth, fieldHeight);
            for (int y = 0; y < fieldHeight; ++y)
                for (int x = 0; x < fieldWidth; ++x) field->SetPixel(x, y, c.colour(x, y));
            s->graphics->DrawImageRect(*field, 0, 0, width, height);
            s->graphics->Flush();
            EXPECT_NE(s->frame->PixelRgb(5, 5), 0x00FF00u) << BackendName(s->backend);
        }
        const Difference inside = Compare(*software.frame, *gdiplus.frame, 0, 0, width - 1, height - 1);
        const Difference lastColumn = Compare(*software.frame, *gdiplus.frame, width - 1, 0, width, height);
        const Difference lastRow = Compare(*software.frame, *gdiplus.frame, 0, height - 1, width, height);
        std::printf("[ figures  ] %s field %dx%d -> %dx%d: inside %ld of %d pixels differ, by at most %d; "
                    "last column %ld of %d by at most %d; last row %ld of %d by at most %d\n",
                    c.name, fieldWidth, fieldHeight, width, height, inside.differing, (width - 1) * (height - 1),
                    inside.most, lastColumn.differing, height, lastColumn.most, lastRow.differing, width,
                    lastRow.most);
        if (c.smooth) {
            EXPECT_LE(inside.most, 1);
        }
    }
}

// The saver's own steps on a small screen, through each backend in turn, over
// a black field (Background 0) so that only the reveal's cell blends count:
// the same seed gives the same snowflake, and the pictures must be identical.
TEST(ImagingBackends, WholeRevealIsIdentical) {
    const int width = 200, height = 120;
    std::vector<std::uint8_t> pictures[2];
    for (ImagingBackend backend : {ImagingBackend::Software, ImagingBackend::GdiPlus}) {
        WindowFrames frames(Drawing(backend));
        Scene scene;
        RandomGenerator random;
        scene.Settings.Algorithm = 20;
        scene.Settings.Background = 0;
        scene.Settings.Brightness = 14;
        SetSaverGeometry(scene, width, height);
        CreateSurfaces(scene, frames, width, height);
        random.Seed = 99;
        MakeFirstPictureNow(scene, random);
        int ticks = 1;
        while (!RevealTick(scene).completed) ++ticks;
        EXPECT_EQ(ticks, (height * height + 2 * height) / (2 * height + 1));
        scene.FrameGraphics->Flush();
        const auto* bits = scene.FrameDib->Bits();
        pictures[backend == ImagingBackend::GdiPlus].assign(bits, bits + scene.FrameDib->Stride() * height);
    }

    long differing = 0, lit = 0;
    for (std::size_t i = 0; i < pictures[0].size(); ++i) {
        differing += pictures[0][i] != pictures[1][i];
        lit += pictures[0][i] != 0;
    }
    EXPECT_GT(lit, 1000);  // a snowflake was drawn at all
    EXPECT_EQ(differing, 0);
}

}  // namespace
}  // namespace nivora::win32
