// Fixed-width two's-complement integers of 128, 256 and 512 bits.
//
// A tWideInt owns nothing but its Bits/32 words: word 0 is the least significant, each word is in the
// machine's own (little-endian) byte order, so the value in memory is one little-endian integer of
// Bits/8 bytes. It is an aggregate with no constructor, trivially copyable and destructible:
// "tWideInt512 v;" leaves the words indeterminate like any plain local, "tWideInt512 v{};" is zero,
// and a global is zero until its initialiser runs. Widening by zero extension is a copy into the low
// words of a zeroed value; narrowing is a copy of the low words.
//
// All arithmetic is modulo 2^Bits and nothing reports overflow. A value is negative when bit 31 of the
// top word is set; Multiply and FromText honour that sign, every other operation works on the bits.
// The one precondition, DivideBySmall's non-zero divisor, is checked with tRequire in every build.
//
// Cost: Add, Negate, BitAnd, the shifts, IsZero and IsNegative touch each word once. Multiplication is
// schoolbook on 64-bit limbs (tFixIntLimbs.h): N (N + 1) / 2 limb products for N limbs, or, when one
// operand has few used limbs, one row of products per used limb, so a small multiplier costs a few
// steps. FromText costs one pass over the limbs in use per limb-sized group of digits (16 to 19
// decimal digits, read eight at a time). DivideBySmall skips the leading zero words and divides a
// whole word per step, by multiplying for a divisor of 10.
//
// Nothing allocates, throws or keeps state outside its arguments and the stack, and everything is
// constexpr: any thread and any static initialiser, in any order, may call anything here. The hash
// initial values are parsed with FromText before main; the print engine widens every wide argument to
// a 512-bit working value, takes a negative one's magnitude with Negate and BitAnd, and takes the
// digits off by short division.
//
// Not here: subtraction (a.Add(b.Negate())); equality (compare the words: there is no padding);
// order (compare the words from the top down, after flipping both sign bits to read them as signed);
// division by more than 32 bits, or of signed values (negate before and after DivideBySmall). Each
// stays outside the type so that the type stays a bare array of words.
// Arithmetic is unsigned throughout (uint32_t, uint64_t and, for limb products, unsigned __int128), so
// no operation can overflow a signed type, whatever the operands. A compiler without unsigned __int128
// gets the same bits from 32-bit halves, each limb product then costing four.
#pragma once
#include <Foundation/tFixIntLimbs.h>
#include <Foundation/tStandard.h>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

template <int Bits> struct tWideInt
{
    static_assert(Bits > 0 && Bits % 32 == 0, "a wide integer is a whole number of 32-bit words");

    static constexpr int WordCount = Bits / 32;

    // Word 0 least significant; bit 31 of word WordCount-1 is the sign.
    uint32_t Words[WordCount];

    /// The 32-bit value, sign-extended to the full width.
    static constexpr tWideInt FromInt(int32_t value);

    /// Parses text in base 2..36, or in a base chosen by prefix when base is outside that range.
    /// Null or empty text gives zero; characters that are not digits of the base are skipped.
    static constexpr tWideInt FromText(const char* text, int base);

    /// this = (this + b) mod 2^Bits.
    constexpr tWideInt& Add(const tWideInt& b);

    /// this = (this * b) mod 2^Bits, both read as signed.
    constexpr tWideInt& Multiply(const tWideInt& b);

    /// this = (this * b) mod 2^Bits, both read as unsigned.
    constexpr tWideInt& MultiplyUnsigned(const tWideInt& b);

    /// Logical shift: zeros enter at the top. n >= Bits gives zero; n < 0 leaves the value unchanged.
    constexpr tWideInt& ShiftRight(int32_t n);

    /// Zeros enter at the bottom. n >= Bits gives zero; n < 0 leaves the value unchanged.
    constexpr tWideInt& ShiftLeft(int32_t n);

    /// this = this AND mask, word by word.
    constexpr tWideInt& BitAnd(const tWideInt& mask);

    /// The two's-complement negation, as a new value; the most negative value is its own negation.
    constexpr tWideInt Negate() const;

    /// True when every word is zero.
    constexpr bool IsZero() const;

    /// True when the sign bit (bit 31 of the top word) is set.
    constexpr bool IsNegative() const;
};

