// atan2(y, x): the angle of (x, y) moved to the first octant, a table of
// atan(i/64) and the series of the rest's arc tangent.
#include "engine/numbers/extended_math_parts.h"

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
// atan(n/d) = atan c + atan d', c = i/64 near n/d (i from a table of
// reciprocals), d' = (n - c d)/(d + c n): numerator and denominator are
// exact in integers, d' comes from a division in doubles of their leading
// bits and one correction, and atan d' from a short series in fixed point.
// Everything is read from and written to the operands' bits: no value goes
// through the x87 registers on the way (each trip there and back costs a
// store the processor cannot forward). The doubles' operations are IEEE 754
// ones, rounded correctly, and their results only give the two quotients,
// whose errors the bounds below take in: whichever bits they had, the
// result would be the same.

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

// exact::FieldsOf read where the argument lies. Left to itself the compiler
// copies the argument first, through the x87 registers, and the copy's
// 80-bit store cannot be forwarded to the 8-byte load after it (nor can the
// caller's two 8-byte stores to the copy's 80-bit load): the pointer made
// opaque keeps the reads on the caller's own stores.
inline exact::Fields FieldsAt(const Real& x) {
#if NIVORA_REAL_IS_SOFT || !defined(__GNUC__)
    return exact::FieldsOf(x);
#else
    const unsigned char* at = reinterpret_cast<const unsigned char*>(&x);
    __asm__("" : "+r"(at));
    std::uint64_t significand;
    std::uint16_t top;
    std::memcpy(&significand, at, sizeof significand);
    std::memcpy(&top, at + 8, sizeof top);
    return {(top & 0x8000) != 0, top & 0x7fff, significand};
#endif
}

// The index's reciprocals: for a significand whose 9 bits after the leading
// one are k, 2^30 over the middle of its interval, 1 + (k + 1/2)/512,
// rounded (in (2^29, 2^30]). Any significand of the interval is within
// 2^-10 of that middle.
struct AtanIndexTable {
    std::uint32_t reciprocal[512];
};
constexpr AtanIndexTable MakeAtanIndexTable() {
    AtanIndexTable t{};
    for (std::uint64_t k = 0; k < 512; ++k)  // round(2^40 / (1025 + 2k))
        t.reciprocal[k] = static_cast<std::uint32_t>(((std::uint64_t{1} << 41) / (1025 + 2 * k) + 1) / 2);
    return t;
}
constexpr AtanIndexTable kAtanIndex = MakeAtanIndexTable();

inline double ToDouble(std::int64_t v) { return static_cast<double>(v); }

// N/D = x0 + delta for D in [2^77, 2^79) and |N/D| < 2^-6.82 (so |N| <
// 2^72.2): x0 = first 2^-69 exactly, the first quotient from N's and D's
// leading bits, and delta within 2^-106.76 of second 2^-118. For first: N >>
// 10 cut below 4 units of N/D 2^69, 4 roundings of the doubles and D >> 16's
// cut (relative 2^-50.99, below 2^11.21 units) and the cut to an integer (1
// unit), so |delta| < 2^11.22 2^-69 = 2^-57.78, |x0| < 2^-6.81, and the
// remainder N 2^69 - first D is below 2^11.22 2^79 = 2^90.22 and exact
// modulo 2^128. second, the remainder over D in units of 2^-49, below
// 2^62.23, from the remainder >> 28 (within 1 unit) by the same reciprocal:
// within 2^11.23 + 2 units.
struct WideQuotient {
    std::int64_t first, second;
};
NIVORA_HOT WideQuotient Divide(Wide N, UWide D) {
    const double inverse = 1 / ToDouble(static_cast<std::int64_t>(D >> 16));  // in [2^61, 2^63)
    // The powers of 2 apart, off the chain of dependent steps (exact).
    const std::int64_t first =
        static_cast<std::int64_t>(ToDouble(static_cast<std::int64_t>(N >> 10)) * 0x1p63 * inverse);
    const Wide rest =
        static_cast<Wide>((static_cast<UWide>(N) << 69) - static_cast<UWide>(static_cast<Wide>(first)) * D);
    const std::int64_t second =
        static_cast<std::int64_t>(ToDouble(static_cast<std::int64_t>(rest >> 28)) * (inverse * 0x1p61));
    return {first, second};
}

