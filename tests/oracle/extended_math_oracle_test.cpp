// Ln, ArcTan2, Sin and Cos against MPFR, bit for bit: random arguments over
// the whole extended range, the arguments the generators really pass (a
// sample kept in data/), and hard cases. Correctly rounded means no mismatch.
// NIVORA_ORACLE_COUNT sets the random arguments per function (default 100000).
#include <gtest/gtest.h>

#include <cfloat>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <vector>

#include "engine/numbers/extended_math.h"
#include "oracle/mpfr_reference.h"

namespace nivora::oracle {
namespace {

// (Real may be the integer type, which converts from and to long double
// exactly: the same tests then check its build.)
long double Evaluate(Function f, long double x, long double y) {
    switch (f) {
        case Function::Ln: return static_cast<long double>(xmath::Ln(x));
        case Function::Sin: return static_cast<long double>(xmath::Sin(x));
        case Function::Cos: return static_cast<long double>(xmath::Cos(x));
        default: return static_cast<long double>(xmath::ArcTan2(x, y));
    }
}

// Mismatches and the worst error of one function over a set of arguments,
// with the first few mismatches kept for the failure message.
struct Tally {
    long count = 0, mismatches = 0;
    double worstUlps = 0;
    std::string examples;

    void Check(Reference& reference, Function f, long double x, long double y = 0) {
        ++count;
        const long double got = Evaluate(f, x, y), want = reference(f, x, y);
        if (SameValue(got, want)) return;
        ++mismatches;
        worstUlps = std::max(worstUlps, UlpsApart(got, want));
        if (mismatches <= 5) {
            examples += std::string("  ") + NameOf(f) + "(" + Hex(x) + (f == Function::ArcTan2 ? ", " + Hex(y) : "") +
                        ") = " + Hex(got) + ", correctly rounded " + Hex(want) + "\n";
        }
    }
    void Report(const char* set, Function f) const {
        std::cout << set << " " << NameOf(f) << ": " << count << " arguments, " << mismatches
                  << " mismatches, worst " << worstUlps << " ulp\n";
    }
};

// splitmix64: the same arguments on every run.
struct Bits {
    std::uint64_t state;
    std::uint64_t Next() {
        std::uint64_t z = (state += 0x9e3779b97f4a7c15ull);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
        return z ^ (z >> 31);
    }
    // A random significand times 2^e, e uniform in [lo, hi], random sign
    // when `signed`; below the normal range the value is subnormal.
    long double Value(int lo, int hi, bool withSign) {
        const int e = lo + static_cast<int>(Next() % static_cast<std::uint64_t>(hi - lo + 1));
        const long double m = static_cast<long double>(Next() | (1ull << 63)) * 0x1p-63L;
        const long double v = std::ldexp(m, e);
        return withSign && (Next() & 1) ? -v : v;
    }
};

long RandomCount() {
    const char* text = std::getenv("NIVORA_ORACLE_COUNT");
    return text ? std::atol(text) : 100000;
}

constexpr int kMinExponent = LDBL_MIN_EXP - 1 - 63;  // the smallest subnormal's
constexpr int kMaxExponent = LDBL_MAX_EXP - 1;

TEST(ExtendedMathOracle, RandomArgumentsAcrossTheWholeRange) {
    Reference reference;
    Bits bits{20260101};
    const long n = RandomCount();
    for (Function f : {Function::Ln, Function::Sin, Function::Cos, Function::ArcTan2}) {
        Tally tally;
        for (long i = 0; i < n; ++i) {
            // Half over the whole range, half where the values are ordinary.
            const bool whole = i % 2 == 0;
            const int lo = whole ? kMinExponent : -40, hi = whole ? kMaxExponent : 40;
            switch (f) {
                case Function::Ln: tally.Check(reference, f, bits.Value(lo, hi, false)); break;
                case Function::ArcTan2: {
                    const long double y = bits.Value(lo, hi, true);
                    // Ordinary: x within 2^-70..2^70 of y, where the angle is not just y/x, pi/2 or pi.
                    const int ey = std::ilogb(y);
                    const long double x = whole ? bits.Value(lo, hi, true)
                                                : bits.Value(std::max(ey - 70, kMinExponent),
                                                             std::min(ey + 70, kMaxExponent), true);
                    tally.Check(reference, f, y, x);
                    break;
                }
                default: tally.Check(reference, f, bits.Value(lo, hi, true)); break;
            }
        }
        tally.Report("random", f);
        EXPECT_EQ(tally.mismatches, 0) << tally.examples;
    }
}

TEST(ExtendedMathOracle, ArgumentsTheGeneratorsPass) {
    std::ifstream in(NIVORA_ORACLE_DATA "/generator_arguments.txt");
    ASSERT_TRUE(in) << "missing " NIVORA_ORACLE_DATA "/generator_arguments.txt";
    Reference reference;
    Tally tallies[4];
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        std::string name, a, b;
        fields >> name >> a >> b;
        const long double x = std::strtold(a.c_str(), nullptr);
        const long double y = b.empty() ? 0 : std::strtold(b.c_str(), nullptr);
        const Function f = name == "ln" ? Function::Ln : name == "sin" ? Function::Sin
                         : name == "cos" ? Function::Cos : Function::ArcTan2;
        tallies[static_cast<int>(f)].Check(reference, f, x, y);
    }
    for (Function f : {Function::Ln, Function::Sin, Function::Cos, Function::ArcTan2}) {
        const Tally& tally = tallies[static_cast<int>(f)];
        tally.Report("generators'", f);
        EXPECT_GT(tally.count, 1000) << NameOf(f) << ": too few logged arguments";
        EXPECT_EQ(tally.mismatches, 0) << tally.examples;
    }
}

TEST(ExtendedMathOracle, HardCases) {
    Reference reference;
    Tally ln, sin, cos, atan2;
    const long double inf = INFINITY, nan = NAN, tiny = LDBL_TRUE_MIN, huge = LDBL_MAX;
    // The logarithm near 1, at powers of two, at the ends and at special values.
    for (int j = 1; j <= 64; ++j)
        for (int k = 1; k <= 40; ++k) {
            const long double d = std::ldexp(static_cast<long double>(k), -j - 5);
            for (long double x : {1 + d, 1 - d, std::nextafter(1 + d, 2.0L), std::nextafter(1 - d, 0.0L)}) ln.Check(reference, Function::Ln, x);
        }
    for (int e = kMinExponent; e <= kMaxExponent; e += 7) {
        const long double p = std::ldexp(1.0L, e);
        for (long double x : {p, std::nextafter(p, 0.0L), std::nextafter(p, inf)}) ln.Check(reference, Function::Ln, x);
    }
    for (long double x : {0.0L, -0.0L, -1.0L, -tiny, tiny, huge, inf, -inf, nan, 1.0L, LDBL_MIN, std::nextafter(LDBL_MIN, 0.0L)})
        ln.Check(reference, Function::Ln, x);
    // At the ends of the reduction table's intervals, m = j/256, where |r|
    // is largest, in binades near 1 and far from it.
    for (int e : {kMinExponent + 63, -1000, -2, -1, 0, 1, 2, 1000, kMaxExponent})
        for (int j = 256; j <= 512; ++j) {
            const long double x = std::ldexp(j / 256.0L, e);
            for (long double v : {x, std::nextafter(x, 0.0L), std::nextafter(x, inf)})
                if (v < inf) ln.Check(reference, Function::Ln, v);
        }
    // Logarithms within 2^-21 ulp of halfway between two neighbours (found
    // with MPFR): too near for the first evaluation, which hands them on.
    for (long double x : {0xe.4bc74cd6a48d1f8p-3L, 0xb.4bec00a1b966d04p-3L, 0xc.60f39fb472f3b06p-4L,
                          0xb.d8c441e3b2abc6ep-4L, 0xa.3810eee94a8db5ap-4L, 0xb.a8723d69cc8bdb5p-3L,
                          0xa.379d56eb9095586p-3L, 0xb.fbdaef2d13274bcp-4L, 0xf.beb2911938e6b8dp-4L,
                          0xf.2daed9a857d9d5cp-4L, 0xa.79abad25be68bccp+1L, 0x8.edfa1a94cd53b7bp-7L})
        ln.Check(reference, Function::Ln, x);

    // Sine and cosine at the nearest values to multiples of pi/2 (where the
    // reduction cancels most), tiny, huge and special arguments.
    for (long k = 1; k < 2000000; k = k * 3 + 1)
        for (long double scale : {1.0L, 0x1p20L, 0x1p40L, 0x1p100L}) {
            const long double x = static_cast<long double>(k) * scale * static_cast<long double>(xmath::kPi) / 2;
            for (long double v : {x, std::nextafter(x, 0.0L), std::nextafter(x, inf), -x}) {
                sin.Check(reference, Function::Sin, v);
                cos.Check(reference, Function::Cos, v);
            }
        }
    for (int e = kMinExponent; e <= kMaxExponent; e += 13) {
        const long double p = std::ldexp(1.0L, e);
        for (long double x : {p, std::nextafter(p, 0.0L), -std::nextafter(p, inf)}) {
            sin.Check(reference, Function::Sin, x);
            cos.Check(reference, Function::Cos, x);
        }
    }
    for (long double x : {0.0L, -0.0L, 0x1p-32L, std::nextafter(0x1p-32L, 0.0L), huge, -huge, inf, -inf, nan}) {
        sin.Check(reference, Function::Sin, x);
        cos.Check(reference, Function::Cos, x);
    }

    // The arc tangent near the axes and the diagonals, with both zeros, the
    // infinities and NaN in every place, and quotients at the ends of the range.
    const long double specials[] = {0.0L, -0.0L, inf, -inf, nan, 1.0L, -1.0L, tiny, -tiny, huge, -huge};
    for (long double y : specials)
        for (long double x : specials) atan2.Check(reference, Function::ArcTan2, y, x);
    for (int j = 0; j <= 66; ++j)
        for (long double base : {1.0L, 3.0L, 0x1p-16000L, 0x1p16000L}) {
            const long double d = std::ldexp(1.0L, -j);
            for (long double sy : {1.0L, -1.0L})
                for (long double sx : {1.0L, -1.0L}) {
                    atan2.Check(reference, Function::ArcTan2, sy * base * d, sx * base);        // near the x axis
                    atan2.Check(reference, Function::ArcTan2, sy * base, sx * base * d);        // near the y axis
                    atan2.Check(reference, Function::ArcTan2, sy * base * (1 + d / 1024), sx * base);  // diagonal
                    atan2.Check(reference, Function::ArcTan2, sy * std::nextafter(base, 0.0L), sx * base);
                }
        }
    for (int e = kMinExponent; e <= kMaxExponent; e += 97) {
        atan2.Check(reference, Function::ArcTan2, std::ldexp(3.0L, e), 2.0L);
        atan2.Check(reference, Function::ArcTan2, 3 * tiny, std::ldexp(1.0L, e / 64 + 1));
        atan2.Check(reference, Function::ArcTan2, huge, std::ldexp(1.5L, e));
    }
    // Where the fixed point's choices turn: quotients halfway between the
    // table's points j/64 (either neighbour may be taken), at every exponent
    // gap from 1/32 to past 2^-60 (the end of its range), over denominators at
    // the edges of the index's reciprocal intervals, in every octant.
    Bits bits{7};
    auto everyOctant = [&](long double y, long double x) {
        for (long double sy : {1.0L, -1.0L})
            for (long double sx : {1.0L, -1.0L}) {
                atan2.Check(reference, Function::ArcTan2, sy * y, sx * x);
                atan2.Check(reference, Function::ArcTan2, sx * x, sy * y);
            }
    };
    for (int k = 0; k <= 512; k += 16) {
        const long double edge = 1 + k / 512.0L;
        for (long double x : {edge, std::nextafter(edge, 0.0L)}) {
            for (int j = 0; j < 64; j += 3)
                for (long double q : {1.0L, 1 + 0x1p-11L, 1 - 0x1p-11L}) everyOctant(x * (j + 0.5L) / 64 * q, x);
            for (int gap = 5; gap <= 62; ++gap) everyOctant(bits.Value(-gap, -gap, false) * x, x);
        }
    }

    for (auto [tally, f] : {std::pair{&ln, Function::Ln}, {&sin, Function::Sin}, {&cos, Function::Cos},
                            {&atan2, Function::ArcTan2}}) {
        tally->Report("hard", f);
        EXPECT_EQ(tally->mismatches, 0) << tally->examples;
    }
}

}  // namespace
}  // namespace nivora::oracle
