// The snowflake generator: fills a scene's FlakeLayer for its FlakeSize and
// Algorithm.
#pragma once

#include <cstdint>

#include "engine/numbers/real.h"
#include "engine/pictures/scene.h"

namespace nivora {

// Fills rows and columns 0..FlakeSize of the FlakeLayer: alpha for every cell,
// red, green and blue 255 for the cells inside the disc. Does nothing for a
// FlakeSize below 1. An Algorithm outside 1..kSnowflakeRules has no step rule:
// every step then yields zero, so the disc stays fully transparent.
void Snowflake(Scene& scene);

// The orbit of one cell: entry 0 is the seed, entries 1..5 the five steps.
struct FlakeOrbit {
    xmath::Real X[6], Y[6], R[6];
};

// One cell of a snowflake of the given size and rule: sets `alpha` to what
// Snowflake stores for it and returns whether the cell lies inside the disc.
// The orbit, if asked for, receives the seed and the five steps.
bool FlakeCell(int row, int col, int size, std::uint8_t algorithm, std::int32_t& alpha,
               FlakeOrbit* orbit = nullptr);

// Folds a final orbit value into the shade S, 0 below the threshold.
xmath::Real FoldFinalValue(xmath::Real F);

}  // namespace nivora
