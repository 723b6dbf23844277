// Digit texts of wide integers, and the eight-digit hexadecimal step.
#include "tPrintDigits.h"

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

#if defined(__SIZEOF_INT128__)
__extension__ typedef unsigned __int128 tUint128;

// Division of a 128-bit <high, low> (high below the divisor) by 10^19 with a precomputed reciprocal
// (Moeller and Granlund, "Improved division by invariant integers", 2011): one 64 x 64-bit product and
// two corrections instead of a hardware division. 10^19 is above 2^63, as the method requires.
constexpr uint64_t TenToThe19 = 10000000000000000000u;
constexpr uint64_t TenToThe19Reciprocal = uint64_t(~tUint128(0) / TenToThe19 - (tUint128(1) << 64));

uint64_t DivideByTenToThe19(uint64_t high, uint64_t low, uint64_t& remainder)
{
    const tUint128 product = tUint128(TenToThe19Reciprocal) * high + ((tUint128(high + 1) << 64) | low);
    uint64_t q = uint64_t(product >> 64);
    uint64_t r = low - q * TenToThe19;
    if (r > uint64_t(product))
    {
        --q;
        r += TenToThe19;
    }
    if (r >= TenToThe19)
    {
        ++q;
        r -= TenToThe19;
    }
    remainder = r;
    return q;
}

// The nineteen digits of a chunk below 10^19, leading zeros included.
char* PutNineteenDigits(uint64_t chunk, char* p)
{
    const uint64_t high = chunk / 1000000000u;
    p = PutNineDigits(uint32_t(chunk - high * 1000000000u), p);
    const uint64_t top = high / 1000000000u;
    p = PutNineDigits(uint32_t(high - top * 1000000000u), p);
    *--p = char('0' + top);
    return p;
}

// Decimal digits of a wide value, nineteen per pass over its 64-bit limbs: about a quarter of the
// division steps of nine digits per pass over 32-bit words.
char* PutWideDecimal(const tWideInt512& v, int topWord, char* p)
{
    uint64_t limbs[8];
    for (int i = 0, word = 0; i < 8; ++i, word += 2)
        limbs[i] = v.Words[word] | uint64_t(v.Words[word + 1]) << 32;
    int top = topWord / 2;
    while (top >= 1)
    {
        uint64_t r = 0;
        for (int i = top; i >= 0; --i)
            limbs[i] = DivideByTenToThe19(r, limbs[i], r);
        p = PutNineteenDigits(r, p);
        while (top >= 0 && limbs[top] == 0)
            --top;
    }
    return PutDecimalDigits(top >= 0 ? limbs[0] : 0, p);
}
#endif
} // namespace

// Takes the words it reads as the words of v in place; v is used up.
char* PutWideDigits(tWideInt512& v, int base, bool upperCase, char* p)
{
    int top = tWideInt512::WordCount - 1;
    while (top >= 0 && v.Words[top] == 0)
        --top;
    if (base == 10)
    {
#if defined(__SIZEOF_INT128__)
        if (top >= 2)
            return PutWideDecimal(v, top, p);
#endif
        // One short division of the wide value per nine digits rather than per digit; the divisor is a
        // constant, so the division is done by multiplying. The last 64 bits go the native way.
        while (top >= 2)
        {
            const uint32_t chunk = tFixIntDetail::DivideWords(
                v.Words, v.Words, top, std::integral_constant<uint32_t, 1000000000u>{});
            p = PutNineDigits(chunk, p);
            while (top >= 0 && v.Words[top] == 0)
                --top;
        }
        return PutDecimalDigits(v.Words[0] | uint64_t(v.Words[1]) << 32, p);
    }
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