// atan(d') 2^(128 + s) from d' 2^s = x0 + delta as Divide gives them, |d'
// 2^s| < 2^-6.8, s >= 0. Below, atan x0 stands for atan(x0 2^-s) 2^s, and z
// for x0^2 2^-2s < 2^-13.6: atan x0 + delta/(1 + z), the second from the
// quotient's remainder beside the first, which needs x0 alone.
// atan x0 = x0 - x0 z (1/3 - z/5 + z^2/7 - z^3/9 + z^4/11 - z^5/13) (the
// terms from x0 z^7/15 on, alternating, below 2^-105.9), within 2^-82.93 +
// 2^-82.06 of itself:
// - z 2^76 from first's square (within 1 unit of 2^-76, and below one unit
//   where the shift would pass 127: z < 2^-76 there), times x0, 2^-82.8,
//   and x0 z 2^82 cut (2^-82), both times the bracket, below 1/3: 2^-82.93;
// - the coefficients rounded to units of 2^-63 (half a unit each) and the
//   bracket by Estrin's scheme, each product cut once (below a unit each):
//   p01, p23 and p45 within 1.51 units, p23 + p45 z^2 within 2.52, the
//   bracket within 2.53 units (2^-61.66), times x0 z < 2^-20.4: 2^-82.06.
// delta/(1 + z) as delta (1 - z): less delta z^2 < 2^-84.97 (and below
// 2^-121 for the second derivative's delta^2 term), with second's 2^-106.76
// and a cut of 2^-118. Within 2^-81.31 of atan(d') 2^s in all: 2^46.7 units
// of the result.
NIVORA_HOT Wide AtanSeries(WideQuotient q, int s) {
    static constexpr std::int64_t kA[6] = {0x2aaaaaaaaaaaaaab, -0x199999999999999a, 0x1249249249249249,
                                           -0x0e38e38e38e38e39, 0x0ba2e8ba2e8ba2e9, -0x09d89d89d89d89d9};
    const int zShift = 62 + 2 * s;
    const Wide square = SignedProduct(q.first, q.first);  // x0^2 2^(138 + 2s) < 2^124.4
    const std::int64_t z = zShift < 128 ? static_cast<std::int64_t>(square >> zShift) : 0;  // z 2^76 < 2^62.4
    auto times = [](std::int64_t a, std::int64_t b) {
        return static_cast<std::int64_t>(SignedProduct(a, b) >> 76);
    };
    const std::int64_t z2 = times(z, z);  // z^2 2^76
    const std::int64_t p01 = kA[0] + times(kA[1], z), p23 = kA[2] + times(kA[3], z), p45 = kA[4] + times(kA[5], z);
    const std::int64_t pa = p01 + times(p23 + times(p45, z2), z2);
    const std::int64_t cube = static_cast<std::int64_t>(SignedProduct(z, q.first) >> 63);  // x0 z 2^82
    const std::int64_t correction = q.second - times(q.second, z);                                // 2^-118
    return (static_cast<Wide>(q.first) << 59) - (SignedProduct(cube, pa) >> 17) +
           (static_cast<Wide>(correction) << 10);
}

