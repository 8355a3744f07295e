// The 80-bit extended format of the x87 unit, computed in integers: a 64-bit
// significand with an explicit integer bit, a 15-bit exponent biased by 16383
// and a sign, stored in the same ten bytes (little-endian) as the hardware
// stores it. Every operation rounds once, to nearest with ties to even, with
// subnormals, signed zeros, infinities and NaNs as IEEE 754 defines them, so
// that a processor without the x87 unit computes the same bits as one with.
//
// NaNs follow the x87 rules, which the tests compare bit for bit: an invalid
// operation (0 x inf, inf - inf, 0 / 0, inf / inf, the root of a negative)
// gives the "indefinite" NaN, negative with significand 0xC000000000000000;
// a NaN operand is returned quieted; of two NaN operands the one with the
// larger significand wins (a quiet one before a signalling one). The engine
// never looks inside a NaN, but its fingerprints hash the raw bytes of its
// values, so even a NaN must be the hardware's.
//
// Only canonical encodings are handled: the unnormals and pseudo-NaNs of the
// 80-bit format (integer bit at odds with the exponent) are never produced by
// any operation here or on the x87 unit, so nothing meets them.
#pragma once

#include <bit>
#include <cfloat>
#include <cstdint>
#include <cstring>
#include <limits>
#include <type_traits>
#include <utility>

#include "engine/numbers/wide_words.h"

static_assert(LDBL_MANT_DIG == 53 || LDBL_MANT_DIG == 64 || LDBL_MANT_DIG == 113,
              "long double is binary64, x87 extended or binary128");

namespace nivora::xmath {

class SoftExtended {
public:
    using U128 = unsigned __int128;

    static constexpr int kBias = 16383;
    static constexpr std::uint16_t kMaxField = 0x7fff;
    static constexpr std::uint64_t kIntegerBit = 0x8000000000000000ull;
    static constexpr std::uint64_t kQuietBit = 0x4000000000000000ull;
    // The exponent of a subnormal's least significant bit, and of a normal
    // number's when its field is 1.
    static constexpr int kMinLsbExponent = 1 - kBias - 63;

    constexpr SoftExtended() = default;

    template <class T>
        requires std::is_integral_v<T>
    constexpr SoftExtended(T v) {  // exact: at most 64 significant bits
        if constexpr (std::is_signed_v<T>) {
            const bool negative = v < 0;
            const std::uint64_t m = negative ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
            *this = Pack(negative, 0, m);
        } else {
            *this = Pack(false, 0, static_cast<std::uint64_t>(v));
        }
    }

    constexpr SoftExtended(double v) { *this = FromDouble(v); }
    constexpr SoftExtended(float v) : SoftExtended(static_cast<double>(v)) {}
    constexpr SoftExtended(long double v) { *this = FromLongDouble(v); }

    static constexpr SoftExtended FromBits(bool negative, std::uint16_t field, std::uint64_t significand) {
        SoftExtended r;
        r.sig_ = significand;
        r.se_ = static_cast<std::uint16_t>((negative ? 0x8000 : 0) | (field & kMaxField));
        return r;
    }

    // The 128-bit product of two 64-bit words from four 32-bit products,
    // for processors without a 64x64 -> 128 multiplication.
    static constexpr void MultiplyHalves(std::uint64_t a, std::uint64_t b, std::uint64_t& high, std::uint64_t& low) {
        words::MultiplyHalves(a, b, high, low);
    }

    // (high 2^64 + low) / d in 64-bit words, for d with its top bit set and
    // high < d, as processors without a 128-bit division compute it.
    static constexpr std::uint64_t DivideHalves(std::uint64_t high, std::uint64_t low, std::uint64_t d,
                                                std::uint64_t& remainder) {
        return words::DivideHalves(high, low, d, remainder);
    }

    constexpr std::uint64_t Significand() const { return sig_; }
    constexpr std::uint16_t ExponentField() const { return se_ & kMaxField; }
    constexpr bool SignBit() const { return (se_ & 0x8000) != 0; }

    constexpr bool IsNaN() const { return ExponentField() == kMaxField && (sig_ << 1) != 0; }
    constexpr bool IsInf() const { return ExponentField() == kMaxField && (sig_ << 1) == 0; }
    constexpr bool IsZero() const { return ExponentField() == 0 && sig_ == 0; }
    constexpr bool IsFinite() const { return ExponentField() != kMaxField; }

    static constexpr SoftExtended Infinity(bool negative = false) { return FromBits(negative, kMaxField, kIntegerBit); }
    static constexpr SoftExtended Zero(bool negative = false) { return FromBits(negative, 0, 0); }
    // What an invalid operation gives on the x87 unit.
    static constexpr SoftExtended Indefinite() { return FromBits(true, kMaxField, kIntegerBit | kQuietBit); }
    static constexpr SoftExtended QuietNaN() { return FromBits(false, kMaxField, kIntegerBit | kQuietBit); }

