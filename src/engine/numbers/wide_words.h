// Products and quotients of 64-bit words with 128-bit results or dividends,
// for the integer extended type and the fixed point of the functions. Where
// the processor has no 64x64 -> 128 multiplication (wasm32), a product of
// two unsigned __int128 goes through a library call for a full 128x128 one
// that returns through memory, and a 128-bit division through a generic
// one: the words' own operations, inline, cost a fraction of either.
#pragma once

#include <bit>
#include <cstdint>

#if defined(__wasm__) || defined(NIVORA_SOFT_EXTENDED_PORTABLE)
#define NIVORA_WORDS_BY_HALVES 1
#else
#define NIVORA_WORDS_BY_HALVES 0
#endif

namespace nivora::xmath::words {

// The 128-bit product of two 64-bit words from four 32-bit products.
constexpr void MultiplyHalves(std::uint64_t a, std::uint64_t b, std::uint64_t& high, std::uint64_t& low) {
    const std::uint64_t a0 = a & 0xffffffffu, a1 = a >> 32, b0 = b & 0xffffffffu, b1 = b >> 32;
    const std::uint64_t p00 = a0 * b0, p01 = a0 * b1, p10 = a1 * b0, p11 = a1 * b1;
    const std::uint64_t middle = (p00 >> 32) + (p01 & 0xffffffffu) + (p10 & 0xffffffffu);
    low = (middle << 32) | (p00 & 0xffffffffu);
    high = p11 + (p01 >> 32) + (p10 >> 32) + (middle >> 32);
}

// (high 2^64 + low) / d for d with its top bit set and high < d: the 64-bit
// quotient and the remainder, as two steps of long division in 32-bit
// digits, each estimated by a 64-by-32-bit division and corrected (at most
// twice, since d is normalised).
constexpr std::uint64_t DivideHalves(std::uint64_t high, std::uint64_t low, std::uint64_t d, std::uint64_t& remainder) {
    const std::uint64_t d1 = d >> 32, d0 = d & 0xffffffffu;
    auto digit = [&](std::uint64_t top, std::uint64_t next) {  // (top 2^32 + next) / d, top < d, next < 2^32
        std::uint64_t q = top / d1, r = top - q * d1;
        while (q >> 32 || q * d0 > (r << 32 | next)) {
            --q, r += d1;
            if (r >> 32) break;
        }
        return q;
    };
    const std::uint64_t q1 = digit(high, low >> 32);
    const std::uint64_t middle = (high << 32 | low >> 32) - q1 * d;  // below d
    const std::uint64_t q0 = digit(middle, low & 0xffffffffu);
    remainder = (middle << 32 | (low & 0xffffffffu)) - q0 * d;
    return q1 << 32 | q0;
}

}  // namespace nivora::xmath::words
