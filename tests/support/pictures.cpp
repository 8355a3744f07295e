#include "support/pictures.h"

#include <chrono>
#include <thread>

#include "engine/pictures/surfaces.h"

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
    // By the clock, not by a count of ticks: under Wine a short sleep may not
    // sleep at all, and a loaded machine's worker may take seconds.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (cycle.RevealEnabled() && std::chrono::steady_clock::now() < deadline) {
        if (cycle.Waiting()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        cycle.RevealTick();
    }
}

}  // namespace nivora
