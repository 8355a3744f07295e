// Transcendentals on 80-bit extended values. On x86 the x87 instructions are
// both faster than the C library's long double functions (about 40 ns against
// 270 ns for a sine) and identical on every x86 target, so Linux and Windows
// builds compute the same pictures bit for bit. Elsewhere the C library is used.
#pragma once

#include <cmath>

namespace nivora::xmath {

using Real = long double;

#if (defined(__i386__) || defined(__x86_64__)) && defined(__GNUC__)

// fsin and fcos reduce their argument only below 2^63; far beyond anything the
// generators produce, but the library takes over there all the same.
inline constexpr Real kFpuTrigLimit = 9.2e18L;

inline Real Sin(Real x) {
    if (!(std::fabs(x) < kFpuTrigLimit)) return std::sin(x);
    Real r;
    __asm__("fsin" : "=t"(r) : "0"(x));
    return r;
}

inline Real Cos(Real x) {
    if (!(std::fabs(x) < kFpuTrigLimit)) return std::cos(x);
    Real r;
    __asm__("fcos" : "=t"(r) : "0"(x));
    return r;
}

inline Real Sqrt(Real x) {
    Real r;
    __asm__("fsqrt" : "=t"(r) : "0"(x));
    return r;
}

// ln x = ln 2 * log2 x.
inline Real Ln(Real x) {
    Real r;
    __asm__("fldln2\n\tfxch\n\tfyl2x" : "=t"(r) : "0"(x) : "st(1)");
    return r;
}

// The angle of (x, y), as atan2(y, x).
inline Real ArcTan2(Real y, Real x) {
    Real r;
    __asm__("fpatan" : "=t"(r) : "0"(x), "u"(y) : "st(1)");
    return r;
}

#else

inline Real Sin(Real x) { return std::sin(x); }
inline Real Cos(Real x) { return std::cos(x); }
inline Real Sqrt(Real x) { return std::sqrt(x); }
inline Real Ln(Real x) { return std::log(x); }
inline Real ArcTan2(Real y, Real x) { return std::atan2(y, x); }

#endif

// Extended-precision pi and the integer nearest to a value, ties to even
// (the processor's default rounding mode).
inline constexpr Real kPi = 3.14159265358979323846264338327950288L;

inline long long RoundHalfEven(Real x) { return std::llrint(x); }

}  // namespace nivora::xmath
