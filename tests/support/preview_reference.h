// The preview's paints made one after the other on the calling thread: the
// reference that the preview painter, which takes its pictures from the
// worker and keeps its pauses as times, must show frame for frame.
#pragma once

#include <functional>

#include "engine/cycle/random.h"
#include "engine/pictures/scene.h"

namespace nivora {

// The preview's pictures: random Background and Algorithm for each.
void PreviewFirstPicture(Scene& scene, RandomGenerator& random);

// One paint of the preview on the calling thread: 2 x FlakeSize + 1 reveal
// steps, every cell blended. A completed picture is followed at once by a
// new random one, and `pause` is called before the remaining steps go on.
// Returns the number of pictures completed during this paint.
int PreviewRevealTick(Scene& scene, RandomGenerator& random, const std::function<void()>& pause);

}  // namespace nivora
