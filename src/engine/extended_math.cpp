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

// The first evaluations are inlined whole, so that their pairs stay in the
// x87 registers (an 80-bit store and load cost several cycles each); the
// careful ones, seldom run, are kept out of the way.
#define NIVORA_HOT inline __attribute__((always_inline))
#define NIVORA_COLD __attribute__((noinline, cold))

// Where the compiler has 128-bit integers, the usual cases are evaluated in
// fixed point (a few 64-bit multiplications instead of the pairs' long
// dependency chains); elsewhere, and for the careful evaluations, in pairs.
// Both round correctly, so both give the same bits.
#if defined(__SIZEOF_INT128__) && (NIVORA_REAL_IS_SOFT || (LDBL_MANT_DIG == 64 && LDBL_MAX_EXP == 16384))
#define NIVORA_WIDE_KERNELS 1
#else
#define NIVORA_WIDE_KERNELS 0
#endif

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

NIVORA_COLD Real LnCareful(int e, const LnEntry& entry, Pair r) {
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

namespace {

// x = 2^e m, m in [0.70703125, 1.4140625) with 1/c from the table near 1/m;
// r = m/c - 1 exactly as a pair: the significand's two halves times the
// 10-bit 1/c are exact, and the first of them minus 1 too.
struct LnReduced {
    int e;
    const LnEntry* entry;
    Pair r;
};

NIVORA_HOT LnReduced ReduceLn(Real x) {
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
    return {e, &entry, TwoSum(mh * entry.inverse - 1, ml * entry.inverse)};
}

NIVORA_COLD Real LnCareful(Real x) {
    const LnReduced red = ReduceLn(x);
    return LnCareful(red.e, *red.entry, red.r);
}

}  // namespace

#if NIVORA_WIDE_KERNELS
namespace {

// ---- The logarithm in 128-bit integers --------------------------------------
//
// Away from 1, ln x = e ln 2 + ln c + ln(1 + r) in fixed point, from the same
// reduction as above: r = m/c - 1 = m (1/c) - 1 is exact in integers (the
// significand times the 10-bit 1/c), and what the pair evaluation spends on
// Dekker's products costs a few 64-bit multiplications here.

using Wide = __int128;
using UWide = unsigned __int128;

// The table's 1/c as an integer over 2^12 (over 2^13 from entry 256 on,
// which serve significands below 362/256, taken as m in [1, 2) instead of
// m/2), ln c in units of 2^-112.
struct LnWideEntry {
    std::uint64_t inverse;
    Wide lnC;
};

// |x| 2^shift toward zero, for |x| 2^shift < 2^126.
Wide ToFixed(Real x, int shift) {
    if (x == 0) return 0;
    std::uint64_t s;
    int e;
    exact::Decompose(Abs(x), s, e);
    const int left = e - 63 + shift;
    const Wide v = left >= 0 ? static_cast<Wide>(static_cast<UWide>(s) << left)
                             : (left > -64 ? static_cast<Wide>(s >> -left) : 0);
    return x < 0 ? -v : v;
}

// (a b) >> 128 for a, b < 2^128, less by at most 3.
inline UWide MultiplyHigh(UWide a, UWide b) {
    const std::uint64_t ah = static_cast<std::uint64_t>(a >> 64), al = static_cast<std::uint64_t>(a);
    const std::uint64_t bh = static_cast<std::uint64_t>(b >> 64), bl = static_cast<std::uint64_t>(b);
    return static_cast<UWide>(ah) * bh + ((static_cast<UWide>(ah) * bl) >> 64) + ((static_cast<UWide>(al) * bh) >> 64);
}
// The same for a signed a.
inline Wide MultiplyHigh(Wide a, UWide b) {
    const Wide m = static_cast<Wide>(MultiplyHigh(static_cast<UWide>(a < 0 ? -a : a), b));
    return a < 0 ? -m : m;
}

// (a a) >> 128 for |a| < 2^126 from a's halves, less by at most 2: the low
// half's own square, below 2^128, and the cross product's cut.
inline Wide SquareHigh(Wide a) {
    const std::int64_t high = static_cast<std::int64_t>(a >> 64);
    const std::uint64_t low = static_cast<std::uint64_t>(a);
    return static_cast<Wide>(high) * high + ((static_cast<Wide>(high) * static_cast<Wide>(low)) >> 63);
}

struct LnWideTable {
    LnWideEntry entry[kLnLast - kLnFirst + 1];
    UWide ln2;  // ln 2 in units of 2^-128, toward zero
    LnWideTable() {
        for (int i = 0; i <= kLnLast - kLnFirst; ++i) {
            const LnEntry& e = kLnTable[i];
            entry[i] = {static_cast<std::uint64_t>(ToFixed(e.inverse, kLnFirst + i >= 256 ? 13 : 12)),
                        ToFixed(e.lnHi, 112) + ToFixed(e.lnLo, 112)};
        }
        // Each part of kLn2 is below 1/2 and an integer in units of 2^-128
        // but the last, which is cut.
        ln2 = static_cast<UWide>(ToFixed(kLn2[0], 127)) * 2 + static_cast<UWide>(ToFixed(kLn2[1], 127)) * 2 +
              static_cast<UWide>(ToFixed(kLn2[2], 126)) * 4;
    }
};
const LnWideTable kLnWide;

// ln(1 + r) for |r| <= 2^-8 (entries with c = 1 reach it, the others stay
// below 2^-8.2) given as r 2^128 (exact), in units of 2^-128, within 2^-84.8:
// - r^2/2 from r's halves: 2^-127;
// - r^3 (in units of 2^-87) from r^2 cut to 2^-79 and r cut to 2^-71, and
//   the product cut: 3 2^-87 < 2^-85.4;
// - P = 1/3 - r/4 + r^2/5 ... - r^7/10 in units of 2^-63, each product cut
//   once, each coefficient rounded: below 2^-61.4; the terms beyond, r^8/11
//   ..., below 2^-67;
// - r^3 P: 2^-85.4 / 3 + 2^-61.3 r^3 < 2^-84.8.
NIVORA_HOT Wide Log1pWide(Wide R) {
    static constexpr std::int64_t kP[8] = {0x2aaaaaaaaaaaaaab, -0x2000000000000000, 0x199999999999999a,
                                           -0x1555555555555555, 0x1249249249249249, -0x1000000000000000,
                                           0x0e38e38e38e38e39, -0x0ccccccccccccccd};
    const Wide square = SquareHigh(R);
    const std::int64_t rho = static_cast<std::int64_t>(R >> 57);  // r 2^71
    // Estrin's scheme: short chains, each product cut once.
    auto times = [](std::int64_t a, std::int64_t b) { return static_cast<std::int64_t>((static_cast<Wide>(a) * b) >> 71); };
    const std::int64_t r2 = times(rho, rho), r4 = times(r2, r2);
    const std::int64_t p01 = kP[0] + times(kP[1], rho), p23 = kP[2] + times(kP[3], rho);
    const std::int64_t p45 = kP[4] + times(kP[5], rho), p67 = kP[6] + times(kP[7], rho);
    const std::int64_t p = (p01 + times(p23, r2)) + times(p45 + times(p67, r2), r4);
    const std::int64_t cube = static_cast<std::int64_t>((static_cast<Wide>(square >> 49) * rho) >> 63);  // r^3 2^87
    return R - (square >> 1) + ((static_cast<Wide>(cube) * static_cast<std::int64_t>(p)) >> 22);
}

// Rounds ±V 2^-scale (V > 0) to nearest, or returns false where a value
// within `slack` units of V's 64 bits below the result's significand could
// round otherwise (slack below 2^62).
NIVORA_HOT bool RoundWide(bool negative, UWide V, int scale, std::uint64_t slack, Real& out) {
    const std::uint64_t top = static_cast<std::uint64_t>(V >> 64);
    const int lz = top ? __builtin_clzll(top) : 64 + __builtin_clzll(static_cast<std::uint64_t>(V));
    V <<= lz;
    std::uint64_t s = static_cast<std::uint64_t>(V >> 64);
    const std::uint64_t rest = static_cast<std::uint64_t>(V);
    const std::uint64_t half = 0x8000000000000000ull;
    if ((rest > half ? rest - half : half - rest) <= slack) return false;
    int e = 127 - lz - scale;  // the exponent of the top bit
    if (rest > half && ++s == 0) {
        s = half;
        ++e;
    }
    out = exact::Compose(negative, s, e);
    return true;
}

// ln x into `out` for a normal positive x = s 2^(e - 63), or false near 1
// (c = 1, e = 0), where ln x is r alone, as small as r, and the pairs keep its
// relative precision. Elsewhere |ln x| >= ln(257/256) > 2^-8.01.
NIVORA_HOT bool LnWide(Real x, std::uint64_t significand, int e, Real& out) {
    int k = static_cast<int>(significand >> 55);
    if (k >= 362) {  // m/2 in [0.70703125, 1)
        ++e;
        k >>= 1;
    }
    if (e == 0 && (k == 255 || k == 256)) return false;
    const LnWideEntry& entry = kLnWide.entry[k - kLnFirst];
    // r 2^128 = m (1/c) 2^128 - 2^128, exact (modulo 2^128, |r| < 2^-8).
    const Wide R = static_cast<Wide>((static_cast<UWide>(significand) * entry.inverse) << 52);
    // e ln 2 in units of 2^-112: |e| < 2^15, so |e| ln2_hi 2^48 < 2^126.
    const std::uint64_t ae = static_cast<std::uint64_t>(e < 0 ? -e : e);
    const UWide eLn2 = ((static_cast<UWide>(ae) * static_cast<std::uint64_t>(kLnWide.ln2 >> 64)) << 48) +
                       ((static_cast<UWide>(ae) * static_cast<std::uint64_t>(kLnWide.ln2)) >> 16);
    const Wide sum =
        (e < 0 ? -static_cast<Wide>(eLn2) : static_cast<Wide>(eLn2)) + entry.lnC + (Log1pWide(R) >> 16);
    // The error: 2^-84.8 from the series, under 2^-110 from the table, ln 2
    // and the cuts, so below 2^-76.7 of the result; in units of the 64 bits
    // below its significand under 2^51.3.
    if (!RoundWide(sum < 0, static_cast<UWide>(sum < 0 ? -sum : sum), 112, std::uint64_t{1} << 54, out))
        out = LnCareful(x);
    return true;
}

}  // namespace
#endif

Real Ln(Real x) {
#if NIVORA_WIDE_KERNELS
    // The usual case screened on the bits alone: positive, normal, finite.
    {
        const exact::Fields f = exact::FieldsOf(x);
        Real result;
        if (!f.negative && f.biased != 0 && f.biased != 0x7fff && (f.significand >> 63) &&
            LnWide(x, f.significand, f.biased - 16383, result))
            return result;
    }
#endif
    if (!(x > 0)) {
        if (x == 0) return -std::numeric_limits<Real>::infinity();
        return std::numeric_limits<Real>::quiet_NaN();  // negative, or NaN
    }
    if (!(x <= std::numeric_limits<Real>::max())) return x;  // +inf
    if (x == 1) return 0;

    const LnReduced red = ReduceLn(x);
    const LnEntry& entry = *red.entry;

    // ln x = e ln 2 - ln(1/c) + ln(1 + r). The large terms are added
    // exactly (each pair's first term outweighs the second: |ln c| >= 2^-7.4
    // or 0, |r| <= 2^-8.2); what they leave, the products' low parts and the
    // rest of the series (r^3/3 .. r^11/11, below 2^-90 of r beyond) in
    // single values, summed in `low`. The order keeps few values alive at a
    // time: the x87 has eight registers, and a spilled one costs an 80-bit
    // store and load.
    //
    // The series' coefficients from 1/6 on are doubles (1/4, 1/8 are exact):
    // each is within 2^-54 of its own value, and its term is below 2^-40 of
    // r, which adds less than 2^-93 of r. The tail is evaluated as a Horner
    // polynomial in z^2 of binomials in z (a chain half as long as Horner's
    // in z); every term is below 2^-8 of the one before, so it rounds to
    // within 3 ulp of the tail, which, times z^3, is below 2^-17 of r: under
    // 2^-79 of it.
    const Real z = red.r.hi, z2 = z * z;
    Real tail = (static_cast<Real>(-1.0 / 9) + static_cast<Real>(0.1) * z) + z2 * static_cast<Real>(-1.0 / 11);
    tail = (static_cast<Real>(-1.0 / 7) + 0.125L * z) + z2 * tail;
    tail = (-0.2L + static_cast<Real>(1.0 / 6) * z) + z2 * tail;
    tail = (-1.0L / 3 + 0.25L * z) + z2 * tail;
    Real low = -(z * z2) * tail;
    {
        Real zh, zl;  // z^2 - z2 exactly (Dekker's product)
        Split(z, zh, zl);
        const Real squareLo = ((zh * zh - z2) + zh * zl + zl * zh) + zl * zl;
        low += red.r.lo - z * red.r.lo - 0.5L * squareLo;
    }
    const Pair log1p = FastTwoSum(z, -0.5L * z2);
    low += log1p.lo;
    const Real E = FromInteger(red.e);
    const Pair big = FastTwoSum(E * kLn2[0], entry.lnHi);
    low += E * kLn2[1] + entry.lnLo + big.lo;
    const Pair sum = FastTwoSum(big.hi, log1p.hi);
    low += sum.lo;
    const Pair result = FastTwoSum(sum.hi, low);
    if (RoundsSurely(result, Abs(result.hi) * kFastError)) return result.hi;
    return LnCareful(x);
}

// ---- Arc tangent ----------------------------------------------------------

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

}  // namespace

