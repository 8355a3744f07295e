// Nanoseconds per call of the extended-precision functions, beside the x87
// instructions they replaced (kept here only for the comparison).
#include <benchmark/benchmark.h>

#include <vector>

#include "engine/extended_math.h"

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
#if (defined(__i386__) || defined(__x86_64__)) && defined(__GNUC__)
BENCHMARK_CAPTURE(RunUnary, X87Ln, X87Ln, 4, 0.05L);
BENCHMARK_CAPTURE(RunUnary, X87Sin, X87Sin, 50, -25);
BENCHMARK_CAPTURE(RunBinary, X87ArcTan2, X87ArcTan2);
#endif

}  // namespace
}  // namespace nivora
