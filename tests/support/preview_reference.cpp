#include "support/preview_reference.h"

#include "engine/cycle/picture_steps.h"
#include "engine/cycle/reveal.h"
#include "engine/pictures/surfaces.h"

namespace nivora {

namespace {

void NextPreviewPicture(Scene& scene, RandomGenerator& random) {
    scene.Settings.Algorithm = static_cast<std::uint8_t>(random.Random(19) + 1);
    scene.Settings.Background = static_cast<std::int32_t>(random.Random(20) + 1);
    GenerateLayers(scene);
    LayField(scene);
}

}  // namespace

void PreviewFirstPicture(Scene& scene, RandomGenerator& random) {
    scene.Settings.Background = static_cast<std::int32_t>(random.Random(20) + 1);
    scene.Settings.Algorithm = static_cast<std::uint8_t>(random.Random(19) + 1);
    GenerateLayers(scene);
    LayField(scene);
}

int PreviewRevealTick(Scene& scene, RandomGenerator& random, const std::function<void()>& pause) {
    int completed = 0;
    if (!scene.FrameGraphics) return completed;
    for (int steps = scene.FlakeSize > 0 ? 2 * scene.FlakeSize + 1 : 1; steps > 0;) {
        bool done = false;
        steps -= PreviewRevealSteps(scene, steps, done);
        if (done) {
            ++completed;
            NextPreviewPicture(scene, random);
            if (pause) pause();
        }
    }
    return completed;
}

}  // namespace nivora
