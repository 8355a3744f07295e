#include "support/pictures.h"

#include <chrono>
#include <thread>

#include "engine/surfaces.h"

namespace nivora {

void Fingerprint::Add(const void* data, std::size_t size) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    for (std::size_t i = 0; i < size; ++i) value = (value ^ bytes[i]) * 1099511628211ull;
}

std::uint64_t FrameFingerprint(Scene& scene) {
    scene.FrameGraphics->Flush();
    const Frame& frame = *scene.FrameDib;
    Fingerprint print;
    for (int y = 0; y < frame.Height(); ++y)
        print.Add(frame.Bits() + static_cast<std::size_t>(y) * frame.Stride(), 3 * static_cast<std::size_t>(frame.Width()));
    return print.value;
}

void StartScene(Scene& scene, RandomGenerator& random, const SceneSetUp& setUp, bool surfaces) {
    scene.Settings = setUp.settings;
    random.Seed = setUp.seed;
    if (setUp.preview)
        SetPreviewGeometry(scene, setUp.width, setUp.height);
    else
        SetSaverGeometry(scene, setUp.width, setUp.height);
    if (surfaces) CreateSurfaces(scene, SoftwareImaging(), setUp.width, setUp.height);
}

void RevealAll(PictureCycle& cycle) {
    while (cycle.RevealEnabled()) {
        if (cycle.Waiting()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        cycle.RevealTick();
    }
}

}  // namespace nivora
