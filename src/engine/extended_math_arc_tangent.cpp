// atan2(y, x): the angle of (x, y) moved to the first octant, a table of
// atan(i/64) and the series of the rest's arc tangent.
#include "engine/extended_math_parts.h"

namespace nivora::xmath {
using namespace parts;

namespace {

// atan(t) for 0 <= t <= 1 given as a pair: atan(c) from the table for the c =
// i/64 nearest t, plus atan(d), d = (t - c)/(1 + t c), |d| <= 2^-7.
struct AtanReduced {
    Pair base, d;
};

// For t = n/d in [0, 1]: d' = (t - c)/(1 + t c) = (n - c d)/(d + c n). The
// 7-bit c times the halves of n and of d is exact, and so are the pairs made
// of them but for the low parts' last roundings.
NIVORA_HOT AtanReduced ReduceAtan(Real n, Real d) {
    const Real index = exact::NearestSmall(n / d * 64);
    const Real c = index * 0x1p-6L;  // exact, and the table's index only feeds the last sum
    Real nh, nl, dh, dl;
    Split(n, nh, nl);
    Split(d, dh, dl);
    const Pair diff = TwoSum(n, -(c * dh));
    const Pair numerator = FastTwoSum(diff.hi, diff.lo - c * dl);
    const Pair sum = FastTwoSum(d, c * nh);  // d >= c n
    const Pair denominator = FastTwoSum(sum.hi, sum.lo + c * nl);
    // The quotient from one division: q = numerator.hi (1/denominator.hi)
    // is within 2 ulp of the quotient, so q times denominator.hi (exact as a
    // pair) is within 2^-62 of numerator.hi and their difference is exact;
    // the remainder's other roundings and its quotient taken by the same
    // reciprocal stay below 2^-124 of q.
    const Real inverse = 1 / denominator.hi;
    const Real q = numerator.hi * inverse;
    const Pair qd = TwoProduct(q, denominator.hi);
    const Real rest = ((numerator.hi - qd.hi) - qd.lo) + numerator.lo - q * denominator.lo;
    return {PairOf(kAtanTable[exact::ToInteger(index)]), FastTwoSum(q, rest * inverse)};
}

// The first evaluation of atan(n/d), 0 < n <= d: the reduction above and
// atan c + d' with |atan c| >= 2^-6 > |d'| or c = 0, so that the sum of the
// first terms is exact. The same operations as ReduceAtan, in an order that
// keeps few values alive at a time (the x87 has eight registers, and a
// spilled one costs an 80-bit store and load).
NIVORA_HOT Pair AtanFast(Real n, Real d) {
    const Real index = exact::NearestSmall(n / d * 64);
    const Real c = index * 0x1p-6L;
    const AngleEntry& entry = kAtanTable[exact::ToInteger(index)];
    Pair numerator, denominator;
    {
        Real dh, dl;
        Split(d, dh, dl);
        const Pair diff = TwoSum(n, -(c * dh));
        numerator = FastTwoSum(diff.hi, diff.lo - c * dl);
    }
    {
        Real nh, nl;
        Split(n, nh, nl);
        const Pair sum = FastTwoSum(d, c * nh);  // d >= c n
        denominator = FastTwoSum(sum.hi, sum.lo + c * nl);
    }
    const Real inverse = 1 / denominator.hi;
    const Real q = numerator.hi * inverse;
    const Pair qd = TwoProduct(q, denominator.hi);
    const Real rest = ((numerator.hi - qd.hi) - qd.lo) + numerator.lo - q * denominator.lo;
    const Pair dd = FastTwoSum(q, rest * inverse);
    // atan d' = d' - d'^3/3 + ... - d'^15/15: the terms after d' in single
    // values, as a Horner polynomial in z^2 of binomials in z, z = d'^2 <=
    // 2^-14 (each term below 2^-13 of the one before, so within 3 ulp of the
    // tail, which, times d'^3, is below 2^-15 of d'). The coefficients from
    // 1/7 on are doubles, each within 2^-54 of its value, on terms below
    // 2^-44 of d': under 2^-98 of it.
    const Real t = dd.hi, z = t * t, z2 = z * z;
    Real tail = (static_cast<Real>(-1.0 / 11) + static_cast<Real>(1.0 / 13) * z) + z2 * static_cast<Real>(-1.0 / 15);
    tail = (static_cast<Real>(-1.0 / 7) + static_cast<Real>(1.0 / 9) * z) + z2 * tail;
    tail = (-1.0L / 3 + 0.2L * z) + z2 * tail;
    Real low = dd.lo + t * z * tail;
    const Pair sum = FastTwoSum(entry.hi, t);
    low += entry.lo + sum.lo;
    return FastTwoSum(sum.hi, low);
}

NIVORA_COLD Pair AtanCareful(const AtanReduced& a) {
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

// The same, quickly, for the first evaluation, kept inline.
NIVORA_HOT Pair ToOctantFast(Pair theta, bool swapped, bool negativeX) {
    if (swapped) {
        const Pair sum = FastTwoSum(kHalfPi[0], -theta.hi);
        theta = FastTwoSum(sum.hi, sum.lo + (kHalfPi[1] - theta.lo));
    }
    if (negativeX) {
        const Pair sum = FastTwoSum(2 * kHalfPi[0], -theta.hi);
        theta = FastTwoSum(sum.hi, sum.lo + (2 * kHalfPi[1] - theta.lo));
    }
    return theta;
}

// atan(num/den) for a quotient q = num/den rounded below the normal range.
// Only there can num/den lie exactly halfway between two neighbours (it is
// then an odd multiple of half the smallest subnormal): q is rounded to even,
// but the angle, a little less than the quotient, rounds towards zero.
NIVORA_COLD Real SubnormalQuotientAngle(Real num, Real den, Real q) {
    if (!(q < 0x1p-16382L)) return q;
    const int power = Exponent(num) - Exponent(den) + 16446;  // num/den = n/d 2^(power - 16446)
    if (power < -1 || power > 66) return q;
    const Real n = Scale(num, -Exponent(num)), d = Scale(den, -Exponent(den));
    const Real m = exact::Nearest(Scale(n / d, power));  // the odd multiple, if it is one
    const Real candidate = Scale(m, -power);
    const Pair product = TwoProduct(candidate, d);
    const bool odd = m != 2 * exact::Nearest(0.5L * m);
    if (!(odd && product.hi == n && product.lo == 0)) return q;
    return Scale(m - 1, -16446);
}


// The arguments as atan(num/den), 0 <= num <= den, moved to its octant.
struct Octant {
    Real num, den;
    bool swapped, negativeX;
};

NIVORA_HOT Octant OctantOf(Real y, Real x) {
    const Real ax = Abs(x), ay = Abs(y);
    const bool swapped = ay > ax;
    return {swapped ? ax : ay, swapped ? ay : ax, swapped, x < 0};
}

NIVORA_COLD Real ArcTan2Careful(Real y, Real x) {
    const Octant o = OctantOf(y, x);
    const Real angle = ToOctant(AtanCareful(ReduceAtan(o.num, o.den)), o.swapped, o.negativeX, true).hi;
    return exact::CopySign(angle, y);
}

// Zeros, infinities, NaN, quotients below 2^-100 and arguments far out.
NIVORA_COLD Real ArcTan2Rest(Real y, Real x) {
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

    const auto [num, den, swapped, negativeX] = OctantOf(y, x);
    if (num < den * 0x1p-100L) {
        // atan t = t (1 - t^2/3 ...) with t below 2^-99: the quotient
        // rounded is the angle rounded, in the octant where it stands alone.
        const Real t = num / den;
        if (!swapped && !negativeX) return CopySign(SubnormalQuotientAngle(num, den, t), y);
        return CopySign(ToOctant(Pair{t, 0}, swapped, negativeX, true).hi, y);
    }
    // Far out, both scaled so that den is in [1, 2), which keeps the exact
    // products of the reduction clear of overflow and underflow; the angle
    // stays, and the usual case takes it.
    return ArcTan2(Scale(y, -Exponent(den)), Scale(x, -Exponent(den)));
}

}  // namespace

#if NIVORA_WIDE_KERNELS
namespace {

// ---- The arc tangent in 128-bit integers ------------------------------------
//
// atan(n/d) = atan c + atan d', c = i/64 the nearest to n/d, d' = (n - c d)/
// (d + c n): numerator and denominator are exact in integers, d' comes from
// one division of their leading bits and one correction, and atan d' from a
// short series in fixed point.

struct AtanWideTable {
    UWide angle[65];  // atan(i/64) in units of 2^-125
    UWide halfPi;     // pi/2 in units of 2^-126, pi in units of 2^-125
    AtanWideTable() {
        for (int i = 0; i <= 64; ++i)
            angle[i] = static_cast<UWide>(ToFixed(kAtanTable[i].hi, 125) + ToFixed(kAtanTable[i].lo, 125));
        halfPi = static_cast<UWide>(ToFixed(kHalfPi[0], 126) + ToFixed(kHalfPi[1], 126) + ToFixed(kHalfPi[2], 126));
    }
};
const AtanWideTable kAtanWide NIVORA_TABLE_EARLY;

// The angle of (x, y) into `out` for 0 < num <= den in the usual range (see
// ArcTan2), or false where the pairs are to decide: num/den below 1/128,
// whose angle the fixed point would hold with too few bits.
NIVORA_HOT bool ArcTan2Wide(Real num, Real den, bool swapped, bool negativeX, bool negativeY, Real& out) {
    const std::int64_t i = exact::ToInteger(exact::NearestSmall(num / den * 64));
    if (i == 0) return false;
    std::uint64_t sn, sd;
    int en, ed;
    exact::Decompose(num, sn, en);
    exact::Decompose(den, sd, ed);
    const int gap = ed - en;  // num/den >= 1/128 - a hair: at most 8
    if (gap > 8) return false;
    // In units of 2^(ed - 126): n - c d and d + c n, exact; D in [2^127, 2^128).
    const Wide N = static_cast<Wide>(static_cast<UWide>(sn) << (63 - gap)) -
                   static_cast<Wide>(static_cast<UWide>(sd) * static_cast<std::uint64_t>(i) << 57);
    const UWide D = (static_cast<UWide>(sd) << 63) + ((static_cast<UWide>(sn) * static_cast<std::uint64_t>(i)) << (57 - gap));
    // d' = N/D, |d'| < 2^-7: first from the leading bits, as an integer over
    // 2^69 (within 3 units), then corrected by the remainder over D, itself
    // within 3 units (the correction within 2^-61.5 of itself and 1/2): d'
    // 2^128 within 8 units, 2^-125.
    const Real inverse = 1 / exact::FromInteger(static_cast<std::int64_t>(D >> 65));
    const std::int64_t first = exact::ToInteger(
        exact::NearestSmall(exact::FromInteger(static_cast<std::int64_t>(N >> 58)) * inverse * 0x1p62L));
    const Wide firstF = static_cast<Wide>(first) << 59;
    const std::int64_t rest = static_cast<std::int64_t>(N - MultiplyHigh(firstF, D));
    const Wide T = firstF + exact::ToInteger(exact::NearestSmall(exact::FromInteger(rest) * inverse * 0x1p63L));
    // atan d' = d' - d'^3 (1/3 - z/5 + z^2/7 - z^3/9 + z^4/11 - z^5/13), z =
    // d'^2 < 2^-14 (d'^15/15 and beyond below 2^-108): z 2^77 from d''s
    // halves, d' 2^69 and d'^3 2^83 cut (within 2^-81.7), the bracket in
    // units of 2^-63 (each step cut, within 2^-62.5): within 2^-82.4 in all.
    static constexpr std::int64_t kA[6] = {0x2aaaaaaaaaaaaaab, -0x199999999999999a, 0x1249249249249249,
                                           -0x0e38e38e38e38e39, 0x0ba2e8ba2e8ba2e9, -0x09d89d89d89d89d9};
    const Wide square = SquareHigh(T);
    const std::uint64_t z = static_cast<std::uint64_t>(square >> 51);  // < 2^63
    const std::int64_t tau = static_cast<std::int64_t>(T >> 59);       // |.| < 2^62
    std::int64_t pa = kA[5];
    for (int k = 4; k >= 0; --k) pa = kA[k] + static_cast<std::int64_t>((static_cast<Wide>(pa) * z) >> 77);
    const std::int64_t cube = static_cast<std::int64_t>((static_cast<Wide>(z) * tau) >> 63);  // d'^3 2^83
    const Wide atanD = T - ((static_cast<Wide>(cube) * pa) >> 18);                          // 2^-128
    // In units of 2^-125, moved to the octant; within 2^-82.4 + 2^-123, and
    // the angle is at least atan(1/128) > 2^-7.01: its top bit lies at most 9
    // places below 2^126's, so the error, 2^42.6 units, is under 2^51.6 of
    // the 64 bits below the result's significand.
    Wide angle = static_cast<Wide>(kAtanWide.angle[i]) + (atanD >> 3);
    if (swapped) angle = static_cast<Wide>(kAtanWide.halfPi >> 1) - angle;
    if (negativeX) angle = static_cast<Wide>(kAtanWide.halfPi) - angle;
    const std::uint64_t top = static_cast<std::uint64_t>(static_cast<UWide>(angle) >> 64);
    const std::uint64_t slack = std::uint64_t{1} << (46 + __builtin_clzll(top));
    return RoundWide(negativeY, static_cast<UWide>(angle), 125, slack, out);
}

}  // namespace
#endif

Real ArcTan2(Real y, Real x) {
    const Octant o = OctantOf(y, x);
    // The usual case first, in three comparisons: both finite, the quotient
    // not below 2^-100, no scaling (NaN fails every comparison). Only the
    // signs of x and y are kept; the rare other paths start again from them.
    if (!(o.den < 0x1p8000L && o.den > 0x1p-7900L && o.num >= o.den * 0x1p-100L)) return ArcTan2Rest(y, x);
    const bool negativeY = exact::SignBit(y);
#if NIVORA_WIDE_KERNELS
    Real wide;
    if (ArcTan2Wide(o.num, o.den, o.swapped, o.negativeX, negativeY, wide)) return wide;
#endif
    const Pair result = ToOctantFast(AtanFast(o.num, o.den), o.swapped, o.negativeX);
    if (!RoundsSurely(result, Abs(result.hi) * kFastError)) return ArcTan2Careful(y, x);
    return negativeY ? -result.hi : result.hi;  // the angle is positive
}

}  // namespace nivora::xmath
