// The worker's jobs when they are no longer wanted, and threads that cannot be
// started: a failed start is a std::system_error that leaves nothing running
// and nothing half made to take, wherever it happens.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <string>
#include <system_error>
#include <thread>

#include "engine/pictures/parallel_rows.h"
#include "engine/cycle/picture_cycle.h"
#include "engine/cycle/picture_worker.h"
#include "support/pictures.h"

namespace nivora {
namespace {

using namespace std::chrono_literals;

// Thread starts fail while it lives (`count` of them after `after` that
// work); the generators use `threads` threads.
struct ThreadsThatFail {
    ThreadsThatFail(int count, int after, int threads) {
        SetGeneratorThreads(threads);
        FailThreadStarts(count, after);
    }
    ~ThreadsThatFail() {
        FailThreadStarts(0);
        SetGeneratorThreads(0);
    }
};

void ExpectThreadError(const std::function<void()>& call) {
    try {
        call();
        ADD_FAILURE() << "no std::system_error";
    } catch (const std::system_error& e) {
        EXPECT_NE(std::string(e.what()).find("cannot start a thread"), std::string::npos) << e.what();
    }
}

const SceneSetUp kSmall{{20, 1, 14, 5, true, true}, 3, 64, 36};

// ForEachRow, the worker and the cycle, each with a thread start that fails.
TEST(ThreadFailures, EndInASystemErrorWithNothingLeftRunning) {
    {
        // The third of three row threads fails: the two started stop and are
        // joined (a joinable thread destroyed would end the process), and
        // the next call is whole.
        const ThreadsThatFail failing(1, 2, 4);
        std::atomic<int> rows{0};
        // A row takes a millisecond or more (under Wine a sleep shorter than
        // that may not sleep at all, and the first exception's unwinding takes
        // a while), so the rows stop long before they run out.
        ExpectThreadError([&] {
            ForEachRow(20000, [&](int) {
                ++rows;
                std::this_thread::sleep_for(1ms);
            });
        });
        EXPECT_LT(rows, 20000);
        rows = 0;
        ForEachRow(1000, [&](int) { ++rows; });
        EXPECT_EQ(rows, 1000);
    }
    {
        // The worker's own thread: nothing is queued, and the next job runs.
        PictureWorker worker;
        std::atomic<int> ran{0};
        {
            const ThreadsThatFail failing(1, 0, 0);
            ExpectThreadError([&] { worker.Submit([&] { ran += 1; }); });
        }
        const auto job = worker.Submit([&] { ran += 10; });
        PictureWorker::Wait(*job);
        EXPECT_EQ(ran, 10);
    }
    {
        // A cycle whose first picture cannot be asked for: it has failed, and
        // awaits nothing (it showed black for ever, its timer running).
        Scene scene;
        RandomGenerator random;
        PictureWorker worker;
        StartScene(scene, random, kSmall);
        PictureCycle cycle(scene, SoftwareImaging(), random, worker);
        {
            const ThreadsThatFail failing(1, 0, 0);
            ExpectThreadError([&] { cycle.FirstPicture(); });
        }
        EXPECT_TRUE(cycle.Failed());
        EXPECT_FALSE(cycle.Waiting());
        EXPECT_FALSE(cycle.Schedule().reveal.on);
        EXPECT_FALSE(cycle.RevealTick().schedule.reveal.on);
        EXPECT_FALSE(cycle.HoldEnd().schedule.reveal.on);
        EXPECT_EQ(cycle.LayersTaken(), 0u);
    }
    {
        // A generator's row threads on the worker: the error comes out of
        // the call that would take the picture, and the cycle stops.
        Scene scene;
        RandomGenerator random;
        PictureWorker worker;
        PictureWorker::Wait(*worker.Submit([] {}));  // the worker's thread is there
        StartScene(scene, random, kSmall);
        PictureCycle cycle(scene, SoftwareImaging(), random, worker);
        const ThreadsThatFail failing(1, 0, 3);
        cycle.FirstPicture();
        ExpectThreadError([&] { cycle.FinishAwaited(); });
        EXPECT_TRUE(cycle.Failed());
        EXPECT_FALSE(cycle.RevealTick().schedule.reveal.on);
        EXPECT_EQ(cycle.LayersTaken(), 0u);
    }
}

// A job nobody wants is done at once, however long the job ahead of it
// takes, and a cycle that goes never waits behind another's job: a window
// whose monitors change must not sleep through a picture it threw away.
TEST(PictureWorker, ADroppedJobNeverWaitsForTheJobsAheadOfIt) {
    PictureWorker worker;
    std::atomic<bool> started{false}, release{false}, stopSeen{false};
    const auto ahead = worker.Submit([&] {
        started = true;
        while (!release && !StopRequested()) std::this_thread::sleep_for(1ms);
        stopSeen = StopRequested();
    });
    while (!started) std::this_thread::sleep_for(1ms);

    std::atomic<bool> ranDropped{false};
    const auto dropped = worker.Submit([&] { ranDropped = true; });
    worker.Drop(*dropped);
    EXPECT_TRUE(dropped->done);

    Scene scene;
    RandomGenerator random;
    StartScene(scene, random, kSmall);
    auto cycle = std::make_unique<PictureCycle>(scene, SoftwareImaging(), random, worker);
    cycle->FirstPicture();  // queued behind `ahead`
    auto gone = std::async(std::launch::async, [&] { cycle.reset(); });
    const bool goneAtOnce = gone.wait_for(5s) == std::future_status::ready;
    EXPECT_TRUE(goneAtOnce) << "the cycle's end waited for another job";
    EXPECT_FALSE(ahead->done);

    worker.Drop(*ahead);  // the running job is told to stop
    release = !goneAtOnce;
    PictureWorker::Wait(*ahead);
    gone.wait();
    EXPECT_TRUE(stopSeen || !goneAtOnce);
    EXPECT_FALSE(ranDropped);
}

// The software imaging, whose frames wait while `hold` is set: a job that
// makes its surfaces stays running until the test lets it go.
struct HeldImaging : ImagingPlatform {
    std::atomic<bool> hold{true}, held{false};
    std::unique_ptr<Frame> CreateFrame(int width, int height) override {
        held = true;
        while (hold) std::this_thread::sleep_for(1ms);
        return SoftwareImaging().CreateFrame(width, height);
    }
    std::unique_ptr<Graphics> CreateGraphics(Frame& frame) override { return SoftwareImaging().CreateGraphics(frame); }
    std::unique_ptr<Bitmap> CreateBitmap(int width, int height) override {
        return SoftwareImaging().CreateBitmap(width, height);
    }
};

// A running job told to stop, then a newer one dropped from the queue (done
// at once): the cycle is busy, and its end waits, until the running one has
// stopped, since that one still draws on the cycle's surfaces.
TEST(PictureWorker, ACycleOutlivesEveryJobItStarted) {
    PictureWorker worker;
    HeldImaging imaging;
    Scene scene;
    RandomGenerator random;
    StartScene(scene, random, kSmall, false);
    auto cycle = std::make_unique<PictureCycle>(scene, imaging, random, worker, 64, 36);
    cycle->FirstPicture();
    while (!imaging.held) std::this_thread::sleep_for(1ms);
    scene.Settings.Algorithm = 3;
    cycle->RegenerateSnowflake();  // the first job is told to stop; a second waits behind it
    scene.Settings.Algorithm = 4;
    cycle->RegenerateSnowflake();  // the second is dropped from the queue, a third waits
    cycle->DropJob();
    EXPECT_TRUE(cycle->Busy());
    auto gone = std::async(std::launch::async, [&] { cycle.reset(); });
    EXPECT_EQ(gone.wait_for(200ms), std::future_status::timeout) << "the cycle went while its first job ran";
    imaging.hold = false;
    gone.wait();
}

}  // namespace
}  // namespace nivora