using tWideInt128 = tWideInt<128>;
using tWideInt256 = tWideInt<256>;
using tWideInt512 = tWideInt<512>;

// A bare array of words rather than a class with constructors: a table of constants is a braced word
// list, a global needs no constructor, and a value moves as one block. A constructor from int would
// also let every mixed-width expression compile silently; FromInt and FromText keep each conversion in
// sight. The print engine and the hash constants copy these values as raw bytes of exactly this size.
static_assert(sizeof(tWideInt128) == 16, "tWideInt128 holds exactly 16 bytes");
static_assert(sizeof(tWideInt256) == 32, "tWideInt256 holds exactly 32 bytes");
static_assert(sizeof(tWideInt512) == 64, "tWideInt512 holds exactly 64 bytes");
static_assert(std::is_trivially_copyable<tWideInt128>::value, "copied as raw bytes");
static_assert(std::is_trivially_copyable<tWideInt256>::value, "copied as raw bytes");
static_assert(std::is_trivially_copyable<tWideInt512>::value, "copied as raw bytes");
static_assert(std::is_trivially_destructible<tWideInt512>::value, "no destructor runs at exit");
static_assert(std::is_standard_layout<tWideInt512>::value, "the words are the whole object");

/// The 512-bit quotient of dividend / divisor, read as unsigned. When remainder is not null,
/// dividend mod divisor is written through it.
///
/// A zero divisor raises the assertion report with the expression "b". If the report returns, the
/// quotient is zero and the remainder, when asked for, is 0.
constexpr tWideInt512 DivideBySmall(const tWideInt512& dividend, uint32_t divisor, uint32_t* remainder);

