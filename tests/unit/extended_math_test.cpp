#include <gtest/gtest.h>

#include <cmath>

#include "engine/extended_math.h"

namespace nivora::xmath {
namespace {

// Units in the last place (of the 80-bit format) of `want` between two values.
long double Ulps(Real value, long double want) {
    const auto got = static_cast<long double>(value);
    if (want == 0) return std::fabs(got) * 0x1p63L;
    return std::fabs(got - want) / std::ldexp(1.0L, std::ilogb(want) - 63);
}

// The sine and cosine are computed from additions and multiplications alone,
// so that every processor gives the same bits; they must stay as accurate as
// the C library's over the arguments the recipes produce, and beyond.
TEST(ExtendedMath, SineAndCosineAgreeWithTheLibraryWithinTwoUlps) {
#ifdef _WIN32
    // MinGW's sinl is the x87 fsin, whose reduction by a 66-bit pi is itself
    // millions of units off near the zeros; glibc's is the reference.
    GTEST_SKIP() << "the C library's long double sine is not exact here";
#endif
    long double worst = 0;
    // The arguments are extended values; where long double is wider, the
    // library gets the same values.
    for (Real step = -40000; step <= 40000; step += 0.3183L) {
        for (const Real x : {step, step * 1e-4L}) {
            const auto wide = static_cast<long double>(x);
            worst = std::max({worst, Ulps(Sin(x), std::sin(wide)), Ulps(Cos(x), std::cos(wide))});
        }
    }
    EXPECT_LE(worst, 2.0L);
    EXPECT_EQ(Sin(0.0L), Real(0.0L));
    EXPECT_EQ(Cos(0.0L), Real(1.0L));
    // Far out the reduction loses accuracy (as fsin does) but stays a sine.
    const auto s = static_cast<long double>(Sin(1e15L)), c = static_cast<long double>(Cos(1e15L));
    EXPECT_NEAR(static_cast<double>(s * s + c * c), 1.0, 1e-15);
    EXPECT_TRUE(std::isnan(static_cast<long double>(Sin(std::nanl("")))));
    EXPECT_TRUE(std::isnan(static_cast<long double>(Cos(HUGE_VALL))));
}

}  // namespace
}  // namespace nivora::xmath
