#include "engine/cycle/picture_steps.h"

#include <chrono>

#include "engine/cycle/picture_numbers.h"
#include "engine/cycle/reveal.h"
#include "engine/pictures/background_colouring.h"
#include "engine/pictures/background_field.h"
#include "engine/pictures/snowflake.h"
#include "engine/pictures/surfaces.h"

namespace nivora {

namespace {

// Runs a stage and, when asked, adds its duration in milliseconds.
template <class Stage>
void Timed(double* total, Stage stage) {
    const auto start = std::chrono::steady_clock::now();
    stage();
    if (total) *total += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

void GenerateLayers(Scene& scene, PictureTimings* timings) {
    Timed(timings ? &timings->snowflake : nullptr, [&] { Snowflake(scene); });
    Timed(timings ? &timings->background : nullptr, [&] { Background0(scene); });
    Timed(timings ? &timings->colouring : nullptr, [&] { Background1(scene); });
}

void MakeFirstPictureNow(Scene& scene, RandomGenerator& random, PictureTimings* timings) {
    DrawFirstPictureNumbers(scene.Settings, random);
    GenerateLayers(scene, timings);
    LayField(scene);
}

void MakeNextPictureNow(Scene& scene, RandomGenerator& random, PictureTimings* timings) {
    RewindReveal(scene);
    DrawNextPictureNumbers(scene.Settings, random);
    GenerateLayers(scene, timings);
    LayField(scene);
}

}  // namespace nivora