    // value = m * 2^exponent rounded once to the format (m may have up to 128
    // bits; a caller that dropped bits must have ORed a 1 into bit 0 and kept
    // at least two bits below the format's last place).
    static constexpr SoftExtended Pack(bool negative, int exponent, U128 m) {
        if (m == 0) return Zero(negative);
        const int length = BitLength(m);
        const int top = exponent + length - 1;  // value in [2^top, 2^(top+1))
        int lsb = top - 63;
        if (lsb < kMinLsbExponent) lsb = kMinLsbExponent;
        const int shift = lsb - exponent;
        std::uint64_t q;
        if (shift <= 0) {
            q = static_cast<std::uint64_t>(m << -shift);
        } else {
            U128 quotient, rest, half;
            if (shift >= 129) {
                quotient = 0, rest = m, half = ~U128{0};  // below half of the last place
            } else if (shift == 128) {
                quotient = 0, rest = m, half = U128{1} << 127;
            } else {
                quotient = m >> shift;
                rest = m & ((U128{1} << shift) - 1);
                half = U128{1} << (shift - 1);
            }
            q = static_cast<std::uint64_t>(quotient);
            if (rest > half || (rest == half && (q & 1))) {
                ++q;
                if (q == 0) {  // carried out of the significand
                    q = kIntegerBit;
                    ++lsb;
                }
            }
        }
        if (!(q & kIntegerBit)) return FromBits(negative, 0, q);  // subnormal or zero
        const int field = lsb + 63 + kBias;
        if (field >= kMaxField) return Infinity(negative);
        return FromBits(negative, static_cast<std::uint16_t>(field), q);
    }

    friend constexpr SoftExtended operator-(SoftExtended a) {
        a.se_ ^= 0x8000;
        return a;
    }
    friend constexpr SoftExtended Fabs(SoftExtended a) {
        a.se_ &= kMaxField;
        return a;
    }

    [[gnu::always_inline]] friend constexpr SoftExtended operator+(SoftExtended a, SoftExtended b) { return Add(a, b, false); }
    [[gnu::always_inline]] friend constexpr SoftExtended operator-(SoftExtended a, SoftExtended b) { return Add(a, b, true); }

    // Each operation tries the usual case first, inline, and leaves the rest
    // to a general path out of line.
    [[gnu::always_inline]] friend constexpr SoftExtended operator*(SoftExtended a, SoftExtended b) {
        SoftExtended quick;
        if (NormalProduct(a, b, quick)) return quick;
        return GeneralProduct(a, b);
    }

    friend constexpr SoftExtended operator/(SoftExtended a, SoftExtended b) {
        SoftExtended quick;
        if (NormalQuotient(a, b, quick)) return quick;
        return GeneralQuotient(a, b);
    }

    friend SoftExtended Sqrt(SoftExtended a) {
        const int field = a.ExponentField();
        if (a.SignBit() || !IsNormalField(field)) [[unlikely]] return SpecialRoot(a);
        return RootOf(field - kBias - 63, a.sig_);
    }

    friend constexpr SoftExtended& operator+=(SoftExtended& a, SoftExtended b) { return a = a + b; }
    friend constexpr SoftExtended& operator-=(SoftExtended& a, SoftExtended b) { return a = a - b; }
    friend constexpr SoftExtended& operator*=(SoftExtended& a, SoftExtended b) { return a = a * b; }
    friend constexpr SoftExtended& operator/=(SoftExtended& a, SoftExtended b) { return a = a / b; }

    // Each comparison on the values' order keys, false where either is a NaN.
    friend constexpr bool operator==(SoftExtended a, SoftExtended b) { return Ordered(a, b) && OrderKey(a) == OrderKey(b); }
    friend constexpr bool operator!=(SoftExtended a, SoftExtended b) { return !(a == b); }
    friend constexpr bool operator<(SoftExtended a, SoftExtended b) { return Ordered(a, b) && OrderKey(a) < OrderKey(b); }
    friend constexpr bool operator>(SoftExtended a, SoftExtended b) { return b < a; }
    friend constexpr bool operator<=(SoftExtended a, SoftExtended b) { return Ordered(a, b) && OrderKey(a) <= OrderKey(b); }
    friend constexpr bool operator>=(SoftExtended a, SoftExtended b) { return b <= a; }

    // The integral value nearest, ties to even, as a floating value (frndint
    // in the default rounding mode).
    friend constexpr SoftExtended NearbyInt(SoftExtended a) {
        if (!a.IsFinite()) return a.IsNaN() ? Quieted(a) : a;
        const int lsb = a.LsbExponent();
        if (lsb >= 0) return a;
        // m * 2^lsb rounded to a multiple of 2^0, then packed again.
        return Pack(a.SignBit(), 0, RoundShift(a.sig_, -lsb, RoundingMode::kNearestEven));
    }
    friend constexpr SoftExtended Floor(SoftExtended a) {
        if (!a.IsFinite()) return a.IsNaN() ? Quieted(a) : a;
        const int lsb = a.LsbExponent();
        if (lsb >= 0) return a;
        const RoundingMode mode = a.SignBit() ? RoundingMode::kAwayFromZero : RoundingMode::kTowardZero;
        return Pack(a.SignBit(), 0, RoundShift(a.sig_, -lsb, mode));
    }

