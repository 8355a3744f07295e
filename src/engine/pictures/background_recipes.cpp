#include "engine/pictures/background_recipes.h"

#include "engine/numbers/extended_math.h"
#include "engine/numbers/inline_sine.h"
#include "engine/pictures/generator_counts.h"

namespace nivora {
namespace {

using xmath::Fabs;
using xmath::Ln;
using xmath::Real;
using xmath::Sqrt;

// The sine and cosine inline: the orbits below chain them, and keep their
// values in the x87 registers across them. Objects rather than functions, so
// that the calls look no further: with the integer type, xmath::Sin would be
// found through the argument too, and the call would be ambiguous.
constexpr auto Sin = [](Real x) __attribute__((always_inline)) { return xmath::inlined::Sin(x); };
constexpr auto Cos = [](Real x) __attribute__((always_inline)) { return xmath::inlined::Cos(x); };

// The multiples of pi, each rounded once to extended precision.
constexpr Real kPi = xmath::kPi;
constexpr Real kHalfPi = kPi / 2;
constexpr Real k2Pi = 2 * kPi;
constexpr Real k3Pi = 3 * kPi;
constexpr Real k5Pi = 5 * kPi;
constexpr Real k8Pi = 8 * kPi;

inline Real Square(Real a) { return a * a; }
inline Real SinSquared(Real a) {
    const Real s = Sin(a);
    return s * s;
}
inline Real CosSquared(Real a) {
    const Real c = Cos(a);
    return c * c;
}

using Point = RecipePoint;

// Recipes 1, 2 and 20 share one three-step scheme and differ in coefficients.
struct OrbitCoefficients {
    Real K1, K2, K3, K4;
    bool mirroredStart;  // Y_0 = 1 - v/2 instead of v/2
    bool squaredZ;
};

RecipeValues ThreeStepOrbit(const Point& p, const OrbitCoefficients& k) {
    Real FieldOrbitX[4], FieldOrbitY[4], FieldOrbitZ[4];
    FieldOrbitX[0] = 0.5L * p.u;
    FieldOrbitY[0] = k.mirroredStart ? 1 - 0.5L * p.v : 0.5L * p.v;
    FieldOrbitZ[0] = 0.1L * Ln(Square(FieldOrbitY[0]) + Square(FieldOrbitX[0]) + 1e-6L);
    // A coefficient of 1 multiplies exactly, so sin(1 * x) is sin(x): such
    // sines are taken once and shared with the Z sum.
    Real sinY = k.K4 == 1 ? Sin(FieldOrbitY[0]) : 0;
    for (int i = 0; i < 3; ++i) {
        const Real x = FieldOrbitX[i], y = FieldOrbitY[i], z = FieldOrbitZ[i];
        const Real sinX = Sin(x);
        const Real sinK1X = k.K1 == 1 ? sinX : Sin(k.K1 * x);
        const Real sinK4Y = k.K4 == 1 ? sinY : Sin(k.K4 * y);
        FieldOrbitX[i + 1] = sinK1X + k.K2 * Sin(k.K3 * y) + 0.05L * Sin(k5Pi * z) + 0.072L;
        FieldOrbitY[i + 1] = sinK4Y + k.K2 * Sin(k5Pi * x) + 0.05L * Cos(k8Pi * z) + 0.072L;
        sinY = Sin(FieldOrbitY[i + 1]);
        const Real sum = sinX + sinY;
        FieldOrbitZ[i + 1] = k.squaredZ ? sum * sum : sum;
    }
    return {FieldOrbitZ[1], FieldOrbitZ[2], FieldOrbitZ[3]};
}

RecipeValues Recipe1(const Point& p) { return ThreeStepOrbit(p, {kPi, 0.02L, k3Pi, 1, true, false}); }

RecipeValues Recipe2(const Point& p) {
    const RecipeValues z = ThreeStepOrbit(p, {1.2L, 0.01L, kPi, 1.2L, false, true});
    return {z.p2, z.p1, z.p0};
}

RecipeValues Recipe20(const Point& p) { return ThreeStepOrbit(p, {1, 0.02L, k3Pi, kPi, false, false}); }

RecipeValues Recipe3(const Point& p) {
    Real FieldOrbitX[4], FieldOrbitY[4], FieldOrbitZ[4];
    FieldOrbitX[0] = 0.5L * p.u + 0.1L;
    FieldOrbitY[0] = 0.5L * p.v;
    FieldOrbitZ[0] = 0.2L * Ln(Square(FieldOrbitY[0]) + Square(FieldOrbitX[0]) + 1e-6L);
    for (int i = 0; i < 3; ++i) {
        const Real x = FieldOrbitX[i], y = FieldOrbitY[i], z = FieldOrbitZ[i];
        FieldOrbitX[i + 1] = Cos(kHalfPi * x) + 0.2L * Sin(2 * y + 3 * z);
        FieldOrbitY[i + 1] = Sin(kHalfPi * y) + 0.2L * Sin(4 * x + 5 * z);
        FieldOrbitZ[i + 1] = Fabs(Sin(x) + Sin(FieldOrbitY[i + 1]));
    }
    return {FieldOrbitZ[3], FieldOrbitZ[2], FieldOrbitZ[1]};
}

RecipeValues Recipe4(const Point& p) {
    const Real X0 = Sqrt(p.u + 0.1L);
    const Real Y0 = Sqrt(p.v + 0.1L);
    const Real Z0 = 0.1L * Ln(Square(p.v - 0.5L) + Square(p.u - 0.5L) + 0.1L);
    const Real p0 = X0 + Z0;
    const Real p1 = Y0 + Z0;
    return {p0, p1, Z0 + p1 + p0};
}

RecipeValues Recipe5(const Point& p) {
    const Real X0 = 1 - Fabs(1 - p.twoXOverW);
    const Real Y0 = 1 - Fabs(1 - p.twoYOverH);
    return {SinSquared(X0), SinSquared(Y0), SinSquared(X0 + Y0)};
}

RecipeValues Recipe6(const Point& p) {
    const Real X0 = 0.7L - Fabs(0.5L - p.u);
    const Real Y0 = 0.7L - Fabs(0.5L - p.v);
    const Real p0 = 0.5L * X0 + 0.5L * Y0;
    const Real p1 = 0.5L * Y0 + 0.5L * X0;
    return {p0, p1, 0.5L * (p0 + Y0) + 0.5L * (X0 + p1)};
}

RecipeValues Recipe7(const Point& p) {
    const Real X0 = p.u * kPi / 2;
    const Real Y0 = p.v * kPi / 2;
    const Real sinX = Sin(X0), sinY = Sin(Y0);
    const Real q = Square(sinY * sinX);
    return {sinX * sinX + q, sinY * sinY + q, SinSquared(X0 + Y0) + q};
}

RecipeValues Recipe8(const Point& p) {
    const Real X0 = p.u / 2;
    const Real Y0 = p.v / 2;
    const Real Z0 = Ln(Square(Y0) + Square(X0) + 0.1L);
    const Real cosY0 = Cos(Y0);
    const Real X1 = Cos(X0) - Sin(Y0) - Sin(Z0) + Sin(X0);
    const Real Y1 = cosY0 + Sin(X1) + Cos(Z0) + cosY0;
    const Real Z1 = Ln(Square(Y1) * Square(X1) + 0.5L);
    auto lift = [](Real t) { return Fabs(t) + Sqrt(Fabs(t)) / 5; };
    return {lift(X1), lift(Y1), lift(Z1)};
}

RecipeValues Recipe9(const Point& p) {
    Real FieldOrbitX[4], FieldOrbitY[4], FieldOrbitZ[4];
    FieldOrbitX[0] = 2 * Fabs(0.5L - p.u);
    FieldOrbitY[0] = 2 * Fabs(0.5L - p.v);
    const Real cx = Cos(FieldOrbitX[0]);
    const Real sy = Sin(FieldOrbitY[0]);
    for (int i = 0; i < 3; ++i) {
        const Real x = FieldOrbitX[i], y = FieldOrbitY[i];
        FieldOrbitX[i + 1] = (Square(x) - Square(y)) * cx;
        FieldOrbitY[i + 1] = x * y + sy;
        FieldOrbitZ[i + 1] = 0.15L * Ln(Square(FieldOrbitY[i + 1]) * Square(FieldOrbitX[i + 1]) + 0.0001L);
    }
    return {Fabs(Sin(FieldOrbitZ[1])), Fabs(Sin(FieldOrbitZ[2])), Fabs(Sin(FieldOrbitZ[3]))};
}

// Recipes 10 (K = 1) and 11 (K = 2).
RecipeValues ShiftedRamps(const Point& p, Real K) {
    const Real X0 = K - (1 - p.twoXOverW);
    const Real Y0 = K - (1 - p.twoYOverH);
    const Real Z0 = 0.1L * Ln(Square(2 * (p.v - 0.5L)) + Square(2 * (p.u - 0.5L)) + 0.01L);
    return {Fabs(Y0) + SinSquared(X0), Fabs(X0) + SinSquared(Y0),
            Fabs(Z0) + SinSquared(Z0 + X0 + Y0)};
}

RecipeValues Recipe12(const Point& p) {
    const Real X0 = Fabs(2 * (p.u - 0.5L));
    const Real Y0 = Fabs(2 * (p.v - 0.5L));
    return {Fabs(Sin(X0)) - Fabs(Y0), Fabs(Sin(Y0)) - Fabs(X0),
            Fabs(Sin(X0 + Y0)) - Fabs(X0 - Y0)};
}

// Recipes 13 to 18 feed a first p0 through p1 and p2 into the final p0.
RecipeValues Recipe13(const Point& p) {
    const Real a = p.u * kPi + kPi;
    const Real b = p.v * kPi;
    const Real sinA = Sin(a), sinB = Sin(b);
    const Real r = Sqrt(sinB * sinB + sinA * sinA + 1e-6L);
    Real p0 = sinA + 0.1L * Square(sinB + sinA);
    const Real p1 = sinB + 0.2L * Square(Sin(b + r) + Sin(kPi * p0));
    const Real p2 = Sin(r) + 0.3L * SinSquared(p1 + p0);
    p0 = sinA + 0.4L * SinSquared(p1 + p2);
    return {p0, p1, p2};
}

RecipeValues Recipe14(int y, int H, const Point& p) {
    const Real a = p.u + kHalfPi;
    const Real b = static_cast<Real>(y) * kPi / 2 / static_cast<Real>(H) + kPi;
    const Real sinA = Sin(a), sinB = Sin(b);
    const Real r = Sqrt(sinB * sinB + sinA * sinA + 1e-6L);
    Real p0 = Sin(sinA + 0.02L * SinSquared(k3Pi * b));
    const Real p1 = Sin(sinB + 0.02L * SinSquared(k5Pi * p0 * r));
    const Real p2 = Sin(Sin(r) + 0.2L * SinSquared(k8Pi * p0 * p1));
    p0 = Sin(p0 + 0.2L * SinSquared(13 * p1 * p2));
    return {p0, p1, p2};
}

RecipeValues Recipe15(const Point& p) {
    const Real a = 0.5L * (1 - p.twoXOverW);
    const Real b = 0.5L * (1 - p.twoYOverH);
    const Real r = Sqrt(Square(b) + Square(a) + 1e-6L) + 0.5L;
    const Real sinA = Sin(kHalfPi * a);
    Real p0 = sinA + 0.1L * Cos(k5Pi * r);
    const Real p1 = Sin(kHalfPi * b) + 0.1L * Sin(k5Pi * p0);
    const Real p2 = Sin(kHalfPi * r) + 0.02L * Sin(k5Pi * (p1 + a));
    p0 = sinA + 0.02L * Cos(k5Pi * p2);
    return {p0, p1, p2};
}

RecipeValues Recipe16(const Point& p) {
    const Real a = 0.5L * p.u;
    const Real b = 0.5L * p.v;
    const Real r = Sqrt(Square(b) + Square(a) + 1e-6L);
    const Real sinA = Sin(kPi * a);
    Real p0 = sinA + 0.1L * CosSquared(k3Pi * r * b);
    const Real p1 = Sin(kPi * b) + 0.1L * SinSquared(k5Pi * p0 * r);
    const Real p2 = Sin(kPi * r) + 0.1L * SinSquared(k8Pi * p1 * a);
    p0 = sinA + 0.1L * CosSquared(k3Pi * p2 * b);
    return {p0, p1, p2};
}

RecipeValues Recipe17(const Point& p) {
    const Real a = Square(p.u) + 0.5L;
    const Real b = Square(p.v);
    const Real r = Sqrt(Square(b) + Square(a) + 1e-6L);
    Real p0 = Sin(a) + 0.02L * Cos(k2Pi * (r + b));
    const Real p1 = Sin(b) + 0.02L * Sin(k3Pi * (a + r));
    const Real p2 = Sin(r) + 0.02L * Sin(k5Pi * (b + a));
    p0 = p0 + 0.1L * CosSquared(k3Pi * p2 * b);
    return {p0, p1, p2};
}

RecipeValues Recipe18(int y, int H, const Point& p) {
    const Real a = 0.5L * p.u;
    const Real b = 0.2L * static_cast<Real>(y) / static_cast<Real>(H);
    const Real r = Sqrt(SinSquared(b) + SinSquared(a) + 1e-6L);
    Real p0 = Sin(a + 0.1L * Sin(k8Pi * Sin(kPi * b * r)));
    const Real p1 = Sin(b + 0.1L * Sin(k5Pi * Sin(k2Pi * r * p0)));
    const Real p2 = Sin(r + 0.1L * Sin(k3Pi * Sin(k3Pi * p1 * p0)));
    p0 = Sin(p0 + 0.1L * Sin(kPi * Sin(p1 * p2)));
    return {p0, p1, p2};
}

RecipeValues Recipe19(const Point& p) {
    const Real a = p.u, b = p.v;
    const Real t1 = Sin(a + 0.1L * Cos(k3Pi * a) + 0.1L * Sin(k3Pi * b));
    const Real t2 = Sin(b + 0.1L * Sin(k5Pi * a) + 0.1L * Cos(k3Pi * b));
    const Real t3 = Sin(a * b + 0.1L * Cos(t1) + 0.1L * Sin(t2));
    return {Square(t1) + Sqrt(Fabs(t3) + 0.001L) / 2, Square(t2) + Sqrt(Fabs(t1) + 0.001L) / 2,
            Square(t3) + Sqrt(Fabs(t2) + 0.001L) / 2};
}

}  // namespace

RecipePoint PointOf(int x, int y, int W, int H) {
    const Real w = W, h = H;
    return {static_cast<Real>(x) / w, static_cast<Real>(y) / h, static_cast<Real>(2 * x) / w,
            static_cast<Real>(2 * y) / h};
}

RecipeValues EvaluateRecipe(int n, int x, int y, int W, int H) {
    if (n < 1 || n > kBackgroundRecipes) return {};
    return EvaluateRecipeAt(n, PointOf(x, y, W, H), y, H);
}

RecipeValues EvaluateRecipeAt(int n, const RecipePoint& p, int y, int H) {
    switch (n) {
        case 1: return Recipe1(p);
        case 2: return Recipe2(p);
        case 3: return Recipe3(p);
        case 4: return Recipe4(p);
        case 5: return Recipe5(p);
        case 6: return Recipe6(p);
        case 7: return Recipe7(p);
        case 8: return Recipe8(p);
        case 9: return Recipe9(p);
        case 10: return ShiftedRamps(p, 1);
        case 11: return ShiftedRamps(p, 2);
        case 12: return Recipe12(p);
        case 13: return Recipe13(p);
        case 14: return Recipe14(y, H, p);
        case 15: return Recipe15(p);
        case 16: return Recipe16(p);
        case 17: return Recipe17(p);
        case 18: return Recipe18(y, H, p);
        case 19: return Recipe19(p);
        case 20: return Recipe20(p);
        default: return {};
    }
}

}  // namespace nivora