// The angle of (x, y) into `out` from their fields, for y and x normal and
// finite, |y|/|x| or |x|/|y| not below 2^-60. False elsewhere, and where a
// value within the error bound could round otherwise: the pairs decide.
NIVORA_HOT bool ArcTan2Wide(const exact::Fields& fy, const exact::Fields& fx, Real& out) {
    if (!((fy.significand & fx.significand) >> 63) || static_cast<unsigned>(fy.biased - 1) >= 0x7ffe ||
        static_cast<unsigned>(fx.biased - 1) >= 0x7ffe)
        return false;
    // The octant: num/den = n/d in [0, 1], compared on the fields as whole
    // numbers (exponent above significand).
    const UWide ky = (static_cast<UWide>(fy.biased) << 64) | fy.significand;
    const UWide kx = (static_cast<UWide>(fx.biased) << 64) | fx.significand;
    const bool swapped = ky > kx;
    const UWide kn = swapped ? kx : ky, kd = swapped ? ky : kx;
    const std::uint64_t sn = static_cast<std::uint64_t>(kn), sd = static_cast<std::uint64_t>(kd);
    const int gap = static_cast<int>(kd >> 64) - static_cast<int>(kn >> 64);  // n/d = sn/sd 2^-gap
    if (gap > 60) return false;
    // The index i, near 64 n/d: 64 sn/sd 2^-gap from sn's leading 32 bits
    // (within 2^-31) and sd's reciprocal from the table (2^-10, and 2^-30 for
    // its rounding), within 2^-9.99 of itself and so within 2^-3.99 of 64
    // n/d <= 64, and rounded to the nearest integer: |n/d - c| < 2^-7 (1 +
    // 2^-2.99) < 2^-6.82, and i <= 64. No division on the way to the one
    // that matters. From gap 9 on, n/d < 2^-8: i = 0.
    const int g = gap < 8 ? gap : 8;
    const std::uint64_t estimate = (sn >> 32) * kAtanIndex.reciprocal[(sd >> 54) & 511];  // 64 n/d 2^(55 + g) < 2^62
    const std::int64_t i =
        gap > 8 ? 0 : static_cast<std::int64_t>((estimate + (std::uint64_t{1} << (54 + g))) >> (55 + g));
    // So i >= 1 only for gap <= 8. For i = 0, d' = n/d, carried as d' 2^s,
    // s = gap - 8 from gap 8 on, for its relative precision; |d' 2^s| <
    // 2^-6.8 either way, and at least 2^-9.
    const int shift = gap < 8 ? gap : 8, s = gap - shift;
    // n 2^s - c d and d + c n (c = 0 where s > 0) in units of 2^(ed - 77),
    // exact: N/D = d' 2^s, D in [2^77, 2^79), |N| < 2^72.2.
    const Wide N = static_cast<Wide>(static_cast<UWide>(sn) << (14 - shift)) -
                   static_cast<Wide>(Product(sd, static_cast<std::uint64_t>(i)) << 8);
    const UWide D =
        (static_cast<UWide>(sd) << 14) + (Product(sn, static_cast<std::uint64_t>(i)) << (8 - shift));
    // atan d' 2^(128 + s), within 2^46.7 units.
    const Wide atanD = AtanSeries(Divide(N, D), s);
    const bool negativeX = fx.negative;
    UWide value;
    int scale, slackBits;
    if (i == 0 && !swapped && !negativeX) {
        // The angle alone, atan(n/d) 2^(128 + s) > 2^119 (1 - 2^-13) (n/d 2^s
        // >= 2^-9), within 2^46.7 units.
        value = static_cast<UWide>(atanD);
        scale = 128 + s;
        slackBits = 48;
    } else {
        // In units of 2^-125, moved to the octant: within 2^43.8 units (the
        // series' 2^43.7, the shift's cut and the constants' few units),
        // and at least atan(2^-7 (1 - 2^-9.98)) > 2^-7.01 (i >= 1 needs 64
        // n/d (1 + 2^-9.99) >= 1/2), or pi/4 when moved.
        Wide angle = static_cast<Wide>(kAtanWide.angle[i]) + (atanD >> (3 + s));
        if (swapped) angle = static_cast<Wide>(kAtanWide.halfPi >> 1) - angle;
        if (negativeX) angle = static_cast<Wide>(kAtanWide.halfPi) - angle;
        value = static_cast<UWide>(angle);
        scale = 125;
        slackBits = 45;
    }
    // Either way the value has lz <= 10 leading zeros (of 128), and an error
    // of 2^E units is one of 2^(E + lz) units of the 64 bits below the
    // result's significand: the slack takes in 2^(46.7 + lz) and 2^(43.8 +
    // lz) with a bit to spare, and stays below 2^62.
    const std::uint64_t top = static_cast<std::uint64_t>(value >> 64);
    const std::uint64_t slack = std::uint64_t{1} << (slackBits + __builtin_clzll(top));
    return RoundWide(fy.negative, value, scale, slack, out);
}

}  // namespace
#endif

namespace {

// The angle from the pairs: arguments the fixed point does not take, the
// few it leaves undecided, and every argument where there are no 128-bit
// integers.
#if NIVORA_WIDE_KERNELS
NIVORA_COLD
#else
NIVORA_HOT
#endif
Real ArcTan2Pairs(Real y, Real x) {
    const Octant o = OctantOf(y, x);
    // The usual case first, in three comparisons: both finite, the quotient
    // not below 2^-100, no scaling (NaN fails every comparison). Only the
    // signs of x and y are kept; the rare other paths start again from them.
    if (!(o.den < 0x1p8000L && o.den > 0x1p-7900L && o.num >= o.den * 0x1p-100L)) return ArcTan2Rest(y, x);
    const bool negativeY = exact::SignBit(y);
    const Pair result = ToOctantFast(AtanFast(o.num, o.den), o.swapped, o.negativeX);
    if (!RoundsSurely(result, Abs(result.hi) * kFastError)) return ArcTan2Careful(y, x);
    return negativeY ? -result.hi : result.hi;  // the angle is positive
}

}  // namespace

#if NIVORA_WIDE_KERNELS && defined(__has_attribute)
#if __has_attribute(no_stack_protector)
#define NIVORA_ATAN_UNGUARDED 1
#endif
#endif
#ifdef NIVORA_ATAN_UNGUARDED
// No stack protector here: what this function keeps on the stack is the Real
// that Compose writes with two fixed-size stores and loads back, the
// arguments passed on to the pairs and saved registers; no array, nothing
// written through an index or a length from outside. The canary's check
// would cost every call a load, a store and a compare.
__attribute__((no_stack_protector))
#endif
Real ArcTan2(Real y, Real x) {
#if NIVORA_WIDE_KERNELS
    Real wide;
    if (ArcTan2Wide(FieldsAt(y), FieldsAt(x), wide)) return wide;
#endif
    return ArcTan2Pairs(y, x);
}

}  // namespace nivora::xmath