    // The nearest 64-bit integer, ties to even; the "integer indefinite"
    // INT64_MIN where it does not fit or for a NaN (fistp does the same).
    friend constexpr long long LlRint(SoftExtended a) { return ToInteger(a, RoundingMode::kNearestEven); }

    // C++'s conversions truncate toward zero.
    template <class T>
        requires std::is_integral_v<T>
    constexpr explicit operator T() const {
        const long long v = ToInteger(*this, RoundingMode::kTowardZero);
        return static_cast<T>(v);
    }

    constexpr explicit operator double() const { return ToDouble(); }
    constexpr explicit operator float() const { return static_cast<float>(ToDouble()); }
    explicit operator long double() const { return ToLongDouble(); }

private:
    enum class RoundingMode { kNearestEven, kTowardZero, kAwayFromZero };

    [[gnu::noinline]] static constexpr SoftExtended GeneralProduct(SoftExtended a, SoftExtended b) {
        if (a.IsNaN() || b.IsNaN()) return PickNaN(a, b);
        const bool negative = a.SignBit() != b.SignBit();
        if (a.IsInf() || b.IsInf()) {
            if (a.IsZero() || b.IsZero()) return Indefinite();
            return Infinity(negative);
        }
        return Pack(negative, a.LsbExponent() + b.LsbExponent(), U128{a.sig_} * b.sig_);
    }

    [[gnu::noinline]] static constexpr SoftExtended GeneralQuotient(SoftExtended a, SoftExtended b) {
        if (a.IsNaN() || b.IsNaN()) return PickNaN(a, b);
        const bool negative = a.SignBit() != b.SignBit();
        if (a.IsInf()) return b.IsInf() ? Indefinite() : Infinity(negative);
        if (b.IsInf()) return Zero(negative);
        if (b.IsZero()) return a.IsZero() ? Indefinite() : Infinity(negative);
        if (a.IsZero()) return Zero(negative);
        int ea = a.LsbExponent(), eb = b.LsbExponent();
        const std::uint64_t na = Normalised(a.sig_, ea), nb = Normalised(b.sig_, eb);
        // Two steps of long division give 127 or 128 quotient bits; the
        // remainder's sign bit keeps the rounding exact.
        const U128 first = (U128{na} << 63) / nb;
        const U128 rest = (U128{na} << 63) % nb;
        const U128 second = (rest << 64) / nb;
        const bool sticky = (rest << 64) % nb != 0;
        return Pack(negative, ea - eb - 127, (first << 64 | second) | (sticky ? 1 : 0));
    }

    static constexpr bool IsNormalField(int field) { return field >= 1 && field < kMaxField; }

    // The 128-bit product of two 64-bit words. Where the processor has no
    // 64x64 -> 128 multiplication (wasm32), __int128's goes through a
    // library call for a full 128x128 product: four 32-bit ones do.
    static constexpr void MultiplyWide(std::uint64_t a, std::uint64_t b, std::uint64_t& high, std::uint64_t& low) {
#if !defined(NIVORA_SOFT_EXTENDED_PORTABLE) && \
    (defined(__x86_64__) || defined(__aarch64__) || (defined(__riscv) && __riscv_xlen == 64))
        const U128 p = U128{a} * b;
        high = static_cast<std::uint64_t>(p >> 64);
        low = static_cast<std::uint64_t>(p);
#else
        MultiplyHalves(a, b, high, low);
#endif
    }

    // (high 2^64 + low) / d for high < d and d with its top bit set: the
    // quotient (64 bits) and the remainder, by the processor's division
    // where it has one that takes a 128-bit dividend, else in words.
    static constexpr std::uint64_t DivideWide(std::uint64_t high, std::uint64_t low, std::uint64_t d,
                                              std::uint64_t& remainder) {
#if NIVORA_WORDS_BY_HALVES
        return words::DivideHalves(high, low, d, remainder);
#else
#if defined(__x86_64__) && defined(__GNUC__)
        if (!std::is_constant_evaluated()) {
            std::uint64_t q;
            __asm__("divq %[d]" : "=a"(q), "=d"(remainder) : [d] "rm"(d), "a"(low), "d"(high) : "cc");
            return q;
        }
#endif
        const U128 n = U128{high} << 64 | low;
        const auto q = static_cast<std::uint64_t>(n / d);
        remainder = low - q * d;  // the remainder is below d, so its low word is all of it
        return q;
#endif
    }

    // The normal number q 2^(field - bias - 63), q one unit more if `up`
    // (the rounding decided by the caller), or infinity beyond the range.
    [[gnu::always_inline]] static constexpr SoftExtended RoundNormal(bool negative, int field, std::uint64_t q, bool up) {
        q += up ? 1 : 0;
        if (q == 0) [[unlikely]] {  // carried out of the significand
            q = kIntegerBit;
            ++field;
        }
        if (field >= kMaxField) [[unlikely]] return Infinity(negative);
        return FromBits(negative, static_cast<std::uint16_t>(field), q);
    }

