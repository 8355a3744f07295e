// Transcendentals on 80-bit extended values. The x87 square root, logarithm
// and arc tangent are used on x86: faster than the C library's long double
// functions and, in what the generators ask of them, the same on every x86
// processor met so far. Sine and cosine are computed here from additions and
// multiplications alone, because the results of the x87 fsin and fcos differ
// in the last bits from one processor to the next (measured: one test's
// fingerprints changed between two Intel Xeon models), and a picture must be
// the same wherever it is made. Elsewhere the C library gives the rest.
#pragma once

#include <cmath>
#include <limits>

#include "engine/real.h"

namespace nivora::xmath {

#if (defined(__i386__) || defined(__x86_64__)) && defined(__GNUC__)

namespace x87 {

// ln x = ln 2 * log2 x.
inline long double Ln(long double x) {
    long double r;
    __asm__("fldln2\n\tfxch\n\tfyl2x" : "=t"(r) : "0"(x) : "st(1)");
    return r;
}

// The angle of (x, y), as atan2(y, x).
inline long double ArcTan2(long double y, long double x) {
    long double r;
    __asm__("fpatan" : "=t"(r) : "0"(x), "u"(y) : "st(1)");
    return r;
}

}  // namespace x87

inline Real Ln(Real x) { return x87::Ln(static_cast<long double>(x)); }
inline Real ArcTan2(Real y, Real x) { return x87::ArcTan2(static_cast<long double>(y), static_cast<long double>(x)); }

#else

inline Real Ln(Real x) { return std::log(static_cast<long double>(x)); }
inline Real ArcTan2(Real y, Real x) { return std::atan2(static_cast<long double>(y), static_cast<long double>(x)); }

#endif

namespace detail {

// pi/2 in three parts: the first two of 32 significant bits, so that k times
// them is exact for every |k| below 2^32, the third to full precision.
inline constexpr Real kHalfPi1 = 0xc90fdaa200000000p-63L;
inline constexpr Real kHalfPi2 = 0x85a308d300000000p-97L;
inline constexpr Real kHalfPi3 = 0x98cc51701b839a25p-132L;
inline constexpr Real kTwoOverPi = 0xa2f9836e4e44152ap-64L;

constexpr Real InverseFactorial(int n) {
    Real f = 1;
    for (int i = 2; i <= n; ++i) f *= i;  // exact up to 25!
    return 1 / f;
}

// Taylor terms up to r^23 and r^22: below 2^-70 of the result for |r| <= pi/4.
inline constexpr int kTerms = 11;

// (-1)^k / (2k + odd)! for k = 0..kTerms.
struct TaylorTerms {
    Real c[kTerms + 1];
    constexpr explicit TaylorTerms(int odd) : c{} {
        for (int k = 0; k <= kTerms; ++k) c[k] = (k % 2 ? -1 : 1) * InverseFactorial(2 * k + odd);
    }
};
inline constexpr TaylorTerms kSinTerms(1), kCosTerms(0);

// sin r and cos r for |r| <= pi/4.
inline Real SinKernel(Real r) {
    const Real z = r * r;
    Real p = kSinTerms.c[kTerms];
    for (int k = kTerms - 1; k >= 1; --k) p = p * z + kSinTerms.c[k];
    return r + r * (z * p);
}

inline Real CosKernel(Real r) {
    const Real z = r * r;
    Real p = kCosTerms.c[kTerms];
    for (int k = kTerms - 1; k >= 1; --k) p = p * z + kCosTerms.c[k];
    return 1 + z * p;
}

// x = k pi/2 + r with |r| <= pi/4 (a hair more where rounding puts it);
// returns k mod 4. Deterministic for every finite x, accurate while |k| < 2^32.
inline int ReduceQuarterTurns(Real x, Real& r) {
    const Real turns = x * kTwoOverPi;
    Real k;
    int quadrant;
    if (Fabs(turns) < 0x1p62L) {  // the usual case: a quick exact rounding
        const long long n = LlRint(turns);
        k = static_cast<Real>(n);
        quadrant = static_cast<int>(n & 3);
    } else {
        k = NearbyInt(turns);
        quadrant = static_cast<int>(k - 4 * Floor(k * 0.25L));
    }
    r = ((x - k * kHalfPi1) - k * kHalfPi2) - k * kHalfPi3;
    return quadrant;
}

}  // namespace detail

inline Real Sin(Real x) {
    if (!(Fabs(x) <= 1e4000L)) return x != x ? x : std::numeric_limits<Real>::quiet_NaN();
    Real r;
    switch (detail::ReduceQuarterTurns(x, r)) {
        case 0: return detail::SinKernel(r);
        case 1: return detail::CosKernel(r);
        case 2: return -detail::SinKernel(r);
        default: return -detail::CosKernel(r);
    }
}

inline Real Cos(Real x) {
    if (!(Fabs(x) <= 1e4000L)) return x != x ? x : std::numeric_limits<Real>::quiet_NaN();
    Real r;
    switch (detail::ReduceQuarterTurns(x, r)) {
        case 0: return detail::CosKernel(r);
        case 1: return -detail::SinKernel(r);
        case 2: return -detail::CosKernel(r);
        default: return detail::SinKernel(r);
    }
}

// Extended-precision pi and the integer nearest to a value, ties to even
// (the processor's default rounding mode).
inline constexpr Real kPi = 3.14159265358979323846264338327950288L;

inline long long RoundHalfEven(Real x) { return LlRint(x); }

}  // namespace nivora::xmath