namespace {

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
const AtanWideTable kAtanWide;

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

// ---- Sine and cosine ----------------------------------------------------

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

#if NIVORA_WIDE_KERNELS
// ---- Sine and cosine in 128-bit integers ------------------------------------
//
// For 2^-32 <= |x| < 2^25: |x| 256/pi from the significand times 256/pi to
// 184 bits (four 64-bit products), its nearest integer n and the rest f,
// |f| <= 1/2, in units of 2^-128 (cut, so within 2^-128; the constant's cut
// adds below 2^-159). Then, with t = f pi/256 and the table's A and B as for
// the pairs, A + B t + B (sin t - t) + A (cos t - 1) in fixed point.

struct SinCosWideTable {
    UWide sine[128], cosine[128];  // sin and cos of j pi/256 in units of 2^-126
    std::uint64_t turns[3];        // 256/pi 2^184, most significant word first
    UWide piOver256;               // pi/256 2^134
    SinCosWideTable() {
        for (int j = 0; j < 128; ++j) {
            const SinCosEntry& e = kSinCosTable[j];
            sine[j] = static_cast<UWide>(ToFixed(e.sinHi, 126) + ToFixed(e.sinLo, 126));
            cosine[j] = static_cast<UWide>(ToFixed(e.cosHi, 126) + ToFixed(e.cosLo, 126));
        }
        // 2/pi 2^192 in its first six words, halved: 256/pi 2^184 = 2/pi 2^191.
        for (int i = 0; i < 3; ++i) {
            const std::uint64_t w = std::uint64_t{kTwoOverPiBits[2 * i]} << 32 | kTwoOverPiBits[2 * i + 1];
            const std::uint64_t before = i ? std::uint64_t{kTwoOverPiBits[2 * i - 1]} : 0;
            turns[i] = w >> 1 | before << 63;
        }
        UWide c = 0;
        for (const Real part : kPiOver256Split) c += static_cast<UWide>(ToFixed(part, 133));
        piOver256 = c * 2;
    }
};
const SinCosWideTable kSinCosWide;

// The 64 bits of the 256-bit p (least significant word first) from bit `at`.
inline std::uint64_t BitsOf(const std::uint64_t (&p)[4], int at) {
    const int word = at / 64, offset = at % 64;
    const std::uint64_t low = word < 4 ? p[word] : 0, high = word + 1 < 4 ? p[word + 1] : 0;
    return offset ? (low >> offset | high << (64 - offset)) : low;
}

// sin x or cos x into `out` for 2^-32 <= |x| < 2^25, or false where the
// fixed point cannot tell the rounding (then the pairs decide).
NIVORA_HOT bool SinOrCosWide(Real x, const exact::Fields& fields, int phase, Real& out) {
    const std::uint64_t s = fields.significand;
    const int e = fields.biased - 16383;
    // |x| 256/pi = P 2^-b, P = s (256/pi 2^184).
    const SinCosWideTable& table = kSinCosWide;
    std::uint64_t P[4];
    {
        const UWide p2 = static_cast<UWide>(s) * table.turns[2], p1 = static_cast<UWide>(s) * table.turns[1],
                    p0 = static_cast<UWide>(s) * table.turns[0];
        P[0] = static_cast<std::uint64_t>(p2);
        const UWide m1 = (p2 >> 64) + static_cast<std::uint64_t>(p1);
        P[1] = static_cast<std::uint64_t>(m1);
        const UWide m2 = (m1 >> 64) + (p1 >> 64) + static_cast<std::uint64_t>(p0);
        P[2] = static_cast<std::uint64_t>(m2);
        P[3] = static_cast<std::uint64_t>((m2 >> 64) + (p0 >> 64));
    }
    const int b = 247 - e;  // 223 .. 279
    const UWide W = static_cast<UWide>(BitsOf(P, b - 64)) << 64 | BitsOf(P, b - 128);
    const Wide F = static_cast<Wide>(W);  // f 2^128, the nearest integer's rest
    const std::uint64_t n = BitsOf(P, b) + (F < 0 ? 1 : 0);
    const int j = static_cast<int>(n & 127);
    // sin(x) = sin(q pi/2 + j pi/256 + t) with q = (n >> 7) + phase; for
    // negative x the sine changes sign, the cosine not.
    const int quadrant = static_cast<int>(((n >> 7) + static_cast<std::uint64_t>(phase)) & 3);
    const bool cosine = quadrant & 1;
    if (j == 0 && !cosine) return false;  // sin t alone, perhaps tiny: the pairs keep its precision
    const bool negative = ((quadrant & 2) != 0) != (fields.negative && phase == 0);

    // t 2^128, |t| <= pi/512 < 2^-7.34: within 2^-127.
    const Wide T = MultiplyHigh(F, table.piOver256) >> 6;
    // For the sine A = S, B = C; for the cosine A = C, B = -S.
    const UWide A = cosine ? table.cosine[j] : table.sine[j];
    const UWide Bm = cosine ? table.sine[j] : table.cosine[j];
    // t^2 2^128 from t's halves (within 2^-127), t^2 2^78 and t 2^70 cut.
    const Wide square = SquareHigh(T);
    const std::uint64_t z = static_cast<std::uint64_t>(square >> 50);  // < 2^63.4
    const std::int64_t tau = static_cast<std::int64_t>(T >> 58);       // |.| < 2^62.7
    // sin t - t = -t^3 (1/6 - z/120 + z^2/5040 - z^3/362880): t^3 2^85 from
    // z and tau (within 2^-83.3), the bracket in units of 2^-63 (each step
    // cut, within 2^-62.5; t^11/11! and beyond below 2^-106).
    static constexpr std::int64_t kS[4] = {0x1555555555555555, -0x0111111111111111, 0x0006806806806807,
                                           -0x0000171de3a556c7};
    std::int64_t ps = kS[3];
    for (int k = 2; k >= 0; --k) ps = kS[k] + static_cast<std::int64_t>((static_cast<Wide>(ps) * z) >> 78);
    const std::int64_t cube = static_cast<std::int64_t>((static_cast<Wide>(z) * tau) >> 63);
    const Wide sinRest = -((static_cast<Wide>(cube) * ps) >> 20);  // 2^-128, within 2^-84.4
    // cos t - 1 = -t^2/2 + t^4 (1/24 - z/720 + z^2/40320): t^4 2^92 from z
    // (within 2^-91), the bracket as above (t^10/10! and beyond below 2^-95).
    static constexpr std::int64_t kC[3] = {0x0555555555555555, -0x002d82d82d82d82e, 0x0000d00d00d00d01};
    std::int64_t pc = kC[2];
    for (int k = 1; k >= 0; --k) pc = kC[k] + static_cast<std::int64_t>((static_cast<Wide>(pc) * z) >> 78);
    const std::int64_t fourth = static_cast<std::int64_t>((static_cast<UWide>(z) * z) >> 64);
    const Wide cosMinus1 = -(square >> 1) + ((static_cast<Wide>(fourth) * pc) >> 27);  // 2^-128, within 2^-94
    // In units of 2^-126: A + B t + B (sin t - t) + A (cos t - 1), within
    // 2^-83.9 (the series' errors, and 2^-124 from the products' cuts and the
    // table). The value is at least sin(pi/512) > 2^-7.35, so its top bit
    // lies at most 9 places below 2^126's: the error, 2^42.1 units, is under
    // 2^51.1 of the 64 bits below the result's significand.
    const Wide turn = MultiplyHigh(T, Bm) + MultiplyHigh(sinRest, Bm);
    const Wide sum = static_cast<Wide>(A) + (cosine ? -turn : turn) + MultiplyHigh(cosMinus1, A);
    const std::uint64_t top = static_cast<std::uint64_t>(static_cast<UWide>(sum) >> 64);
    const std::uint64_t slack = std::uint64_t{1} << (45 + __builtin_clzll(top));
    if (!RoundWide(negative, static_cast<UWide>(sum), 126, slack, out)) out = CarefulValue(ReduceCareful(x), phase);
    return true;
}
#endif

// sin x (phase 0) or cos x (phase 1) = sin(x + phase pi/2). Nothing but the
// result of the first evaluation is kept for the careful one, which starts
// again from x: a value kept would be spilled from the x87 registers.
Real SinOrCos(Real x, int phase) {
#if NIVORA_WIDE_KERNELS
    {
        // 2^-32 <= |x| < 2^25 on the bits alone.
        const exact::Fields f = exact::FieldsOf(x);
        Real wide;
        if (f.biased >= 16383 - 32 && f.biased <= 16383 + 24 && (f.significand >> 63) &&
            SinOrCosWide(x, f, phase, wide))
            return wide;
    }
#endif
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

}  // namespace

Real Sin(Real x) { return SinOrCos(x, 0); }
Real Cos(Real x) { return SinOrCos(x, 1); }

}  // namespace nivora::xmath