// Word-array steps behind the operations. Not part of the type: they work on any run of words.
namespace tFixIntDetail
{
// '0'..'9' are 0..9 and letters of either case 10..35; any other character has no value (-1).
// Looked up in a table built at compile time: digits and letters alternate at random in hex text, and
// a mispredicted branch on the character class per character costs more than the rest of the parse.
struct tDigitValues
{
    int8_t Values[256];
};

constexpr tDigitValues MakeDigitValues()
{
    tDigitValues table{};
    for (int code = 0; code < 256; ++code)
    {
        table.Values[code] = static_cast<int8_t>(tTextDigitValue(static_cast<char>(code)));
    }
    return table;
}

inline constexpr tDigitValues DigitValues = MakeDigitValues();

constexpr int DigitValue(char ch)
{
    return DigitValues.Values[static_cast<unsigned char>(ch)];
}

// The number of words up to and including the highest non-zero one.
template <int Count> constexpr int UsedWords(const uint32_t (&words)[Count])
{
    int used = Count;
    while (used > 0 && words[used - 1] == 0)
        --used;
    return used;
}

// FromText for a base of 2, 4, 8, 16 or 32, or false for any other base. Read from the right, the
// k-th valid digit is worth digit * 2^(bits * k): its bits go to that place, and the bits at or past
// the width are the wrap and dropped. Once the place reaches the width no further digit can add
// anything, so the scan stops there.
template <int Count>
constexpr bool PlaceBitDigits(uint32_t (&words)[Count], const char* text, int32_t start, int32_t length,
                              int base)
{
    const int bits = base == 2 ? 1 : base == 4 ? 2 : base == 8 ? 3 : base == 16 ? 4 : base == 32 ? 5 : 0;
    if (bits == 0)
        return false;
    // The bits gather in a 64-bit accumulator and leave it a word at a time: fewer than 32 waiting
    // bits plus at most 5 new ones always fit.
    uint64_t pending = 0;
    int pendingBits = 0;
    int word = 0;
    for (int32_t at = length - 1; at >= start && word < Count; --at)
    {
        const int value = DigitValue(text[at]);
        if (value < 0 || value >= base)
            continue;
        pending |= static_cast<uint64_t>(value) << pendingBits;
        pendingBits += bits;
        if (pendingBits >= 32)
        {
            words[word++] = static_cast<uint32_t>(pending);
            pending >>= 32;
            pendingBits -= 32;
        }
    }
    if (word < Count)
        words[word] = static_cast<uint32_t>(pending);
    return true;
}

// The length of a text, capped at the signed 32-bit count that positions are kept in. The compiler's
// strlen is the C library's at run time, and still works in a constant expression.
constexpr int32_t TextLength(const char* text)
{
#if defined(__GNUC__)
    const size_t length = __builtin_strlen(text);
#else
    size_t length = 0;
    while (length < INT32_MAX && text[length] != '\0')
        ++length;
#endif
    return length < size_t(INT32_MAX) ? static_cast<int32_t>(length) : INT32_MAX;
}

// Eight characters as one number, the first in the low byte, whatever the machine's byte order.
constexpr uint64_t LoadEight(const char* text)
{
    uint64_t chunk = 0;
    if (CopiesAsLittleEndian())
    {
        std::memcpy(&chunk, text, sizeof chunk);
        return chunk;
    }
    for (int i = 0; i < 8; ++i)
        chunk |= uint64_t(static_cast<unsigned char>(text[i])) << (8 * i);
    return chunk;
}

// True when all eight characters are '0'..'9': each byte is 0x30..0x3F, and stays so with 6 added. A
// byte of 0x3F or less cannot carry into the next when 6 is added, and any larger one fails anyway.
constexpr bool AreEightDigits(uint64_t chunk)
{
    const uint64_t highNibbles = 0xF0F0F0F0F0F0F0F0u;
    const uint64_t digitNibbles = 0x3030303030303030u;
    return (((chunk & highNibbles) ^ digitNibbles) |
            (((chunk + 0x0606060606060606u) & highNibbles) ^ digitNibbles)) == 0;
}

// The value of eight decimal digits, the first most significant, in three steps that each join
// neighbouring pairs of places: digits into 2-digit numbers in every other byte, those into 4-digit
// ones in every other 16 bits, and those into the 8-digit value. No step carries across a lane.
// For "12345678", from the low byte up: 1 2 3 4 5 6 7 8, then 12 34 56 78, 1234 5678 and 12345678.
constexpr uint64_t EightDigitsValue(uint64_t chunk)
{
    uint64_t v = chunk - 0x3030303030303030u;
    v = (v * 10 + (v >> 8)) & 0x00FF00FF00FF00FFu;
    v = (v * 100 + (v >> 16)) & 0x0000FFFF0000FFFFu;
    return (v * 10000 + (v >> 32)) & 0xFFFFFFFFu;
}

// FromText for any base that is not a power of two, on 64-bit limbs. Read left to right, Horner's way,
// R = R * base^n +- group, on groups of as many digits as a limb holds; in base 10 runs of eight digits
// are read eight at a time. Reading left to right gives the bits of the right-to-left definition:
// both give, modulo 2^Bits (a ring, so grouping cannot matter), the sum of s * digit * base^k, k
// counting the valid digits to the right and s being -1 to the power of the '-' to the left. A '-'
// closes the group before it, so a group has one sign.
//
// A group grows while its scale (base^n) stays below 2^64: up to 19 decimal digits a character at a
// time, or runs of eight while the scale is at most 10^11 (two runs, 16 digits, from an empty group).
// A trace in base 10 of "98765432109876543210-7", which reads right to left as 987654321098765432100 - 7:
//
//     "98765432" "10987654"   two runs of eight: group 9876543210987654, scale 10^16
//     "3" "2" "1"             one at a time (fewer than eight digits before the '-'): scale 10^19
//     "0"                     no room for another digit: R = 0 * 10^19 + 9876543210987654321,
//                             then group 0, scale 10
//     '-'                     closes that group, R = R * 10 + 0, and turns the sign for what follows
//     "7"                     group 7, scale 10, flushed at the end: R = R * 10 - 7
//
// Eight are read at once only where eight characters remain, so nothing past the terminator is read;
// a run that holds anything but eight decimal digits goes a character at a time, by the same rules.
template <typename tMath, int Count>
constexpr void ParseGroups(uint32_t (&words)[Count], const char* text, int32_t start, int32_t length,
                           int base)
{
    constexpr int N = LimbCount<Count>;
    constexpr uint64_t TenToThe8 = 100000000u;
    uint64_t limbs[N] = {};
    int used = 0;
    uint64_t group = 0;
    uint64_t groupScale = 1;
    bool negative = false;
    const uint64_t groupLimit = UINT64_MAX / static_cast<uint64_t>(base);
    const auto flush = [&]
    {
        if (groupScale == 1)
            return;
        MultiplyAddLimb<tMath>(limbs, used, groupScale, negative ? 0u : group);
        if (negative)
            SubtractLimb(limbs, used, group);
        group = 0;
        groupScale = 1;
    };
    for (int32_t at = start; at < length;)
    {
        if (base == 10 && length - at >= 8)
        {
            const uint64_t chunk = LoadEight(text + at);
            if (AreEightDigits(chunk))
            {
                // Room for eight more digits while the scale is at most 10^11: it ends below 2^64.
                if (groupScale > UINT64_MAX / TenToThe8)
                    flush();
                group = group * TenToThe8 + EightDigitsValue(chunk);
                groupScale *= TenToThe8;
                at += 8;
                continue;
            }
        }
        const char ch = text[at++];
        if (ch == '-' && base == 10)
        {
            flush();
            negative = !negative;
            continue;
        }
        const int value = DigitValue(ch);
        if (value < 0 || value >= base)
            continue;
        if (groupScale > groupLimit)
            flush();
        group = group * static_cast<uint64_t>(base) + static_cast<uint64_t>(value);
        groupScale *= static_cast<uint64_t>(base);
    }
    flush();
    LimbsToWords<Count>(limbs, words);
}

// FromText into words that are zero. A base that is a power of two has no '-' and no carries, so each
// digit's bits go straight to their place; any other base goes by groups. The length is not taken
// with the checked text helpers: a null text is valid here (it gives zero), and this is constexpr.
template <typename tMath, int Count>
constexpr void ParseText(uint32_t (&words)[Count], const char* text, int base)
{
    if (text == nullptr || text[0] == '\0')
        return;
    const int32_t length = TextLength(text);
    int32_t start = 0;
    base = tTextChooseBase(text, length, base, start);
    if (!PlaceBitDigits(words, text, start, length, base))
        ParseGroups<tMath>(words, text, start, length, base);
}

// The low Count words of x * y, on 64-bit limbs. x or y may be product itself: both are read before
// product is written.
template <typename tMath, int Count>
constexpr void MultiplyLow(const uint32_t (&x)[Count], const uint32_t (&y)[Count], uint32_t (&product)[Count])
{
    uint64_t a[LimbCount<Count>] = {};
    uint64_t b[LimbCount<Count>] = {};
    uint64_t p[LimbCount<Count>] = {};
    WordsToLimbs(x, a);
    WordsToLimbs(y, b);
    MultiplyLowLimbs<tMath>(a, b, p);
    LimbsToWords<Count>(p, product);
}

// Short division of words[0, top] by divisor, a whole word per step: (r << 32) + w < divisor * 2^32
// because r < divisor, so the quotient word fits 32 bits. Returns the remainder. tDivisor is uint32_t,
// or an integral_constant so that the compiler can divide by multiplying.
template <typename tDivisor>
constexpr uint32_t DivideWords(const uint32_t* words, uint32_t* quotient, int top, tDivisor divisor)
{
    uint64_t r = 0;
    for (int i = top; i >= 0; --i)
    {
        const uint64_t d = (r << 32) | words[i];
        const uint64_t q = d / divisor;
        quotient[i] = static_cast<uint32_t>(q);
        r = d - q * divisor;
    }
    return static_cast<uint32_t>(r);
}

// The word that lands on a place of a shifted value whose source word is src: its bits moved by
// bitShift toward the bottom (toTop false) or the top, with the bits that cross in from the
// neighbouring source word. A source outside the value gives zero; bitShift 0 never shifts by 32.
template <int Count>
constexpr uint32_t ShiftedWord(const uint32_t (&words)[Count], int src, int bitShift, bool toTop)
{
    if (src < 0 || src >= Count)
        return 0;
    const int next = toTop ? src - 1 : src + 1;
    const bool crosses = bitShift != 0 && next >= 0 && next < Count;
    if (toTop)
        return (words[src] << bitShift) | (crosses ? words[next] >> (32 - bitShift) : 0u);
    return (words[src] >> bitShift) | (crosses ? words[next] << (32 - bitShift) : 0u);
}
} // namespace tFixIntDetail

