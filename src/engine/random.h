// The one random generator of the program: a 32-bit linear congruential
// generator shared by every random choice.
#pragma once

#include <cstdint>

namespace nivora {

extern std::uint32_t RandSeed;

// A uniform integer from 0 to n - 1 (0 when n is 0).
std::uint32_t Random(std::uint32_t n);

// Seeds from the milliseconds since midnight of the current UTC time.
void Randomize();

}  // namespace nivora
