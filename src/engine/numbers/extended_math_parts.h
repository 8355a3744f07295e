// What the extended-precision functions (extended_math_log.cpp,
// extended_math_arc_tangent.cpp, extended_math_sine.cpp) share besides the
// exact operations and the fixed point (extended_math_exact.h): their tables,
// and values carried as pairs of extended values with the exact sums and
// products on them.
#pragma once

#include <cstdint>
#include <limits>

#include "engine/numbers/extended_math.h"
#include "engine/numbers/extended_math_exact.h"

// The careful evaluations, seldom run, are kept out of the way of the first
// ones (NIVORA_HOT, extended_math_exact.h).
#define NIVORA_COLD __attribute__((noinline, cold))

// Where the fixed point serves the usual arguments, a function's evaluation
// in pairs is kept out of line: inlined into its caller, it would make the
// fixed point save and restore the registers the pairs need, and copy its
// argument through the x87 registers.
#if NIVORA_WIDE_KERNELS
#define NIVORA_PAIR_PATH __attribute__((noinline))
#else
#define NIVORA_PAIR_PATH
#endif

namespace nivora::xmath::parts {

#include "engine/numbers/extended_math_tables.inc"

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

// The first evaluation's error bound, relative to its result: well above what
// its roundings can add up to (about 2^-84), and seldom failing the test.
constexpr Real kFastError = 0x1p-76L;

#if NIVORA_WIDE_KERNELS
// The fixed-point tables are made from the extended ones when the program
// starts: before any other static object, so that none made at start-up
// from these functions could find them still empty.
#define NIVORA_TABLE_EARLY __attribute__((init_priority(101)))
#endif

}  // namespace nivora::xmath::parts