// ------------------------------------------------------------------------------------------------
// FromInt
//
// Sign extension: every word above word 0 is all ones for a negative value and zero otherwise, so
// FromInt(-1) is the all-ones value of the full width and FromInt(INT32_MIN) keeps its sign.
//
// The conversion to uint32_t is defined for every int32_t (it is taken modulo 2^32), so word 0
// holds the value's own two's-complement bits.
template <int Bits> constexpr tWideInt<Bits> tWideInt<Bits>::FromInt(int32_t value)
{
    const uint32_t fill = value < 0 ? 0xFFFFFFFFu : 0u;
    tWideInt result{};
    result.Words[0] = static_cast<uint32_t>(value);
    for (int i = 1; i < WordCount; ++i)
        result.Words[i] = fill;
    return result;
}

// ------------------------------------------------------------------------------------------------
// FromText
//
// The value is defined by reading the text from its last character back to its first: a place value
// P, of the full width, starts at 1 and is multiplied by the base after each digit, and the
// accumulator R takes digit * P. (The code reads left to right; see the note in the body.)
//
// Base:
// - A base in 2..36 is used as given, and no prefix is recognised: in base 16, "0b101" is 0xB101,
//   because 'b' is a hexadecimal digit.
// - Any other base comes from a prefix. A leading '0' is passed over when more text follows it;
//   the next character then chooses:
//
//       'x' 'X' '#'   16        'n' 'N'       4
//       'd' 'D'       10        'b' 'B' '!'   2
//       'o' 'O' '@'   8         anything else 10, and that character is read as part of the number
//
//   A prefix character that chose the base is consumed; "0x" alone is therefore zero, and "0" is 0.
//
// Digits: '0'..'9' are 0..9, and 'a'..'z' and 'A'..'Z' are 10..35, so letters are read whatever
// their case. A character that has no value, or whose value is not below the base, is skipped, and
// a skipped character does not advance the place value: "1_000" in base 10 is 1000.
//
// Sign: a '-' in base 10 negates what has been read so far, that is, everything to its right.
// A leading '-' makes the whole number negative, and "1-2" is 1 * 10 + (-2) = 8. In any other base
// a '-' is an ordinary invalid character and is skipped: "-ff" in base 16 is 255. With base
// detection, "-0x10" is -10: the '-' chooses base 10 without being consumed, and the 'x' is then
// skipped as an invalid decimal digit.
//
// Width: P wraps modulo 2^Bits like everything else. In base 16 it reaches 2^Bits, which is 0,
// after Bits/4 digits, so more significant digits beyond those add nothing; at 128 bits, a 1
// followed by 32 zeros is 0.
//
// How the value is computed: a base that is a power of two places each digit's bits directly, read
// from the right (such a base has no '-'). Any other base is read from the left, the accumulator
// multiplied by base^n once per group of n digits that fits a 64-bit limb; ParseGroups shows why that
// gives the same bits, '-' and wrap included.
template <int Bits> constexpr tWideInt<Bits> tWideInt<Bits>::FromText(const char* text, int base)
{
    tWideInt result{};
    tFixIntDetail::ParseText<tFixIntDetail::tLimbMath>(result.Words, text, base);
    return result;
}

