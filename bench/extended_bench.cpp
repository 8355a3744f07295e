// The integer extended type against the x87 unit, operation by operation, in
// one run: each iteration applies the operation along a chain of 256 values,
// so the figures are nanoseconds per 256 operations (divide by 256).
#include <benchmark/benchmark.h>

#include <cmath>

#include "engine/numbers/real.h"
#include "engine/numbers/soft_extended.h"

namespace nivora {
namespace {

using xmath::SoftExtended;

constexpr int kChain = 256;

template <class T>
struct Values {
    T v[kChain];
    Values() {
        for (int i = 0; i < kChain; ++i) v[i] = T(1.0L + i * 0.0078125L + 0.000123L * i * i);
    }
};

#if defined(__x86_64__) || defined(__i386__)
#define NIVORA_HAVE_X87 1
long double RootOf(long double x) {
    long double r;
    __asm__("fsqrt" : "=t"(r) : "0"(x));
    return r;
}
#endif
SoftExtended RootOf(SoftExtended x) { return Sqrt(x); }

template <class T, class Op>
void Chain(benchmark::State& state, Op op) {
    Values<T> values;
    T acc = T(1);
    for (auto _ : state) {
        for (int i = 0; i < kChain; ++i) acc = op(acc, values.v[i]);
        benchmark::DoNotOptimize(acc);
    }
    state.SetItemsProcessed(state.iterations() * kChain);
}

template <class T>
void BM_Add(benchmark::State& s) { Chain<T>(s, [](T a, T b) { return a + b; }); }
template <class T>
void BM_Multiply(benchmark::State& s) { Chain<T>(s, [](T a, T b) { return a * b * T(0.99L); }); }
template <class T>
void BM_Divide(benchmark::State& s) { Chain<T>(s, [](T a, T b) { return a / b + T(1); }); }
template <class T>
void BM_Sqrt(benchmark::State& s) { Chain<T>(s, [](T a, T b) { return RootOf(a + b); }); }
template <class T>
void BM_Compare(benchmark::State& s) { Chain<T>(s, [](T a, T b) { return a < b ? b : a; }); }

#ifdef NIVORA_HAVE_X87
#define NIVORA_BENCH_PAIR(name)                 \
    BENCHMARK_TEMPLATE(name, long double);      \
    BENCHMARK_TEMPLATE(name, SoftExtended);
#else
#define NIVORA_BENCH_PAIR(name) BENCHMARK_TEMPLATE(name, SoftExtended);
#endif

NIVORA_BENCH_PAIR(BM_Add)
NIVORA_BENCH_PAIR(BM_Multiply)
NIVORA_BENCH_PAIR(BM_Divide)
NIVORA_BENCH_PAIR(BM_Sqrt)
NIVORA_BENCH_PAIR(BM_Compare)

}  // namespace
}  // namespace nivora