    // Whether q with the fraction `below` (in units of 2^-64 of q's last
    // place) rounds up, to nearest with ties to even: above one half, or
    // one half and q odd. One comparison.
    static constexpr bool RoundsUp(std::uint64_t q, std::uint64_t below) { return below > kIntegerBit - (q & 1); }

    // The fast paths below take the usual operands, inline, and return false
    // for the rest, which the general paths out of line take.

    // The usual product: two normal numbers whose product is normal or
    // overflows. The product's top bit is set or the next one is, which of
    // the two is a coin toss: the shift by one is computed, not a branch.
    [[gnu::always_inline]] static constexpr bool NormalProduct(SoftExtended a, SoftExtended b, SoftExtended& out) {
        const int fa = a.ExponentField(), fb = b.ExponentField();
        if (!IsNormalField(fa) || !IsNormalField(fb)) return false;
        std::uint64_t high, low;
        MultiplyWide(a.sig_, b.sig_, high, low);  // at least 2^126
        const unsigned shift = static_cast<unsigned>(~high >> 63);
        high = (high << shift) | ((low >> 63) & shift);
        low <<= shift;
        const int field = fa + fb - kBias + 1 - static_cast<int>(shift);
        if (field < 1) [[unlikely]] return false;
        out = RoundNormal(a.SignBit() != b.SignBit(), field, high, RoundsUp(high, low));
        return true;
    }

    // The usual quotient: two normal numbers whose quotient is normal or
    // overflows. One 128-by-64-bit division gives the 64 bits, and its
    // remainder against half the divisor the rounding.
    [[gnu::always_inline]] static constexpr bool NormalQuotient(SoftExtended a, SoftExtended b, SoftExtended& out) {
        const int fa = a.ExponentField(), fb = b.ExponentField();
        if (!IsNormalField(fa) || !IsNormalField(fb)) return false;
        const std::uint64_t na = a.sig_, nb = b.sig_;
        int field = fa - fb + kBias;
        std::uint64_t q, r;
        if (na >= nb) {  // quotient in [1, 2): na 2^63 / nb
            q = DivideWide(na >> 1, na << 63, nb, r);
        } else {  // in (1/2, 1): na 2^64 / nb
            q = DivideWide(na, 0, nb, r);
            --field;
        }
        if (field < 1) [[unlikely]] return false;
        const std::uint64_t other = nb - r;  // r/nb against one half, without overflow
        out = RoundNormal(a.SignBit() != b.SignBit(), field, q, r > other || (r == other && (q & 1)));
        return true;
    }

    static constexpr int BitLength(U128 m) {
        const auto high = static_cast<std::uint64_t>(m >> 64);
        if (high) return 128 - std::countl_zero(high);
        return 64 - std::countl_zero(static_cast<std::uint64_t>(m));
    }

    // The exponent of the significand's bit 0, for finite values.
    constexpr int LsbExponent() const {
        const int field = ExponentField();
        return field == 0 ? kMinLsbExponent : field - kBias - 63;
    }

    // Shifts a nonzero significand until its bit 63 is set.
    static constexpr std::uint64_t Normalised(std::uint64_t sig, int& lsbExponent) {
        const int lead = std::countl_zero(sig);
        lsbExponent -= lead;
        return sig << lead;
    }

    static constexpr SoftExtended Quieted(SoftExtended a) {
        a.sig_ |= kQuietBit;
        return a;
    }

    static constexpr SoftExtended PickNaN(SoftExtended a, SoftExtended b) {
        if (!a.IsNaN()) return Quieted(b);
        if (!b.IsNaN()) return Quieted(a);
        const bool quietA = (a.sig_ & kQuietBit) != 0, quietB = (b.sig_ & kQuietBit) != 0;
        if (quietA != quietB) return quietA ? a : b;
        if (a.sig_ != b.sig_) return Quieted(a.sig_ > b.sig_ ? a : b);
        return Quieted(a.SignBit() ? b : a);
    }

    [[gnu::always_inline]] static constexpr SoftExtended Add(SoftExtended a, SoftExtended b, bool subtract) {
        const bool signA = a.SignBit(), signB = b.SignBit() != subtract;
        SoftExtended quick;
        if (signA == signB ? NormalSum(a, b, signA, quick) : NormalDifference(a, b, signA, signB, quick)) return quick;
        return GeneralSum(a, b, signA, signB);
    }

