#include "engine/cycle/random.h"

#include <chrono>

namespace nivora {

void RandomGenerator::Randomize() {
    using namespace std::chrono;
    const auto sinceEpoch = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
    constexpr long long msPerDay = 24LL * 60 * 60 * 1000;
    Seed = static_cast<std::uint32_t>(((sinceEpoch % msPerDay) + msPerDay) % msPerDay);
}

}  // namespace nivora
