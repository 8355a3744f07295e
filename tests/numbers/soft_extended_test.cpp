// The integer extended type against the x87 unit, bit for bit, and its
// division and square root against MPFR. The x87 results come from long
// double arithmetic, which GCC compiles to fadd, fsub, fmul, fdiv, fsqrt,
// fucomi, frndint and fistp in the default control word (64-bit precision,
// nearest even, every exception masked).
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "numbers/operand_source.h"
#include "oracle/mpfr_reference.h"

namespace nivora::numbers {
namespace {

// Keeps the compiler from folding the hardware operations.
long double Opaque(long double v) {
    volatile long double k = v;
    return k;
}

long double X87Sqrt(long double x) {
    long double r;
    __asm__("fsqrt" : "=t"(r) : "0"(x));
    return r;
}

struct BinaryOperation {
    const char* name;
    std::function<SoftExtended(SoftExtended, SoftExtended)> soft;
    std::function<long double(long double, long double)> x87;
};

const BinaryOperation kArithmetic[] = {
    {"+", [](SoftExtended a, SoftExtended b) { return a + b; }, [](long double a, long double b) { return a + b; }},
    {"-", [](SoftExtended a, SoftExtended b) { return a - b; }, [](long double a, long double b) { return a - b; }},
    {"*", [](SoftExtended a, SoftExtended b) { return a * b; }, [](long double a, long double b) { return a * b; }},
    {"/", [](SoftExtended a, SoftExtended b) { return a / b; }, [](long double a, long double b) { return a / b; }},
};

// Every comparison as one number: the six results as bits.
int Comparisons(SoftExtended a, SoftExtended b) {
    return (a == b) | (a != b) << 1 | (a < b) << 2 | (a <= b) << 3 | (a > b) << 4 | (a >= b) << 5;
}
int Comparisons(long double a, long double b) {
    return (a == b) | (a != b) << 1 | (a < b) << 2 | (a <= b) << 3 | (a > b) << 4 | (a >= b) << 5;
}

// Counts and reports the first few mismatches of one operation.
class Mismatches {
public:
    explicit Mismatches(const char* operation) : operation_(operation) {}
    ~Mismatches() { EXPECT_EQ(count_, 0) << count_ << " results of " << operation_ << " differ"; }

