// Square root, logarithm, arc tangent, sine and cosine of 80-bit extended
// values (xmath::Real, real.h), the same bits on every processor.
//
// Sqrt is the processor's square root, which IEEE 754 rounds correctly. Ln,
// ArcTan2, Sin and Cos (extended_math_*.cpp) are computed from integer
// arithmetic, additions, subtractions, multiplications and divisions alone
// (each exact or rounded correctly, so the same everywhere), in a fixed
// order, and exact helpers (extended_math_exact.h); no x87 transcendental
// instruction and no C library function, whose last bits differ between
// makers and models. Each first evaluates its result with a stated error
// bound, in 128-bit fixed point where the compiler has 128-bit integers, else
// as a pair of extended values, and returns it rounded when no value within
// the bound could round otherwise; in the rare other case it evaluates again
// to about 2^-115. Against MPFR the results are correctly rounded (to
// nearest, ties to even) in every case measured; the README's Numbers section
// gives the figures. Special arguments give what the C library's logl,
// atan2l, sinl and cosl give.
//
// This header, real.h and inline_sine.h (the same sine and cosine inlined
// into long chains of calls) are what the rest of the engine includes; the
// other files of this folder serve these functions alone.
#pragma once

#include "engine/numbers/real.h"

namespace nivora::xmath {

// ln x; -inf for 0, NaN below 0.
Real Ln(Real x);
// The angle of (x, y) in [-pi, pi], as atan2(y, x).
Real ArcTan2(Real y, Real x);
Real Sin(Real x);
Real Cos(Real x);

// Extended-precision pi (rounded to nearest) and the integer nearest to a
// value, ties to even (the processor's default rounding mode).
inline constexpr Real kPi = 0xc.90fdaa22168c235p-2L;

inline long long RoundHalfEven(Real x) { return LlRint(x); }

}  // namespace nivora::xmath
