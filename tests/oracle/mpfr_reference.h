// MPFR as the reference for the extended-precision functions: each value
// correctly rounded to nearest at 64 bits within the x87 extended exponent
// range, subnormals included.
#pragma once

#include <mpfr.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

namespace nivora::oracle {

enum class Function { Ln, Sin, Cos, ArcTan2 };

inline const char* NameOf(Function f) {
    switch (f) {
        case Function::Ln: return "ln";
        case Function::Sin: return "sin";
        case Function::Cos: return "cos";
        default: return "atan2";
    }
}

class Reference {
public:
    Reference() {
        // MPFR's exponents are those of a significand in [1/2, 1): the
        // smallest subnormal 2^-16445 is 0.5 * 2^-16444.
        mpfr_set_emin(-16444);
        mpfr_set_emax(16384);
        mpfr_inits2(64, a_, b_, r_, static_cast<mpfr_ptr>(nullptr));
    }
    ~Reference() { mpfr_clears(a_, b_, r_, static_cast<mpfr_ptr>(nullptr)); }
    Reference(const Reference&) = delete;
    Reference& operator=(const Reference&) = delete;

    // f(x), or atan2(x, y) for the arc tangent.
    long double operator()(Function f, long double x, long double y = 0) {
        mpfr_set_ld(a_, x, MPFR_RNDN);
        mpfr_set_ld(b_, y, MPFR_RNDN);
        int inexact = 0;
        switch (f) {
            case Function::Ln: inexact = mpfr_log(r_, a_, MPFR_RNDN); break;
            case Function::Sin: inexact = mpfr_sin(r_, a_, MPFR_RNDN); break;
            case Function::Cos: inexact = mpfr_cos(r_, a_, MPFR_RNDN); break;
            case Function::ArcTan2: inexact = mpfr_atan2(r_, a_, b_, MPFR_RNDN); break;
        }
        return Finish(inexact);
    }

    // a / b and the square root of a: the basic operations' reference.
    long double Divide(long double a, long double b) {
        mpfr_set_ld(a_, a, MPFR_RNDN);
        mpfr_set_ld(b_, b, MPFR_RNDN);
        return Finish(mpfr_div(r_, a_, b_, MPFR_RNDN));
    }
    long double Root(long double a) {
        mpfr_set_ld(a_, a, MPFR_RNDN);
        return Finish(mpfr_sqrt(r_, a_, MPFR_RNDN));
    }

private:
    long double Finish(int inexact) {
        mpfr_subnormalize(r_, inexact, MPFR_RNDN);
        return mpfr_get_ld(r_, MPFR_RNDN);
    }
    mpfr_t a_, b_, r_;
};

// The same value: equal bits (zeros' signs count), or both NaN.
inline bool SameValue(long double a, long double b) {
    if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
    return a == b && std::signbit(a) == std::signbit(b);
}

// |got - want| in units in the last place of want.
inline double UlpsApart(long double got, long double want) {
    if (SameValue(got, want)) return 0;
    if (!std::isfinite(got) || !std::isfinite(want)) return INFINITY;
    const int e = want == 0 ? -16445 : std::max(std::ilogb(want) - 63, -16445);
    return static_cast<double>(std::fabs(got - want) / std::ldexp(1.0L, e));
}

// Hexadecimal floating-point text, exact both ways.
inline std::string Hex(long double x) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%La", x);
    return buf;
}

}  // namespace nivora::oracle
