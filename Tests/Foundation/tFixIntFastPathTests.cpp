// The limb-wise multiplication, the grouped and bit-placing text parsers and the word-step division
// against plain algorithms kept here as references: bit-serial shift-and-add, the right-to-left parse
// with a place value and a general multiply per digit, and division over 16-bit halves. The inputs aim
// at the fast paths' own edges: group boundaries, runs of eight digits, '-' between groups, digits that
// straddle words, the wrap at the top, operands with few used words, an odd word count (96 bits).
// Products and parses run through both limb maths, the compiler's 128-bit one and the portable one.
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
    // Digits of every value, '-', characters that are skipped, and prefix characters; or, half the
    // time, decimal digits with a rare '_' or '-', so that runs of eight digits meet group ends anywhere.
    static const std::string alphabet = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFXYZ--__ #@!x";
    static const std::string decimal = "0123456789012345678901234567890123456789_-";
    const std::string& chars = rng() % 2 ? alphabet : decimal;
    const int length = int(rng() % 200);
    std::string text;
    for (int i = 0; i < length; ++i)
        text += chars[rng() % chars.size()];
    if (base == 10 && length > 0 && rng() % 2)
        text[0] = '-';
    return text;
}

template <typename tMath, int Bits> tWideInt<Bits> ParsedWith(const std::string& text, int base)
{
    tWideInt<Bits> value{};
    tFixIntDetail::ParseText<tMath>(value.Words, text.c_str(), base);
    return value;
}

// FromText and the portable limb math's parse against the reference.
template <int Bits> void ExpectParse(const std::string& text, int base)
{
    const std::string expected = WideHex(RightToLeftParse<Bits>(text, base));
    EXPECT_EQ(WideHex(tWideInt<Bits>::FromText(text.c_str(), base)), expected)
        << Bits << " bits, base " << base << ", text \"" << text << "\"";
    EXPECT_EQ(WideHex(ParsedWith<tFixIntDetail::tPortableLimbMath, Bits>(text, base)), expected)
        << "portable, " << Bits << " bits, base " << base << ", text \"" << text << "\"";
}

template <int Bits> void CompareParses(std::mt19937_64& rng, int rounds)
{
    for (int round = 0; round < rounds && !::testing::Test::HasFailure(); ++round)
    {
        const int base = (rng() % 4 == 0) ? -1 : int(2 + rng() % 35);
        ExpectParse<Bits>(RandomText(rng, base), base);
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
        tWideInt<Bits> portable{};
        tFixIntDetail::MultiplyLow<tFixIntDetail::tPortableLimbMath>(a.Words, b.Words, portable.Words);
        ASSERT_EQ(WideHex(portable), expected) << "portable: " << WideHex(a) << " * " << WideHex(b);
    }
}
} // namespace

TEST(WideIntFastPaths, ProductsMatchShiftAndAdd)
{
    SCOPED_TRACE(SeedTrace(TestSeed()));
    std::mt19937_64 rng(TestSeed());
    CompareProducts<96>(rng, 200);
    CompareProducts<128>(rng, 400);
    CompareProducts<256>(rng, 300);
    CompareProducts<512>(rng, 200);
}

TEST(WideIntFastPaths, RandomTextsMatchTheRightToLeftParse)
{
    SCOPED_TRACE(SeedTrace(TestSeed()));
    std::mt19937_64 rng(TestSeed());
    CompareParses<96>(rng, 150);
    CompareParses<128>(rng, 300);
    CompareParses<256>(rng, 200);
    CompareParses<512>(rng, 150);
}

// Group and word boundaries of the parsers, runs of eight decimal digits, with the '-' placed around them.
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
        {"12345678", 10},                                               // one run of eight, then the end
        {"1234567-8", 10},                                              // a '-' breaks the run
        {"987654329876_98765432", 10},                                  // a run after a group of 12
        {"0d1234567812345678123", -1},                                  // runs after a prefix, then three
        {"98765432109876543210-7", 10},                                 // runs, single digits, a full group
        {nines.substr(0, 17) + "_" + nines.substr(0, 16), 10},          // a '_' inside what would be a run
        {"-" + nines + nines, 10},                                      // 80 digits: past the width
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
        ExpectParse<512>(c.Text, c.Base);
        ExpectParse<128>(c.Text, c.Base);
        ExpectParse<96>(c.Text, c.Base);
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

// Short division of 64-bit limbs by a fixed divisor (the print engine's 10^19) with a reciprocal, in
// both limb maths: the quotient times the divisor plus the remainder gives back the dividend.
TEST(WideIntFastPaths, DivisionByAFixedLimbRebuildsTheDividend)
{
    SCOPED_TRACE(SeedTrace(TestSeed()));
    std::mt19937_64 rng(TestSeed());
    const uint64_t divisors[] = {10000000000000000000u, uint64_t(1) << 63, ~uint64_t(0), 0x8000000000000001u};
    for (int round = 0; round < 200; ++round)
    {
        const tWideInt512 dividend = round == 0 ? tWideInt512::FromInt(-1) : RandomOperand<512>(rng);
        const tFixIntDetail::tInvariantDivisor d = tFixIntDetail::MakeInvariantDivisor(divisors[round % 4]);
        uint64_t native[8] = {};
        uint64_t portable[8] = {};
        tFixIntDetail::WordsToLimbs(dividend.Words, native);
        tFixIntDetail::WordsToLimbs(dividend.Words, portable);
        const uint64_t r = tFixIntDetail::DivideLimbs<tFixIntDetail::tLimbMath>(native, 7, d);
        ASSERT_EQ(tFixIntDetail::DivideLimbs<tFixIntDetail::tPortableLimbMath>(portable, 7, d), r);
        ASSERT_LT(r, d.Divisor);
        tWideInt512 quotient{};
        tFixIntDetail::LimbsToWords<16>(native, quotient.Words);
        tWideInt512 rebuilt = quotient;
        rebuilt.MultiplyUnsigned(tWideInt512{{uint32_t(d.Divisor), uint32_t(d.Divisor >> 32)}});
        rebuilt.Add(tWideInt512{{uint32_t(r), uint32_t(r >> 32)}});
        ASSERT_EQ(WideHex(rebuilt), WideHex(dividend)) << "divisor " << d.Divisor;
        tFixIntDetail::LimbsToWords<16>(portable, rebuilt.Words);
        ASSERT_EQ(WideHex(rebuilt), WideHex(quotient)) << "portable, divisor " << d.Divisor;
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
