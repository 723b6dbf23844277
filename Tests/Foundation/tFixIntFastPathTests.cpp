// The word-wise multiplication, the grouped and bit-placing text parsers and the word-step division
// against plain algorithms kept here as references: bit-serial shift-and-add, the right-to-left parse
// with a place value and a general multiply per digit, and division over 16-bit halves. The inputs aim
// at the fast paths' own edges: group boundaries, '-' between groups, digits that straddle words, the
// wrap at the top, operands with few used words.
#include "TestSeed.h"
#include "TextToIntRules.h"
#include "WideIntText.h"

#include <Foundation/tFixInt.h>
#include <gtest/gtest.h>
#include <random>
#include <string>

namespace
{
template <int Bits> tWideInt<Bits> BitSerialProduct(tWideInt<Bits> a, tWideInt<Bits> m)
{
    tWideInt<Bits> sum{};
    while (!m.IsZero())
    {
        if (m.Words[0] & 1u)
            sum.Add(a);
        m.ShiftRight(1);
        a.ShiftLeft(1);
    }
    return sum;
}

// The parse as defined, with a place value and a general multiply per digit.
template <int Bits> tWideInt<Bits> RightToLeftParse(const std::string& text, int base)
{
    tWideInt<Bits> result{};
    tWideInt<Bits> place = tWideInt<Bits>::FromInt(1);
    ParseRightToLeft(
        text, base, [&] { result = result.Negate(); },
        [&](int digit, int digitBase)
        {
            result.Add(BitSerialProduct(tWideInt<Bits>::FromInt(digit), place));
            place = BitSerialProduct(place, tWideInt<Bits>::FromInt(digitBase));
        });
    return result;
}

// Short division over 16-bit halves, for divisors up to 65536.
tWideInt512 HalvesQuotient(const tWideInt512& dividend, uint32_t divisor, uint32_t& r)
{
    tWideInt512 q{};
    r = 0;
    for (int i = 15; i >= 0; --i)
    {
        const uint32_t w = dividend.Words[i];
        const uint32_t d1 = (r << 16) + (w >> 16);
        r = d1 % divisor;
        const uint32_t d2 = (r << 16) + (w & 0xFFFFu);
        r = d2 % divisor;
        q.Words[i] = ((d1 / divisor) << 16) | (d2 / divisor);
    }
    return q;
}

// Operands with a random number of used words, and words that are often all ones or zero, so that
// rows are skipped, carries run long and the shorter operand changes sides.
template <int Bits> tWideInt<Bits> RandomOperand(std::mt19937_64& rng)
{
    tWideInt<Bits> v{};
    const int used = int(rng() % (tWideInt<Bits>::WordCount + 1));
    for (int i = 0; i < used; ++i)
    {
        const uint64_t kind = rng() % 4;
        v.Words[i] = kind == 0 ? 0u : kind == 1 ? 0xFFFFFFFFu : uint32_t(rng());
    }
    return v;
}

std::string RandomText(std::mt19937_64& rng, int base)
{
    // Digits of every value, '-', characters that are skipped, and prefix characters.
    static const std::string alphabet = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFXYZ--__ #@!x";
    const int length = int(rng() % 200);
    std::string text;
    for (int i = 0; i < length; ++i)
        text += alphabet[rng() % alphabet.size()];
    if (base == 10 && length > 0 && rng() % 2)
        text[0] = '-';
    return text;
}

template <int Bits> void CompareParses(std::mt19937_64& rng, int rounds)
{
    for (int round = 0; round < rounds; ++round)
    {
        const int base = (rng() % 4 == 0) ? -1 : int(2 + rng() % 35);
        const std::string text = RandomText(rng, base);
        ASSERT_EQ(WideHex(tWideInt<Bits>::FromText(text.c_str(), base)),
                  WideHex(RightToLeftParse<Bits>(text, base)))
            << Bits << " bits, base " << base << ", text \"" << text << "\"";
    }
}

template <int Bits> void CompareProducts(std::mt19937_64& rng, int rounds)
{
    for (int round = 0; round < rounds; ++round)
    {
        const tWideInt<Bits> a = RandomOperand<Bits>(rng);
        const tWideInt<Bits> b = RandomOperand<Bits>(rng);
        const std::string expected = WideHex(BitSerialProduct(a, b));
        tWideInt<Bits> unsignedProduct = a;
        unsignedProduct.MultiplyUnsigned(b);
        ASSERT_EQ(WideHex(unsignedProduct), expected) << WideHex(a) << " * " << WideHex(b);
        tWideInt<Bits> signedProduct = a;
        signedProduct.Multiply(b);
        ASSERT_EQ(WideHex(signedProduct), expected) << WideHex(a) << " * " << WideHex(b);
        tWideInt<Bits> square = a;
        square.MultiplyUnsigned(square);
        ASSERT_EQ(WideHex(square), WideHex(BitSerialProduct(a, a))) << WideHex(a) << " squared";
    }
}
} // namespace

TEST(WideIntFastPaths, ProductsMatchShiftAndAdd)
{
    SCOPED_TRACE(SeedTrace(TestSeed()));
    std::mt19937_64 rng(TestSeed());
    CompareProducts<128>(rng, 400);
    CompareProducts<256>(rng, 300);
    CompareProducts<512>(rng, 200);
}