    [[gnu::noinline]] static constexpr SoftExtended GeneralSum(SoftExtended a, SoftExtended b, bool signA, bool signB) {
        if (a.IsNaN() || b.IsNaN()) return PickNaN(a, b);
        if (a.IsInf() || b.IsInf()) {
            if (a.IsInf() && b.IsInf() && signA != signB) return Indefinite();
            return a.IsInf() ? Infinity(signA) : Infinity(signB);
        }
        if (a.IsZero() && b.IsZero()) return Zero(signA && signB);
        int ea = a.LsbExponent(), eb = b.LsbExponent();
        U128 ma = U128{a.sig_} << 62, mb = U128{b.sig_} << 62;
        bool sa = signA, sb = signB;
        if (ea < eb || (ea == eb && ma < mb)) {
            std::swap(ma, mb), std::swap(ea, eb), std::swap(sa, sb);
        }
        const int diff = ea - eb;
        // Bits shifted out of the smaller operand are jammed into bit 0; the
        // larger one's bits 0..61 are zero, so the exact sum lies strictly
        // between the computed value and its neighbour and rounds the same.
        if (diff >= 126) {
            mb = mb != 0 ? 1 : 0;
        } else if (diff > 0) {
            const bool lost = (mb & ((U128{1} << diff) - 1)) != 0;
            mb = (mb >> diff) | (lost ? 1 : 0);
        }
        const U128 m = sa == sb ? ma + mb : ma - mb;
        if (m == 0) return Zero(false);  // x - x is +0 when rounding to nearest
        return Pack(sa, ea - 62, m);
    }

    // The usual case of an addition, in 64-bit words: two normal numbers of
    // one sign less than 64 binary places apart. Whether the sum carries
    // out of the word is as unforeseeable as its rounding: both are
    // computed without a branch.
    [[gnu::always_inline]] static constexpr bool NormalSum(SoftExtended a, SoftExtended b, bool negative,
                                                            SoftExtended& out) {
        int fa = a.ExponentField(), fb = b.ExponentField();
        std::uint64_t ma = a.sig_, mb = b.sig_;
        if (fa < fb) std::swap(fa, fb), std::swap(ma, mb);
        const int diff = fa - fb;
        if (fb == 0 || fa == kMaxField || diff >= 64) return false;
        const std::uint64_t shifted = mb >> diff;
        // The bits under the last place, as a fraction.
        const std::uint64_t below = diff ? mb << ((64 - diff) & 63) : 0;
        std::uint64_t sum = ma + shifted;
        const unsigned carry = sum < ma ? 1 : 0;  // one place more: the dropped bit joins the fraction
        const std::uint64_t fraction = (below >> carry) | (below & carry) | ((sum & carry) << 63);
        sum = (sum >> carry) | (std::uint64_t{carry} << 63);
        out = RoundNormal(negative, fa + static_cast<int>(carry), sum, RoundsUp(sum, fraction));
        return true;
    }

    // The usual case of a difference: two normal numbers of opposite signs
    // at least 2 and less than 64 binary places apart, where the result
    // loses at most one leading place.
    [[gnu::always_inline]] static constexpr bool NormalDifference(SoftExtended a, SoftExtended b, bool signA,
                                                                   bool signB, SoftExtended& out) {
        int fa = a.ExponentField(), fb = b.ExponentField();
        std::uint64_t ma = a.sig_, mb = b.sig_;
        bool negative = signA;
        if (fa < fb) std::swap(fa, fb), std::swap(ma, mb), negative = signB;
        const int diff = fa - fb;
        if (fb == 0 || fa == kMaxField) return false;
        if (diff < 2) return NearDifference(ma, mb, fa, diff, negative, signB, out);
        if (diff >= 64) return false;
        // ma - mb 2^-diff = whole - below 2^-64 with `below` the fraction.
        const std::uint64_t lost = mb << (64 - diff);
        std::uint64_t whole = ma - (mb >> diff) - (lost != 0 ? 1 : 0);
        std::uint64_t below = 0 - lost;
        // One place less (field >= 3, so still normal), computed.
        const unsigned shift = static_cast<unsigned>(~whole >> 63);
        whole = (whole << shift) | ((below >> 63) & shift);
        below <<= shift;
        out = RoundNormal(negative, fa - static_cast<int>(shift), whole, RoundsUp(whole, below));
        return true;
    }

    // The same for operands at most one place apart (diff 0 or 1, fa the
    // larger field, ma its significand): the difference has at most 65 bits,
    // so it is exact but for the one bit a carry into the 65th leaves, and
    // normalising it loses nothing. A result below the normal range takes
    // the general path.
    static constexpr bool NearDifference(std::uint64_t ma, std::uint64_t mb, int fa, int diff, bool negative,
                                         bool signB, SoftExtended& out) {
        if (diff == 0) {
            if (ma == mb) {
                out = Zero(false);  // x - x is +0 when rounding to nearest
                return true;
            }
            if (ma < mb) std::swap(ma, mb), negative = signB;
            const std::uint64_t d = ma - mb;
            const int lead = std::countl_zero(d);
            if (fa - lead < 1) return false;
            out = FromBits(negative, static_cast<std::uint16_t>(fa - lead), d << lead);
            return true;
        }
        // 2 ma - mb in units of half ma's last place: 2^64 + t or t.
        const std::uint64_t t = (ma << 1) - mb;
        if ((ma << 1) >= mb) {  // 65 bits: one is dropped, ties to even
            const std::uint64_t q = kIntegerBit | (t >> 1);
            out = RoundNormal(negative, fa, q, (t & 1) && (q & 1));
            return true;
        }
        const int lead = std::countl_zero(t);  // t != 0: 2 ma > mb
        if (fa - 1 - lead < 1) return false;
        out = FromBits(negative, static_cast<std::uint16_t>(fa - 1 - lead), t << lead);
        return true;
    }

