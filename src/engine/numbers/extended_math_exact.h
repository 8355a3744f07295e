// Inside the numbers: the exact operations on Real and the 128-bit fixed
// point that the extended-precision functions (extended_math_parts.h) and
// the inline sine and cosine (inline_sine.h) are built of.
#pragma once

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "engine/numbers/real.h"
#include "engine/numbers/wide_words.h"

// The first evaluations are inlined whole, so that their values stay in the
// x87 registers (an 80-bit store and load cost several cycles each).
#define NIVORA_HOT inline __attribute__((always_inline))

// Where the compiler has 128-bit integers, the usual cases are evaluated in
// fixed point (a few 64-bit multiplications instead of the pairs' long
// dependency chains); elsewhere, and for the careful evaluations, in pairs.
// Both round correctly, so both give the same bits.
#if defined(__SIZEOF_INT128__) && (NIVORA_REAL_IS_SOFT || (LDBL_MANT_DIG == 64 && LDBL_MAX_EXP == 16384))
#define NIVORA_WIDE_KERNELS 1
#else
#define NIVORA_WIDE_KERNELS 0
#endif

namespace nivora::xmath {

// The exact operations the functions need of Real besides + - * /,
// comparisons and negation, kept together so that another Real type can
// supply its own. None of them rounds. For the x87 format they read and
// write the bits: the C library's ilogb, scalbn and nearbyint cost 40 to 180 ns.
namespace exact {

inline bool IsNaN(Real x) { return x != x; }
inline bool IsInfinite(Real x) { return x - x != 0 && x == x; }
inline Real Abs(Real x) { return Fabs(x); }

#if NIVORA_REAL_IS_SOFT
inline bool SignBit(Real x) { return x.SignBit(); }
inline Real CopySign(Real magnitude, Real sign) {
    return Real::FromBits(sign.SignBit(), magnitude.ExponentField(), magnitude.Significand());
}
namespace bits {
inline std::uint64_t Low(Real x) { return x.Significand(); }
inline int BiasedExponent(Real x) { return x.ExponentField(); }
// 2^n for -16382 <= n <= 16383.
inline Real Power(int n) { return Real::FromBits(false, static_cast<std::uint16_t>(n + 16383), Real::kIntegerBit); }
}  // namespace bits
#else
inline bool SignBit(Real x) { return std::signbit(x); }
inline Real CopySign(Real magnitude, Real sign) { return std::copysign(magnitude, sign); }
#endif

#if NIVORA_REAL_IS_SOFT || (LDBL_MANT_DIG == 64 && LDBL_MAX_EXP == 16384)
#if !NIVORA_REAL_IS_SOFT
namespace bits {
inline std::uint64_t Low(Real x) {
    std::uint64_t s;
    std::memcpy(&s, &x, sizeof s);
    return s;
}
inline int BiasedExponent(Real x) {
    std::uint16_t e;
    std::memcpy(&e, reinterpret_cast<const unsigned char*>(&x) + 8, sizeof e);
    return e & 0x7fff;
}
// 2^n for -16382 <= n <= 16383.
inline Real Power(int n) {
    Real x = 0;
    const std::uint64_t s = 0x8000000000000000ull;
    const std::uint16_t e = static_cast<std::uint16_t>(n + 16383);
    std::memcpy(&x, &s, sizeof s);
    std::memcpy(reinterpret_cast<unsigned char*>(&x) + 8, &e, sizeof e);
    return x;
}
}  // namespace bits
#endif

// The exponent e of a finite nonzero x, 2^e <= |x| < 2^(e+1), subnormals too.
inline int Exponent(Real x) {
    const int e = bits::BiasedExponent(x);
    if (e != 0) return e - 16383;
    return -16382 - __builtin_clzll(bits::Low(x));
}
// x * 2^n where the result is a normal number or exact.
inline Real Scale(Real x, int n) {
    if (n == 0) return x;
    if (n >= -16382 && n <= 16383) return x * bits::Power(n);
    const int half = n / 2;
    return x * bits::Power(half) * bits::Power(n - half);
}
// The integer nearest to x, ties to even (values from 2^63 up are integers).
inline Real Nearest(Real x) {
    constexpr Real kShift = 0x1p63L;  // x + 2^63 lies in [2^63, 2^64), where the unit is 1
    if (x >= 0) return x < 0x1p63L ? (x + kShift) - kShift : x;
    return x > -0x1p63L ? (x - kShift) + kShift : x;
}
// The integer nearest to |x| < 2^62, ties to even: as Nearest, without its
// branches (which cost the x87 register stack spills where they join).
inline Real NearestSmall(Real x) {
    constexpr Real kShift = 0x1.8p63L;  // x + 1.5 2^63 lies in [2^63, 2^64), where the unit is 1
    return (x + kShift) - kShift;
}
// An integral |x| < 2^62 as an integer.
inline std::int64_t ToInteger(Real x) {
#if NIVORA_REAL_IS_SOFT
    return LlRint(x);
#elif (defined(__i386__) || defined(__x86_64__)) && defined(__GNUC__)
    std::int64_t n;
    __asm__("fistpll %0" : "=m"(n) : "t"(x) : "st");  // exact: x is integral
    return n;
#else
    return static_cast<std::int64_t>(bits::Low(x + 0x1.8p63L) - 0xc000000000000000ull);
#endif
}
// x as stored: its sign, its biased exponent field (0 for zeros and
// subnormals, 0x7fff for infinities and NaN) and its 64-bit significand.
struct Fields {
    bool negative;
    int biased;
    std::uint64_t significand;
};
inline Fields FieldsOf(Real x) {
#if NIVORA_REAL_IS_SOFT
    return {x.SignBit(), x.ExponentField(), x.Significand()};
#else
    std::uint16_t top;
    std::memcpy(&top, reinterpret_cast<const unsigned char*>(&x) + 8, sizeof top);
    return {(top & 0x8000) != 0, top & 0x7fff, bits::Low(x)};
#endif
}

// A finite positive x as s 2^(e - 63), s the 64-bit significand (its top bit
// set), e = Exponent(x).
inline void Decompose(Real x, std::uint64_t& s, int& e) {
    s = bits::Low(x);
    e = bits::BiasedExponent(x);
    if (e != 0) {
        e -= 16383;
        return;
    }
    const int shift = __builtin_clzll(s);  // subnormal
    s <<= shift;
    e = -16382 - shift;
}
// The 64-bit significand of a finite normal x: |x| = s * 2^(Exponent(x) - 63).
inline std::uint64_t Significand(Real x) { return bits::Low(x); }
// -s 2^(e - 63) or s 2^(e - 63), Decompose's inverse for normal values: the top
// bit of s set, -16382 <= e <= 16383.
inline Real Compose(bool negative, std::uint64_t s, int e) {
#if NIVORA_REAL_IS_SOFT
    return Real::FromBits(negative, static_cast<std::uint16_t>(e + 16383), s);
#else
    Real x = 0;
    const std::uint16_t top = static_cast<std::uint16_t>((negative ? 0x8000 : 0) | (e + 16383));
    std::memcpy(&x, &s, sizeof s);
    std::memcpy(reinterpret_cast<unsigned char*>(&x) + 8, &top, sizeof top);
    return x;
#endif
}
#else
inline void Decompose(Real x, std::uint64_t& s, int& e) {
    e = std::ilogb(x);
    s = static_cast<std::uint64_t>(std::scalbn(x, 63 - e));
}
inline int Exponent(Real x) { return std::ilogb(x); }
inline Real Scale(Real x, int n) { return std::scalbn(x, n); }
inline Real Compose(bool negative, std::uint64_t s, int e) {
    const Real x = std::ldexp(static_cast<Real>(s), e - 63);
    return negative ? -x : x;
}
inline Real Nearest(Real x) { return std::nearbyint(x); }
inline Real NearestSmall(Real x) { return std::nearbyint(x); }
inline std::int64_t ToInteger(Real x) { return static_cast<std::int64_t>(x); }
inline std::uint64_t Significand(Real x) {
    return static_cast<std::uint64_t>(std::scalbn(std::fabs(x), 63 - std::ilogb(x)));
}
#endif

inline Real FromInteger(std::int64_t n) { return static_cast<Real>(n); }
inline Real FromUnsigned(std::uint64_t n) { return static_cast<Real>(n); }
// x = hi + lo with hi holding the upper 32 bits of the significand and lo the
// rest (Veltkamp's splitting, exact while |x| < 2^16000).
inline void Split(Real x, Real& hi, Real& lo) {
    const Real c = x * 4294967297.0L;  // 2^32 + 1
    hi = c - (c - x);
    lo = x - hi;
}

}  // namespace exact

#if NIVORA_WIDE_KERNELS
namespace parts {

using Wide = __int128;
using UWide = unsigned __int128;

// |x| 2^shift toward zero, for |x| 2^shift < 2^126.
inline Wide ToFixed(Real x, int shift) {
    if (x == 0) return 0;
    std::uint64_t s;
    int e;
    exact::Decompose(exact::Abs(x), s, e);
    const int left = e - 63 + shift;
    const Wide v = left >= 0 ? static_cast<Wide>(static_cast<UWide>(s) << left)
                             : (left > -64 ? static_cast<Wide>(s >> -left) : 0);
    return x < 0 ? -v : v;
}

// The full products of two words, unsigned and signed (wide_words.h: where
// the processor has no 64x64 -> 128 multiplication, from 32-bit halves).
inline UWide Product(std::uint64_t a, std::uint64_t b) {
#if NIVORA_WORDS_BY_HALVES
    std::uint64_t high, low;
    words::MultiplyHalves(a, b, high, low);
    return static_cast<UWide>(high) << 64 | low;
#else
    return static_cast<UWide>(a) * b;
#endif
}
inline Wide SignedProduct(std::int64_t a, std::int64_t b) {
#if NIVORA_WORDS_BY_HALVES
    // The unsigned product of the two's complements, less 2^64 times each
    // operand for the other's sign.
    const UWide p = Product(static_cast<std::uint64_t>(a), static_cast<std::uint64_t>(b));
    const std::uint64_t high = static_cast<std::uint64_t>(p >> 64) - (a < 0 ? static_cast<std::uint64_t>(b) : 0) -
                               (b < 0 ? static_cast<std::uint64_t>(a) : 0);
    return static_cast<Wide>(static_cast<UWide>(high) << 64 | static_cast<std::uint64_t>(p));
#else
    return static_cast<Wide>(a) * b;
#endif
}

// (a b) >> 128 for a b < 2^255, less by at most 3 (the low halves' product
// and two cuts).
inline UWide MultiplyHigh(UWide a, UWide b) {
    const std::uint64_t ah = static_cast<std::uint64_t>(a >> 64), al = static_cast<std::uint64_t>(a);
    const std::uint64_t bh = static_cast<std::uint64_t>(b >> 64), bl = static_cast<std::uint64_t>(b);
    return Product(ah, bh) + (Product(ah, bl) >> 64) + (Product(al, bh) >> 64);
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

}  // namespace parts
#endif

}  // namespace nivora::xmath
