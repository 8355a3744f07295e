#include <gtest/gtest.h>

#include <cstdio>
#include <limits>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "engine/pictures/background_colouring.h"
#include "engine/pictures/background_field.h"
#include "engine/pictures/imaging.h"
#include "engine/pictures/parallel_rows.h"
#include "engine/pictures/scene.h"

namespace nivora {
namespace {

class BackgroundColouring : public ::testing::Test {
protected:
    Scene scene;
    void TearDown() override { SetGeneratorThreads(0); }

    void Picture(int background, int brightness, int W, int H) {
        scene.Settings.Background = background;
        scene.Settings.Brightness = static_cast<std::uint8_t>(brightness);
        scene.FieldWidth = W;
        scene.FieldHeight = H;
        if (!scene.FieldBitmap || scene.FieldBitmap->Width() != W || scene.FieldBitmap->Height() != H)
            scene.FieldBitmap = SoftwareImaging().CreateBitmap(W, H);
        Background0(scene);
        Background1(scene);
    }

    static std::string Hex(std::uint32_t v) {
        char text[16];
        std::snprintf(text, sizeof text, "0x%08X", v);
        return text;
    }
};

TEST(ChannelFold, FoldsIntoZeroToOne) {
    struct Case {
        long double t;
        double folded;
    };
    const Case cases[] = {{0.3L, 0.3},   {1.3L, 0.7},   {2.5L, 0.5},   {-3.2L, 0.8},  {7, 1.0},
                          {2, 0.001},    {0, 0.001},    {10.5L, 0.001}, {-10, 0.001}, {9.75L, 0.25},
                          {1, 1.0},      {-0.0L, 0.001}};
    for (const Case& c : cases)
        EXPECT_NEAR(static_cast<double>(FoldChannel(c.t)), c.folded, 1e-15) << static_cast<double>(c.t);
    EXPECT_EQ(FoldChannel(std::numeric_limits<long double>::quiet_NaN()), 0.001L);
    EXPECT_EQ(FoldChannel(std::numeric_limits<long double>::infinity()), 0.001L);
}

TEST(ColourRotation, IsTheEulerRotationOfOneRadian) {
    const double want[3][3] = {{-0.090647, 0.700296, 0.708073},
                               {-0.700296, -0.550345, 0.454649},
                               {0.708073, -0.454649, 0.540302}};
    xmath::Real R[3][3];
    ColourRotation(R);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) EXPECT_NEAR(static_cast<double>(R[i][j]), want[i][j], 5e-7) << i << "," << j;
}

TEST(FieldColour, BrightnessCapsEveryChannel) {
    // Plane values that the rotation mixes into (1, 1, 1): the columns' sums.
    xmath::Real R[3][3];
    ColourRotation(R);
    const xmath::Real p0 = R[0][0] + R[1][0] + R[2][0];
    const xmath::Real p1 = R[0][1] + R[1][1] + R[2][1];
    const xmath::Real p2 = R[0][2] + R[1][2] + R[2][2];
    struct Case {
        int brightness;
        std::uint32_t byte;
    };
    // 10 gives 127.5, which rounds to even.
    for (const Case& c : {Case{1, 13}, {5, 64}, {10, 128}, {14, 178}, {18, 230}, {20, 255}, {0, 0}, {21, 255}}) {
        const std::uint32_t want = 0xFF000000u | c.byte << 16 | c.byte << 8 | c.byte;
        EXPECT_EQ(FieldColour(p0, p1, p2, static_cast<std::uint8_t>(c.brightness)), want)
            << "brightness " << c.brightness;
    }
}

TEST_F(BackgroundColouring, WorkedExampleAtTwoBrightnesses) {
    EXPECT_EQ(Hex(FieldColour(0.45L, 0.45L, 0.9L, 20)), "0xFFE82799");
    EXPECT_EQ(Hex(FieldColour(0.45L, 0.45L, 0.9L, 14)), "0xFFB22799");

    // The same through both passes.
    Picture(6, 20, 100, 100);
    EXPECT_EQ(Hex(scene.FieldBitmap->GetPixel(25, 75)), "0xFFE82799");
    Picture(6, 14, 100, 100);
    EXPECT_EQ(Hex(scene.FieldBitmap->GetPixel(25, 75)), "0xFFB22799");
}

// Runs on the default worker threads; the expected colours come one at a time.
TEST_F(BackgroundColouring, EveryPixelMatchesItsFieldPoint) {
    const int W = 64, H = 48;
    Picture(17, 18, W, H);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const std::size_t i = scene.BackgroundField.Index(x, y);
            ASSERT_EQ(scene.FieldBitmap->GetPixel(x, y),
                      FieldColour(scene.BackgroundField.Plane[0][i], scene.BackgroundField.Plane[1][i],
                                  scene.BackgroundField.Plane[2][i], 18))
                << x << "," << y;
        }
}

