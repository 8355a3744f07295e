#include "engine/extended_math.h"

#include <limits>

namespace nivora::xmath {
namespace {

#include "engine/extended_math_tables.inc"

using exact::Abs;
using exact::Exponent;
using exact::FromInteger;
using exact::Scale;
using exact::Split;

// A value carried as an unevaluated sum hi + lo, |lo| <= ulp(hi)/2 once
// normalised: about 128 bits.
struct Pair {
    Real hi, lo;
};

// s + e = a + b exactly, where |a| >= |b| or a is 0.
inline Pair FastTwoSum(Real a, Real b) {
    const Real s = a + b;
    return {s, b - (s - a)};
}

inline Pair TwoSum(Real a, Real b) {
    const Real s = a + b;
    const Real bb = s - a;
    return {s, (a - (s - bb)) + (b - bb)};
}

// p + e = a * b exactly (Dekker), barring overflow and underflow.
inline Pair TwoProduct(Real a, Real b) {
    const Real p = a * b;
    Real ah, al, bh, bl;
    Split(a, ah, al);
    Split(b, bh, bl);
    return {p, ((ah * bh - p) + ah * bl + al * bh) + al * bl};
}

inline Pair Add(Pair a, Pair b) {
    Pair s = TwoSum(a.hi, b.hi);
    const Pair t = TwoSum(a.lo, b.lo);
    s = FastTwoSum(s.hi, s.lo + t.hi);
    return FastTwoSum(s.hi, s.lo + t.lo);
}

inline Pair Add(Pair a, Real b) {
    const Pair s = TwoSum(a.hi, b);
    return FastTwoSum(s.hi, s.lo + a.lo);
}

inline Pair Negate(Pair a) { return {-a.hi, -a.lo}; }

inline Pair Multiply(Pair a, Pair b) {
    const Pair p = TwoProduct(a.hi, b.hi);
    return FastTwoSum(p.hi, p.lo + (a.hi * b.lo + a.lo * b.hi));
}

inline Pair Multiply(Pair a, Real b) {
    const Pair p = TwoProduct(a.hi, b);
    return FastTwoSum(p.hi, p.lo + a.lo * b);
}

inline Pair Divide(Pair a, Pair b) {
    const Real q1 = a.hi / b.hi;
    Pair r = Add(a, Negate(Multiply(b, q1)));
    const Real q2 = r.hi / b.hi;
    r = Add(r, Negate(Multiply(b, q2)));
    const Real q3 = r.hi / b.hi;
    return Add(FastTwoSum(q1, q2), q3);
}

inline Pair PairOf(const AngleEntry& e) { return {e.hi, e.lo}; }

// Whether every value within `error` of v rounds to v.hi: then v.hi is the
// correctly rounded value of whatever v approximates.
inline bool RoundsSurely(Pair v, Real error) {
    return v.hi + (v.lo + error) == v.hi && v.hi + (v.lo - error) == v.hi;
}

// Sum over k = 0..n of sign^k z^k / (step k + first) in pairs, by Horner's
// rule, the coefficients from a table of 1/j (`inverse`) or 1/j!.
inline Pair Series(Pair z, int n, int first, int step, bool alternating, const AngleEntry* table) {
    const bool negativeLast = alternating && (n % 2);
    Pair p = PairOf(table[step * n + first]);
    if (negativeLast) p = Negate(p);
    for (int k = n - 1; k >= 0; --k) {
        Pair c = PairOf(table[step * k + first]);
        if (alternating && (k % 2)) c = Negate(c);
        p = Add(Multiply(p, z), c);
    }
    return p;
}

// ---- Logarithm ----------------------------------------------------------

// The first evaluation's error bound, relative to its result: well above what
// its roundings can add up to (about 2^-84), and seldom failing the test.
constexpr Real kFastError = 0x1p-76L;

Real LnCareful(int e, const LnEntry& entry, Pair r) {
    // ln(1 + r) = r - r^2/2 + r^3/3 ..., |r| <= 2^-8: 17 terms reach 2^-128.
    const Pair log1p = Multiply(Series(r, 16, 1, 1, true, kInverse), r);
    const Real E = FromInteger(e);
    Pair sum = TwoSum(E * kLn2[0], entry.lnHi);
    sum = Add(sum, E * kLn2[1]);
    sum = Add(sum, Pair{entry.lnLo, E * kLn2[2]});
    sum = Add(sum, log1p);
    return sum.hi;
}

}  // namespace

Real Ln(Real x) {
    if (!(x > 0)) {
        if (x == 0) return -std::numeric_limits<Real>::infinity();
        return std::numeric_limits<Real>::quiet_NaN();  // negative, or NaN
    }
    if (exact::IsInfinite(x)) return x;
    if (x == 1) return 0;

    // x = 2^e m, m in [0.70703125, 1.4140625) with 1/c from the table near
    // 1/m; r = m/c - 1 exactly as a pair: the significand's two halves times
    // the 10-bit 1/c are exact, and the first of them minus 1 too.
    std::uint64_t significand;
    int e;
    exact::Decompose(x, significand, e);
    int k = static_cast<int>(significand >> 55);  // m 256, m in [1, 2)
    Real scale = 0x1p-63L;
    if (k >= 362) {
        ++e;
        k >>= 1;
        scale = 0x1p-64L;
    }
    const LnEntry& entry = kLnTable[k - kLnFirst];
    const Real mh = FromInteger(static_cast<std::int64_t>(significand >> 32)) * (scale * 0x1p32L);
    const Real ml = FromInteger(static_cast<std::int64_t>(significand & 0xffffffffu)) * scale;
    const Pair r = TwoSum(mh * entry.inverse - 1, ml * entry.inverse);

    // ln x = e ln 2 - ln(1/c) + ln(1 + r). The large terms are added
    // exactly (each pair's first term outweighs the second: |ln c| >= 2^-7.4
    // or 0, |r| <= 2^-8.2); what they leave, the products' low parts and the
    // rest of the series (r^3/3 .. r^11/11, below 2^-90 of r beyond) in
    // single values.
    const Real z = r.hi;
    Real tail = -1.0L / 11;
    tail = tail * z + 0.1L;  // the rounding of 1/10 is far below the bound
    tail = tail * z - 1.0L / 9;
    tail = tail * z + 0.125L;
    tail = tail * z - 1.0L / 7;
    tail = tail * z + 1.0L / 6;
    tail = tail * z - 0.2L;
    tail = tail * z + 0.25L;
    tail = tail * z - 1.0L / 3;
    const Pair square = TwoProduct(z, z);
    const Pair log1p = FastTwoSum(z, -0.5L * square.hi);
    const Real E = FromInteger(e);
    const Pair big = FastTwoSum(E * kLn2[0], entry.lnHi);
    const Pair sum = FastTwoSum(big.hi, log1p.hi);
    Real low = -(z * square.hi) * tail;
    low += r.lo - z * r.lo - 0.5L * square.lo;
    low += E * kLn2[1] + entry.lnLo;
    low += big.lo + sum.lo + log1p.lo;
    const Pair result = FastTwoSum(sum.hi, low);
    if (RoundsSurely(result, Abs(result.hi) * kFastError)) return result.hi;
    return LnCareful(e, entry, r);
}

// ---- Arc tangent ----------------------------------------------------------

namespace {

// atan(t) for 0 <= t <= 1 given as a pair: atan(c) from the table for the c =
// i/64 nearest t, plus atan(d), d = (t - c)/(1 + t c), |d| <= 2^-7.
struct AtanReduced {
    Pair base, d;
};

AtanReduced ReduceAtan(Pair t) {
    const int i = static_cast<int>(exact::ToInteger(exact::Nearest(t.hi * 64)));
    const Real c = FromInteger(i) * 0x1p-6L;
    const Pair numerator = TwoSum(t.hi - c, t.lo);  // t.hi - c is exact
    // 1 + t c: t.hi in halves times the 7-bit c is exact.
    Real th, tl;
    Split(t.hi, th, tl);
    const Pair one = FastTwoSum(1, th * c);
    const Pair denominator = FastTwoSum(one.hi, one.lo + tl * c + t.lo * c);
    // The quotient and its remainder, exact but for the low parts.
    const Real q = numerator.hi / denominator.hi;
    const Pair qd = TwoProduct(q, denominator.hi);
    const Real rest = ((numerator.hi - qd.hi) - qd.lo) + numerator.lo - q * denominator.lo;
    return {PairOf(kAtanTable[i]), FastTwoSum(q, rest / denominator.hi)};
}

// |atan c| >= 2^-6 > |d| or c = 0, so the sum of the first terms is exact.
Pair AtanFast(const AtanReduced& a) {
    // d - d^3/3 + ... - d^15/15: the terms after d in single values.
    const Real d = a.d.hi, z = d * d;
    Real tail = -1.0L / 15;
    tail = tail * z + 1.0L / 13;
    tail = tail * z - 1.0L / 11;
    tail = tail * z + 1.0L / 9;
    tail = tail * z - 1.0L / 7;
    tail = tail * z + 0.2L;
    tail = tail * z - 1.0L / 3;
    const Pair sum = FastTwoSum(a.base.hi, d);
    return FastTwoSum(sum.hi, sum.lo + (a.base.lo + a.d.lo + d * z * tail));
}

Pair AtanCareful(const AtanReduced& a) {
    // To d^19/19, below 2^-130 of d.
    const Pair z = Multiply(a.d, a.d);
    return Add(a.base, Multiply(Series(z, 9, 1, 2, true, kInverse), a.d));
}

// The angle theta in [0, pi/4] moved to its octant: pi/2 - theta when y and x
// were swapped, pi - that when x < 0. Quickly, or with the third part of pi/2
// and the pairs' own sums.
Pair ToOctant(Pair theta, bool swapped, bool negativeX, bool careful) {
    for (int step = 0; step < 2; ++step) {
        if (!(step == 0 ? swapped : negativeX)) continue;
        const Real scale = step == 0 ? 1 : 2;  // pi/2 or pi
        if (careful) {
            theta = Add(Pair{scale * kHalfPi[0], scale * kHalfPi[1]}, Negate(theta));
            theta = Add(theta, scale * kHalfPi[2]);
        } else {
            const Pair sum = FastTwoSum(scale * kHalfPi[0], -theta.hi);  // theta <= pi/2
            theta = FastTwoSum(sum.hi, sum.lo + (scale * kHalfPi[1] - theta.lo));
        }
    }
    return theta;
}

}  // namespace

Real ArcTan2(Real y, Real x) {
    using exact::CopySign;
    using exact::IsInfinite;
    if (exact::IsNaN(x) || exact::IsNaN(y)) return x + y;
    if (y == 0) return exact::SignBit(x) ? CopySign(kPiRounded, y) : y;  // x = -0 counts as negative
    if (x == 0) return CopySign(kHalfPiRounded, y);
    if (IsInfinite(x)) {
        if (IsInfinite(y)) return CopySign(x > 0 ? kQuarterPiRounded : kThreeQuarterPiRounded, y);
        return x > 0 ? CopySign(0, y) : CopySign(kPiRounded, y);
    }
    if (IsInfinite(y)) return CopySign(kHalfPiRounded, y);

    const Real ax = Abs(x), ay = Abs(y);
    const bool swapped = ay > ax, negativeX = x < 0;
    const Real num = swapped ? ax : ay, den = swapped ? ay : ax;
    const int gap = Exponent(num) - Exponent(den);
    Pair result;
    if (gap < -100) {
        // atan t = t (1 - t^2/3 ...) with t below 2^-99: the quotient
        // rounded is the angle rounded, in the octant where it stands alone.
        const Real t = num / den;
        if (!swapped && !negativeX) return CopySign(t, y);
        result = ToOctant(Pair{t, 0}, swapped, negativeX, true);
        return CopySign(result.hi, y);
    }
    // t = num/den as a pair, both scaled so that den is in [1, 2).
    const int shift = -Exponent(den);
    const Real n = Scale(num, shift), d = Scale(den, shift);
    const Real q = n / d;
    const Pair qd = TwoProduct(q, d);
    const Pair t{q, ((n - qd.hi) - qd.lo) / d};
    const AtanReduced reduced = ReduceAtan(t);
    result = ToOctant(AtanFast(reduced), swapped, negativeX, false);
    if (!RoundsSurely(result, Abs(result.hi) * kFastError)) {
        result = ToOctant(AtanCareful(reduced), swapped, negativeX, true);
    }
    return CopySign(result.hi, y);
}

// ---- Sine and cosine ----------------------------------------------------

namespace {

// x = k pi/2 + r: r as a pair, |r| <= pi/4 (and a hair), and k mod 4.
struct Reduced {
    Pair r;
    int quadrant;
};

// Below this the quick reduction: k < 2^31, so k times each 32-bit part of
// pi/2 is exact; the absolute error of r is below 2^-190.
constexpr Real kQuickLimit = 0x1p30L;

// The first, quicker reduction: exact to r = s - k (pi/2)_2 (the first two
// parts), the rest in single values; absolute error below 2^-124 (1 + |k|).
Reduced ReduceFirst(Real x, Real& k) {
    k = exact::Nearest(x * kTwoOverPi);
    const int quadrant = static_cast<int>(exact::ToInteger(k) & 3);
    const Pair r = TwoSum(x - k * kHalfPiSplit[0], -(k * kHalfPiSplit[1]));
    const Real rest = ((r.lo - k * kHalfPiSplit[2]) - k * kHalfPiSplit[3]) - k * kHalfPiSplit[4];
    return {FastTwoSum(r.hi, rest), quadrant};
}

Reduced ReduceQuick(Real x) {
    const Real k = exact::Nearest(x * kTwoOverPi);
    const int quadrant = static_cast<int>(exact::ToInteger(k) & 3);
    const Real s = x - k * kHalfPiSplit[0];  // exact
    Pair r = TwoSum(s, -(k * kHalfPiSplit[1]));
    r = Add(r, -(k * kHalfPiSplit[2]));
    r = Add(r, Negate(TwoProduct(k, kHalfPiSplit[3])));
    r = Add(r, -(k * kHalfPiSplit[4]));
    return {r, quadrant};
}

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
Reduced ReduceLarge(Real x) {
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

// sin r or cos r for |r| <= pi/4 + a hair: r = a + t with a = i/64 from the
// table and |t| <= 2^-7, sin(a + t) = sin a cos t + cos a sin t.
struct KernelArgs {
    Pair t, sinA, cosA;
    bool negative;  // r < 0: sin r = -sin |r|
};

KernelArgs KernelSplit(Pair r) {
    const bool negative = r.hi < 0;
    if (negative) r = Negate(r);
    const int i = static_cast<int>(exact::ToInteger(exact::Nearest(r.hi * 64)));
    const SinCosEntry& e = kSinCosTable[i];
    return {TwoSum(r.hi - FromInteger(i) * 0x1p-6L, r.lo), {e.sinHi, e.sinLo}, {e.cosHi, e.cosLo}, negative};
}

// `cosine` chooses cos r over sin r. The products of the table's values with
// t are exact in their first terms, |sin a| >= 2^-6 > |cos a t| (or sin a = 0)
// and cos a > 0.7 > |sin a t|: the first sums are exact too.
Pair KernelFast(const KernelArgs& k, bool cosine) {
    const Real t = k.t.hi, z = t * t;
    // sin t = t + t z (-1/6 + z/120 - z^2/5040 + z^3/362880).
    Real sinTail = 1.0L / 362880;
    sinTail = sinTail * z - 1.0L / 5040;
    sinTail = sinTail * z + 1.0L / 120;
    sinTail = sinTail * z - 1.0L / 6;
    const Real sinRest = k.t.lo + t * z * sinTail;  // sin t = t + sinRest
    // cos t - 1 = -t^2/2 + z^2 (1/24 - z/720 + z^2/40320).
    Real cosTail = 1.0L / 40320;
    cosTail = cosTail * z - 1.0L / 720;
    cosTail = cosTail * z + 1.0L / 24;
    const Pair square = TwoProduct(t, t);
    const Real cosM1 = -0.5L * square.hi + ((-0.5L * square.lo - t * k.t.lo) + z * z * cosTail);
    if (cosine) {
        // cos a + cos a (cos t - 1) - sin a sin t
        const Pair st = TwoProduct(k.sinA.hi, t);
        const Pair sum = FastTwoSum(k.cosA.hi, -st.hi);
        const Real low = sum.lo + k.cosA.lo - st.lo - (k.sinA.lo * t + k.sinA.hi * sinRest) + k.cosA.hi * cosM1;
        return FastTwoSum(sum.hi, low);
    }
    // sin a + cos a sin t + sin a (cos t - 1)
    const Pair ct = TwoProduct(k.cosA.hi, t);
    const Pair sum = FastTwoSum(k.sinA.hi, ct.hi);
    const Real low = sum.lo + k.sinA.lo + ct.lo + (k.cosA.lo * t + k.cosA.hi * sinRest) + k.sinA.hi * cosM1;
    const Pair v = FastTwoSum(sum.hi, low);
    return k.negative ? Negate(v) : v;
}

Pair KernelCareful(const KernelArgs& k, bool cosine) {
    const Pair z = Multiply(k.t, k.t);
    const Pair sinT = Multiply(Series(z, 7, 1, 2, true, kInverseFactorial), k.t);
    const Pair cosT = Series(z, 8, 0, 2, true, kInverseFactorial);
    if (cosine) return Add(Multiply(k.cosA, cosT), Negate(Multiply(k.sinA, sinT)));
    const Pair s = Add(Multiply(k.sinA, cosT), Multiply(k.cosA, sinT));
    return k.negative ? Negate(s) : s;
}

// sin x (phase 0) or cos x (phase 1) = sin(x + phase pi/2).
Real SinOrCos(Real x, int phase) {
    if (exact::IsNaN(x) || exact::IsInfinite(x)) return x - x;  // NaN
    if (Abs(x) < 0x1p-32L) return phase == 0 ? x : 1;  // x^3/6 and x^2/2 round away
    Reduced red;
    Real reductionError;  // absolute
    const bool large = !(Abs(x) < kQuickLimit);
    if (large) {
        red = ReduceLarge(x);
        reductionError = 0x1p-185L;
    } else {
        Real k;
        red = ReduceFirst(x, k);
        reductionError = 0x1p-124L * (1 + Abs(k));
    }
    const int quadrant = (red.quadrant + phase) & 3;
    const bool cosine = quadrant & 1, negate = quadrant & 2;
    Pair v = KernelFast(KernelSplit(red.r), cosine);
    if (!RoundsSurely(v, Abs(v.hi) * kFastError + reductionError)) {
        if (!large) red = ReduceQuick(x);
        v = KernelCareful(KernelSplit(red.r), cosine);
    }
    return negate ? -v.hi : v.hi;
}

}  // namespace

Real Sin(Real x) { return SinOrCos(x, 0); }
Real Cos(Real x) { return SinOrCos(x, 1); }

}  // namespace nivora::xmath
