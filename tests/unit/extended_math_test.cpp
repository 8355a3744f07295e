// The extended-precision functions give the same bits wherever they run (the
// MPFR oracle test, natively, shows they are the correctly rounded ones): a
// fingerprint of their results over arguments of every kind, which the
// Windows builds under Wine and the emulated processor must match too, and
// the C library's special values.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "engine/numbers/extended_math.h"
#include "engine/numbers/extended_math_exact.h"

namespace nivora::xmath {
namespace {

bool Same(Real a, Real b) {
    if (exact::IsNaN(a) || exact::IsNaN(b)) return exact::IsNaN(a) && exact::IsNaN(b);
    return a == b && exact::SignBit(a) == exact::SignBit(b);
}

TEST(ExtendedMath, ResultsOfEveryKindOfArgumentHaveOneFingerprint) {
    std::uint64_t print = 1469598103934665603ull, state = 0x2545f4914f6cdd1dull;
    auto add = [&](Real v) {
        unsigned char bytes[10];
        std::memcpy(bytes, &v, sizeof bytes);
        for (unsigned char b : bytes) print = (print ^ b) * 1099511628211ull;
    };
    auto next = [&] {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    };
    for (int i = 0; i < 20000; ++i) {
        // Exponents from -80 to 80 mostly, every tenth anywhere in the range.
        const int e = i % 10 ? static_cast<int>(next() % 161) - 80 : static_cast<int>(next() % 32700) - 16350;
        const Real m = static_cast<Real>(next() | (1ull << 63)) * 0x1p-63L;
        const Real x = exact::Scale(m, e), y = exact::Scale(static_cast<Real>(next() >> 1) * 0x1p-62L, e / 2);
        add(Ln(x));
        add(Sin(i % 2 ? x : -x));
        add(Cos(x));
        add(ArcTan2(i % 3 ? y : -y, i % 5 ? x : -x));
    }
    EXPECT_EQ(print, 8523392532173599498ull);
}

TEST(ExtendedMath, SpecialArgumentsGiveWhatTheCLibraryGives) {
    const Real inf = INFINITY, nan = NAN;
    EXPECT_TRUE(Same(Ln(0.0L), -inf));
    EXPECT_TRUE(Same(Ln(-0.0L), -inf));
    EXPECT_TRUE(exact::IsNaN(Ln(-1.0L)));
    EXPECT_TRUE(exact::IsNaN(Ln(-inf)));
    EXPECT_TRUE(exact::IsNaN(Ln(nan)));
    EXPECT_TRUE(Same(Ln(inf), inf));
    EXPECT_TRUE(Same(Ln(1.0L), 0.0L));
    EXPECT_NEAR(static_cast<double>(Ln(std::numeric_limits<Real>::denorm_min()) / (-16445 * 0.693147180559945309417232121458L)), 1.0, 1e-18);

    const Real pi = kPi, halfPi = pi / 2;
    EXPECT_TRUE(Same(ArcTan2(0.0L, 0.0L), 0.0L));
    EXPECT_TRUE(Same(ArcTan2(-0.0L, 0.0L), -0.0L));
    EXPECT_TRUE(Same(ArcTan2(0.0L, -0.0L), pi));
    EXPECT_TRUE(Same(ArcTan2(-0.0L, -0.0L), -pi));
    EXPECT_TRUE(Same(ArcTan2(-0.0L, -2.0L), -pi));
    EXPECT_TRUE(Same(ArcTan2(3.0L, 0.0L), halfPi));
    EXPECT_TRUE(Same(ArcTan2(-3.0L, -0.0L), -halfPi));
    EXPECT_TRUE(Same(ArcTan2(inf, inf), pi / 4));
    EXPECT_TRUE(Same(ArcTan2(-inf, -inf), -0x9.6cbe3f9990e91a8p-2L));
    EXPECT_TRUE(Same(ArcTan2(-5.0L, inf), -0.0L));
    EXPECT_TRUE(Same(ArcTan2(5.0L, -inf), pi));
    EXPECT_TRUE(Same(ArcTan2(inf, -5.0L), halfPi));
    EXPECT_TRUE(exact::IsNaN(ArcTan2(nan, 1.0L)));
    EXPECT_TRUE(exact::IsNaN(ArcTan2(1.0L, nan)));

    EXPECT_TRUE(Same(Sin(-0.0L), -0.0L));
    EXPECT_TRUE(Same(Cos(-0.0L), 1.0L));
    EXPECT_TRUE(Same(Sin(std::numeric_limits<Real>::denorm_min()), std::numeric_limits<Real>::denorm_min()));
    for (Real x : {inf, -inf, nan}) {
        EXPECT_TRUE(exact::IsNaN(Sin(x)));
        EXPECT_TRUE(exact::IsNaN(Cos(x)));
    }
}

// The functions' reductions take the nearest integer with the exact helpers;
// both forms must agree with the C library's in the default rounding mode,
// ties to even, on either side of zero and up to the largest magnitude the
// quick form accepts.
TEST(ExtendedMath, ExactNearestIntegersRoundHalfToEven) {
    int checked = 0;
    for (Real magnitude = 1; magnitude < 0x1p61L; magnitude *= 7.5L) {
        const Real whole = Floor(magnitude);
        for (Real fraction : {0.0L, 0.25L, 0.5L, 0.75L, 1.5L, 0x1p-40L, 0.5L - 0x1p-60L}) {
            for (Real sign : {1.0L, -1.0L}) {
                const Real x = sign * (whole + fraction);
                const Real expected = NearbyInt(x);
                EXPECT_EQ(exact::NearestSmall(x), expected) << static_cast<double>(x);  // the zero's sign aside
                EXPECT_EQ(exact::Nearest(x), expected) << static_cast<double>(x);
                ++checked;
            }
        }
    }
    EXPECT_GT(checked, 250);
}

}  // namespace
}  // namespace nivora::xmath