// ------------------------------------------------------------------------------------------------
// Add
//
// Ripple-carry addition from word 0 upward; the carry out of each word goes into the next and the
// carry out of the top word is dropped, which is the wrap modulo 2^Bits.
//
// Some values, at 128 bits: 0xFFFFFFFF + 1 carries into word 1 (words 1, 0 become 1, 0); the
// all-ones value + 1 is 0, the carry out of word 3 being dropped; the most positive value + 1 is the
// most negative one.
//
// Each word of b is read before the same word of this is written, so a.Add(a) doubles a.
template <int Bits> constexpr tWideInt<Bits>& tWideInt<Bits>::Add(const tWideInt& b)
{
    uint32_t carry = 0;
    for (int i = 0; i < WordCount; ++i)
    {
        const uint64_t sum = uint64_t(Words[i]) + uint64_t(b.Words[i]) + carry;
        Words[i] = static_cast<uint32_t>(sum);
        carry = static_cast<uint32_t>(sum >> 32);
    }
    return *this;
}

// ------------------------------------------------------------------------------------------------
// Multiply
//
// Sign and magnitude around MultiplyUnsigned: both operands are made non-negative, multiplied, and
// the product is negated when exactly one of them was negative.
//
// The bits that result are the low Bits bits of the product whether the operands are read as
// signed or unsigned, so Multiply and MultiplyUnsigned always agree; the sign handling only keeps
// the multiplier small for small negative operands, which keeps the multiplication short.
//
// The most negative value goes through the negations unchanged and counts as the magnitude
// 2^(Bits-1): most-negative * -1 is the most negative value again, as the wrap requires.
//
// b is copied before this changes, so a.Multiply(a) squares a. Without the copy, negating a
// negative this would also negate b through the alias, and the product would come out negative.
template <int Bits> constexpr tWideInt<Bits>& tWideInt<Bits>::Multiply(const tWideInt& b)
{
    const tWideInt other = b;
    const bool thisNegative = IsNegative();
    const bool otherNegative = other.IsNegative();

    if (thisNegative)
        *this = Negate();
    const tWideInt magnitude = otherNegative ? other.Negate() : other;

    MultiplyUnsigned(magnitude);

    if (thisNegative != otherNegative)
        *this = Negate();
    return *this;
}

