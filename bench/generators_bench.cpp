// Cost of the generators and of the reveal for saver screens of 1080p and 4K.
// Run: build-bench/bench/nivora_bench --benchmark_min_time=0.5
#include <benchmark/benchmark.h>

#include "engine/cycle/reveal.h"
#include "engine/pictures/background_colouring.h"
#include "engine/pictures/background_field.h"
#include "engine/pictures/parallel_rows.h"
#include "engine/pictures/scene.h"
#include "engine/pictures/snowflake.h"
#include "engine/pictures/surfaces.h"

namespace nivora {
namespace {

// A saver scene for a screen of the given height (16:9), kept between
// benchmarks of the same height.
Scene& SaverScene(int screenHeight) {
    static Scene scene;
    static int current = 0;
    if (current == screenHeight) return scene;
    scene = Scene{};
    const int screenWidth = screenHeight * 16 / 9;
    SetSaverGeometry(scene, screenWidth, screenHeight);
    CreateSurfaces(scene, SoftwareImaging(), screenWidth, screenHeight);
    current = screenHeight;
    return scene;
}

void ApplyThreads(const benchmark::State& state) { SetGeneratorThreads(static_cast<int>(state.range(2))); }

void BM_Snowflake(benchmark::State& state) {
    Scene& scene = SaverScene(static_cast<int>(state.range(0)));
    ApplyThreads(state);
    scene.Settings.Algorithm = static_cast<std::uint8_t>(state.range(1));
    for (auto _ : state) Snowflake(scene);
}

void BM_Background0(benchmark::State& state) {
    Scene& scene = SaverScene(static_cast<int>(state.range(0)));
    ApplyThreads(state);
    scene.Settings.Background = static_cast<std::int32_t>(state.range(1));
    for (auto _ : state) Background0(scene);
}

void BM_Background1(benchmark::State& state) {
    Scene& scene = SaverScene(static_cast<int>(state.range(0)));
    ApplyThreads(state);
    scene.Settings.Background = static_cast<std::int32_t>(state.range(1));
    scene.Settings.Brightness = 14;
    Background0(scene);
    for (auto _ : state) Background1(scene);
}

void BM_LayField(benchmark::State& state) {
    Scene& scene = SaverScene(static_cast<int>(state.range(0)));
    for (auto _ : state) LayField(scene);
}

// One 10 ms reveal tick through the middle of a snowflake.
void BM_RevealTick(benchmark::State& state) {
    Scene& scene = SaverScene(static_cast<int>(state.range(0)));
    scene.Settings.Algorithm = 7;
    Snowflake(scene);
    for (auto _ : state) {
        scene.RevealY = scene.FlakeSize / 2;
        scene.RevealX = 0;
        RevealTick(scene);
    }
}

void Generators(benchmark::internal::Benchmark* b) {
    for (int height : {1080, 2160})
        for (int n = 1; n <= 20; ++n)
            for (int threads : {1, 2}) b->Args({height, n, threads});
}

BENCHMARK(BM_Snowflake)->Apply(Generators)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Background0)->Apply(Generators)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Background1)->Args({1080, 6, 1})->Args({1080, 6, 2})->Args({2160, 6, 1})->Args({2160, 6, 2})
    ->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LayField)->Arg(1080)->Arg(2160)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RevealTick)->Arg(1080)->Arg(2160)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace nivora

BENCHMARK_MAIN();
