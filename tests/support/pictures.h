// What the tests of pictures share: fingerprints of bytes and of a frame, a
// scene set up for pictures, and a cycle revealed to its last cell.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/cycle/picture_cycle.h"
#include "engine/cycle/random.h"
#include "engine/pictures/scene.h"

namespace nivora {

// FNV-1a over raw bytes.
struct Fingerprint {
    std::uint64_t value = 1469598103934665603ull;
    void Add(const void* data, std::size_t size);
};

// The frame's pixels, padding left out, once the scene's drawing is flushed.
std::uint64_t FrameFingerprint(Scene& scene);

struct SceneSetUp {
    SaverSettings settings;
    std::uint32_t seed = 0;
    int width = 0, height = 0;
    bool preview = false;  // the preview's geometry rather than the saver window's
};

// The settings, the seeded generator and the geometry; the surfaces too,
// unless a cycle is to make them on its worker.
void StartScene(Scene& scene, RandomGenerator& random, const SceneSetUp& setUp, bool surfaces = true);

// Reveal ticks as the timer gives them until the picture is complete, waiting
// for the worker where the picture is not there yet; after 30 s it gives up,
// and the caller's checks of the cycle's state fail.
void RevealAll(PictureCycle& cycle);

}  // namespace nivora
