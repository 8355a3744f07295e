// A whole picture made now, on the calling thread: the snowflake and the
// background of the scene's numbers generated, the field laid over the frame.
// The renderer and the tests use these; a window's thread leaves them to the
// picture cycle's worker, whose pictures are these, bit for bit.
#pragma once

#include "engine/cycle/random.h"
#include "engine/pictures/scene.h"

namespace nivora {

// How long the stages of one new picture took, in milliseconds.
struct PictureTimings {
    double snowflake = 0, background = 0, colouring = 0;
};

// Generates the snowflake and then the background (both passes) of the
// scene's current numbers; the field is not laid.
void GenerateLayers(Scene& scene, PictureTimings* timings = nullptr);

// A whole new picture made now, the field laid over the frame: the first
// one, and the next one after a hold (cursor rewound first).
void MakeFirstPictureNow(Scene& scene, RandomGenerator& random, PictureTimings* timings = nullptr);
void MakeNextPictureNow(Scene& scene, RandomGenerator& random, PictureTimings* timings = nullptr);

}  // namespace nivora
