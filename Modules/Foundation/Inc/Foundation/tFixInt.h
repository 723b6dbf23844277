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
// schoolbook over the used words of the shorter operand, on 64-bit limbs where the compiler has
// unsigned __int128, so a small multiplier costs a few steps. FromText costs one pass over the words
// in use per word-sized group of digits (nine decimal digits). DivideBySmall skips the leading zero
// words and divides a whole word per step, by multiplying for a divisor of 10.
//
// Nothing allocates, throws or keeps state outside its arguments and the stack, and everything is
// constexpr: any thread and any static initialiser, in any order, may call anything here. The hash
// initial values are parsed with FromText before main; the print engine widens every wide argument to
// a 512-bit working value, takes a negative one's magnitude with Negate and BitAnd, and takes the
// digits off by short division over the words.
//
// Not here: subtraction (a.Add(b.Negate())); equality (compare the words: there is no padding);
// order (compare the words from the top down, after flipping both sign bits to read them as signed);
// division by more than 32 bits, or of signed values (negate before and after DivideBySmall). Each
// stays outside the type so that the type stays a bare array of words.
// Arithmetic is unsigned throughout (uint32_t, uint64_t and, in the multiply, unsigned __int128), so
// no operation can overflow a signed type, whatever the operands.
#pragma once
#include <Foundation/tStandard.h>
#include <cstdint>
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
// words[0, used) = words * factor + addend; the word that carries out goes into words[used] while
// there is room (it is dropped at the top, the wrap), and used grows to cover it. Words at and above
// used must be zero. A word times a word plus a word fits 64 bits: (2^32-1)^2 + 2^32-1 < 2^64.
template <int Count>
constexpr void MultiplyAddSmall(uint32_t (&words)[Count], int& used, uint32_t factor, uint32_t addend)
{
    uint64_t carry = addend;
    for (int i = 0; i < used; ++i)
    {
        const uint64_t t = uint64_t(words[i]) * factor + carry;
        words[i] = static_cast<uint32_t>(t);
        carry = t >> 32;
    }
    if (carry != 0 && used < Count)
        words[used++] = static_cast<uint32_t>(carry);
}

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

// words -= value, modulo 2^(32 * Count). A borrow that runs past used leaves ones above it, so used
// then covers every word.
template <int Count> constexpr void SubtractSmall(uint32_t (&words)[Count], int& used, uint32_t value)
{
    uint32_t borrow = value;
    for (int i = 0; i < Count && borrow != 0; ++i)
    {
        const uint32_t old = words[i];
        words[i] = old - borrow;
        borrow = old < borrow ? 1u : 0u;
        if (i >= used && borrow != 0)
            used = Count;
    }
}