    static constexpr bool Ordered(SoftExtended a, SoftExtended b) { return !a.IsNaN() && !b.IsNaN(); }

    // The magnitude's fields as one number (the exponent above the
    // significand), negated for a negative value: for any two values but
    // NaNs, the keys are ordered as the values, and both zeros have key 0.
    static constexpr __int128 OrderKey(SoftExtended a) {
        const auto magnitude = static_cast<__int128>(U128{a.ExponentField()} << 64 | a.sig_);
        return a.SignBit() ? -magnitude : magnitude;
    }

    // sig / 2^shift rounded to an integer (shift >= 1); the result may reach 2^64.
    static constexpr U128 RoundShift(std::uint64_t sig, int shift, RoundingMode mode) {
        if (shift > 64) shift = 65;  // below one half either way
        const U128 m = sig;
        const U128 q = m >> shift;
        const U128 rest = m & ((U128{1} << shift) - 1);
        const U128 half = U128{1} << (shift - 1);
        switch (mode) {
            case RoundingMode::kNearestEven: return q + ((rest > half || (rest == half && (q & 1))) ? 1 : 0);
            case RoundingMode::kAwayFromZero: return q + (rest != 0 ? 1 : 0);
            default: return q;
        }
    }

    static constexpr long long ToInteger(SoftExtended a, RoundingMode mode) {
        constexpr long long kIndefinite = std::numeric_limits<long long>::min();
        if (!a.IsFinite()) return kIndefinite;
        const int lsb = a.LsbExponent();
        U128 magnitude;
        if (lsb >= 0) {
            if (lsb > 0 && a.sig_ != 0) return kIndefinite;  // at least 2^64
            magnitude = a.sig_;
        } else {
            magnitude = RoundShift(a.sig_, -lsb, mode);
        }
        if (a.SignBit()) {
            if (magnitude > U128{1} << 63) return kIndefinite;
            return static_cast<long long>(0 - static_cast<std::uint64_t>(magnitude));
        }
        if (magnitude >= U128{1} << 63) return kIndefinite;
        return static_cast<long long>(magnitude);
    }

    static constexpr SoftExtended FromDouble(double v) {
        // The builtin behind std::bit_cast, which older libc++ (Emscripten's) lacks.
        const auto bits = __builtin_bit_cast(std::uint64_t, v);
        const bool negative = (bits >> 63) != 0;
        const int field = static_cast<int>((bits >> 52) & 0x7ff);
        const std::uint64_t fraction = bits & ((1ull << 52) - 1);
        if (field == 0x7ff) {
            if (fraction == 0) return Infinity(negative);
            return FromBits(negative, kMaxField, kIntegerBit | (fraction << 11));
        }
        if (field == 0) return Pack(negative, -1074, fraction);
        return Pack(negative, field - 1075, fraction | (1ull << 52));
    }

    constexpr double ToDouble() const {
        const bool negative = SignBit();
        std::uint64_t bits;
        if (IsNaN()) {
            bits = 0x7ff0000000000000ull | ((sig_ & ~kIntegerBit) >> 11) | (1ull << 51);
        } else if (IsInf()) {
            bits = 0x7ff0000000000000ull;
        } else if (IsZero()) {
            bits = 0;
        } else {
            // Round m * 2^lsb to 53 bits, subnormals of binary64 included.
            int lsb = LsbExponent();
            const std::uint64_t m = Normalised(sig_, lsb);
            const int top = lsb + 63;
            int target = top - 52;
            if (target < -1074) target = -1074;
            const int shift = target - lsb;  // >= 11
            U128 q = RoundShift(m, shift, RoundingMode::kNearestEven);
            if (q >> 53) {  // carried out
                q >>= 1;
                ++target;
            }
            if (!(q >> 52)) {
                bits = static_cast<std::uint64_t>(q);  // subnormal (or the smallest normal reached by the carry)
            } else {
                const int field = target + 1075;
                if (field >= 0x7ff)
                    bits = 0x7ff0000000000000ull;
                else
                    bits = (static_cast<std::uint64_t>(field) << 52) | (static_cast<std::uint64_t>(q) & ((1ull << 52) - 1));
            }
        }
        return __builtin_bit_cast(double, bits | (negative ? 1ull << 63 : 0));
    }

    static constexpr SoftExtended FromLongDouble(long double v) {
        if constexpr (LDBL_MANT_DIG == 53) {
            return FromDouble(static_cast<double>(v));
        } else if constexpr (LDBL_MANT_DIG == 64) {
            if (!std::is_constant_evaluated()) {
                SoftExtended r;
                std::memcpy(&r.sig_, &v, 8);
                std::memcpy(&r.se_, reinterpret_cast<const unsigned char*>(&v) + 8, 2);
                return r;
            }
            return FromLongDoubleArithmetic(v);
        } else {
            if (!std::is_constant_evaluated()) {
                std::uint64_t w[2];
                std::memcpy(w, &v, 16);  // little-endian: w[1] holds sign, exponent and the top 48 bits
                const bool negative = (w[1] >> 63) != 0;
                const int field = static_cast<int>((w[1] >> 48) & 0x7fff);
                const U128 fraction = (U128{w[1] & ((1ull << 48) - 1)} << 64) | w[0];
                if (field == 0x7fff) {
                    if (fraction == 0) return Infinity(negative);
                    return FromBits(negative, kMaxField, kIntegerBit | static_cast<std::uint64_t>(fraction >> 49));
                }
                if (field == 0) return Pack(negative, 1 - 16383 - 112, fraction);
                return Pack(negative, field - 16383 - 112, fraction | (U128{1} << 112));
            }
            return FromLongDoubleArithmetic(v);
        }
    }

