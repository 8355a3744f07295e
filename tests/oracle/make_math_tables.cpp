// Writes src/engine/numbers/extended_math_tables.inc: the constants and tables of the
// engine's logarithm, arc tangent, sine and cosine, each computed by MPFR at
// 320 bits and rounded to nearest into one, two or three extended values.
// Usage: make_math_tables > src/engine/numbers/extended_math_tables.inc
#include <mpfr.h>

#include <cstdint>
#include <cstdio>
#include <string>

namespace {

constexpr mpfr_prec_t kWide = 320;

struct Wide {
    mpfr_t v;
    Wide() { mpfr_init2(v, kWide); }
    ~Wide() { mpfr_clear(v); }
    Wide(const Wide&) = delete;
    Wide& operator=(const Wide&) = delete;
};

// v rounded to nearest at `bits` significant bits, as an extended value.
long double Round(const mpfr_t v, int bits) {
    mpfr_t r;
    mpfr_init2(r, bits);
    mpfr_set(r, v, MPFR_RNDN);
    const long double out = mpfr_get_ld(r, MPFR_RNDN);  // exact: bits <= 64
    mpfr_clear(r);
    return out;
}

std::string Literal(long double x) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%LaL", x);
    return buf;
}

// Splits v into `parts` values of `bits[i]` significant bits each; every
// part is the rounding of what the earlier parts left.
void Parts(const mpfr_t v, int parts, const int* bits, long double* out) {
    Wide rest;
    mpfr_set(rest.v, v, MPFR_RNDN);
    for (int i = 0; i < parts; ++i) {
        out[i] = Round(rest.v, bits[i]);
        Wide part;
        mpfr_set_ld(part.v, out[i], MPFR_RNDN);
        mpfr_sub(rest.v, rest.v, part.v, MPFR_RNDN);
    }
}

void PrintParts(const char* name, const mpfr_t v, int parts, const int* bits) {
    long double out[8];
    Parts(v, parts, bits, out);
    std::printf("inline constexpr Real %s[%d] = {", name, parts);
    for (int i = 0; i < parts; ++i) std::printf("%s%s", i ? ", " : "", Literal(out[i]).c_str());
    std::printf("};\n");
}

void PrintRounded(const char* name, const mpfr_t v) {
    std::printf("inline constexpr Real %s = %s;\n", name, Literal(Round(v, 64)).c_str());
}

const int kDouble[2] = {64, 64};
const int kTriple[3] = {64, 64, 64};

}  // namespace

