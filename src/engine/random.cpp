#include "engine/random.h"

#include <chrono>

namespace nivora {

std::uint32_t RandSeed = 0;

std::uint32_t Random(std::uint32_t n) {
    RandSeed = RandSeed * 134775813u + 1u;  // wraps modulo 2^32
    return static_cast<std::uint32_t>((static_cast<std::uint64_t>(RandSeed) * n) >> 32);
}

void Randomize() {
    using namespace std::chrono;
    const auto sinceEpoch = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
    constexpr long long msPerDay = 24LL * 60 * 60 * 1000;
    RandSeed = static_cast<std::uint32_t>(((sinceEpoch % msPerDay) + msPerDay) % msPerDay);
}

}  // namespace nivora
