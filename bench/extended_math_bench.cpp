// Nanoseconds per call of the extended-precision functions, beside the x87
// instructions they replaced (kept here only for the comparison).
#include <benchmark/benchmark.h>

#include <cmath>
#include <limits>
#include <vector>

#include "engine/numbers/extended_math.h"
#include "engine/numbers/inline_sine.h"

namespace nivora {
namespace {

using xmath::Real;

#if (defined(__i386__) || defined(__x86_64__)) && defined(__GNUC__)
// (Real may be the integer type: the instructions take its long double.)
Real X87Ln(Real x) {
    long double r;
    __asm__("fldln2\n\tfxch\n\tfyl2x" : "=t"(r) : "0"(static_cast<long double>(x)) : "st(1)");
    return r;
}
Real X87ArcTan2(Real y, Real x) {
    long double r;
    __asm__("fpatan" : "=t"(r) : "0"(static_cast<long double>(x)), "u"(static_cast<long double>(y)) : "st(1)");
    return r;
}
Real X87Sin(Real x) {
    long double r;
    __asm__("fsin" : "=t"(r) : "0"(static_cast<long double>(x)));
    return r;
}
#endif

// The software sine it replaced: a Taylor series after a three-part reduction.
namespace previous {

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
    if (xmath::Fabs(turns) < 0x1p62L) {  // the usual case: a quick exact rounding
        const long long n = xmath::LlRint(turns);
        k = static_cast<Real>(n);
        quadrant = static_cast<int>(n & 3);
    } else {
        k = xmath::NearbyInt(turns);
        quadrant = static_cast<int>(xmath::LlRint(k - 4 * xmath::Floor(k * 0.25L)));
    }
    r = ((x - k * kHalfPi1) - k * kHalfPi2) - k * kHalfPi3;
    return quadrant;
}

}  // namespace previous

inline Real TaylorSin(Real x) {
    if (!(xmath::Fabs(x) <= 1e4000L)) return x != x ? x : std::numeric_limits<Real>::quiet_NaN();
    Real r;
    switch (previous::ReduceQuarterTurns(x, r)) {
        case 0: return previous::SinKernel(r);
        case 1: return previous::CosKernel(r);
        case 2: return -previous::SinKernel(r);
        default: return -previous::CosKernel(r);
    }
}

inline Real TaylorCos(Real x) {
    if (!(xmath::Fabs(x) <= 1e4000L)) return x != x ? x : std::numeric_limits<Real>::quiet_NaN();
    Real r;
    switch (previous::ReduceQuarterTurns(x, r)) {
        case 0: return previous::CosKernel(r);
        case 1: return -previous::SinKernel(r);
        case 2: return -previous::CosKernel(r);
        default: return previous::SinKernel(r);
    }
}

// Arguments like the generators': lengths near 0.1 to 4, angles up to 50.
std::vector<Real> Arguments(Real scale, Real offset) {
    std::vector<Real> out(4096);
    std::uint64_t s = 0x9e3779b97f4a7c15ull;
    for (Real& x : out) {
        s = s * 6364136223846793005ull + 1442695040888963407ull;
        x = offset + scale * static_cast<Real>(s >> 11) * 0x1p-53L;
    }
    return out;
}

void RunUnary(benchmark::State& state, Real (*f)(Real), Real scale, Real offset) {
    const std::vector<Real> args = Arguments(scale, offset);
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(f(args[i]));
        i = (i + 1) & 4095;
    }
}

// The same, each call waiting for the one before (as in the recipes' orbits):
// the latency, not the throughput. f is a function pointer, called as such,
// or a function object the compiler inlines into the loop.
template <class F>
void Chain(benchmark::State& state, F f, Real scale, Real offset) {
    const std::vector<Real> args = Arguments(scale, offset);
    std::size_t i = 0;
    Real y = 0;
    for (auto _ : state) {
        y = f(args[i] + y * 0x1p-80L);
        i = (i + 1) & 4095;
    }
    benchmark::DoNotOptimize(y);
}

void ChainUnary(benchmark::State& state, Real (*f)(Real), Real scale, Real offset) { Chain(state, f, scale, offset); }

// The same with the function inlined into the loop, as the recipes call it.
template <Real (*F)(Real)>
void ChainInlined(benchmark::State& state) {
    Chain(state, [](Real x) { return F(x); }, 50, -25);
}

Real InlinedSin(Real x) { return xmath::inlined::Sin(x); }

void ChainBinary(benchmark::State& state, Real (*f)(Real, Real)) {
    const std::vector<Real> ys = Arguments(2, -1), xs = Arguments(2, -0.5L);
    std::size_t i = 0;
    Real z = 0;
    for (auto _ : state) {
        z = f(ys[i] + z * 0x1p-80L, xs[i]);
        i = (i + 1) & 4095;
    }
    benchmark::DoNotOptimize(z);
}

void RunBinary(benchmark::State& state, Real (*f)(Real, Real)) {
    const std::vector<Real> ys = Arguments(2, -1), xs = Arguments(2, -0.5L);
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(f(ys[i], xs[i]));
        i = (i + 1) & 4095;
    }
}

BENCHMARK_CAPTURE(RunUnary, Ln, xmath::Ln, 4, 0.05L);
BENCHMARK_CAPTURE(RunUnary, Sin, xmath::Sin, 50, -25);
BENCHMARK_CAPTURE(RunUnary, Cos, xmath::Cos, 50, -25);
BENCHMARK_CAPTURE(RunBinary, ArcTan2, xmath::ArcTan2);
BENCHMARK_CAPTURE(ChainUnary, Ln, xmath::Ln, 4, 0.05L);
BENCHMARK_CAPTURE(ChainUnary, Sin, xmath::Sin, 50, -25);
BENCHMARK_CAPTURE(ChainBinary, ArcTan2, xmath::ArcTan2);
#if (defined(__i386__) || defined(__x86_64__)) && defined(__GNUC__)
BENCHMARK_CAPTURE(ChainUnary, X87Ln, X87Ln, 4, 0.05L);
BENCHMARK_CAPTURE(ChainUnary, X87Sin, X87Sin, 50, -25);
BENCHMARK_CAPTURE(ChainBinary, X87ArcTan2, X87ArcTan2);
BENCHMARK_CAPTURE(RunUnary, X87Ln, X87Ln, 4, 0.05L);
BENCHMARK_CAPTURE(RunUnary, X87Sin, X87Sin, 50, -25);
BENCHMARK_CAPTURE(RunBinary, X87ArcTan2, X87ArcTan2);
BENCHMARK_CAPTURE(RunUnary, TaylorSin, TaylorSin, 50, -25);
BENCHMARK(ChainInlined<TaylorSin>);
#endif
BENCHMARK(ChainInlined<InlinedSin>);

}  // namespace
}  // namespace nivora
