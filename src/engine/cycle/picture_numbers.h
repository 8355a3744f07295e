// The numbers of each picture: the random draws of a new picture's
// Algorithm and Background, and how long a finished picture is held.
#pragma once

#include <cstdint>

#include "engine/cycle/random.h"
#include "engine/pictures/scene.h"

namespace nivora {

// The numbers of a new picture where the flags ask for random ones. The
// first picture draws the background first; every later one the algorithm
// first. Algorithm is 1..kSnowflakeRules - 1 (the last rule is never drawn),
// Background 1..kBackgroundRecipes.
void DrawFirstPictureNumbers(SaverSettings& settings, RandomGenerator& random);
void DrawNextPictureNumbers(SaverSettings& settings, RandomGenerator& random);

// The hold interval for a TimeShow in seconds, in milliseconds; 0 means the
// hold never ends. Negative values hold for ever too, and large ones are
// capped at the longest interval a system timer takes.
std::uint32_t HoldIntervalMs(std::int32_t timeShow);

}  // namespace nivora
