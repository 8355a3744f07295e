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

    friend constexpr SoftExtended operator+(SoftExtended a, SoftExtended b) { return Add(a, b, false); }
    friend constexpr SoftExtended operator-(SoftExtended a, SoftExtended b) { return Add(a, b, true); }

    friend constexpr SoftExtended operator*(SoftExtended a, SoftExtended b) {
        if (a.IsNaN() || b.IsNaN()) return PickNaN(a, b);
        const bool negative = a.SignBit() != b.SignBit();
        if (a.IsInf() || b.IsInf()) {
            if (a.IsZero() || b.IsZero()) return Indefinite();
            return Infinity(negative);
        }
        return Pack(negative, a.LsbExponent() + b.LsbExponent(), U128{a.sig_} * b.sig_);
    }

    friend constexpr SoftExtended operator/(SoftExtended a, SoftExtended b) {
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

    friend SoftExtended Sqrt(SoftExtended a) {
        if (a.IsNaN()) return Quieted(a);
        if (a.IsZero()) return a;
        if (a.SignBit()) return Indefinite();
        if (a.IsInf()) return a;
        int e = a.LsbExponent();
        const std::uint64_t n = Normalised(a.sig_, e);
        // m = n * 2^k with e - k even and m in [2^126, 2^128): its integer
        // root has exactly 64 bits.
        const U128 m = (e & 1) ? U128{n} << 63 : U128{n} << 64;
        e -= (e & 1) ? 63 : 64;
        const std::uint64_t r = IntegerRoot(m);
        const U128 rest = m - U128{r} * r;
        // sqrt(m) lies above r + 1/2 exactly when m - r^2 > r; never on it.
        const unsigned guard = rest == 0 ? 0 : rest > r ? 3 : 1;
        return Pack(false, e / 2 - 2, (U128{r} << 2) | guard);
    }

    friend constexpr SoftExtended& operator+=(SoftExtended& a, SoftExtended b) { return a = a + b; }
    friend constexpr SoftExtended& operator-=(SoftExtended& a, SoftExtended b) { return a = a - b; }
    friend constexpr SoftExtended& operator*=(SoftExtended& a, SoftExtended b) { return a = a * b; }
    friend constexpr SoftExtended& operator/=(SoftExtended& a, SoftExtended b) { return a = a / b; }

    friend constexpr bool operator==(SoftExtended a, SoftExtended b) { return Compare(a, b) == 0; }
    friend constexpr bool operator!=(SoftExtended a, SoftExtended b) { return Compare(a, b) != 0; }
    friend constexpr bool operator<(SoftExtended a, SoftExtended b) { return Compare(a, b) == -1; }
    friend constexpr bool operator>(SoftExtended a, SoftExtended b) { return Compare(a, b) == 1; }
    friend constexpr bool operator<=(SoftExtended a, SoftExtended b) {
        const int c = Compare(a, b);
        return c == -1 || c == 0;
    }
    friend constexpr bool operator>=(SoftExtended a, SoftExtended b) {
        const int c = Compare(a, b);
        return c == 1 || c == 0;
    }

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

    static constexpr SoftExtended Add(SoftExtended a, SoftExtended b, bool subtract) {
        if (a.IsNaN() || b.IsNaN()) return PickNaN(a, b);
        const bool signA = a.SignBit(), signB = b.SignBit() != subtract;
        if (a.IsInf() || b.IsInf()) {
            if (a.IsInf() && b.IsInf() && signA != signB) return Indefinite();
            return a.IsInf() ? Infinity(signA) : Infinity(signB);
        }
        if (a.IsZero() && b.IsZero()) return Zero(signA && signB);
        const SoftExtended quick = signA == signB ? NormalSum(a, b, signA) : NormalDifference(a, b, signA, signB);
        if (quick.se_ != 0xffff) return quick;
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
    // one sign less than 64 binary places apart. Anything else gives the
    // marker -NaN with field 0x7fff and significand 0 (not a value) so that
    // the general path takes it.
    static constexpr SoftExtended NormalSum(SoftExtended a, SoftExtended b, bool negative) {
        constexpr SoftExtended kNotHere = FromBits(true, kMaxField, 0);
        int fa = a.ExponentField(), fb = b.ExponentField();
        if (fa == 0 || fb == 0) return kNotHere;
        std::uint64_t ma = a.sig_, mb = b.sig_;
        if (fa < fb) std::swap(fa, fb), std::swap(ma, mb);
        const int diff = fa - fb;
        if (diff >= 64) return kNotHere;
        const std::uint64_t shifted = diff ? mb >> diff : mb;
        std::uint64_t below = diff ? mb << (64 - diff) : 0;  // the bits under the last place, as a fraction
        std::uint64_t sum = ma + shifted;
        int field = fa;
        if (sum < ma) {  // carried out: one place more
            below = ((sum & 1) << 63) | (below >> 1) | (below & 1);
            sum = (sum >> 1) | kIntegerBit;
            ++field;
        }
        if (below > kIntegerBit || (below == kIntegerBit && (sum & 1))) {
            if (++sum == 0) {
                sum = kIntegerBit;
                ++field;
            }
        }
        if (field >= kMaxField) return Infinity(negative);
        return FromBits(negative, static_cast<std::uint16_t>(field), sum);
    }

    // The usual case of a difference: two normal numbers of opposite signs
    // at least 2 and less than 64 binary places apart, where the result
    // loses at most one leading place. Otherwise the same marker as above.
    static constexpr SoftExtended NormalDifference(SoftExtended a, SoftExtended b, bool signA, bool signB) {
        constexpr SoftExtended kNotHere = FromBits(true, kMaxField, 0);
        int fa = a.ExponentField(), fb = b.ExponentField();
        if (fa == 0 || fb == 0) return kNotHere;
        std::uint64_t ma = a.sig_, mb = b.sig_;
        bool negative = signA;
        if (fa < fb) std::swap(fa, fb), std::swap(ma, mb), negative = signB;
        const int diff = fa - fb;
        if (diff < 2 || diff >= 64) return kNotHere;
        // ma - mb 2^-diff = whole - below 2^-64 with `below` the fraction.
        const std::uint64_t lost = mb << (64 - diff);
        std::uint64_t whole = ma - (mb >> diff) - (lost != 0 ? 1 : 0);
        std::uint64_t below = 0 - lost;
        int field = fa;
        if (!(whole & kIntegerBit)) {  // one place less: field >= 3, so still normal
            whole = (whole << 1) | (below >> 63);
            below <<= 1;
            --field;
        }
        if (below > kIntegerBit || (below == kIntegerBit && (whole & 1))) {
            if (++whole == 0) {
                whole = kIntegerBit;
                ++field;
            }
        }
        return FromBits(negative, static_cast<std::uint16_t>(field), whole);
    }

    // -1, 0, 1, or 2 for unordered.
    static constexpr int Compare(SoftExtended a, SoftExtended b) {
        if (a.IsNaN() || b.IsNaN()) return 2;
        if (a.IsZero() && b.IsZero()) return 0;
        const U128 ka = U128{a.ExponentField()} << 64 | a.sig_;
        const U128 kb = U128{b.ExponentField()} << 64 | b.sig_;
        if (a.SignBit() != b.SignBit()) return a.SignBit() ? -1 : 1;
        if (ka == kb) return 0;
        const bool less = ka < kb;
        return (less != a.SignBit()) ? -1 : 1;
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
        const auto bits = std::bit_cast<std::uint64_t>(v);
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
        return std::bit_cast<double>(bits | (negative ? 1ull << 63 : 0));
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
        const bool negative = __builtin_signbit(v);
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

    static std::uint64_t IntegerRoot(U128 m) {
        // A binary64 root within 2^-52 relative, one Newton step in integers,
        // then a final correction by units.
        double estimate = __builtin_sqrt(static_cast<double>(m));
        std::uint64_t r = estimate >= 0x1p64 ? ~0ull : static_cast<std::uint64_t>(estimate);
        if (r == 0) r = 1;
        const U128 next = (U128{r} + m / r) >> 1;
        r = next >> 64 ? ~0ull : static_cast<std::uint64_t>(next);
        while (U128{r} * r > m) --r;
        while (r != ~0ull && U128{r + 1} * (r + 1) <= m) ++r;
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
