#include "engine/cycle/picture_numbers.h"

#include <algorithm>

#include "engine/pictures/generator_counts.h"

namespace nivora {

namespace {

// A random Algorithm is any rule but the last.
void DrawAlgorithm(SaverSettings& settings, RandomGenerator& random) {
    if (settings.RandsAlgorithm)
        settings.Algorithm = static_cast<std::uint8_t>(random.Random(kSnowflakeRules - 1) + 1);
}

void DrawBackground(SaverSettings& settings, RandomGenerator& random) {
    if (settings.BackgroundRands)
        settings.Background = static_cast<std::int32_t>(random.Random(kBackgroundRecipes) + 1);
}

}  // namespace

void DrawFirstPictureNumbers(SaverSettings& settings, RandomGenerator& random) {
    DrawBackground(settings, random);
    DrawAlgorithm(settings, random);
}

void DrawNextPictureNumbers(SaverSettings& settings, RandomGenerator& random) {
    DrawAlgorithm(settings, random);
    DrawBackground(settings, random);
}

std::uint32_t HoldIntervalMs(std::int32_t timeShow) {
    // The longest interval a Windows timer accepts (USER_TIMER_MAXIMUM).
    constexpr long long kLongest = 0x7FFFFFFF;
    if (timeShow <= 0) return 0;
    return static_cast<std::uint32_t>(std::min(static_cast<long long>(timeShow) * 1000, kLongest));
}

}  // namespace nivora