    // The same from arithmetic alone, for constant expressions: scaling by
    // powers of two is exact, and the scaled magnitude fits 113 bits.
    static constexpr SoftExtended FromLongDoubleArithmetic(long double v) {
        if (v != v) return QuietNaN();
        // clang does not evaluate __builtin_signbit in a constant expression;
        // copysign carries the sign of zeros and NaNs too.
        const bool negative = __builtin_copysignl(1.0L, v) < 0;
        long double a = negative ? -v : v;
        if (a == 0) return Zero(negative);
        if (a > std::numeric_limits<long double>::max()) return Infinity(negative);
        int exponent = 0;
        while (a >= 0x1p1000L) a *= 0x1p-1000L, exponent += 1000;
        while (a < 0x1p-1000L) a *= 0x1p1000L, exponent -= 1000;
        while (a >= 0x1p113L) a *= 0x1p-1L, exponent += 1;
        while (a < 0x1p112L) a *= 0x1p1L, exponent -= 1;
        return Pack(negative, exponent, static_cast<U128>(a));
    }

    long double ToLongDouble() const {
        if constexpr (LDBL_MANT_DIG == 64) {
            long double v = 0;
            std::memcpy(&v, &sig_, 8);
            std::memcpy(reinterpret_cast<unsigned char*>(&v) + 8, &se_, 2);
            return v;
        } else if constexpr (LDBL_MANT_DIG == 113) {
            // Widening is exact: the same exponent range, and 49 more bits.
            std::uint64_t w[2];
            const std::uint64_t sign = SignBit() ? 1ull << 63 : 0;
            if (!IsFinite()) {
                const std::uint64_t fraction = sig_ & ~kIntegerBit;
                w[0] = fraction << 49;
                w[1] = sign | (0x7fffull << 48) | (fraction >> 15);
            } else if (IsZero()) {
                w[0] = 0;
                w[1] = sign;
            } else {
                int lsb = LsbExponent();
                const std::uint64_t m = Normalised(sig_, lsb);
                const int field = lsb + 63 + 16383;  // >= 1 - 63: below 1, a binary128 subnormal
                U128 f;
                int biased = field;
                if (biased >= 1) {
                    f = (U128{m} << 49) & ((U128{1} << 112) - 1);
                } else {
                    f = (U128{m} << 49) >> (1 - biased);
                    biased = 0;
                }
                w[0] = static_cast<std::uint64_t>(f);
                w[1] = sign | (static_cast<std::uint64_t>(biased) << 48) | static_cast<std::uint64_t>(f >> 64);
            }
            long double v;
            std::memcpy(&v, w, 16);
            return v;
        } else {
            return ToDouble();
        }
    }

    static constexpr U128 Square(std::uint64_t r) {
        std::uint64_t high, low;
        MultiplyWide(r, r, high, low);
        return U128{high} << 64 | low;
    }

