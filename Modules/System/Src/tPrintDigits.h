// Digit texts of integers, written right to left so that they end at p; a zero value has none. The
// 32- and 64-bit ones are inline: they sit on every integer field's path, and a call per value costs
// as much as the digits of a short one. The wide ones are in tPrintDigits.cpp.
#pragma once
#include "tPrintInline.h"

#include <Foundation/tFixInt.h>
#include <cstdint>
#include <cstring>

namespace tPrintDetail
{
// Computed without a branch on digit < 10: in hexadecimal text digits and letters come at random, and
// a mispredicted branch per digit would cost more than the rest of the digit.
inline char DigitChar(uint32_t digit, bool upperCase)
{
    const uint32_t letterOffset = uint32_t((upperCase ? 'A' : 'a') - '0' - 10);
    return char('0' + digit + (letterOffset & (0u - uint32_t(digit >= 10))));
}

// 1, 3 and 4 for bases 2, 8 and 16, whose digits are groups of bits; 0 for any other base.
inline int BitsPerDigit(int base)
{
    return base == 2 ? 1 : base == 8 ? 3 : base == 16 ? 4 : 0;
}

// "00" to "99", made at compile time from '0' + digit: one division by 100 then gives two characters
// with one two-byte copy, where working out each digit costs a multiplication of its own.
struct tDigitPairs
{
    char Chars[200];
};

constexpr tDigitPairs MakeDigitPairs()
{
    tDigitPairs pairs{};
    for (size_t i = 0; i < 100; i++)
    {
        pairs.Chars[2 * i] = char('0' + i / 10);
        pairs.Chars[2 * i + 1] = char('0' + i % 10);
    }
    return pairs;
}

inline constexpr tDigitPairs DigitPairs = MakeDigitPairs();

// The two digits of a value below 100, leading zero included.
T_PRINT_INLINE char* PutTwoDigits(uint32_t two, char* p)
{
    p -= 2;
    std::memcpy(p, DigitPairs.Chars + size_t(2) * two, 2);
    return p;
}

// The nine digits of a chunk below 10^9, leading zeros included, two per 32-bit division by 100.
inline char* PutNineDigits(uint32_t chunk, char* p)
{
    for (int pair = 0; pair < 4; ++pair)
    {
        const uint32_t q = chunk / 100;
        p = PutTwoDigits(chunk - q * 100, p);
        chunk = q;
    }
    *--p = char('0' + chunk);
    return p;
}

// Divisions by constants are multiplications, and 32-bit ones the cheapest: the value is cut into
// chunks of nine digits while it is wider than 32 bits, then finished two digits at a time.
T_PRINT_INLINE char* PutDecimalDigits(uint64_t v, char* p)
{
    while (v > 0xFFFFFFFFu)
    {
        const uint64_t q = v / 1000000000u;
        p = PutNineDigits(uint32_t(v - q * 1000000000u), p);
        v = q;
    }
    uint32_t w = uint32_t(v);
    while (w >= 100)
    {
        const uint32_t q = w / 100;
        p = PutTwoDigits(w - q * 100, p);
        w = q;
    }
    if (w >= 10)
        return PutTwoDigits(w, p);
    if (w > 0)
        *--p = char('0' + w);
    return p;
}

// "00" to "FF", made at compile time like DigitPairs, for two hexadecimal digits per byte of the value.
// Lower case is the same with bit 5 set in every character: the digits '0' to '9' have it already.
struct tHexPairs
{
    char Chars[512];
};

constexpr tHexPairs MakeHexPairs()
{
    tHexPairs pairs{};
    for (size_t i = 0; i < 256; i++)
    {
        pairs.Chars[2 * i] = char(i / 16 < 10 ? '0' + i / 16 : 'A' + i / 16 - 10);
        pairs.Chars[2 * i + 1] = char(i % 16 < 10 ? '0' + i % 16 : 'A' + i % 16 - 10);
    }
    return pairs;
}

inline constexpr tHexPairs HexPairs = MakeHexPairs();

// Two digits per byte of the value, so half as many steps as digits.
T_PRINT_INLINE char* PutHexDigits(uint64_t v, bool upperCase, char* p)
{
    const uint16_t lowerCase = upperCase ? 0 : 0x2020;
    for (; v >= 0x10; v >>= 8)
    {
        uint16_t two;
        std::memcpy(&two, HexPairs.Chars + 2 * (v & 0xFF), 2);
        two |= lowerCase;
        p -= 2;
        std::memcpy(p, &two, 2);
    }
    if (v != 0)
        *--p = DigitChar(uint32_t(v), upperCase);
    return p;
}

T_PRINT_INLINE char* PutNativeDigits(uint64_t v, int base, bool upperCase, char* p)
{
    if (base == 10)
        return PutDecimalDigits(v, p);
    if (base == 16)
        return PutHexDigits(v, upperCase, p);
    if (const int bits = BitsPerDigit(base))
    {
        const uint64_t mask = (uint64_t(1) << bits) - 1;
        for (; v != 0; v >>= bits)
            *--p = DigitChar(uint32_t(v & mask), upperCase);
        return p;
    }
    for (; v != 0; v /= uint64_t(base))
        *--p = DigitChar(uint32_t(v % uint64_t(base)), upperCase);
    return p;
}
// The number of bits up to the highest set one; 0 for zero.
inline int BitLength(uint64_t v)
{
#if defined(__GNUC__)
    return v == 0 ? 0 : 64 - __builtin_clzll(v);
#else
    int bits = 0;
    while (bits < 64 && (v >> bits) != 0)
        ++bits;
    return bits;
#endif
}

// 10^0 to 10^19, every power of ten below 2^64.
inline constexpr uint64_t PowersOfTen[20] = {1u,
                                             10u,
                                             100u,
                                             1000u,
                                             10000u,
                                             100000u,
                                             1000000u,
                                             10000000u,
                                             100000000u,
                                             1000000000u,
                                             10000000000u,
                                             100000000000u,
                                             1000000000000u,
                                             10000000000000u,
                                             100000000000000u,
                                             1000000000000000u,
                                             10000000000000000u,
                                             100000000000000000u,
                                             1000000000000000000u,
                                             10000000000000000000u};

// The decimal digits of v, 0 for zero (which PutDecimalDigits writes no digit for). The bit count times
// 1233 / 4096 (log10(2) rounded up a little) is the digit count or one less, and one comparison with a
// power of ten tells which.
inline int DecimalDigitCount(uint64_t v)
{
    const int guess = (BitLength(v) * 1233) >> 12;
    return guess + (v >= PowersOfTen[guess] ? 1 : 0);
}

// Uses v up: its words are overwritten by the quotients.
char* PutWideDigits(tWideInt512& v, int base, bool upperCase, char* p);
} // namespace tPrintDetail
