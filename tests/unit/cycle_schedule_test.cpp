// When the front-ends call their cycle again: the cycle's answers, and the
// deadlines of the savers that wait in poll(), on a clock the test sets.
// Beside them the other rule every front-end shares, the mouse jump.
#include <gtest/gtest.h>

#include <climits>

#include "engine/cycle_group.h"
#include "engine/cycle_schedule.h"
#include "engine/mouse_jump.h"
#include "engine/picture_cycle.h"
#include "engine/picture_worker.h"
#include "support/pictures.h"

namespace nivora {
namespace {

using Clock = CycleDeadlines::Clock;
using std::chrono::milliseconds;

constexpr CycleSchedule kRevealing{.reveal = {true, 10}, .hold = {false, 5000}};
constexpr CycleSchedule kHolding{.reveal = {false, 10}, .hold = {true, 5000}};

TEST(CycleDeadlines, TimersStartWhenSwitchedOnKeepTheirTimeAndSkipWhatWasMissed) {
    const Clock::time_point t0{};
    CycleDeadlines deadlines;
    EXPECT_EQ(deadlines.PollTimeoutMs(t0), -1);
    deadlines.Follow(kRevealing, t0);
    EXPECT_FALSE(deadlines.RevealDue(t0 + milliseconds(9)));
    EXPECT_TRUE(deadlines.RevealDue(t0 + milliseconds(10)));
    EXPECT_EQ(deadlines.PollTimeoutMs(t0 + std::chrono::microseconds(500)), 10);  // rounded up
    EXPECT_EQ(deadlines.PollTimeoutMs(t0, t0 + milliseconds(3)), 3);              // a sooner deadline of the caller's
    EXPECT_EQ(deadlines.PollTimeoutMs(t0 + milliseconds(12)), 0);

    // A reveal that stays on keeps its beat; a late tick is not made up for.
    deadlines.Follow(kRevealing, t0 + milliseconds(4));
    deadlines.RevealTaken(t0 + milliseconds(10));
    EXPECT_EQ(deadlines.PollTimeoutMs(t0 + milliseconds(10)), 10);
    deadlines.RevealTaken(t0 + milliseconds(35));
    EXPECT_TRUE(deadlines.RevealDue(t0 + milliseconds(35)));
    EXPECT_FALSE(deadlines.HoldDue(t0 + milliseconds(35)));

    // The hold starts when it is switched on and is not restarted by answers
    // that leave it on; switched off, it is forgotten.
    const Clock::time_point t1 = t0 + milliseconds(100);
    deadlines.Follow(kHolding, t1);
    EXPECT_FALSE(deadlines.RevealDue(t1 + milliseconds(50)));
    deadlines.Follow({.reveal = {true, 10}, .hold = {true, 5000}}, t1 + milliseconds(2000));
    EXPECT_FALSE(deadlines.HoldDue(t1 + milliseconds(4999)));
    EXPECT_TRUE(deadlines.HoldDue(t1 + milliseconds(5000)));
    deadlines.HoldTaken();
    EXPECT_FALSE(deadlines.HoldDue(t1 + milliseconds(6000)));

    // A hold of interval 0 never ends.
    deadlines.Follow({.reveal = {false, 10}, .hold = {true, 0}}, t1);
    EXPECT_EQ(deadlines.PollTimeoutMs(t1), -1);
    deadlines.Follow(kRevealing, t1);
    deadlines.Clear();
    EXPECT_EQ(deadlines.PollTimeoutMs(t1), -1);
}

// A cycle, and a group of one, answer every call with the timers a
// front-end must run: the reveal until the picture is complete, then the
// hold of TimeShow seconds; a snowflake made again in the hold starts the
// reveal and leaves the hold running; a failed job stops both.
TEST(CycleDeadlines, TheCyclesAnswersAreItsTimers) {
    Scene scene;
    RandomGenerator random;
    PictureWorker worker;
    StartScene(scene, random, {{20, 1, 14, 5, true, true}, 3, 64, 36});
    PictureCycle cycle(scene, SoftwareImaging(), random, worker);
    CycleGroup group;
    group.Add(cycle);
    EXPECT_EQ(cycle.FirstPicture(), kRevealing);
    EXPECT_EQ(group.Schedule(), kRevealing);
    CycleSchedule answer = cycle.FinishAwaited();
    int ticks = 0;
    for (; answer.reveal.on && ticks < 100; ++ticks) answer = cycle.RevealTick();
    EXPECT_EQ(answer, kHolding);
    EXPECT_EQ(ticks, 18);  // a 36-row square, 73 cells a tick
    EXPECT_EQ(group.Schedule(), kHolding);

    const Clock::time_point t0{};
    CycleDeadlines deadlines;
    deadlines.Follow(answer, t0);
    scene.Settings.Algorithm = 3;
    deadlines.Follow(cycle.RegenerateSnowflake(), t0 + milliseconds(1000));
    EXPECT_TRUE(deadlines.RevealDue(t0 + milliseconds(1010)));
    EXPECT_TRUE(deadlines.HoldDue(t0 + milliseconds(5000)));
    cycle.FinishAwaited();

    scene.Settings.TimeShow = 0;  // for ever
    EXPECT_EQ(group.HoldEnd().hold.intervalMs, 0u);
}

TEST(MouseJump, OverAHundredPixelsOnEitherAxis) {
    EXPECT_FALSE(IsMouseJump(500, 400, 600, 500));
    EXPECT_FALSE(IsMouseJump(500, 400, 400, 300));
    EXPECT_TRUE(IsMouseJump(500, 400, 601, 400));
    EXPECT_TRUE(IsMouseJump(500, 400, 500, 299));
    EXPECT_TRUE(IsMouseJump(10.0, 10.0, 110.25, 10.0));  // Wayland's fractional pixels
    EXPECT_TRUE(IsMouseJump(INT_MIN, 0, INT_MAX, 0));    // no overflow
}

}  // namespace
}  // namespace nivora
