// When the front-ends call their cycle again: the cycle's answers, and the
// deadlines of the savers that wait in poll(), on a clock the test sets.
#include <gtest/gtest.h>

#include <chrono>
#include <ostream>
#include <thread>

#include "engine/cycle/cycle_group.h"
#include "engine/cycle/cycle_schedule.h"
#include "engine/cycle/picture_cycle.h"
#include "engine/cycle/picture_worker.h"
#include "engine/cycle/row_span.h"
#include "support/pictures.h"

namespace nivora {

void PrintTo(const RowSpan& rows, std::ostream* out) { *out << "rows " << rows.first << ".." << rows.last; }

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
// reveal and leaves the hold running; a failed job stops both. With the
// timers come the frame rows drawn since the answer before, and only those:
// every row when a picture is taken, then each tick's rows down the square.
TEST(CycleDeadlines, TheCyclesAnswersAreItsTimersAndTheRowsItDrew) {
    Scene scene;
    RandomGenerator random;
    PictureWorker worker;
    StartScene(scene, random, {{20, 1, 14, 5, true, true}, 3, 64, 36});
    PictureCycle cycle(scene, SoftwareImaging(), random, worker);
    CycleGroup group;
    group.Add(cycle);
    const CycleAnswer first = cycle.FirstPicture();
    EXPECT_EQ(first.schedule, kRevealing);
    EXPECT_TRUE(first.rows.Empty());  // the picture is on the worker
    EXPECT_EQ(group.Schedule(), kRevealing);
    CycleAnswer answer = cycle.FinishAwaited();
    EXPECT_EQ(answer.rows, RowSpan::Whole(36));
    RowSpan revealed;
    int ticks = 0;
    for (; answer.schedule.reveal.on && ticks < 100; ++ticks) {
        const int from = scene.RevealY;
        answer = cycle.RevealTick();
        revealed.Add(answer.rows);
        if (!answer.schedule.reveal.on || answer.rows.Empty()) continue;  // the last tick starts over at row 0
        EXPECT_GE(answer.rows.first, from) << "tick " << ticks;
        EXPECT_LE(answer.rows.last, scene.RevealY) << "tick " << ticks;
    }
    EXPECT_EQ(answer.schedule, kHolding);
    EXPECT_EQ(ticks, 18);  // a 36-row square, 73 cells a tick
    EXPECT_EQ(group.Schedule(), kHolding);
    RowSpan opaque;  // the rows of the square with a cell to blend
    for (int row = 0; row < 36; ++row)
        for (int col = 0; col < 36; ++col)
            if (scene.FlakeLayer.Alpha[scene.FlakeLayer.Index(row, col)] != 0) opaque.Add(row);
    ASSERT_FALSE(opaque.Empty());
    EXPECT_EQ(revealed, opaque);

    const Clock::time_point t0{};
    CycleDeadlines deadlines;
    deadlines.Follow(answer.schedule, t0);
    scene.Settings.Algorithm = 3;
    const CycleAnswer regenerated = cycle.RegenerateSnowflake();
    deadlines.Follow(regenerated.schedule, t0 + milliseconds(1000));
    EXPECT_TRUE(deadlines.RevealDue(t0 + milliseconds(1010)));
    EXPECT_TRUE(deadlines.HoldDue(t0 + milliseconds(5000)));
    // The group's tick that takes the new snowflake answers every row of
    // the frame for its cycle (unless the layer came at once, with the call).
    while (cycle.Busy()) std::this_thread::sleep_for(milliseconds(1));
    RowSpan taken = regenerated.rows;
    taken.Add(group.RevealTick().RowsOf(&cycle));
    EXPECT_EQ(taken, RowSpan::Whole(36));

    scene.Settings.TimeShow = 0;  // for ever
    EXPECT_EQ(group.HoldEnd().schedule.hold.intervalMs, 0u);
}

}  // namespace
}  // namespace nivora