// words = words * scale + group, or - group when negative: one group of digits of FromText, whose
// value is below scale. An empty group (scale 1) changes nothing.
template <int Count>
constexpr void AddGroup(uint32_t (&words)[Count], int& used, uint32_t scale, uint32_t group, bool negative)
{
    if (scale == 1)
        return;
    MultiplyAddSmall(words, used, scale, negative ? 0u : group);
    if (negative)
        SubtractSmall(words, used, group);
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

// The low Count words of x * y, schoolbook style: the operand with fewer used limbs drives the outer
// loop (one row per limb), and no product is formed for a place at or past the width, which is the
// wrap. Row i's carry lands on a limb no earlier row has reached (row i' ends below i' + innerUsed).
// Where the compiler has a 128-bit type the limbs are 64 bits wide, a quarter of the products.
template <typename tLimb, typename tWide, int N>
constexpr void MultiplyLimbs(const tLimb (&a)[N], const tLimb (&b)[N], tLimb (&product)[N])
{
    int usedA = N;
    while (usedA > 0 && a[usedA - 1] == 0)
        --usedA;
    int usedB = N;
    while (usedB > 0 && b[usedB - 1] == 0)
        --usedB;
    const tLimb* outer = usedA <= usedB ? a : b;
    const tLimb* inner = usedA <= usedB ? b : a;
    const int outerUsed = usedA <= usedB ? usedA : usedB;
    const int innerUsed = usedA <= usedB ? usedB : usedA;
    constexpr int limbBits = 8 * static_cast<int>(sizeof(tLimb));
    for (int i = 0; i < N; ++i)
        product[i] = 0;
    for (int i = 0; i < outerUsed; ++i)
    {
        const tWide m = outer[i];
        if (m == 0)
            continue;
        const int end = innerUsed < N - i ? innerUsed : N - i;
        tLimb carry = 0;
        for (int j = 0; j < end; ++j)
        {
            // A limb times a limb plus two limbs fits the double width: (2^n-1)^2 + 2(2^n-1) = 2^2n - 1.
            const tWide t = m * inner[j] + product[i + j] + carry;
            product[i + j] = static_cast<tLimb>(t);
            carry = static_cast<tLimb>(t >> limbBits);
        }
        if (i + end < N)
            product[i + end] = carry;
    }
}

template <int Count>
constexpr void MultiplyLow(const uint32_t (&x)[Count], const uint32_t (&y)[Count], uint32_t (&product)[Count])
{
#if defined(__SIZEOF_INT128__)
    if constexpr (Count % 2 == 0)
    {
        __extension__ typedef unsigned __int128 tUint128;
        uint64_t a[Count / 2] = {};
        uint64_t b[Count / 2] = {};
        uint64_t p[Count / 2] = {};
        for (int i = 0, word = 0; i < Count / 2; ++i, word += 2)
        {
            a[i] = x[word] | uint64_t(x[word + 1]) << 32;
            b[i] = y[word] | uint64_t(y[word + 1]) << 32;
        }
        MultiplyLimbs<uint64_t, tUint128>(a, b, p);
        for (int i = 0, word = 0; i < Count / 2; ++i, word += 2)
        {
            product[word] = static_cast<uint32_t>(p[i]);
            product[word + 1] = static_cast<uint32_t>(p[i] >> 32);
        }
        return;
    }
#endif
    MultiplyLimbs<uint32_t, uint64_t>(x, y, product);
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
// multiplied by base^n once per group of n digits that fits a word; the note in the body shows why
// that gives the same bits, '-' and wrap included.
//
// The length is counted here rather than with the checked text helpers: a null text is a valid
// input (it gives zero), and this must stay usable in constant expressions.
template <int Bits> constexpr tWideInt<Bits> tWideInt<Bits>::FromText(const char* text, int base)
{
    tWideInt result{};
    if (text == nullptr || text[0] == '\0')
        return result;

    // The position is a signed 32-bit count; stop counting rather than overflow it.
    int32_t length = 0;
    while (length < INT32_MAX && text[length] != '\0')
        ++length;

    int32_t start = 0;
    base = tTextChooseBase(text, length, base, start);

    // A base that is a power of two has no '-' and no carries: each digit's bits go to their place.
    if (tFixIntDetail::PlaceBitDigits(result.Words, text, start, length, base))
        return result;

    // Left to right, Horner's way, R = R * base +- digit, on word-sized groups of digits. The bits are
    // those of the right-to-left reading: both give, modulo 2^Bits (a ring, so grouping cannot matter),
    // the sum of s * digit * base^k, k counting the valid digits to the right and s being -1 to the
    // power of the '-' to the left. A '-' closes the group before it, so a group has one sign.
    int used = 0;
    uint32_t group = 0;
    uint32_t groupScale = 1;
    bool negative = false;
    const uint32_t groupLimit = 0xFFFFFFFFu / static_cast<uint32_t>(base);
    const auto flush = [&](tWideInt& r)
    {
        tFixIntDetail::AddGroup(r.Words, used, groupScale, group, negative);
        group = 0;
        groupScale = 1;
    };
    for (int32_t at = start; at < length; ++at)
    {
        const char ch = text[at];
        if (ch == '-' && base == 10)
        {
            flush(result);
            negative = !negative;
            continue;
        }
        const int value = tFixIntDetail::DigitValue(ch);
        if (value < 0 || value >= base)
            continue;
        if (groupScale > groupLimit)
            flush(result);
        group = group * static_cast<uint32_t>(base) + static_cast<uint32_t>(value);
        groupScale *= static_cast<uint32_t>(base);
    }
    flush(result);
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
// Schoolbook multiplication by words, keeping only the low Bits bits: the same bits as shifting and
// adding bit by bit, at one word product per step instead of one wide addition per bit.
//
// Row i multiplies the whole other operand by word i of the shorter one and adds it in at word i,
// with the carry running from word to word. A product word that would land at or past the top is
// never formed: it would only be dropped by the wrap. A trace at 128 bits, words from the top down:
//
//     x = 00000000 00000000 00000001 ffffffff     (two used words)
//     y = 00000000 00000000 00000000 00000003     (one used word: y drives the loop, one row)
//     row 0: 3 * x = 00000000 00000000 00000005 fffffffd
template <int Bits> constexpr tWideInt<Bits>& tWideInt<Bits>::MultiplyUnsigned(const tWideInt& b)
{
    // Copies, so that a.MultiplyUnsigned(a) reads the old value throughout.
    const tWideInt x = *this;
    const tWideInt y = b;
    tFixIntDetail::MultiplyLow(x.Words, y.Words, Words);
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