TEST_F(BackgroundColouring, BlackForBackgroundZeroOrBrightnessZero) {
    for (auto [background, brightness] : {std::pair{0, 20}, {0, 14}, {3, 0}, {19, 0}}) {
        Picture(background, brightness, 50, 30);
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 50; ++x)
                ASSERT_EQ(Hex(scene.FieldBitmap->GetPixel(x, y)), "0xFF000000")
                    << "background " << background << " brightness " << brightness << " at " << x << "," << y;
    }
}

TEST_F(BackgroundColouring, WritesOnlyTheFieldsPixels) {
    // A bitmap larger than the field keeps its pixels beyond W - 1 and H - 1.
    scene.FieldBitmap = SoftwareImaging().CreateBitmap(40, 30);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) scene.FieldBitmap->SetPixel(x, y, 0x12345678);
    scene.Settings.Background = 2;
    scene.Settings.Brightness = 20;
    scene.FieldWidth = 25;
    scene.FieldHeight = 20;
    Background0(scene);
    Background1(scene);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) {
            const bool inside = x < 25 && y < 20;
            ASSERT_EQ(scene.FieldBitmap->GetPixel(x, y) == 0x12345678u, !inside) << x << "," << y;
            if (inside) {
                ASSERT_EQ(scene.FieldBitmap->GetPixel(x, y) >> 24, 0xFFu);
            }
        }

    // No bitmap, or an empty field: nothing to do and nothing breaks.
    scene.FieldBitmap.reset();
    Background1(scene);
    scene.FieldBitmap = SoftwareImaging().CreateBitmap(10, 10);
    scene.FieldWidth = 0;
    Background1(scene);
    EXPECT_EQ(scene.FieldBitmap->GetPixel(0, 0), 0u);
}

// The web page shares a field's rows between its two workers: each fills
// and colours bands in a scene of its own, and the bands set side by side
// must be Background1's bitmap to the bit, whatever the bands and their order.
TEST_F(BackgroundColouring, BandsFromSeparateScenesMakeTheSameBitmap) {
    const int W = 70, H = 45;
    const int cuts[] = {0, 1, 17, 18, 40, 45};  // bands of 1 to 22 rows
    for (int background : {1, 2, 13}) {
        Picture(background, 14, W, H);
        Scene workers[2];
        for (Scene& worker : workers) {
            worker.FieldWidth = W;
            worker.FieldHeight = H;
            worker.Settings.Background = 7;  // a field left by another picture
            Background0(worker);
            worker.Settings.Background = background;
            worker.Settings.Brightness = 14;
        }
        std::vector<Argb> colours(static_cast<std::size_t>(W) * H);
        for (int band = 4; band >= 0; --band) {
            Scene& worker = workers[band % 2];
            FillFieldRows(worker, cuts[band], cuts[band + 1]);
            ColourFieldRows(worker, cuts[band], cuts[band + 1], colours.data() + cuts[band] * W);
        }
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x)
                ASSERT_EQ(Hex(colours[y * W + x]), Hex(scene.FieldBitmap->GetPixel(x, y)))
                    << "background " << background << " at " << x << "," << y;
    }
}

// A platform bitmap may refuse concurrent use, so the colouring must call it
// from one thread however many compute the colours.
TEST_F(BackgroundColouring, OnlyTheCallingThreadTouchesTheBitmap) {
    class RecordingBitmap final : public Bitmap {
    public:
        int Width() const override { return 120; }
        int Height() const override { return 80; }
        void SetPixel(int, int, Argb) override { Record(); }
        void SetRow(int, const Argb*, int count) override {
            Record();
            pixels += count;
        }
        Argb GetPixel(int, int) const override { return 0; }
        std::set<std::thread::id> threads;
        long pixels = 0;

    private:
        void Record() {
            std::lock_guard<std::mutex> lock(mutex_);
            threads.insert(std::this_thread::get_id());
        }
        std::mutex mutex_;
    };
    SetGeneratorThreads(4);
    scene.Settings.Background = 5;
    scene.Settings.Brightness = 20;
    scene.FieldWidth = 120;
    scene.FieldHeight = 80;
    auto bitmap = std::make_unique<RecordingBitmap>();
    RecordingBitmap* recorder = bitmap.get();
    scene.FieldBitmap = std::move(bitmap);
    Background0(scene);
    Background1(scene);
    EXPECT_EQ(recorder->threads, std::set<std::thread::id>{std::this_thread::get_id()});
    EXPECT_EQ(recorder->pixels, 120 * 80);
}

}  // namespace
}  // namespace nivora
