// The generators must run with invalid-operation, division-by-zero and
// overflow traps enabled: through glibc, or the x87 control word elsewhere on
// x86; on other platforms these tests skip.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <thread>
#include <utility>

#include "engine/numbers/real.h"
#include "engine/pictures/background_colouring.h"
#include "engine/pictures/background_field.h"
#include "engine/pictures/imaging.h"
#include "engine/pictures/parallel_rows.h"
#include "engine/pictures/scene.h"
#include "engine/pictures/snowflake.h"

#ifdef __GLIBC__
#include <fenv.h>
#endif

namespace nivora {
namespace {

#ifdef __GLIBC__
constexpr int kTraps = FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW;

// Unmasks the traps for its lifetime. Pending flags are cleared first, or the
// next x87 instruction would trap on an old exception.
class TrapsEnabled {
public:
    TrapsEnabled() {
        feclearexcept(FE_ALL_EXCEPT);
        feenableexcept(kTraps);
    }
    ~TrapsEnabled() {
        fedisableexcept(kTraps);
        feclearexcept(FE_ALL_EXCEPT);
    }
    TrapsEnabled(const TrapsEnabled&) = delete;
    TrapsEnabled& operator=(const TrapsEnabled&) = delete;
};

bool TrapsArmed() { return (fegetexcept() & kTraps) == kTraps; }
#define NIVORA_TRAPS_AVAILABLE 1
#elif (defined(__i386__) || defined(__x86_64__)) && defined(__GNUC__)
// Without glibc (the Windows build) the x87 control word is unmasked directly:
// the generators compute in x87 extended precision, and ForEachRow hands the
// caller's control word to its workers.
constexpr unsigned short kX87Traps = 0x01 | 0x04 | 0x08;  // invalid, zero divide, overflow

unsigned short ControlWord() {
    unsigned short cw;
    __asm__ volatile("fnstcw %0" : "=m"(cw));
    return cw;
}

class TrapsEnabled {
public:
    TrapsEnabled() : saved_(ControlWord()) {
        const unsigned short armed = saved_ & static_cast<unsigned short>(~kX87Traps);
        __asm__ volatile("fnclex\n\tfldcw %0" : : "m"(armed));
    }
    ~TrapsEnabled() { __asm__ volatile("fnclex\n\tfldcw %0" : : "m"(saved_)); }
    TrapsEnabled(const TrapsEnabled&) = delete;
    TrapsEnabled& operator=(const TrapsEnabled&) = delete;

private:
    unsigned short saved_;
};

bool TrapsArmed() { return (ControlWord() & kX87Traps) == 0; }
#define NIVORA_TRAPS_AVAILABLE 1
#else
// The tests skip before these are reached.
struct TrapsEnabled {
    TrapsEnabled() {}
};
bool TrapsArmed() { return false; }
#endif

class FloatingPointTraps : public ::testing::Test {
protected:
    void SetUp() override {
#ifndef NIVORA_TRAPS_AVAILABLE
        GTEST_SKIP() << "no way to unmask floating-point traps here";
#endif
#if NIVORA_REAL_IS_SOFT
        // The generators' numbers are then integers, which raise no
        // floating-point exception to trap; the sweeps would only take long.
        GTEST_SKIP() << "the extended numbers are computed in integers";
#endif
    }
    void TearDown() override { SetGeneratorThreads(0); }
    Scene scene;
};

// Without this the sweeps below could pass only because a worker thread ran
// with the traps masked.
TEST_F(FloatingPointTraps, ATrapInAWorkerThreadStopsTheProcess) {
#ifdef __GLIBC__
    ASSERT_TRUE(GTEST_HAS_DEATH_TEST);
    SetGeneratorThreads(2);
    EXPECT_EXIT(
        {
            TrapsEnabled traps;
            const std::thread::id caller = std::this_thread::get_id();
            std::atomic<int> entered{0};
            ForEachRow(2, [&](int) {
                // Hold each thread on its row until both have one, so that
                // one row surely runs in the worker.
                ++entered;
                const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
                while (entered < 2 && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
                if (std::this_thread::get_id() == caller) return;
                volatile long double zero = 0;
                volatile long double result = zero / zero;
                result = result + 1;
            });
            std::exit(0);
        },
        ::testing::KilledBySignal(SIGFPE), "");
#endif
}

TEST_F(FloatingPointTraps, BackgroundsRaiseNone) {
    scene.Settings.Brightness = 20;
    auto picture = [this](int background, int W, int H) {
        scene.Settings.Background = background;
        scene.FieldWidth = W;
        scene.FieldHeight = H;
        scene.FieldBitmap = SoftwareImaging().CreateBitmap(W, H);
        Background0(scene);
        Background1(scene);
    };
    TrapsEnabled traps;
    ASSERT_TRUE(TrapsArmed());
    // Empty fields must be skipped, not divided by.
    for (auto [W, H] : {std::pair{0, 0}, {0, 5}, {5, 0}}) picture(1, W, H);
    for (int background = 0; background <= 20; ++background)
        for (auto [W, H] : {std::pair{1, 1}, {2, 2}, {3, 3}, {100, 100}, {960, 540}}) picture(background, W, H);
    // The iterated recipes once more at a full 1080p field.
    for (int background : {1, 2, 3, 8, 9, 20}) picture(background, 1920, 1080);
    EXPECT_TRUE(TrapsArmed()) << "a generator masked the traps on the way";
}

TEST_F(FloatingPointTraps, SnowflakesRaiseNone) {
    TrapsEnabled traps;
    ASSERT_TRUE(TrapsArmed());
    for (int algorithm = 1; algorithm <= 20; ++algorithm)
        for (int size : {0, 1, 2, 3, 100, 1080}) {
            scene.Settings.Algorithm = static_cast<std::uint8_t>(algorithm);
            scene.FlakeSize = size;
            Snowflake(scene);
        }
    EXPECT_TRUE(TrapsArmed()) << "a generator masked the traps on the way";
}

}  // namespace
}  // namespace nivora
