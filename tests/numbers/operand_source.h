// Operands for comparing the integer extended type with the x87 unit: random
// values spread over the whole format, and the values where rounding is hard.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "engine/numbers/soft_extended.h"

namespace nivora::numbers {

using xmath::SoftExtended;

// The same ten bytes as the processor's long double.
inline long double Hardware(SoftExtended v) { return static_cast<long double>(v); }
inline SoftExtended Soft(long double v) { return SoftExtended(v); }

inline bool SameBits(SoftExtended a, long double b) {
    const SoftExtended c(b);
    return a.Significand() == c.Significand() && a.SignBit() == c.SignBit() && a.ExponentField() == c.ExponentField();
}

inline std::string Hex(SoftExtended v) {
    std::ostringstream out;
    out << (v.SignBit() ? '-' : '+') << std::hex << v.ExponentField() << ':' << v.Significand();
    return out.str();
}

// How many random operand pairs each operation gets: NIVORA_DIFFERENTIAL_PAIRS
// or the given default.
inline long PairCount(long fallback) {
    const char* text = std::getenv("NIVORA_DIFFERENTIAL_PAIRS");
    return text && *text ? std::strtol(text, nullptr, 10) : fallback;
}

class OperandSource {
public:
    explicit OperandSource(std::uint64_t seed) : random_(seed) {}

    // A canonical encoding: the exponent drawn from one of several regions,
    // the significand random or made of long runs of ones and zeros (which is
    // where carries and ties live).
    SoftExtended Any() {
        const bool negative = Bit();
        switch (Below(16)) {
            case 0: return Special(negative);
            case 1: return SoftExtended::FromBits(negative, 0, Significand() >> (1 + Below(63)));  // subnormal
            case 2: return Normal(negative, static_cast<int>(1 + Below(70)));                   // near the bottom
            case 3: return Normal(negative, static_cast<int>(0x7ffe - Below(70)));              // near the top
            case 4:
            case 5: return Normal(negative, static_cast<int>(1 + Below(0x7ffe)));
            default: return Normal(negative, static_cast<int>(16383 - 40 + Below(80)));      // the engine's range
        }
    }

    // A second operand close in exponent to the first: cancellation, carries
    // and sticky bits of additions, products near the limits.
    SoftExtended Near(SoftExtended a) {
        if (!a.IsFinite() || Below(8) == 0) return Any();
        int field = a.ExponentField() + static_cast<int>(Below(140)) - 70;
        if (Below(3) == 0) field = a.ExponentField() + static_cast<int>(Below(5)) - 2;
        if (field < 1) return SoftExtended::FromBits(Bit(), 0, Significand() >> 1);
        if (field > 0x7ffe) field = 0x7ffe;
        if (Below(4) == 0) {  // the same significand give or take a few units
            const std::uint64_t sig = a.Significand() + Below(7) - 3;
            if (sig & SoftExtended::kIntegerBit) return SoftExtended::FromBits(Bit(), static_cast<std::uint16_t>(field), sig);
        }
        return Normal(Bit(), field);
    }

    std::uint64_t Below(std::uint64_t n) { return std::uniform_int_distribution<std::uint64_t>(0, n - 1)(random_); }
    bool Bit() { return (random_() & 1) != 0; }

private:
    SoftExtended Normal(bool negative, int field) {
        return SoftExtended::FromBits(negative, static_cast<std::uint16_t>(field), Significand() | SoftExtended::kIntegerBit);
    }

    std::uint64_t Significand() {
        switch (Below(4)) {
            case 0: {  // runs of equal bits
                std::uint64_t v = 0;
                for (int bit = 0; bit < 64;) {
                    const int run = static_cast<int>(1 + Below(24));
                    if (Bit()) v |= (run >= 64 ? ~0ull : ((1ull << run) - 1)) << bit;
                    bit += run;
                }
                return v;
            }
            case 1: return random_() & (~0ull << Below(64));  // short significands
            default: return random_();
        }
    }

    SoftExtended Special(bool negative) {
        switch (Below(6)) {
            case 0: return SoftExtended::Zero(negative);
            case 1: return SoftExtended::Infinity(negative);
            case 2: return SoftExtended::FromBits(negative, 0x7fff, SoftExtended::kIntegerBit | SoftExtended::kQuietBit | (random_() >> 2));
            case 3: return SoftExtended::FromBits(negative, 0x7fff, SoftExtended::kIntegerBit | (random_() >> 2 | 1));  // signalling
            case 4: return SoftExtended::FromBits(negative, 0, 1);
            default: return SoftExtended(negative ? -1 : 1);
        }
    }

    std::mt19937_64 random_;
};

// Values where an operation is likely to go wrong, to be tried in every pair.
inline std::vector<SoftExtended> HardValues() {
    using S = SoftExtended;
    const std::uint64_t top = S::kIntegerBit, all = ~0ull;
    std::vector<S> v = {
        S::Zero(false), S::Zero(true), S::Infinity(false), S::Infinity(true),
        S::QuietNaN(), S::Indefinite(),
        S::FromBits(false, 0x7fff, top | 1),                      // signalling
        S::FromBits(true, 0x7fff, top | S::kQuietBit | 12345),    // quiet with a payload
        S::FromBits(false, 0x7fff, top | S::kQuietBit | 99999),
        S(1), S(-1), S(2), S(3), S(0.5), S(-0.75),
        S::FromBits(false, 16383, all),            // just below 2: adding half a unit carries
        S::FromBits(false, 16383 - 64, top),       // 2^-64: half a unit of 1
        S::FromBits(false, 16383 - 64, top | 1),   // a hair above it
        S::FromBits(false, 16383 - 65, top),       // a quarter unit
        S::FromBits(false, 16383 - 63, top | 1),
        S::FromBits(false, 16383, top | 1),        // 1 + 1 unit
        S::FromBits(false, 16383, top | 3),
        S::FromBits(false, 1, top),                // the least normal
        S::FromBits(true, 1, top | 1),
        S::FromBits(false, 0, all >> 1),           // the greatest subnormal
        S::FromBits(false, 0, 1),                  // the least subnormal
        S::FromBits(true, 0, 3),
        S::FromBits(false, 0, 1ull << 62),
        S::FromBits(false, 0x7ffe, all),           // the greatest finite
        S::FromBits(true, 0x7ffe, top),
        S::FromBits(false, 0x7ffe - 63, all),
        S::FromBits(false, 16383 + 63, all),       // 2^64 - 1
        S::FromBits(false, 16383 + 62, top | 1),   // integers and halves near the 64-bit edge
        S::FromBits(true, 16383 + 63, top),        // -2^63
        S::FromBits(false, 16383 + 63, top),       // 2^63
        S(2.5), S(-2.5), S(3.5), S(0.49999999999999994), S(4503599627370496.5L),
    };
    return v;
}

}  // namespace nivora::numbers
