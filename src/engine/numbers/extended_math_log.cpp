// ln x: a table of 1/c and ln c near the significand's 1/m, and the series
// of ln(1 + r), r = m/c - 1, exact.
#include "engine/numbers/extended_math_parts.h"

namespace nivora::xmath {
using namespace parts;

namespace {

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

// One entry for each k = the significand's top 8 bits after the leading 1
// (m in [1, 2), k = floor(256 m) - 256): where m < 362/256, the table's 1/c
// for m as an integer over 2^13 and ln c; from 362/256 on, the entry that
// serves m/2 in [0.70703125, 1), 1/c over 2^12 (the same m (1/c) = s 1/c
// 2^-76) and ln c + ln 2 (so that e needs no correction). Logarithms in units
// of 2^-112, each short of the true value by less than 3 units (the table's
// parts cut, ln 2 cut). Indexed on the bits alone, without a branch on m.
struct LnWideEntry {
    std::uint64_t inverse;
    Wide lnC;
};

struct LnWideTable {
    LnWideEntry entry[256];
    UWide ln2;  // ln 2 in units of 2^-128, toward zero
    std::int64_t ln2High, ln2Low;  // ln 2 in units of 2^-112, toward zero: ln2High 2^63 + ln2Low
    LnWideTable() {
        // Each part of kLn2 is below 1/2 and an integer in units of 2^-128
        // but the last, which is cut.
        ln2 = static_cast<UWide>(ToFixed(kLn2[0], 127)) * 2 + static_cast<UWide>(ToFixed(kLn2[1], 127)) * 2 +
              static_cast<UWide>(ToFixed(kLn2[2], 126)) * 4;
        ln2High = static_cast<std::int64_t>(ln2 >> 79);
        ln2Low = static_cast<std::int64_t>((ln2 >> 16) & ((UWide{1} << 63) - 1));
        for (int k = 256; k < 512; ++k) {
            const bool half = k >= 362;
            const LnEntry& e = kLnTable[(half ? k >> 1 : k) - kLnFirst];
            entry[k - 256] = {static_cast<std::uint64_t>(ToFixed(e.inverse, half ? 12 : 13)),
                              ToFixed(e.lnHi, 112) + ToFixed(e.lnLo, 112) +
                                  (half ? static_cast<Wide>(ln2 >> 16) : 0)};
        }
    }
};
const LnWideTable kLnWide NIVORA_TABLE_EARLY;

// ln(1 + r) for |r| <= 2^-8 (entries with c = 1 reach it, the others stay
// below 2^-8.2) given as r 2^128 (exact), in units of 2^-128, within 2^-84.8:
// - r^2/2 from r's halves, the low half's last bit and its own square
//   dropped: 2^-126;
// - r^3 (in units of 2^-87) from r^2 cut to 2^-79 and r cut to 2^-71, and
//   the product cut: 3 2^-87 < 2^-85.4;
// - P = 1/3 - r/4 + r^2/5 ... - r^7/10 in units of 2^-63, each product cut
//   once, each coefficient rounded: below 2^-61.4; the terms beyond, r^8/11
//   ..., below 2^-67;
// - r^3 P: 2^-85.4 / 3 + 2^-61.3 r^3 < 2^-84.8.
// Each product is of two 64-bit integers: one multiplication each.
NIVORA_HOT Wide Log1pWide(Wide R) {
    static constexpr std::int64_t kP[8] = {0x2aaaaaaaaaaaaaab, -0x2000000000000000, 0x199999999999999a,
                                           -0x1555555555555555, 0x1249249249249249, -0x1000000000000000,
                                           0x0e38e38e38e38e39, -0x0ccccccccccccccd};
    auto product = [](std::int64_t a, std::int64_t b) { return SignedProduct(a, b); };
    // For R = high 2^64 + L, r^2 2^128 = high^2 + high L 2^-63 + L^2 2^-128,
    // |high| <= 2^56, 0 <= L < 2^64: the last term, below 1, and L's last bit
    // (|high| 2^-63 < 1) dropped, the middle one cut: within 3.
    std::int64_t high = static_cast<std::int64_t>(R >> 64);
    std::int64_t low = static_cast<std::int64_t>(static_cast<std::uint64_t>(R) >> 1);
    // (Hidden from the optimiser, which otherwise sees R's top half in high
    // and multiplies 128 bits by 128, or sees low >= 0 and multiplies without
    // sign and corrects: three multiplications instead of one each.)
    __asm__("" : "+r"(high), "+r"(low));
    const Wide square = product(high, high) + (product(high, low) >> 62);
    const std::int64_t rho = static_cast<std::int64_t>(R >> 57);  // r 2^71
    // Estrin's scheme: short chains, each product cut once.
    auto times = [&](std::int64_t a, std::int64_t b) { return static_cast<std::int64_t>(product(a, b) >> 71); };
    const std::int64_t r2 = times(rho, rho), r4 = times(r2, r2);
    const std::int64_t p01 = kP[0] + times(kP[1], rho), p23 = kP[2] + times(kP[3], rho);
    const std::int64_t p45 = kP[4] + times(kP[5], rho), p67 = kP[6] + times(kP[7], rho);
    const std::int64_t p = (p01 + times(p23, r2)) + times(p45 + times(p67, r2), r4);
    // r^2 2^79 <= 2^63, equal only at r = -2^-8 (R is a multiple of 2^52),
    // where it is taken as 2^63 - 1: still within 2^-79.
    const std::uint64_t r2Cut = static_cast<std::uint64_t>(square >> 49);
    const std::int64_t cube = static_cast<std::int64_t>(product(static_cast<std::int64_t>(r2Cut - (r2Cut >> 63)), rho) >> 63);
    return R - (square >> 1) + (product(cube, p) >> 22);
}

// ln x for a normal positive x = s 2^(e - 63) away from 1, where k is s's
// top 8 bits after its leading 1 and x not in [255/256, 257/256) (near 1, ln x
// is r alone, as small as r, and the pairs keep its relative precision).
// Then |ln x| >= ln(257/256) > 2^-8.01.
NIVORA_HOT Real LnWide(Real x, std::uint64_t significand, int e, int k) {
    const LnWideEntry& entry = kLnWide.entry[k];
    // r 2^128 = m (1/c) 2^128 - 2^128, exact (modulo 2^128, |r| < 2^-8).
    const Wide R = static_cast<Wide>(Product(significand, entry.inverse) << 52);
    // e ln 2 in units of 2^-112 from ln 2 2^112 toward zero in two parts,
    // ln2High 2^63 + ln2Low (ln2High < 2^48.5, so |e| ln2High < 2^63 for
    // |e| <= 16383): off by less than |e| (1 + 2^-16) < 2^14.01 units.
    const Wide eLn2 = (static_cast<Wide>(e * kLnWide.ln2High) << 63) + SignedProduct(e, kLnWide.ln2Low);
    const Wide sum = eLn2 + entry.lnC + (Log1pWide(R) >> 16);
    // The error: 2^-84.8 (2^27.2 units) from the series, 2^14.01 units from
    // e ln 2, 3 from the table and 1 from the last cut: below 2^27.3 units.
    // |sum| > 2^-8.01 2^112 > 2^103, so its high half is at least 2^39 and
    // has lz <= 24 leading zeros; rounded to 64 bits, sum's last place is
    // 2^(64 - lz) units.
    // (For a negative sum, its high half's complement is |sum|'s high half,
    // or one less where |sum|'s low half is 0; then the bits below are 0
    // either way.)
    const std::int64_t top = static_cast<std::int64_t>(sum >> 64);
    const int lz = __builtin_clzll(static_cast<std::uint64_t>(top ^ (top >> 63)));
    // The bits below those 64, rest = sum's low half << lz, are in units of
    // 2^-64 of that last place, and the error in the same units is under
    // 2^(27.3 + lz). Where rest lies that near a half, ln x and sum could
    // round apart: the careful evaluation decides. Then rest - 2^63 +
    // 2^(28 + lz) modulo 2^64, computed as below, lies in [0, 2^(29 + lz)).
    // (For a negative sum its own bits are |sum|'s negated modulo 2^64, as
    // far from a half.)
    const std::uint64_t near = ((static_cast<std::uint64_t>(sum) + (std::uint64_t{1} << 28)) << lz) ^
                               (std::uint64_t{1} << 63);
    if ((near >> 29 >> lz) == 0) return LnCareful(x);
    // sum = high 2^64 + low (low signed), each exactly a Real, and their sum
    // rounded once by the addition: the correct rounding of sum, which
    // lies on the same side of every rounding boundary as ln x. (Cheaper
    // than rounding in integers and composing the bits: the two integers
    // reach the x87 through 64-bit stores and loads, which the processor
    // forwards, where an 80-bit load of two narrower stores waits for them
    // to reach the cache.)
#if NIVORA_REAL_IS_SOFT
    // The integer type's value is composed from its fields instead: there its
    // own multiplications and addition cost more than rounding in integers
    // (which the check above keeps away from a tie).
    Real out;
    const bool negative = sum < 0;
    RoundWide(negative, negative ? -static_cast<UWide>(sum) : static_cast<UWide>(sum), 112, 0, out);
    return out;
#else
    const std::int64_t low = static_cast<std::int64_t>(static_cast<std::uint64_t>(sum));
    const std::int64_t high = top + static_cast<std::int64_t>(static_cast<std::uint64_t>(sum) >> 63);
    return FromInteger(high) * 0x1p-48L + FromInteger(low) * 0x1p-112L;
#endif
}

}  // namespace
#endif

namespace {

// The pairs' evaluation, with the special arguments: in the wide build kept
// out of Ln, so that Ln reads x's bits where the caller stored it (x is
// passed in memory) instead of loading x into the x87 and storing it again
// for its own use here.
NIVORA_PAIR_PATH
Real LnPairs(Real x) {
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

}  // namespace

Real Ln(Real x) {
#if NIVORA_WIDE_KERNELS
    // The usual case screened on the bits alone: positive, normal, finite,
    // not in [255/256, 257/256). The sign, the exponent field and the
    // significand's top 8 bits after its leading 1 as one number: positive
    // normal numbers from 0x100 to 0x7ffeff, the three next to 1 from
    // 0x3ffefe (m = 1.9921875 or more, e = -1) to 0x3fff00 (m < 1.00390625,
    // e = 0).
    const exact::Fields f = exact::FieldsOf(x);
    const std::uint32_t key = ((f.negative ? 0x800000u : 0u) | static_cast<std::uint32_t>(f.biased) << 8) |
                              static_cast<std::uint32_t>((f.significand >> 55) & 0xff);
    if (key - 0x100u < 0x7ffe00u && key - 0x3ffefeu > 2u && (f.significand >> 63))
        return LnWide(x, f.significand, f.biased - 16383, static_cast<int>(f.significand >> 55) - 256);
#endif
    return LnPairs(x);
}

}  // namespace nivora::xmath
