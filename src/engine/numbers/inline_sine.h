// The entry of the recipes, whose orbits call sine and cosine in long
// chains: xmath::inlined::Sin and Cos, the same values as xmath::Sin and
// xmath::Cos, with the usual arguments evaluated in 128-bit fixed point
// inline. A call would make the caller store every x87 value it holds and
// load them again after. The other arguments go to the pairs
// (extended_math_sine.cpp); every path rounds correctly, so both entries give
// the same bits. It brings the fixed point and the exact operations
// (extended_math_exact.h), not the functions' tables nor their pairs.
#pragma once

#include "engine/numbers/extended_math.h"
#include "engine/numbers/extended_math_exact.h"

namespace nivora::xmath {
namespace parts {

// sin x (phase 0) or cos x (phase 1) in pairs, for every argument; and the
// careful evaluation alone, for the arguments whose first one cannot tell.
Real SinOrCosPairs(Real x, int phase);
Real SinOrCosCareful(Real x, int phase);

#if NIVORA_WIDE_KERNELS
// ---- Sine and cosine in 128-bit integers ------------------------------------
//
// For 2^-32 <= |x| < 2^25: |x| 256/pi from the significand times 256/pi
// scaled for x's exponent, so that its binary point falls between two words
// (three 64-bit products); its nearest integer n and the rest f, |f| <= 1/2,
// in units of 2^-128. Then, with t = f pi/256 and the table's S and C of
// j pi/256, the value from |t|, sin|t| and 1 - cos t, each a magnitude, so
// that every product is of unsigned or of single-word values.

struct SinCosWideTable {
    UWide sine[128], cosine[128];  // sin and cos of j pi/256 in units of 2^-126
    // floor(256/pi 2^(129 + e)) for the exponents e = -32 .. 24, least
    // significant word first: s times it is |x| 256/pi 2^192.
    std::uint64_t turns[57][3];
    UWide piOver256;  // pi/256 2^134
    SinCosWideTable();
};
extern const SinCosWideTable kSinCosWide;

// sin x or cos x into `out` for 2^-32 <= |x| < 2^25, or false where the
// fixed point cannot tell the rounding (then the pairs decide).
NIVORA_HOT bool SinOrCosWide(Real x, const exact::Fields& fields, int phase, Real& out) {
    const SinCosWideTable& table = kSinCosWide;
    const std::uint64_t s = fields.significand;
    const std::uint64_t* k = table.turns[fields.biased - (16383 - 32)];
    // |x| 256/pi 2^192 = s k, its lowest word left out: the constant's cut
    // and that word each take below 2^-128 off |x| 256/pi.
    const UWide p0 = Product(s, k[0]), p1 = Product(s, k[1]), p2 = Product(s, k[2]);
    const UWide m1 = (p0 >> 64) + static_cast<std::uint64_t>(p1);
    const UWide m2 = (m1 >> 64) + (p1 >> 64) + static_cast<std::uint64_t>(p2);
    const Wide F = static_cast<Wide>(m2 << 64 | static_cast<std::uint64_t>(m1));  // f 2^128, within 2^-127
    const std::uint64_t n = static_cast<std::uint64_t>((m2 >> 64) + (p2 >> 64)) + (F < 0 ? 1 : 0);
    const int j = static_cast<int>(n & 127);
    // sin(x) = sin(q pi/2 + j pi/256 + t) with q = (n >> 7) + phase; for
    // negative x the sine changes sign, the cosine not.
    const int quadrant = static_cast<int>(((n >> 7) + static_cast<std::uint64_t>(phase)) & 3);
    const bool cosine = quadrant & 1;
    if (j == 0 && !cosine) return false;  // sin t alone, perhaps tiny: the pairs keep its precision
    const bool negative = ((quadrant & 2) != 0) != (fields.negative && phase == 0);

    // |t| 2^128 < 2^120.7, within 2^-127 of x's own rest.
    const UWide Tm = MultiplyHigh(F < 0 ? -static_cast<UWide>(F) : static_cast<UWide>(F), table.piOver256) >> 6;
    // t^2 2^128 from |t|'s halves (less by at most 2), t^2 2^77 (< 2^62.4)
    // and |t| 2^70 (< 2^62.7) cut, as single words.
    const std::uint64_t high = static_cast<std::uint64_t>(Tm >> 64), low = static_cast<std::uint64_t>(Tm);
    const UWide square = Product(high, high) + (Product(high, low) >> 63);
    const std::int64_t z = static_cast<std::int64_t>(square >> 51);
    const std::int64_t tau = static_cast<std::int64_t>(Tm >> 58);
    // |t| - sin|t| = |t|^3 (1/6 - z/120 + z^2/5040 - z^3/362880): |t|^3 2^85
    // from z and tau (within 2^-83), the bracket in units of 2^-63 (each
    // step cut, within 2^-62.5; t^11/11! and beyond below 2^-106).
    static constexpr std::int64_t kS[4] = {0x1555555555555555, -0x0111111111111111, 0x0006806806806807,
                                           -0x0000171de3a556c7};
    std::int64_t ps = kS[3];
    for (int i = 2; i >= 0; --i) ps = kS[i] + static_cast<std::int64_t>(SignedProduct(ps, z) >> 77);
    const std::int64_t cube = static_cast<std::int64_t>(SignedProduct(z, tau) >> 62);
    const UWide sinRest = static_cast<UWide>(SignedProduct(cube, ps) >> 20);  // 2^-128, within 2^-83.9
    // 1 - cos t = t^2/2 - t^4 (1/24 - z/720 + z^2/40320): t^4 2^90 from z
    // (within 2^-89.3), the bracket as above (t^10/10! and beyond below 2^-95).
    static constexpr std::int64_t kC[3] = {0x0555555555555555, -0x002d82d82d82d82e, 0x0000d00d00d00d01};
    std::int64_t pc = kC[2];
    for (int i = 1; i >= 0; --i) pc = kC[i] + static_cast<std::int64_t>(SignedProduct(pc, z) >> 77);
    const std::int64_t fourth = static_cast<std::int64_t>(SignedProduct(z, z) >> 64);
    const UWide cosRest = (square >> 1) - static_cast<UWide>(SignedProduct(fourth, pc) >> 25);  // within 2^-91
    // sin theta = S + C sin t - S (1 - cos t), cos theta = C - S sin t - C (1 - cos t):
    // A + B sin t - A (1 - cos t), with A = S, B = C for the sine and A = C,
    // B = -S for the cosine, in units of 2^-126, within 2^-83.9 (the series'
    // errors, and 2^-124 from the products' cuts and the table). The value is
    // at least sin(pi/512) > 2^-7.35, so its top bit lies at most 9 places
    // below 2^126's: the error, 2^42.1 units, is under 2^51.1 of the 64 bits
    // below the result's significand.
    const UWide A = cosine ? table.cosine[j] : table.sine[j];
    const UWide B = cosine ? table.sine[j] : table.cosine[j];
    const Wide turn = static_cast<Wide>(MultiplyHigh(B, Tm - sinRest));
    const Wide sum = static_cast<Wide>(A - MultiplyHigh(A, cosRest)) + (cosine != (F < 0) ? -turn : turn);
    const std::uint64_t top = static_cast<std::uint64_t>(static_cast<UWide>(sum) >> 64);
    const int lz = __builtin_clzll(top);
    // The 64 bits below the result's significand, and the error in their
    // units, within slack: where they lie within slack of a half, sin x and
    // sum could round apart, and the careful evaluation decides.
    const std::uint64_t rest = static_cast<std::uint64_t>(sum) << lz;
    const std::uint64_t slack = std::uint64_t{1} << (45 + lz);
    if (rest - (std::uint64_t{1} << 63) + slack <= 2 * slack) {
        out = SinOrCosCareful(x, phase);
        return true;
    }
#if NIVORA_REAL_IS_SOFT
    // The integer type's value is composed from its fields: there its own
    // multiplications and addition cost more than rounding in integers.
    RoundWide(negative, static_cast<UWide>(sum), 126, 0, out);
#else
    // sum = high 2^64 + low (low signed), each exactly a Real: their sum,
    // rounded once by the x87 addition, is sum's correct rounding. (The
    // integers reach the x87 through 64-bit stores and loads, which the
    // processor forwards; an 80-bit value composed of its fields would be
    // loaded from two narrower stores, and wait for them.)
    const std::int64_t lowPart = static_cast<std::int64_t>(static_cast<std::uint64_t>(sum));
    const std::int64_t highPart = static_cast<std::int64_t>(top) + static_cast<std::int64_t>(static_cast<std::uint64_t>(sum) >> 63);
    const Real v = exact::FromInteger(highPart) * 0x1p-62L + exact::FromInteger(lowPart) * 0x1p-126L;
    out = negative ? -v : v;
#endif
    return true;
}
#endif

// Inlined into its callers, so that x's bits are read where the caller
// stored it, and no x87 value of theirs is stored and loaded again.
NIVORA_HOT Real SinOrCos(Real x, int phase) {
#if NIVORA_WIDE_KERNELS
    // 2^-32 <= |x| < 2^25 on the bits alone.
    const exact::Fields f = exact::FieldsOf(x);
    Real wide;
    if (f.biased >= 16383 - 32 && f.biased <= 16383 + 24 && (f.significand >> 63) &&
        SinOrCosWide(x, f, phase, wide))
        return wide;
#endif
    return SinOrCosPairs(x, phase);
}

}  // namespace parts

// The same values as xmath::Sin and xmath::Cos.
namespace inlined {
NIVORA_HOT Real Sin(Real x) { return parts::SinOrCos(x, 0); }
NIVORA_HOT Real Cos(Real x) { return parts::SinOrCos(x, 1); }
}  // namespace inlined

}  // namespace nivora::xmath
