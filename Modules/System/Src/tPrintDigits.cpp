// Digit texts of wide integers, with the eight-digit decimal and hexadecimal steps.
#include "tPrintDigits.h"

#include <cstring>

namespace tPrintDetail
{
namespace
{
// The eight hexadecimal digits of a word, leading zeros included, all at once: each nibble is moved
// into a byte of its own, the bytes are turned into characters together (a nibble of 10 or more gets
// the letter offset on top of '0'), and the eight characters are stored most significant first.
char* PutEightHexDigits(uint32_t word, bool upperCase, char* p)
{
    uint64_t n = word;
    n = ((n & 0xFFFF0000u) << 16) | (n & 0x0000FFFFu);
    n = ((n & 0x0000FF000000FF00u) << 8) | (n & 0x000000FF000000FFu);
    n = ((n & 0x00F000F000F000F0u) << 4) | (n & 0x000F000F000F000Fu);
    // Byte i now holds nibble i. A byte of 10 or more carries into bit 4 when 6 is added.
    const uint64_t isLetter = ((n + 0x0606060606060606u) >> 4) & 0x0101010101010101u;
    const uint64_t letterOffset = uint64_t((upperCase ? 'A' : 'a') - '0' - 10);
    n += 0x3030303030303030u + isLetter * letterOffset;
    p -= 8;
    for (int i = 7; i >= 0; --i, n >>= 8)
        p[i] = char(n & 0xFF);
    return p;
}

// The eight decimal digits of a value below 10^8, leading zeros included, all at once: the value is
// split into two 4-digit halves in the two 32-bit lanes of a word, each lane into two 2-digit numbers
// in 16-bit lanes, and each of those into two digits in bytes. Each split divides every lane at once
// by multiplying with a scaled reciprocal (10486 / 2^20 for 100, 103 / 2^10 for 10), exact for the
// lanes' ranges, and no lane's product reaches the next lane. The first digit ends in the low byte.
inline char* PutEightDigits(uint32_t value, char* p)
{
    uint64_t v = value / 10000 | uint64_t(value % 10000) << 32;
    const uint64_t hundreds = (v * 10486 >> 20) & 0x0000007F0000007Fu;
    v = (v - hundreds * 100) << 16 | hundreds;
    const uint64_t tens = (v * 103 >> 10) & 0x000F000F000F000Fu;
    v = ((v - tens * 10) << 8 | tens) + 0x3030303030303030u;
    p -= 8;
    if (tFixIntDetail::CopiesAsLittleEndian())
        std::memcpy(p, &v, 8);
    else
        for (int i = 0; i < 8; ++i)
            p[i] = char(v >> (8 * i));
    return p;
}

// The nineteen digits of a chunk below 10^19, leading zeros included: three, then two runs of eight.
char* PutNineteenDigits(uint64_t chunk, char* p)
{
    constexpr uint64_t TenToThe8 = 100000000u;
    constexpr uint64_t TenToThe16 = TenToThe8 * TenToThe8;
    const uint64_t top = chunk / TenToThe16;
    const uint64_t rest = chunk - top * TenToThe16;
    const uint64_t high = rest / TenToThe8;
    p = PutEightDigits(uint32_t(rest - high * TenToThe8), p);
    p = PutEightDigits(uint32_t(high), p);
    const uint32_t lastTwo = uint32_t(top % 100);
    p -= 3;
    p[0] = char('0' + top / 100);
    p[1] = char('0' + lastTwo / 10);
    p[2] = char('0' + lastTwo % 10);
    return p;
}

using tWideLimbs = uint64_t[tFixIntDetail::LimbCount<tWideInt512::WordCount>];

// 10^19, the largest power of ten below 2^64, with its reciprocal.
constexpr tFixIntDetail::tInvariantDivisor TenToThe19 =
    tFixIntDetail::MakeInvariantDivisor(10000000000000000000u);

// Two short divisions by 10^19 in one sweep from the top limb down: the second divides each quotient
// limb of the first as it comes out. Each division is a chain of remainders, a product and two
// corrections long per limb; in one loop the two chains run side by side instead of one after the
// other. Returns the first remainder (the lower 19 digits) in Low, the second in High.
tFixIntDetail::tTwoLimbs DivideTwice(tWideLimbs& limbs, int top)
{
    uint64_t first = 0;
    uint64_t second = 0;
    for (int i = top; i >= 0; --i)
    {
        const tFixIntDetail::tTwoLimbs once =
            tFixIntDetail::DivideTwoLimbs<tFixIntDetail::tLimbMath>(first, limbs[i], TenToThe19);
        const tFixIntDetail::tTwoLimbs twice =
            tFixIntDetail::DivideTwoLimbs<tFixIntDetail::tLimbMath>(second, once.Low, TenToThe19);
        first = once.High;
        second = twice.High;
        limbs[i] = twice.Low;
    }
    return {first, second};
}

// Decimal digits of a value of more than 64 bits, nineteen per short division of its 64-bit limbs by
// 10^19: the division costs a product and a correction per limb, and the chunk's digits come out with
// a few products of their own. Each division shortens the value by 63 bits or more (10^19 > 2^63).
// While the value has three limbs or more, both chunks of two divisions in a row have all their
// digits (the first quotient is above 2^64 > 10^19), so those go two at a time; once the value fits a
// limb, the native digits finish it.
char* PutWideDecimal(tWideLimbs& limbs, char* p)
{
    int top = tFixIntDetail::UsedLimbs(limbs) - 1;
    while (top >= 1)
    {
        if (top >= 2)
        {
            const tFixIntDetail::tTwoLimbs chunks = DivideTwice(limbs, top);
            p = PutNineteenDigits(chunks.High, PutNineteenDigits(chunks.Low, p));
        }
        else
            p = PutNineteenDigits(
                tFixIntDetail::DivideLimbs<tFixIntDetail::tLimbMath>(limbs, top, TenToThe19), p);
        while (top >= 0 && limbs[top] == 0)
            --top;
    }
    return PutDecimalDigits(limbs[0], p);
}
} // namespace

// Takes the words it reads as the words of v in place; v is used up.
char* PutWideDigits(tWideInt512& v, int base, bool upperCase, char* p)
{
    if (base == 10)
    {
        tWideLimbs limbs = {};
        tFixIntDetail::WordsToLimbs(v.Words, limbs);
        // Wide arguments often hold small values, and one that fits 64 bits needs no wide division. The
        // test is spelled out because the compiler keeps a loop of it as a loop, at three times the cost.
        static_assert(sizeof limbs == 8 * sizeof limbs[0], "the test below reads limbs 1 to 7");
        const uint64_t above =
            (limbs[1] | limbs[2]) | (limbs[3] | limbs[4]) | (limbs[5] | limbs[6]) | limbs[7];
        return above == 0 ? PutDecimalDigits(limbs[0], p) : PutWideDecimal(limbs, p);
    }
    int top = tWideInt512::WordCount - 1;
    while (top >= 0 && v.Words[top] == 0)
        --top;
    if (const int bits = BitsPerDigit(base))
    {
        if (top < 0)
            return p;
        const uint32_t digitMask = (1u << bits) - 1;
        if (bits == 4)
        {
            for (int word = 0; word < top; ++word)
                p = PutEightHexDigits(v.Words[word], upperCase, p);
            for (uint32_t w = v.Words[top]; w != 0; w >>= bits)
                *--p = DigitChar(w & digitMask, upperCase);
            return p;
        }
        if (32 % bits == 0)
        {
            // Bases 2 and 16: whole digits per word. Every word below the top gives all of its digits,
            // leading zeros included; the top word stops at its highest set digit.
            for (int word = 0; word < top; ++word)
            {
                uint32_t w = v.Words[word];
                for (int i = 0; i < 32 / bits; ++i, w >>= bits)
                    *--p = DigitChar(w & digitMask, upperCase);
            }
            for (uint32_t w = v.Words[top]; w != 0; w >>= bits)
                *--p = DigitChar(w & digitMask, upperCase);
            return p;
        }
        // Base 8: each digit is the group of bits at its place, and may straddle two words.
        int valueBits = 32 * top;
        for (uint32_t w = v.Words[top]; w != 0; w >>= 1)
            ++valueBits;
        const uint32_t mask = (1u << bits) - 1;
        for (int place = 0; place < valueBits; place += bits)
        {
            const int word = place / 32;
            const int shift = place % 32;
            uint32_t digit = v.Words[word] >> shift;
            if (shift + bits > 32 && word + 1 < tWideInt512::WordCount)
                digit |= v.Words[word + 1] << (32 - shift);
            *--p = DigitChar(digit & mask, upperCase);
        }
        return p;
    }
    while (!v.IsZero())
    {
        uint32_t digit = 0;
        v = DivideBySmall(v, uint32_t(base), &digit);
        *--p = DigitChar(digit, upperCase);
    }
    return p;
}

} // namespace tPrintDetail
