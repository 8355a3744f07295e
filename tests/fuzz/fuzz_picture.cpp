// The generators and the picture cycle over any size up to 300 x 300, any
// Algorithm, Background and Brightness, both geometries and both random
// flags: the cycle as a saver window drives it (worker included), each
// picture's reveal ending within its bound of ticks and starting the hold.
#include <fuzzer/FuzzedDataProvider.h>

#include <chrono>
#include <cstdint>
#include <thread>

#include "engine/cycle/picture_cycle.h"
#include "engine/cycle/picture_worker.h"
#include "engine/cycle/random.h"
#include "engine/cycle/reveal.h"
#include "engine/pictures/scene.h"
#include "engine/pictures/surfaces.h"
#include "fuzz_check.h"

using namespace nivora;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const int width = input.ConsumeIntegralInRange<int>(0, 300);
    const int height = input.ConsumeIntegralInRange<int>(0, 300);
    const bool preview = input.ConsumeBool();
    Scene scene;
    scene.Settings.Algorithm = input.ConsumeIntegral<std::uint8_t>();
    // Mostly a byte, as a user could store one; now and then any value.
    scene.Settings.Background =
        input.ConsumeBool() ? input.ConsumeIntegral<std::int32_t>() : input.ConsumeIntegral<std::uint8_t>();
    scene.Settings.Brightness = input.ConsumeIntegral<std::uint8_t>();
    scene.Settings.RandsAlgorithm = input.ConsumeBool();
    scene.Settings.BackgroundRands = input.ConsumeBool();
    scene.Settings.TimeShow = 5;
    const int pictures = input.ConsumeIntegralInRange<int>(1, 3);
    RandomGenerator random;
    random.Seed = input.ConsumeIntegral<std::uint32_t>();

    if (preview)
        SetPreviewGeometry(scene, width, height);
    else
        SetSaverGeometry(scene, width, height);
    CreateSurfaces(scene, SoftwareImaging(), width, height);

    PictureWorker worker;
    PictureCycle cycle(scene, SoftwareImaging(), random, worker);
    cycle.FirstPicture();
    for (int picture = 0; picture < pictures; ++picture) {
        // 2 x FlakeSize + 1 cells a tick over (FlakeSize + 1)^2 cells, plus
        // the tick that completes; ticks that only wait for the worker are
        // not counted.
        const long long bound = scene.FlakeSize / 2 + 3;
        long long ticks = 0;
        while (cycle.RevealEnabled()) {
            if (cycle.Waiting()) {
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            } else {
                FUZZ_CHECK(++ticks <= bound);
            }
            const RowSpan rows = cycle.RevealTick().rows;
            FUZZ_CHECK(rows.Empty() || (rows.first >= 0 && rows.last < scene.FrameDib->Height()));
        }
        FUZZ_CHECK(cycle.HoldEnabled());
        cycle.HoldEnd();
    }
    return 0;
}
