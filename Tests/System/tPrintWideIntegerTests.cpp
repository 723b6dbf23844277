// 128-, 256- and 512-bit integers beyond the golden table (PrintGolden.h): long fields, and random
// values against conversions written independently here (unsigned __int128 for 128 bits, byte-wise long
// division for the wider ones). The seed is printed with every failure; --gtest_random_seed replays it.
#include "ByteWideInt.h"
#include "PrintRender.h"
#include "TestSeed.h"

#include <Foundation/tFixInt.h>
#include <System/tPrint.h>
#include <cstdint>
#include <cstdlib>
#include <gtest/gtest.h>
#include <random>
#include <string>

using namespace PrintFlags;

namespace
{
template <int Bits> tWideInt<Bits> AllOnes()
{
    return tWideInt<Bits>::FromInt(-1);
}
} // namespace

TEST(PrintWideInteger, LongFieldsKeepEveryDigit)
{
    const tWideInt512 ones512 = AllOnes<512>();
    EXPECT_EQ(Render(HandleBase2, 0, 0, 5000, ones512), Repeat('0', 3584) + Repeat('1', 512));
    const std::string wide = Render(HandleUnsigned, Zero, 5000, -1, ones512);
    EXPECT_EQ(wide.size(), 4096u);
    EXPECT_EQ(wide.substr(4096 - 5), "84095");
}

namespace
{
std::string Int128ToText(unsigned __int128 value, bool asSigned, unsigned base, bool upperCase)
{
    const bool negative = asSigned && (value >> 127);
    if (negative)
        value = ~value + 1;
    const char* alphabet = upperCase ? "0123456789ABCDEF" : "0123456789abcdef";
    char digits[130];
    int start = 130;
    do
    {
        digits[--start] = alphabet[unsigned(value % base)];
        value /= base;
    } while (value != 0);
    return (negative ? "-" : "") + std::string(digits + start, digits + 130);
}

template <int Bits> tWideInt<Bits> RandomWide(std::mt19937_64& random)
{
    tWideInt<Bits> value = tWideInt<Bits>::FromInt(0);
    const int words = Bits / 32;
    switch (random() % 5)
    {
    case 0: // a small value, either sign
        return tWideInt<Bits>::FromInt(int32_t(random() % 2000) - 1000);
    case 1: // the most negative value, the largest positive one, or -1
    {
        const uint32_t top = (random() % 3 == 0) ? 0x80000000u : (random() % 2 ? 0x7FFFFFFFu : 0xFFFFFFFFu);
        for (int i = 0; i < words - 1; i++)
            value.Words[i] = top == 0x80000000u ? 0 : 0xFFFFFFFFu;
        value.Words[words - 1] = top;
        return value;
    }
    default: // random words up to a random length, so every digit count turns up
    {
        const int used = 1 + int(random() % words);
        for (int i = 0; i < used; i++)
            value.Words[i] = uint32_t(random());
        return value;
    }
    }
}

template <int Bits> void CompareWide(uint64_t seed, int rounds)
{
    std::mt19937_64 random(seed);
    int failures = 0;
    for (int round = 0; round < rounds && failures < 10; round++)
    {
        const tWideInt<Bits> value = RandomWide<Bits>(random);
        for (const IntegerRow& c : IntegerRows)
        {
            std::string expected;
            if constexpr (Bits == 128)
            {
                unsigned __int128 native = 0;
                for (int i = 3; i >= 0; i--)
                    native = (native << 32) | value.Words[i];
                expected = Int128ToText(native, c.Signed, c.Base, c.UpperCase);
            }
            else
            {
                expected =
                    ByteWideInt<Bits / 8>::FromWords(value.Words).ToText(c.Signed, c.Base, c.UpperCase);
            }
            const std::string actual = Render(c.Handler, 0, 0, -1, value);
            if (actual != expected)
            {
                failures++;
                ADD_FAILURE() << Bits << "-bit " << c.Char << ": expected " << expected << ", got " << actual;
            }
        }
    }
}
} // namespace

TEST(PrintWideInteger, AgreesWithIndependentConversion)
{
    const uint32_t seed = TestSeed();
    SCOPED_TRACE(SeedTrace(seed));
    CompareWide<128>(seed, 400);
    CompareWide<256>(seed + 1, 150);
    CompareWide<512>(seed + 2, 60);
}

// The 128-bit oracle and the byte-wise one must agree, or neither proves anything.
TEST(PrintWideInteger, OraclesAgree)
{
    std::mt19937_64 random(7);
    for (int round = 0; round < 200; round++)
    {
        const tWideInt128 value = RandomWide<128>(random);
        unsigned __int128 native = 0;
        for (int i = 3; i >= 0; i--)
            native = (native << 32) | value.Words[i];
        for (unsigned base : {2u, 8u, 10u, 16u})
            for (bool asSigned : {false, true})
                ASSERT_EQ(Int128ToText(native, asSigned, base, false),
                          ByteWideInt<16>::FromWords(value.Words).ToText(asSigned, base, false));
    }
}