// ------------------------------------------------------------------------------------------------
// MultiplyUnsigned
//
// Schoolbook multiplication on 64-bit limbs, keeping only the low Bits bits: the same bits as
// shifting and adding bit by bit, at one limb product per step instead of one wide addition per bit.
// A product limb that would land at or past the top is never formed: it would only be dropped by the
// wrap. tFixIntLimbs.h has the two orders of the products; at 512 bits, the low limbs from the top:
//
//     x = ... 0000000000000001 ffffffffffffffff     (two used limbs)
//     y = ... 0000000000000000 0000000000000003     (one used limb: y drives the rows, one row)
//     row 0: 3 * x = ... 0000000000000005 fffffffffffffffd
// At 128 bits (two limbs) the columns take every non-zero operand: three products, two of them low halves.
//
// Both operands are read into limbs before any word of this is written, so a.MultiplyUnsigned(a)
// squares a.
template <int Bits> constexpr tWideInt<Bits>& tWideInt<Bits>::MultiplyUnsigned(const tWideInt& b)
{
    tFixIntDetail::MultiplyLow<tFixIntDetail::tLimbMath>(Words, b.Words, Words);
    return *this;
}

// ------------------------------------------------------------------------------------------------
// ShiftRight
//
// In place, from word 0 upward: word i takes word i + n/32 shifted right by n mod 32, and the low
// bits of the word above it. Going upward never overwrites a word that is still to be read. Words
// whose source lies past the top become zero.
//
// A whole-word shift (n mod 32 == 0) never shifts a word by 32, which C++ leaves undefined.
//
// At 512 bits:
//
//     n = 0      unchanged
//     n = 1      every word takes the low bit of the word above into its bit 31
//     n = 32     every word moves down one place; the top word becomes 0
//     n = 511    only the old top bit remains, now in bit 0: a sign test at any narrower width
//     n = 512    zero, as for any larger n
//
// n >= Bits clears the value. A negative n leaves it unchanged: the program never passes one, and
// doing nothing is the reading that cannot surprise a caller who computed a count of "no bits".
template <int Bits> constexpr tWideInt<Bits>& tWideInt<Bits>::ShiftRight(int32_t n)
{
    if (n >= Bits)
        *this = tWideInt{};
    else if (n > 0)
        for (int i = 0; i < WordCount; ++i)
            Words[i] = tFixIntDetail::ShiftedWord(Words, i + n / 32, n % 32, false);
    return *this;
}

// ------------------------------------------------------------------------------------------------
// ShiftLeft
//
// The mirror of ShiftRight: from the top word downward, word i takes word i - n/32 shifted left by
// n mod 32, and the high bits of the word below it. Going downward never overwrites a word that is
// still to be read. Words whose source lies below word 0 become zero.
//
// Bits shifted out of the top are lost (the wrap modulo 2^Bits); a shift by 32 moves every word up
// one place and clears word 0. n >= Bits clears the value; a negative n leaves it unchanged.
template <int Bits> constexpr tWideInt<Bits>& tWideInt<Bits>::ShiftLeft(int32_t n)
{
    if (n >= Bits)
        *this = tWideInt{};
    else if (n > 0)
        for (int i = WordCount - 1; i >= 0; --i)
            Words[i] = tFixIntDetail::ShiftedWord(Words, i - n / 32, n % 32, true);
    return *this;
}

