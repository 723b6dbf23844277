// 128-, 256- and 512-bit integers: golden texts, and random values against conversions written
// independently here (unsigned __int128 for 128 bits, byte-wise long division for the wider ones).
// The seed is printed with every failure; --gtest_random_seed replays it.
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
template <int Bits> tWideInt<Bits> Wide(const char* hex)
{
    return tWideInt<Bits>::FromText(hex, 16);
}

template <int Bits> tWideInt<Bits> AllOnes()
{
    return tWideInt<Bits>::FromInt(-1);
}
} // namespace

TEST(PrintWideInteger, GoldenTexts)
{
    const tWideInt128 ones128 = AllOnes<128>();
    const tWideInt256 ones256 = AllOnes<256>();
    const tWideInt512 ones512 = AllOnes<512>();
    const tWideInt128 pattern = Wide<128>("0123456789ABCDEF0123456789ABCDEF");
    const tWideInt128 min128 = Wide<128>("80000000000000000000000000000000");
    const tWideInt128 twoTo64 = Wide<128>("10000000000000000");
    const tWideInt128 minus42 = tWideInt128::FromInt(-42);
    const tWideInt512 one = tWideInt512::FromInt(1);
    const tWideInt512 zero = tWideInt512::FromInt(0);

    // Oracles: python3 -c "print(2**128-1)", "print(-2**127)", "print(2**256-1)", "print(2**512-1)".
    EXPECT_EQ(Render(HandleDecimal, 0, 0, -1, ones128), "-1");
    EXPECT_EQ(Render(HandleUnsigned, 0, 0, -1, ones128), "340282366920938463463374607431768211455");
    EXPECT_EQ(Render(HandleHex, 0, 0, -1, ones128), Repeat('f', 32));
    EXPECT_EQ(Render(HandleOctal, 0, 0, -1, ones128), "3" + Repeat('7', 42));
    EXPECT_EQ(Render(HandleBase2, 0, 0, -1, ones128), Repeat('1', 128));
    EXPECT_EQ(Render(HandleDecimal, 0, 0, -1, min128), "-170141183460469231731687303715884105728");
    EXPECT_EQ(Render(HandleHex, Alt, 0, -1, pattern), "1234567_89abcdef_01234567_89abcdef");
    EXPECT_EQ(Render(HandleHexUpper, Radix, 0, -1, pattern), "0X123456789ABCDEF0123456789ABCDEF");
    EXPECT_EQ(Render(HandleDecimal, Alt, 0, -1, twoTo64), "1844_67440737_09551616");
    EXPECT_EQ(Render(HandleDecimal, Comma, 0, -1, twoTo64), "18,446,744,073,709,551,616");
    EXPECT_EQ(Render(HandleDecimal, Zero, 8, -1, minus42), "-0000042");
    EXPECT_EQ(Render(HandleDecimal, Zero, 8, 3, minus42), "    -042");
    EXPECT_EQ(Render(HandleUnsigned, Plus, 0, -1, minus42), "+340282366920938463463374607431768211414");

    EXPECT_EQ(Render(HandleDecimal, 0, 0, -1, ones256), "-1");
    EXPECT_EQ(Render(HandleUnsigned, 0, 0, -1, ones256),
              "115792089237316195423570985008687907853269984665640564039457584007913129639935");
    EXPECT_EQ(Render(HandleDecimal, 0, 0, -1, ones512), "-1");
    EXPECT_EQ(Render(HandleUnsigned, 0, 0, -1, ones512),
              "1340780792994259709957402499820584612747936582059239337772356144372176403007354697680187429816"
              "6903427690031858186486050853753882811946569946433649006084095");

    EXPECT_EQ(Render(HandleBase2, 0, 0, -1, one), "1");
    EXPECT_EQ(Render(HandleBase2, 0, 0, -1, zero), "0");
    EXPECT_EQ(Render(HandleBase2, 0, 0, 0, zero), "");
    EXPECT_EQ(Render(HandleHex, Radix, 0, -1, zero), "0");
    std::string ones;
    for (int group = 0; group < 64; group++)
        ones += (group ? "_" : "") + Repeat('1', 8);
    EXPECT_EQ(Render(HandleBase2, Alt, 0, -1, ones512), ones); // the longest text of any value
}

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
