#include "engine/picture_numbers.h"

#include <algorithm>

namespace nivora {

void DrawFirstPictureNumbers(SaverSettings& settings, RandomGenerator& random) {
    if (settings.BackgroundRands) settings.Background = static_cast<std::int32_t>(random.Random(20) + 1);
    if (settings.RandsAlgorithm) settings.Algorithm = static_cast<std::uint8_t>(random.Random(19) + 1);
}

void DrawNextPictureNumbers(SaverSettings& settings, RandomGenerator& random) {
    if (settings.RandsAlgorithm) settings.Algorithm = static_cast<std::uint8_t>(random.Random(19) + 1);
    if (settings.BackgroundRands) settings.Background = static_cast<std::int32_t>(random.Random(20) + 1);
}

std::uint32_t HoldIntervalMs(std::int32_t timeShow) {
    // The longest interval a Windows timer accepts (USER_TIMER_MAXIMUM).
    constexpr long long kLongest = 0x7FFFFFFF;
    if (timeShow <= 0) return 0;
    return static_cast<std::uint32_t>(std::min(static_cast<long long>(timeShow) * 1000, kLongest));
}

}  // namespace nivora