TEST(WideIntFastPaths, RandomTextsMatchTheRightToLeftParse)
{
    SCOPED_TRACE(SeedTrace(TestSeed()));
    std::mt19937_64 rng(TestSeed());
    CompareParses<128>(rng, 300);
    CompareParses<256>(rng, 200);
    CompareParses<512>(rng, 150);
}

// Group and word boundaries of the new parsers, with the '-' placed around them.
TEST(WideIntFastPaths, GroupBoundariesAndSigns)
{
    const std::string nines(40, '9');
    const struct
    {
        std::string Text;
        int Base;
    } cases[] = {
        {"999999999", 10},           // one full group
        {"9999999999", 10},          // one more digit than a group
        {nines.substr(0, 18), 10},   // two full groups
        {nines.substr(0, 19), 10},   // a digit past two groups
        {"123456789-123456789", 10}, // '-' exactly between groups
        {"1234-56789012-345", 10},   // '-' inside groups
        {"--5", 10},                 // two negations cancel
        {"5-", 10},                  // a trailing '-' negates nothing
        {"-", 10},
        {"-_9_9_9_9_9_9_9_9_9_9", 10},                                  // skipped characters inside a group
        {"zzzzzzzzzzzzzzzzzzzz", 36},                                   // groups of six digits
        {"7777777777777777777777777777777777777777777777", 8},          // 3-bit digits straddle words
        {"vvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvv", 32}, // 5-bit digits straddle words
        {"1" + std::string(128, '0'), 16},                              // the 1 wraps away at 512 bits
        {"F" + std::string(127, 'f'), 16},
        {"123" + std::string(130, 'f'), 16}, // more digits than the width holds
        {std::string(600, '1'), 2},
        {"0x" + std::string(129, 'F'), -1},
        {"-0x10", -1},
    };
    for (const auto& c : cases)
    {
        EXPECT_EQ(WideHex(tWideInt512::FromText(c.Text.c_str(), c.Base)),
                  WideHex(RightToLeftParse<512>(c.Text, c.Base)))
            << c.Text << " base " << c.Base;
        EXPECT_EQ(WideHex(tWideInt128::FromText(c.Text.c_str(), c.Base)),
                  WideHex(RightToLeftParse<128>(c.Text, c.Base)))
            << c.Text << " base " << c.Base;
    }
}

TEST(WideIntFastPaths, DivisionMatchesHalvesAndRebuildsTheDividend)
{
    SCOPED_TRACE(SeedTrace(TestSeed()));
    std::mt19937_64 rng(TestSeed());
    const uint32_t fixedDivisors[] = {1, 2, 3, 7, 10, 16, 1000, 65535, 65536, 65537, 1000000000, 0xFFFFFFFFu};
    for (int round = 0; round < 300; ++round)
    {
        const tWideInt512 dividend = RandomOperand<512>(rng);
        const uint32_t divisor =
            round < 24 ? fixedDivisors[round % 12] : uint32_t(rng() >> (rng() % 64)) | 1u;
        uint32_t r = 0;
        const tWideInt512 q = DivideBySmall(dividend, divisor, &r);
        ASSERT_LT(r, divisor);
        // q * divisor + r gives back the dividend, whatever the divisor.
        tWideInt512 rebuilt = BitSerialProduct(q, tWideInt512{{divisor}});
        rebuilt.Add(tWideInt512{{r}});
        ASSERT_EQ(WideHex(rebuilt), WideHex(dividend)) << "divisor " << divisor;
        if (divisor <= 65536)
        {
            uint32_t halvesRemainder = 0;
            ASSERT_EQ(WideHex(q), WideHex(HalvesQuotient(dividend, divisor, halvesRemainder)))
                << "divisor " << divisor;
            ASSERT_EQ(r, halvesRemainder);
        }
    }
}

// The new algorithms stay usable in constant expressions.
TEST(WideIntFastPaths, ConstantEvaluation)
{
    constexpr tWideInt128 parsed = tWideInt128::FromText("-12345678901234567890", 10);
    static_assert(parsed.Words[0] == 0x14E0F52Eu && parsed.Words[1] == 0x54AB5673u &&
                      parsed.Words[3] == 0xFFFFFFFFu,
                  "grouped parse with a sign");
    constexpr tWideInt128 hex = tWideInt128::FromText("0x67452301efcdab8998badcfe10325476", -1);
    static_assert(hex.Words[0] == 0x10325476u && hex.Words[3] == 0x67452301u, "bit-placing parse");
    constexpr tWideInt128 product = tWideInt128::FromText("0xFFFFFFFFFFFFFFFF", -1).MultiplyUnsigned(hex);
    static_assert(product.Words[0] == 0xEFCDAB8Au, "word-wise product");
    constexpr uint32_t remainder = []
    {
        uint32_t r = 0;
        DivideBySmall(tWideInt512{{123457u}}, 10, &r);
        return r;
    }();
    static_assert(remainder == 7, "division by the constant 10");
    EXPECT_EQ(WideHex(parsed), WideHex(RightToLeftParse<128>("-12345678901234567890", 10)));
}