    // sqrt(n 2^e) for n with its top bit set.
    static SoftExtended RootOf(int e, std::uint64_t n) {
        // m = n * 2^k with e - k even and m in [2^126, 2^128): its integer
        // root has exactly 64 bits, and so has the root rounded, but where
        // it carries to 2^64. The root of any value is normal.
        // (The exponent's parity computed: no branch to mispredict.)
        const auto odd = static_cast<unsigned>(e & 1);
        const U128 m = U128{n >> odd} << 64 | ((n << 63) & (0 - std::uint64_t{odd}));
        e -= 64 - static_cast<int>(odd);
        const int field = e / 2 + 63 + kBias;
        // A binary64 root of m's high word (halved, so that it converts as a
        // signed word, as every processor can), within 2^-52.4 of sqrt(m)
        // relative: r0 = root 2^32, read from its bits (root in [2^31,
        // 2^32): its 52-bit fraction below the integer bit), within 2^11.7.
        const auto high = static_cast<std::uint64_t>(m >> 64);  // in [2^62, 2^64)
        double root = __builtin_sqrt(static_cast<double>(static_cast<std::int64_t>(high >> 1)) * 2);
        if (root > 0x1.fffffffffffffp31) root = 0x1.fffffffffffffp31;
        const std::uint64_t r0 = kIntegerBit | (__builtin_bit_cast(std::uint64_t, root) << 11);
        // One Newton step in binary64, (m - r0^2) / (2 r0) from the
        // difference's leading bits (|m - r0^2| < 2^78): within 2^-38 of
        // sqrt(m) - r0 (the roundings of binary64 and the step's own error,
        // (sqrt(m) - r0)^2 / (2 r0)). The reciprocal is one of binary64,
        // taken beside the square.
        const auto difference = static_cast<std::int64_t>(static_cast<__int128>(m - Square(r0)) >> 16);
        // Its nearest integer, and how near it lies to a half: the step plus
        // one half (and 2^13, to keep the sum positive: |step| < 2^12) in
        // units of 2^-30, cut to an integer (the sum's own rounding is below
        // 2^-8 of those units). Its part above the 30 bits is the nearest,
        // those bits how far the step lies past a half. Unless within one
        // unit of it, sqrt(m) = r0 + step rounds to r0 + the nearest, which
        // is the rounded significand (sqrt(m) never lies halfway). Else, and
        // where the root rounds up to 2^64, the integer root decides.
        const auto lifted = static_cast<std::int64_t>(static_cast<double>(difference) * (0x1p13 / root) +
                                                      (0x1p13 + 0.5) * 0x1p30);
        const std::uint64_t q = r0 + static_cast<std::uint64_t>((lifted >> 30) - 0x2000);
        const auto fraction = static_cast<std::uint64_t>(lifted) & ((std::uint64_t{1} << 30) - 1);
        if (fraction - 1 < (std::uint64_t{1} << 30) - 2 && q >= r0 - 0x2000) [[likely]]
            return FromBits(false, static_cast<std::uint16_t>(field), q);
        U128 rest;
        const std::uint64_t r = IntegerRoot(m, r0, rest);
        // sqrt(m) lies above r + 1/2 exactly when m - r^2 > r.
        return RoundNormal(false, field, r, rest > r);
    }

    // Zeros, NaNs, infinities, negative and subnormal operands.
    [[gnu::noinline]] static SoftExtended SpecialRoot(SoftExtended a) {
        if (a.IsNaN()) return Quieted(a);
        if (a.IsZero()) return a;
        if (a.SignBit()) return Indefinite();
        if (a.IsInf()) return a;
        int e = a.LsbExponent();
        const std::uint64_t n = Normalised(a.sig_, e);
        return RootOf(e, n);
    }

    // The integer root r of m in [2^126, 2^128), 64 bits, and m - r^2, from
    // an estimate r0 within 2^13 units.
    [[gnu::noinline]] static std::uint64_t IntegerRoot(U128 m, std::uint64_t r0, U128& rest) {
        // r0 + (m - r0^2) / (2 r0) exceeds the root by at most 2^26 / 2^64,
        // and the quotient below is cut toward zero: within a unit of it.
        const auto difference = static_cast<__int128>(m - Square(r0));
        const auto twice = static_cast<__int128>(r0) * 2;
        std::uint64_t r = r0 + static_cast<std::uint64_t>(static_cast<std::int64_t>(difference / twice));
        // The last unit exactly: 0 <= m - r^2 <= 2r. (The root of m < 2^128
        // is below 2^64, so r never passes ~0.)
        auto left = static_cast<__int128>(m - Square(r));
        while (left < 0) --r, left += 2 * static_cast<__int128>(r) + 1;
        while (left > 2 * static_cast<__int128>(r)) left -= 2 * static_cast<__int128>(r) + 1, ++r;
        rest = static_cast<U128>(left);
        return r;
    }

    // The byte order of the x87 unit's ten-byte format.
    std::uint64_t sig_ = 0;
    std::uint16_t se_ = 0;
};

// The functions the class befriends, visible to qualified names as well.
SoftExtended Sqrt(SoftExtended a);
constexpr SoftExtended Fabs(SoftExtended a);
constexpr SoftExtended Floor(SoftExtended a);
constexpr SoftExtended NearbyInt(SoftExtended a);
constexpr long long LlRint(SoftExtended a);

}  // namespace nivora::xmath

template <>
struct std::numeric_limits<nivora::xmath::SoftExtended> {
    using T = nivora::xmath::SoftExtended;

public:
    static constexpr bool is_specialized = true;
    static constexpr bool is_signed = true;
    static constexpr bool is_integer = false;
    static constexpr bool is_exact = false;
    static constexpr bool has_infinity = true;
    static constexpr bool has_quiet_NaN = true;
    static constexpr bool is_iec559 = true;
    static constexpr int digits = 64;
    static constexpr int radix = 2;
    static constexpr int min_exponent = -16381;
    static constexpr int max_exponent = 16384;
    static constexpr std::float_round_style round_style = std::round_to_nearest;
    static constexpr T infinity() { return T::Infinity(); }
    static constexpr T quiet_NaN() { return T::QuietNaN(); }
    static constexpr T max() { return T::FromBits(false, 0x7ffe, ~0ull); }
    static constexpr T lowest() { return T::FromBits(true, 0x7ffe, ~0ull); }
    static constexpr T min() { return T::FromBits(false, 1, T::kIntegerBit); }
    static constexpr T denorm_min() { return T::FromBits(false, 0, 1); }
    static constexpr T epsilon() { return T::FromBits(false, 16383 - 63, T::kIntegerBit); }
};