    // `what` describes the case; it is called only for a mismatch.
    template <class Describe>
    void Check(bool same, Describe&& what) {
        if (same) return;
        if (++count_ <= 10) ADD_FAILURE() << operation_ << ": " << what();
    }

private:
    const char* operation_;
    long count_ = 0;
};

// Both operations on one pair, with everything a caller wants to see when
// the bits differ.
void CheckPair(const BinaryOperation& op, SoftExtended a, SoftExtended b, Mismatches& mismatches) {
    const SoftExtended soft = op.soft(a, b);
    const long double hard = op.x87(Opaque(Hardware(a)), Opaque(Hardware(b)));
    if (!SameBits(soft, hard))
        mismatches.Check(false, [&] { return Hex(a) + " " + op.name + " " + Hex(b) + " = " + Hex(Soft(hard)) + ", not " + Hex(soft); });
}

void CheckUnary(SoftExtended a, Mismatches& mismatches) {
    const long double x = Opaque(Hardware(a));
    auto same = [&](const char* name, SoftExtended soft, long double hard) {
        mismatches.Check(SameBits(soft, hard),
                         [&] { return std::string(name) + "(" + Hex(a) + ") = " + Hex(Soft(hard)) + ", not " + Hex(soft); });
    };
    same("sqrt", Sqrt(a), X87Sqrt(x));
    same("nearbyint", NearbyInt(a), std::nearbyint(x));
    same("floor", Floor(a), std::floor(x));
    same("neg", -a, -x);
    same("fabs", Fabs(a), std::fabs(x));
    mismatches.Check(LlRint(a) == std::llrint(x), [&] { return "llrint(" + Hex(a) + ")"; });
    const double d = static_cast<double>(x), softD = static_cast<double>(a);
    mismatches.Check(std::memcmp(&d, &softD, sizeof d) == 0 || (d != d && softD != softD),
                     [&] { return "to double (" + Hex(a) + ")"; });
    if (d == d) same("from double", SoftExtended(d), static_cast<long double>(d));
    if (std::fabs(x) < 0x1p62L) {  // where truncation to an integer is defined
        mismatches.Check(static_cast<long long>(a) == static_cast<long long>(x), [&] { return "to long long (" + Hex(a) + ")"; });
        const auto i = static_cast<long long>(x);
        same("from long long", SoftExtended(i), static_cast<long double>(i));
    }
}

TEST(SoftExtendedAgainstX87, ArithmeticAndComparisonsOnRandomPairs) {
    const long pairs = PairCount(1000000);
    for (const BinaryOperation& op : kArithmetic) {
        OperandSource source(0x5eed0000 + static_cast<unsigned char>(op.name[0]));
        Mismatches mismatches(op.name);
        for (long i = 0; i < pairs; ++i) {
            const SoftExtended a = source.Any();
            CheckPair(op, a, source.Near(a), mismatches);
        }
    }
    OperandSource source(7);
    Mismatches mismatches("comparison");
    for (long i = 0; i < pairs; ++i) {
        const SoftExtended a = source.Any();
        const SoftExtended b = source.Below(4) == 0 ? a : source.Near(a);
        mismatches.Check(Comparisons(a, b) == Comparisons(Opaque(Hardware(a)), Opaque(Hardware(b))),
                         [&] { return Hex(a) + " ? " + Hex(b); });
    }
}

TEST(SoftExtendedAgainstX87, RootsRoundingAndConversionsOnRandomValues) {
    const long count = PairCount(1000000);
    OperandSource source(11);
    Mismatches mismatches("unary");
    for (long i = 0; i < count; ++i) CheckUnary(source.Any(), mismatches);
}

// Every pair of the hard values, each with a few of its neighbours: ties,
// carries out of the significand, subnormal results, overflow, 0 x inf,
// inf - inf, signs of zero and NaN operands.
TEST(SoftExtendedAgainstX87, HardCases) {
    std::vector<SoftExtended> values = HardValues();
    const std::size_t base = values.size();
    for (std::size_t i = 0; i < base; ++i) {
        const SoftExtended v = values[i];
        if (!v.IsFinite() || v.IsZero()) continue;
        for (int d : {-1, 1})  // the neighbours one unit away, where they share the field
            if (v.ExponentField() != 0 && ((v.Significand() + d) & SoftExtended::kIntegerBit))
                values.push_back(SoftExtended::FromBits(v.SignBit(), v.ExponentField(), v.Significand() + d));
    }
    Mismatches arithmetic("hard pairs"), unary("hard values");
    long checked = 0;
    for (SoftExtended a : values) {
        CheckUnary(a, unary);
        for (SoftExtended b : values) {
            for (const BinaryOperation& op : kArithmetic) CheckPair(op, a, b, arithmetic), ++checked;
            arithmetic.Check(Comparisons(a, b) == Comparisons(Hardware(a), Hardware(b)), [&] { return Hex(a) + " ? " + Hex(b); });
        }
    }
    EXPECT_EQ(checked, static_cast<long>(4 * values.size() * values.size()));
    EXPECT_GT(values.size(), HardValues().size());  // the neighbours were added
    // A few results stated outright, as the hardware gives them.
    EXPECT_TRUE(SameBits(SoftExtended(0.0) * SoftExtended::Infinity(), Opaque(0.0L) * Opaque(HUGE_VALL)));
    EXPECT_EQ(Hex(SoftExtended::Infinity() - SoftExtended::Infinity()), "-7fff:c000000000000000");
    EXPECT_EQ(Hex(SoftExtended(-0.0) + SoftExtended(-0.0)), "-0:0");
    EXPECT_EQ(Hex(SoftExtended(5) - SoftExtended(5)), "+0:0");
}

// The product from 32-bit halves and the quotient from 32-bit digits that
// processors without a 64x64 -> 128 multiplication or a 128-bit division use
// (wasm32), against the compiler's, on the words whose carries between
// halves and whose digit corrections are hardest and on random ones.
TEST(SoftExtendedAgainstX87, ProductAndQuotientOfHalvesAreTheFullOnes) {
    std::vector<std::uint64_t> words = {0, 1, 0xffffffffu, 0x100000000u, 0xffffffff00000000u, ~0ull,
                                        SoftExtended::kIntegerBit, SoftExtended::kIntegerBit | 1, 0x8000000080000000u};
    OperandSource source(17);
    for (int i = 0; i < 2000; ++i) words.push_back(source.Any().Significand());
    Mismatches mismatches("words by halves");
    for (std::uint64_t a : words)
        for (std::uint64_t b : words) {
            std::uint64_t high, low;
            SoftExtended::MultiplyHalves(a, b, high, low);
            const unsigned __int128 p = static_cast<unsigned __int128>(a) * b;
            mismatches.Check(high == static_cast<std::uint64_t>(p >> 64) && low == static_cast<std::uint64_t>(p),
                             [&] { return std::to_string(a) + " * " + std::to_string(b); });
            // (a mod d) 2^64 + b over d = a with its top bit set: every
            // dividend whose quotient fits a word.
            const std::uint64_t d = a | SoftExtended::kIntegerBit, top = b % d;
            std::uint64_t remainder;
            const std::uint64_t q = SoftExtended::DivideHalves(top, a, d, remainder);
            const unsigned __int128 n = static_cast<unsigned __int128>(top) << 64 | a;
            mismatches.Check(q == static_cast<std::uint64_t>(n / d) && remainder == static_cast<std::uint64_t>(n % d),
                             [&] { return std::to_string(top) + ":" + std::to_string(a) + " / " + std::to_string(d); });
        }
}

// The value, without regard to NaN payloads (MPFR has none).
bool SameValue(SoftExtended a, long double b) { return a.IsNaN() ? b != b : SameBits(a, b); }

TEST(SoftExtendedAgainstMpfr, DivisionAndSquareRoot) {
    const long count = PairCount(1000000) / 5;
    oracle::Reference mpfr;
    OperandSource source(13);
    Mismatches division("division"), root("square root");
    for (long i = 0; i < count; ++i) {
        const SoftExtended a = source.Any(), b = source.Near(a);
        division.Check(SameValue(a / b, mpfr.Divide(Hardware(a), Hardware(b))), [&] { return Hex(a) + " / " + Hex(b); });
        const SoftExtended c = Fabs(a);
        root.Check(SameValue(Sqrt(c), mpfr.Root(Hardware(c))), [&] { return "sqrt " + Hex(c); });
    }
}

}  // namespace
}  // namespace nivora::numbers
