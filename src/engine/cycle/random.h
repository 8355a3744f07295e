// The random generator of the program: a 32-bit linear congruential
// generator. Every random choice of one saver draws from one generator, so
// the order of the draws is part of what a user sees.
#pragma once

#include <cstdint>

namespace nivora {

class RandomGenerator {
public:
    std::uint32_t Seed = 0;

    // A uniform integer from 0 to n - 1 (0 when n is 0).
    std::uint32_t Random(std::uint32_t n) {
        Seed = Seed * 134775813u + 1u;  // wraps modulo 2^32
        return static_cast<std::uint32_t>((static_cast<std::uint64_t>(Seed) * n) >> 32);
    }

    // Seeds from the milliseconds since midnight of the current UTC time.
    void Randomize();
};

}  // namespace nivora
