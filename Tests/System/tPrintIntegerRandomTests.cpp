// 32- and 64-bit integers against the C library's snprintf with random values, fields and flags. The
// seed is printed with every failure; --gtest_random_seed replays it.
#include "PrintRender.h"
#include "TestSeed.h"

#include <System/tPrint.h>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <random>
#include <string>

namespace
{
// Values that reach the interesting corners: small numbers, extremes, and every bit length.
uint64_t RandomBits(std::mt19937_64& random)
{
    switch (random() % 4)
    {
    case 0:
        return random() % 2000 - 1000; // small, either sign
    case 1:
    {
        const uint64_t extremes[] = {
            0, 1, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, 0x7FFFFFFFFFFFFFFF, 0x8000000000000000, UINT64_MAX};
        return extremes[random() % std::size(extremes)];
    }
    case 2:
        return random() >> (random() % 64);
    default:
        return random();
    }
}

} // namespace

// Only combinations where the handlers and C's printf are meant to agree are drawn. Left out, because
// the rules differ on purpose:
// - '+' and ' ' on u: printed here (the sign step belongs to base 10), ignored by C.
// - '#' on d, i and u: never a prefix here; undefined in C.
// - '#' on o with a precision: here "0" goes in front of the precision's digits ("%#.3o" of 8 gives
//   "0010", of 0 with precision 0 ""); C only raises the precision until the first digit is 0 ("010", "0").
// - Grouping ("_" and ","), base 2, and widths or precisions past 4096 have no counterpart in C.
TEST(PrintIntegerRandom, AgreesWithSnprintf)
{
    const uint32_t seed = TestSeed();
    SCOPED_TRACE(SeedTrace(seed));
    std::mt19937_64 random(seed);

    int failures = 0;
    for (int round = 0; round < 20000 && failures < 10; round++)
    {
        // Every row but the first, b, which C has no conversion for.
        const IntegerRow& conversion = IntegerRows[1 + random() % (std::size(IntegerRows) - 1)];
        const bool wide = random() % 2;
        const uint64_t bits = wide ? RandomBits(random) : uint32_t(RandomBits(random));
        const int width = random() % 3 ? int(random() % 30) : 0;
        const int precision = random() % 2 ? int(random() % 25) : -1;

        uint32_t flags = 0;
        std::string cFlags;
        auto maybe = [&](uint32_t flag, char c, bool allowed)
        {
            if (allowed && random() % 3 == 0)
            {
                flags |= flag;
                cFlags += c;
            }
        };
        const bool decimal = conversion.Char == 'd' || conversion.Char == 'i' || conversion.Char == 'u';
        maybe(tFormatFlag::LeftAlign, '-', true);
        maybe(tFormatFlag::ZeroPad, '0', true);
        maybe(tFormatFlag::PlusSign, '+', conversion.Char != 'u');
        maybe(tFormatFlag::SpaceSign, ' ', conversion.Char != 'u');
        maybe(tFormatFlag::RadixPrefix, '#', !decimal && !(conversion.Char == 'o' && precision >= 0));

        std::string format = "%" + cFlags;
        if (width > 0)
            format += std::to_string(width);
        if (precision >= 0)
            format += "." + std::to_string(precision);
        format += wide ? "ll" : "";
        format += conversion.Char;

        char expected[128];
        if (wide && conversion.Signed)
            std::snprintf(expected, sizeof expected, format.c_str(), (long long)bits);
        else if (wide)
            std::snprintf(expected, sizeof expected, format.c_str(), (unsigned long long)bits);
        else if (conversion.Signed)
            std::snprintf(expected, sizeof expected, format.c_str(), int(int32_t(uint32_t(bits))));
        else
            std::snprintf(expected, sizeof expected, format.c_str(), unsigned(bits));

        const uint32_t bits32 = uint32_t(bits);
        const std::string actual = wide ? Render(conversion.Handler, flags, width, precision, bits)
                                        : Render(conversion.Handler, flags, width, precision, bits32);
        const std::string direct = wide
                                       ? RenderUnlimited(conversion.Handler, flags, width, precision, bits)
                                       : RenderUnlimited(conversion.Handler, flags, width, precision, bits32);
        if (actual != expected || direct != expected)
        {
            failures++;
            ADD_FAILURE() << format << " of 0x" << std::hex << bits << ": expected '" << expected
                          << "', got '" << actual << "', straight into a buffer '" << direct << "'";
        }
    }
}