// ------------------------------------------------------------------------------------------------
// BitAnd
//
// Word by word. Masks are built with FromText, for example the low 128 bits of a 512-bit value:
//
//     tWideInt512::FromText("0x" + 96 zeros + 32 'F', -1)
//
// which is one pass over its 128 digits; a caller that needs the mask often still keeps it.
//
// The print engine uses it with a mask of the low 128 or 256 bits to cut a value that
// was negated at 512 bits back to its own width.
template <int Bits> constexpr tWideInt<Bits>& tWideInt<Bits>::BitAnd(const tWideInt& mask)
{
    for (int i = 0; i < WordCount; ++i)
        Words[i] &= mask.Words[i];
    return *this;
}

// ------------------------------------------------------------------------------------------------
// Negate
//
// Two's complement: every word inverted, then 1 added. The increment starts at word 0 and moves on
// to the next word only while the word just incremented has wrapped to 0, so the carry runs no
// further than it has to.
//
// Negate(0) is 0, and the most negative value (only bit Bits-1 set) is its own negation. The value
// itself is left alone; the result is a new value.
template <int Bits> constexpr tWideInt<Bits> tWideInt<Bits>::Negate() const
{
    tWideInt result{};
    for (int i = 0; i < WordCount; ++i)
        result.Words[i] = ~Words[i];
    for (int i = 0; i < WordCount; ++i)
    {
        ++result.Words[i];
        if (result.Words[i] != 0)
            break;
    }
    return result;
}

// ------------------------------------------------------------------------------------------------
// IsZero
//
// It looks at every word rather than stopping at a cached top: the value holds nothing but its words,
// so nothing else could tell where its highest non-zero word is.
template <int Bits> constexpr bool tWideInt<Bits>::IsZero() const
{
    for (int i = 0; i < WordCount; ++i)
        if (Words[i] != 0)
            return false;
    return true;
}

// ------------------------------------------------------------------------------------------------
// IsNegative
//
// Bit 31 of the top word. The most negative value is negative, and stays so after Negate; zero and
// the most positive value (every bit but the sign set) are not.
//
// For a value that was widened to 512 bits by zero extension this is never
// set; the sign of the original width is that width's own top bit, which the print engine reads.
template <int Bits> constexpr bool tWideInt<Bits>::IsNegative() const
{
    return (Words[WordCount - 1] & 0x80000000u) != 0;
}

// ------------------------------------------------------------------------------------------------
// DivideBySmall
//
// Short division from the top word down, the dividend read as unsigned, a whole word per step
// (DivideWords says why each quotient word fits 32 bits). Exact for every divisor from 1 to 2^32 - 1;
// the print engine's 10 goes through as a constant, which the compiler divides by multiplying.
// The quotient is built in a value of its own, so v = DivideBySmall(v, ...) is safe.
//
// A worked step with divisor 10 and r = 7 coming in from the word above, for w = 0x0001000A:
//
//     d = (7 << 32) | 0x0001000A = 30064836618
//     quotient word = 3006483661    r = 8
//
// Leading zero words of the dividend are skipped: their quotient words are 0 and r stays 0. A small
// number held in a 512-bit working value therefore costs a few word steps per digit.
//
// A zero divisor raises the report with the expression "b" on line 647 of this header, which log
// readers search for; the divisor is copied into a local of that name so that the parameter can say
// what it is. After Ignore the quotient is zero and the remainder 0, the one answer that lets a digit
// loop end.
constexpr tWideInt512 DivideBySmall(const tWideInt512& dividend, uint32_t divisor, uint32_t* remainder)
{
    const uint32_t b = divisor;
    tRequire(b);

    tWideInt512 quotient{};
    uint32_t r = 0;
    if (b == 0)
    {
        if (remainder != nullptr)
            *remainder = 0;
        return quotient;
    }

    int top = tWideInt512::WordCount - 1;
    while (top >= 0 && dividend.Words[top] == 0)
        --top;

    // A constant divisor lets the compiler divide by multiplying; 10 is the divisor of decimal text.
    if (b == 10u)
        r = tFixIntDetail::DivideWords(dividend.Words, quotient.Words, top,
                                       std::integral_constant<uint32_t, 10>{});
    else
        r = tFixIntDetail::DivideWords(dividend.Words, quotient.Words, top, b);

    if (remainder != nullptr)
        *remainder = r;
    return quotient;
}
