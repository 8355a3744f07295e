// sin x and cos x: x reduced by multiples of pi/256, a table of their sine
// and cosine, and the series of the rest.
#include "engine/numbers/extended_math_parts.h"
#include "engine/numbers/inline_sine.h"

namespace nivora::xmath {
using namespace parts;

namespace {

// x = n pi/256 + t: t as a pair, |t| <= pi/512 (and a hair), and n, of which
// n mod 512 matters: (n >> 7) mod 4 is the quadrant, n mod 128 the table entry.
struct Turns {
    Pair t;
    std::int64_t n;
};

// Below this n < 2^32, so n times each 32-bit part of pi/256 is exact.
constexpr Real kQuickLimit = 0x1p25L;

// The first reduction: exact to x - n (pi/256)_1 - n (pi/256)_2, the rest in
// single values, whose roundings stay below 2^-128 (1 + |n|).
NIVORA_HOT Turns ReduceFirst(Real x, Real& n) {
    n = exact::NearestSmall(x * k256OverPi);  // |x| < 2^25
    const Pair r = TwoSum(x - n * kPiOver256Split[0], -(n * kPiOver256Split[1]));  // the first difference is exact
    const Real rest = ((r.lo - n * kPiOver256Split[2]) - n * kPiOver256Split[3]) - n * kPiOver256Split[4];
    return {FastTwoSum(r.hi, rest), exact::ToInteger(n)};
}

// The careful reduction of the same arguments: every step a pair.
NIVORA_COLD Turns ReduceCareful(Real x) {
    const Real n = exact::Nearest(x * k256OverPi);
    Pair r = TwoSum(x - n * kPiOver256Split[0], -(n * kPiOver256Split[1]));
    r = Add(r, -(n * kPiOver256Split[2]));
    r = Add(r, Negate(TwoProduct(n, kPiOver256Split[3])));
    r = Add(r, -(n * kPiOver256Split[4]));
    return {r, exact::ToInteger(n)};
}

// x = k pi/2 + r: r as a pair, |r| <= pi/4, and k mod 4.
struct Reduced {
    Pair r;
    int quadrant;
};

// The 64 bits of the little-endian number `words` from bit `at` upwards
// (bits below 0 read as 0).
std::uint64_t BitsAt(const std::uint32_t* words, int count, int at) {
    std::uint64_t out = 0;
    for (int b = 0; b < 64; b += 32) {
        const int pos = at + b;
        std::uint64_t part = 0;
        for (int j = 0; j < 32; ++j) {
            const int bit = pos + j;
            if (bit >= 0 && bit / 32 < count && (words[bit / 32] >> (bit % 32)) & 1u) part |= std::uint64_t{1} << j;
        }
        out |= part << b;
    }
    return out;
}

// Large arguments (Payne and Hanek): the fraction of x 2/pi from the 64-bit
// significand times a window of 320 bits of 2/pi, in integers, so exact but
// for what lies beyond the window, below 2^-220.
NIVORA_COLD Reduced ReduceLarge(Real x) {
    constexpr int kWindow = 10;  // words of 2/pi
    const int E = Exponent(x);
    const std::uint64_t s = exact::Significand(x);
    // The bits j of 2/pi (b_j 2^-j) with j <= E - 65 add multiples of 4.
    const int firstBit = E - 64 > 1 ? E - 64 : 1;
    const int w0 = (firstBit - 1) / 32;
    std::uint32_t window[kWindow];
    for (int i = 0; i < kWindow; ++i) window[i] = kTwoOverPiBits[w0 + kWindow - 1 - i];
    std::uint32_t product[kWindow + 2] = {};
    const std::uint32_t sig[2] = {static_cast<std::uint32_t>(s), static_cast<std::uint32_t>(s >> 32)};
    for (int a = 0; a < 2; ++a) {
        std::uint64_t carry = 0;
        for (int i = 0; i < kWindow; ++i) {
            const std::uint64_t v = std::uint64_t{sig[a]} * window[i] + product[a + i] + carry;
            product[a + i] = static_cast<std::uint32_t>(v);
            carry = v >> 32;
        }
        product[a + kWindow] = static_cast<std::uint32_t>(carry);
    }
    // x 2/pi = product * 2^-point.
    const int point = 32 * (w0 + kWindow) - E + 63;
    int quadrant = static_cast<int>(BitsAt(product, kWindow + 2, point) & 3);
    std::uint64_t f[3] = {BitsAt(product, kWindow + 2, point - 64), BitsAt(product, kWindow + 2, point - 128),
                          BitsAt(product, kWindow + 2, point - 192)};
    bool negative = false;
    if (f[0] >> 63) {  // the fraction is 1/2 or more: take fraction - 1
        negative = true;
        ++quadrant;
        // 2^192 - f, in three words.
        f[2] = ~f[2] + 1;
        f[1] = ~f[1] + (f[2] == 0 ? 1 : 0);
        f[0] = ~f[0] + (f[2] == 0 && f[1] == 0 ? 1 : 0);
    }
    Pair y = FastTwoSum(Scale(exact::FromUnsigned(f[0]), -64), Scale(exact::FromUnsigned(f[1]), -128));
    y = Add(y, Scale(exact::FromUnsigned(f[2]), -192));
    Pair r = Add(Multiply(y, Pair{kHalfPi[0], kHalfPi[1]}), y.hi * kHalfPi[2]);
    if (negative) r = Negate(r);
    if (x < 0) {
        r = Negate(r);
        quadrant = -quadrant;
    }
    return {r, quadrant & 3};
}

// Large arguments: k pi/2 + r from above, then r = m pi/256 + t with the
// pairs' own sums (m times the 32-bit parts is exact, |m| <= 64).
NIVORA_COLD Turns ReduceLargeTurns(Real x) {
    const Reduced red = ReduceLarge(x);
    const Real m = exact::Nearest(red.r.hi * k256OverPi);
    Pair t = TwoSum(red.r.hi - m * kPiOver256Split[0], red.r.lo);  // the difference is exact
    t = Add(t, -(m * kPiOver256Split[1]));
    t = Add(t, -(m * kPiOver256Split[2]));
    t = Add(t, Negate(TwoProduct(m, kPiOver256Split[3])));
    t = Add(t, -(m * kPiOver256Split[4]));
    return {t, 128 * red.quadrant + exact::ToInteger(m)};
}

// sin or cos of theta = j pi/256 + t, from the table's sin and cos of
// j pi/256 (S, C) and the series of t: sin theta = S + (C sin t + S (cos t - 1)),
// cos theta = C + (C (cos t - 1) - S sin t). For j >= 1, S and C are at least
// sin(pi/256) > 2^-6.4 while |S t|, |C t| <= pi/512 < 2^-7.3, and S = 0 for
// j = 0: the first sums are exact, the rest goes into the low parts.
template <bool cosine>
NIVORA_HOT Pair KernelFast(const SinCosEntry& e, Pair tt) {
    // Both as A + B t + (A_lo + B_lo t + B (sin t - t) + A (cos t - 1)): for
    // the sine A = S, B = C, for the cosine A = C, B = -S. The order below
    // keeps few values alive at a time (the x87 has eight registers, and a
    // spilled one costs an 80-bit store and load).
    const Real *const a = cosine ? &e.cosHi : &e.sinHi, *const aLo = cosine ? &e.cosLo : &e.sinLo;
    const Real *const b = cosine ? &e.sinHi : &e.cosHi, *const bLo = cosine ? &e.sinLo : &e.cosLo;
    constexpr Real sign = cosine ? -1 : 1;
    const Real t = tt.hi, z = t * t, z2 = z * z;
    // sin t - t = tt.lo + t z (-1/6 + z/120 - z^2/5040 + z^3/362880), below
    // 2^-98 after; the coefficients from 1/120 on are doubles, each within
    // 2^-54 of its value, on terms below 2^-29 of t: under 2^-82 of t.
    const Real sinRest = t * z * ((-1.0L / 6 + static_cast<Real>(1.0 / 120) * z) +
                                  z2 * (static_cast<Real>(-1.0 / 5040) + static_cast<Real>(1.0 / 362880) * z)) +
                         tt.lo;
    // cos t - 1 = -t^2/2 + z^2 (1/24 - z/720 + z^2/40320), below 2^-95 after,
    // 1/720 and 1/40320 as doubles (terms below 2^-44: under 2^-97).
    const Real cosTail = z2 * ((1.0L / 24 - static_cast<Real>(1.0 / 720) * z) + z2 * static_cast<Real>(1.0 / 40320));
    Real th, tl;
    Split(t, th, tl);
    const Real squareLo = ((th * th - z) + th * tl + tl * th) + tl * tl;  // t^2 - z exactly
    const Real cosM1 = -0.5L * z + ((-0.5L * squareLo - t * tt.lo) + cosTail);
    const Real A = *a, B = sign * *b;
    Real low = A * cosM1 + B * sinRest;
    low += sign * *bLo * t;
    // B t exactly as p + pLo (Dekker's product).
    const Real p = B * t;
    Real bh, bl;
    Split(B, bh, bl);
    const Real pLo = ((bh * th - p) + bh * tl + bl * th) + bl * tl;
    const Pair sum = FastTwoSum(A, p);
    low += *aLo + pLo + sum.lo;
    return FastTwoSum(sum.hi, low);
}

NIVORA_COLD Pair KernelCareful(const SinCosEntry& e, Pair t, bool cosine) {
    const Pair z = Multiply(t, t);
    const Pair sinT = Multiply(Series(z, 7, 1, 2, true, kInverseFactorial), t);
    const Pair cosT = Series(z, 8, 0, 2, true, kInverseFactorial);
    const Pair S{e.sinHi, e.sinLo}, C{e.cosHi, e.cosLo};
    if (cosine) return Add(Multiply(C, cosT), Negate(Multiply(S, sinT)));
    return Add(Multiply(S, cosT), Multiply(C, sinT));
}

// sin theta or cos theta (by the quadrant q = (n >> 7) + phase: sin(q pi/2
// + theta)) for x = n pi/256 + t, quickly, as a pair.
NIVORA_HOT Pair FirstValue(const Turns& turns, int phase, bool& negate) {
    const int quadrant = static_cast<int>(((turns.n >> 7) + phase) & 3);
    negate = quadrant & 2;
    // One copy of the kernel each, so that neither chooses at run time.
    const SinCosEntry& entry = kSinCosTable[turns.n & 127];
    return quadrant & 1 ? KernelFast<true>(entry, turns.t) : KernelFast<false>(entry, turns.t);
}

NIVORA_COLD Real CarefulValue(const Turns& turns, int phase) {
    const int quadrant = static_cast<int>(((turns.n >> 7) + phase) & 3);
    const Real v = KernelCareful(kSinCosTable[turns.n & 127], turns.t, quadrant & 1).hi;
    return quadrant & 2 ? -v : v;
}

// Tiny, large and non-finite arguments.
NIVORA_COLD Real SinOrCosRest(Real x, int phase) {
    const Real ax = Abs(x);
    if (ax < 0x1p-32L) return phase == 0 ? x : 1;  // x^3/6 and x^2/2 round away
    if (!(ax <= std::numeric_limits<Real>::max())) return x - x;  // NaN for NaN and infinities
    const Turns turns = ReduceLargeTurns(x);
    bool negate;
    const Pair v = FirstValue(turns, phase, negate);
    if (!RoundsSurely(v, Abs(v.hi) * kFastError + 0x1p-185L)) return CarefulValue(turns, phase);
    return negate ? -v.hi : v.hi;
}

}  // namespace

// sin x (phase 0) or cos x (phase 1) = sin(x + phase pi/2) in pairs. Nothing
// but the result of the first evaluation is kept for the careful one, which
// starts again from x: a value kept would be spilled from the x87 registers.
NIVORA_PAIR_PATH Real parts::SinOrCosPairs(Real x, int phase) {
    const Real ax = Abs(x);
    if (!(ax < kQuickLimit && ax >= 0x1p-32L)) return SinOrCosRest(x, phase);  // NaN too
    Real n;
    const Turns turns = ReduceFirst(x, n);
    bool negate;
    const Pair v = FirstValue(turns, phase, negate);
    // The reduction's error, absolute, from n (|n| < 2^32, so exactly).
    const Real reductionError = 0x1p-128L * (1 + Abs(FromInteger(turns.n)));
    if (!RoundsSurely(v, Abs(v.hi) * kFastError + reductionError)) return CarefulValue(ReduceCareful(x), phase);
    return negate ? -v.hi : v.hi;
}

NIVORA_COLD Real parts::SinOrCosCareful(Real x, int phase) { return CarefulValue(ReduceCareful(x), phase); }

#if NIVORA_WIDE_KERNELS
parts::SinCosWideTable::SinCosWideTable() {
    for (int j = 0; j < 128; ++j) {
        const SinCosEntry& e = kSinCosTable[j];
        sine[j] = static_cast<UWide>(ToFixed(e.sinHi, 126) + ToFixed(e.sinLo, 126));
        cosine[j] = static_cast<UWide>(ToFixed(e.cosHi, 126) + ToFixed(e.cosLo, 126));
    }
    // 256/pi 2^(129 + e) = 2/pi 2^(136 + e): the first 136 + e bits of
    // 2/pi (bit k worth 2^-k) as an integer.
    for (int e = -32; e <= 24; ++e) {
        std::uint64_t* words = turns[e + 32];
        words[0] = words[1] = words[2] = 0;
        const int bits = 136 + e;
        for (int k = 1; k <= bits; ++k) {
            if ((kTwoOverPiBits[(k - 1) / 32] >> (31 - (k - 1) % 32)) & 1u) {
                const int at = bits - k;
                words[at / 64] |= std::uint64_t{1} << (at % 64);
            }
        }
    }
    UWide c = 0;
    for (const Real part : kPiOver256Split) c += static_cast<UWide>(ToFixed(part, 133));
    piOver256 = c * 2;
}
const parts::SinCosWideTable parts::kSinCosWide NIVORA_TABLE_EARLY;
#endif

Real Sin(Real x) { return inlined::Sin(x); }
Real Cos(Real x) { return inlined::Cos(x); }

}  // namespace nivora::xmath