int main() {
    std::printf("// Written by tests/oracle/make_math_tables.cpp; do not edit.\n");
    std::printf("// Each constant is MPFR's value rounded to nearest, in parts whose sum\n");
    std::printf("// carries the value to the precision of all of them together.\n\n");

    Wide pi, t, u;
    mpfr_const_pi(pi.v, MPFR_RNDN);

    // pi and its simple fractions, each rounded once, for exact special cases.
    PrintRounded("kPiRounded", pi.v);
    mpfr_div_2ui(t.v, pi.v, 1, MPFR_RNDN);
    PrintRounded("kHalfPiRounded", t.v);
    mpfr_div_2ui(t.v, pi.v, 2, MPFR_RNDN);
    PrintRounded("kQuarterPiRounded", t.v);
    mpfr_mul_ui(t.v, pi.v, 3, MPFR_RNDN);
    mpfr_div_2ui(t.v, t.v, 2, MPFR_RNDN);
    PrintRounded("kThreeQuarterPiRounded", t.v);

    // pi/2 in three full parts, for adding angles.
    mpfr_div_2ui(t.v, pi.v, 1, MPFR_RNDN);
    PrintParts("kHalfPi", t.v, 3, kTriple);
    // pi/256 for reducing by n pi/256: three parts of 32 bits (n times each is
    // exact for |n| < 2^32) and two full ones; and 256/pi rounded, to find n.
    mpfr_div_2ui(u.v, pi.v, 8, MPFR_RNDN);
    {
        const int bits[5] = {32, 32, 32, 64, 64};
        PrintParts("kPiOver256Split", u.v, 5, bits);
    }
    mpfr_ui_div(u.v, 256, pi.v, MPFR_RNDN);
    PrintRounded("k256OverPi", u.v);
    // ln 2: two parts of 48 bits, so that e times each is exact for every
    // exponent of the format, and a full third.
    mpfr_const_log2(t.v, MPFR_RNDN);
    {
        const int bits[3] = {48, 48, 64};
        PrintParts("kLn2", t.v, 3, bits);
    }

    // The logarithm's table: for m in [k/256, (k+1)/256), k = 181..361,
    // 1/c rounded to 10 bits (c the middle of the interval; 1 itself where the
    // interval touches 1) and -ln of it in two parts.
    std::printf("\nstruct LnEntry {\n    Real inverse, lnHi, lnLo;\n};\n");
    std::printf("inline constexpr int kLnFirst = 181, kLnLast = 361;\n");
    std::printf("inline constexpr LnEntry kLnTable[kLnLast - kLnFirst + 1] = {\n");
    for (int k = 181; k <= 361; ++k) {
        long double inverse;
        if (k == 255 || k == 256) {
            inverse = 1;
        } else {
            mpfr_set_d(t.v, (k + 0.5) / 256, MPFR_RNDN);
            mpfr_ui_div(t.v, 1, t.v, MPFR_RNDN);
            inverse = Round(t.v, 10);
        }
        mpfr_set_ld(t.v, inverse, MPFR_RNDN);
        mpfr_log(t.v, t.v, MPFR_RNDN);
        mpfr_neg(t.v, t.v, MPFR_RNDN);
        long double parts[2];
        Parts(t.v, 2, kDouble, parts);
        std::printf("    {%s, %s, %s},\n", Literal(inverse).c_str(), Literal(parts[0]).c_str(),
                    Literal(parts[1]).c_str());
    }
    std::printf("};\n");

    // The arc tangent's table: atan(i/64), i = 0..64.
    std::printf("\nstruct AngleEntry {\n    Real hi, lo;\n};\n");
    std::printf("inline constexpr AngleEntry kAtanTable[65] = {\n");
    for (int i = 0; i <= 64; ++i) {
        mpfr_set_d(t.v, i / 64.0, MPFR_RNDN);
        mpfr_atan(t.v, t.v, MPFR_RNDN);
        long double parts[2];
        Parts(t.v, 2, kDouble, parts);
        std::printf("    {%s, %s},\n", Literal(parts[0]).c_str(), Literal(parts[1]).c_str());
    }
    std::printf("};\n");

    // The sine's and cosine's table: sin and cos of j pi/256, j = 0..127.
    std::printf("\nstruct SinCosEntry {\n    Real sinHi, sinLo, cosHi, cosLo;\n};\n");
    std::printf("inline constexpr SinCosEntry kSinCosTable[128] = {\n");
    for (int j = 0; j <= 127; ++j) {
        long double s[2], c[2];
        mpfr_mul_ui(t.v, pi.v, j, MPFR_RNDN);
        mpfr_div_2ui(t.v, t.v, 8, MPFR_RNDN);
        mpfr_sin(u.v, t.v, MPFR_RNDN);
        Parts(u.v, 2, kDouble, s);
        mpfr_cos(u.v, t.v, MPFR_RNDN);
        Parts(u.v, 2, kDouble, c);
        std::printf("    {%s, %s, %s, %s},\n", Literal(s[0]).c_str(), Literal(s[1]).c_str(), Literal(c[0]).c_str(),
                    Literal(c[1]).c_str());
    }
    std::printf("};\n");

    // 1/k and 1/k! in two parts, the series' coefficients.
    std::printf("\ninline constexpr AngleEntry kInverse[41] = {\n    {0, 0},\n");
    for (int k = 1; k <= 40; ++k) {
        mpfr_set_ui(t.v, 1, MPFR_RNDN);
        mpfr_div_ui(t.v, t.v, k, MPFR_RNDN);
        long double parts[2];
        Parts(t.v, 2, kDouble, parts);
        std::printf("    {%s, %s},\n", Literal(parts[0]).c_str(), Literal(parts[1]).c_str());
    }
    std::printf("};\n");
    std::printf("\ninline constexpr AngleEntry kInverseFactorial[31] = {\n");
    mpfr_set_ui(u.v, 1, MPFR_RNDN);
    for (int n = 0; n <= 30; ++n) {
        if (n > 0) mpfr_mul_ui(u.v, u.v, n, MPFR_RNDN);
        mpfr_ui_div(t.v, 1, u.v, MPFR_RNDN);
        long double parts[2];
        Parts(t.v, 2, kDouble, parts);
        std::printf("    {%s, %s},\n", Literal(parts[0]).c_str(), Literal(parts[1]).c_str());
    }
    std::printf("};\n");

    // The bits of 2/pi after the binary point, 32 to a word, far enough for
    // the reduction of the largest finite argument.
    constexpr int kWords = 540;
    {
        mpfr_t big;
        mpfr_init2(big, 32 * kWords + 128);
        mpfr_const_pi(big, MPFR_RNDN);
        mpfr_ui_div(big, 2, big, MPFR_RNDN);
        std::printf("\ninline constexpr int kTwoOverPiWords = %d;\n", kWords);
        std::printf("inline constexpr std::uint32_t kTwoOverPiBits[kTwoOverPiWords] = {");
        for (int i = 0; i < kWords; ++i) {
            mpfr_mul_2ui(big, big, 32, MPFR_RNDN);
            const unsigned long word = mpfr_get_ui(big, MPFR_RNDZ);
            mpfr_sub_ui(big, big, word, MPFR_RNDN);
            std::printf("%s0x%08lxu", i % 6 ? ", " : (i ? ",\n    " : "\n    "), word);
        }
        std::printf("};\n");
        mpfr_clear(big);
    }
    return 0;
}
