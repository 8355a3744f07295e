// The picture cycle as a saver window drives it, with the real worker: a
// reveal tick every 10 ms, a hold, then the hold's end. Each iteration is one
// picture change. What a user would feel is measured on the calling thread
// (the window's thread):
//   longest_call_ms  the longest single call from the hold's end until the new
//                    picture is taken and its first tick ran (HoldEnd, ticks)
//   hold_end_ms      the longest HoldEnd
//   hold_end_cpu_ms  the most processor time a HoldEnd used (on a busy machine
//                    the wall time above is longer)
//   tick_ms          the longest reveal tick while the worker prepares the
//                    picture after (both cores busy with it)
//   change_ms        median time from the hold's end until the first tick of
//                    the new picture has run, over the changes whose picture
//                    was prepared in time; one tick interval (10 ms) is the
//                    least it can be. The Time column is the mean over all.
//   prepared         share of the changes whose picture was ready at the
//                    hold's end (the hold is long enough for it to be 1 on an
//                    idle machine)
// Run: build-bench/bench/nivora_bench --benchmark_filter=Cycle
//      (add --benchmark_repetitions=3 for medians over runs; about 35 s a run)
#include <benchmark/benchmark.h>

#include <time.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "engine/cycle/picture_cycle.h"
#include "engine/cycle/picture_worker.h"
#include "engine/cycle/random.h"
#include "engine/pictures/scene.h"
#include "engine/pictures/surfaces.h"

namespace nivora {
namespace {

using Clock = std::chrono::steady_clock;

double MsBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

// Processor time of the calling thread, in milliseconds: a call's wall time
// minus this is what other threads and processes took from it.
double ThreadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

struct Change {
    double longestCall = 0;
    double holdEnd = 0;
    double holdEndCpu = 0;
    double toFirstTick = 0;
    bool prepared = false;
};

// A full-screen saver of width x height with both random flags set, as after
// a first run, and a fixed seed so that every run shows the same pictures.
class Saver {
public:
    Saver(int width, int height) {
        scene_.Settings = SaverSettings{20, 1, 14, 1, true, true};
        random_.Seed = 5;
        SetSaverGeometry(scene_, width, height);
        CreateSurfaces(scene_, SoftwareImaging(), width, height);
        cycle_ = std::make_unique<PictureCycle>(scene_, SoftwareImaging(), random_, worker_);
        cycle_->FirstPicture();
        nextTick_ = Clock::now() + kTick;
    }

    // The hold ends and the reveal timer runs until the new picture is taken
    // and its first tick has run.
    Change PictureChange() {
        Change change;
        const std::uint64_t taken = cycle_->LayersTaken();
        const auto holdEnd = Clock::now();
        const double cpu = ThreadCpuMs();
        cycle_->HoldEnd();
        change.holdEndCpu = ThreadCpuMs() - cpu;
        change.holdEnd = change.longestCall = MsBetween(holdEnd, Clock::now());
        change.prepared = cycle_->LayersTaken() > taken;
        nextTick_ = Clock::now() + kTick;  // the reveal timer is (re)started
        for (;;) {
            const double call = Tick();
            change.longestCall = std::max(change.longestCall, call);
            if (cycle_->LayersTaken() > taken) break;
        }
        change.toFirstTick = MsBetween(holdEnd, Clock::now());
        return change;
    }

    // The new picture shows: ticks for a while (the worker is preparing the
    // next picture meanwhile), the rest of the reveal skipped to its last row
    // to keep the run short, then the hold. Returns the longest tick.
    double ShowPicture(std::chrono::milliseconds hold) {
        double longest = 0;
        const auto until = Clock::now() + kRevealShown;
        while (cycle_->RevealEnabled() && Clock::now() < until) longest = std::max(longest, Tick());
        Scene& scene = cycle_->scene();
        if (cycle_->RevealEnabled() && scene.RevealY < scene.FlakeSize - 1) {
            scene.RevealY = scene.FlakeSize - 1;
            scene.RevealX = 0;
        }
        while (cycle_->RevealEnabled()) longest = std::max(longest, Tick());
        std::this_thread::sleep_for(hold);
        return longest;
    }

private:
    static constexpr auto kTick = std::chrono::milliseconds(PictureCycle::kRevealIntervalMs);
    static constexpr auto kRevealShown = std::chrono::milliseconds(300);

    // Waits for the reveal timer and runs one tick; returns its duration. A
    // tick that overran is followed at once by the next (a window timer
    // keeps at most one tick pending).
    double Tick() {
        std::this_thread::sleep_until(nextTick_);
        const auto start = Clock::now();
        cycle_->RevealTick();
        const auto end = Clock::now();
        nextTick_ = std::max(nextTick_ + kTick, end);
        return MsBetween(start, end);
    }

    // Destroyed in reverse: the cycle stops its job before the worker and
    // the scene go.
    Scene scene_;
    RandomGenerator random_;
    PictureWorker worker_;
    std::unique_ptr<PictureCycle> cycle_;
    Clock::time_point nextTick_;
};

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Arguments: width, height, hold in milliseconds.
void BM_CycleChange(benchmark::State& state) {
    const auto hold = std::chrono::milliseconds(state.range(2));
    Saver saver(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    double longestTick = saver.ShowPicture(hold);
    double longestCall = 0, longestHoldEnd = 0, longestHoldEndCpu = 0;
    std::vector<double> preparedChanges;
    int changes = 0;
    for (auto _ : state) {
        const Change change = saver.PictureChange();
        state.SetIterationTime(change.toFirstTick / 1000);
        ++changes;
        longestCall = std::max(longestCall, change.longestCall);
        longestHoldEnd = std::max(longestHoldEnd, change.holdEnd);
        longestHoldEndCpu = std::max(longestHoldEndCpu, change.holdEndCpu);
        if (change.prepared) preparedChanges.push_back(change.toFirstTick);
        longestTick = std::max(longestTick, saver.ShowPicture(hold));
    }
    state.counters["longest_call_ms"] = longestCall;
    state.counters["hold_end_ms"] = longestHoldEnd;
    state.counters["hold_end_cpu_ms"] = longestHoldEndCpu;
    state.counters["tick_ms"] = longestTick;
    state.counters["change_ms"] = Median(preparedChanges);
    state.counters["prepared"] = changes ? static_cast<double>(preparedChanges.size()) / changes : 0;
}

// The holds give the worker, which leaves one core to the calling thread,
// about twice what the slowest pictures of the run take it on a busy 2-core
// machine.
BENCHMARK(BM_CycleChange)
    ->Name("Cycle/1920x1080")
    ->Args({1920, 1080, 1500})
    ->Iterations(6)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CycleChange)
    ->Name("Cycle/3840x2160")
    ->Args({3840, 2160, 5000})
    ->Iterations(4)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace nivora
