// Wide integers at every width: parsing, the sign-sensitive operations, shifts at word and width
// boundaries, and division by small divisors. Expected wide values come from python3 where noted.
#include "RecordingPrompt.h"
#include "TextToIntCases.h"
#include "WideIntText.h"

#include <Foundation/tFixInt.h>
#include <Foundation/tHashInit.h>
#include <climits>
#include <gtest/gtest.h>

// The constant pair of this unit, for the cross-unit comparison in the hash-constant tests.
const tWideInt128& HashInitMD5OfWideIntUnit()
{
    return HashInitMD5;
}
const tWideInt256& HashInitSHA256OfWideIntUnit()
{
    return HashInitSHA256;
}

// The operations are usable in constant expressions; a slip into something non-constexpr fails the
// build here rather than in a caller.
static_assert(tWideInt128::FromText("0x1F", -1).Words[0] == 31u, "prefix parse at compile time");
static_assert(tWideInt128::FromText("-1", 10).Words[3] == 0xFFFFFFFFu, "sign at compile time");
static_assert(tWideInt128::FromInt(-3).Multiply(tWideInt128::FromInt(5)).Negate().Words[0] == 15u,
              "multiply at compile time");
static_assert(DivideBySmall(tWideInt512::FromInt(1000), 7, nullptr).Words[0] == 142u,
              "divide at compile time");

template <typename T> class WideIntTest : public testing::Test
{
};
using WideIntTypes = testing::Types<tWideInt128, tWideInt256, tWideInt512>;
struct WidthName
{
    template <typename T> static std::string GetName(int)
    {
        return "Bits" + std::to_string(T::WordCount * 32);
    }
};
TYPED_TEST_SUITE(WideIntTest, WideIntTypes, WidthName);

TYPED_TEST(WideIntTest, FromIntSignExtends)
{
    constexpr int bits = TypeParam::WordCount * 32;
    EXPECT_EQ(WideHex(TypeParam::FromInt(0)), WideHex(WideFromWords<bits>({})));
    EXPECT_EQ(WideHex(TypeParam::FromInt(7)), WideHex(WideFromWords<bits>({7})));
    EXPECT_EQ(WideHex(TypeParam::FromInt(-1)), WideHex(WideFromWords<bits>({}, 0xFFFFFFFFu)));
    EXPECT_EQ(WideHex(TypeParam::FromInt(INT32_MIN)),
              WideHex(WideFromWords<bits>({0x80000000u}, 0xFFFFFFFFu)));
    EXPECT_EQ(WideHex(TypeParam::FromInt(INT32_MAX)), WideHex(WideFromWords<bits>({0x7FFFFFFFu})));
}

// The table tTextToInt runs through as well (tTextTests.cpp).
TYPED_TEST(WideIntTest, FromTextPrefixesSignsAndSkippedCharacters)
{
    for (const TextToIntCase& c : TextToIntCases)
    {
        SCOPED_TRACE(std::string("\"") + c.Text + "\" base " + std::to_string(c.Base));
        EXPECT_EQ(WideHex(TypeParam::FromText(c.Text, c.Base)), WideHex(TypeParam::FromInt(c.Expected)));
    }
    EXPECT_TRUE(TypeParam::FromText(nullptr, 10).IsZero());
    EXPECT_TRUE(TypeParam::FromText(nullptr, -1).IsZero());
}

TYPED_TEST(WideIntTest, FromTextWrapsAtTheWidth)
{
    constexpr int bits = TypeParam::WordCount * 32;
    const std::string allF(bits / 4, 'f');
    EXPECT_EQ(WideHex(TypeParam::FromText(allF.c_str(), 16)), WideHex(TypeParam::FromInt(-1)));

    // One digit more than fits: the place value has wrapped to zero, so the 1 adds nothing.
    const std::string oneAndZeros = "1" + std::string(bits / 4, '0');
    EXPECT_TRUE(TypeParam::FromText(oneAndZeros.c_str(), 16).IsZero());
    const std::string oneAndFs = "1" + allF;
    EXPECT_EQ(WideHex(TypeParam::FromText(oneAndFs.c_str(), 16)), WideHex(TypeParam::FromInt(-1)));

    // The top digit of a full-width text lands in the top word.
    const std::string eightAndZeros = "8" + std::string(bits / 4 - 1, '0');
    EXPECT_EQ(WideHex(TypeParam::FromText(eightAndZeros.c_str(), 16)), WideHex(WideMostNegative<bits>()));
}

TYPED_TEST(WideIntTest, MultiplyHonoursSignsAndWraps)
{
    constexpr int bits = TypeParam::WordCount * 32;
    const TypeParam mostNegative = WideMostNegative<bits>();

    TypeParam v = mostNegative;
    EXPECT_EQ(WideHex(v.Multiply(TypeParam::FromInt(-1))), WideHex(mostNegative));
    v = TypeParam::FromInt(-1);
    EXPECT_EQ(WideHex(v.Multiply(mostNegative)), WideHex(mostNegative));
    v = mostNegative;
    EXPECT_TRUE(v.Multiply(TypeParam::FromInt(2)).IsZero());

    const struct
    {
        int32_t A, B, Product;
    } cases[] = {{-3, 5, -15}, {3, -5, -15}, {-3, -5, 15}, {5, 0, 0}, {0, -5, 0}, {-1, -1, 1}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(std::to_string(c.A) + " * " + std::to_string(c.B));
        TypeParam a = TypeParam::FromInt(c.A);
        EXPECT_EQ(WideHex(a.Multiply(TypeParam::FromInt(c.B))), WideHex(TypeParam::FromInt(c.Product)));
    }
    // The product leaves the low word: 46341^2 = 0x80001219 is positive at every width here.
    v = TypeParam::FromInt(46341);
    EXPECT_EQ(WideHex(v.Multiply(TypeParam::FromInt(46341))), WideHex(WideFromWords<bits>({0x80001219u})));
}

TYPED_TEST(WideIntTest, MultiplyBySelf)
{
    // The operand is read through the same reference that is being written.
    TypeParam a = TypeParam::FromInt(-3);
    EXPECT_EQ(WideHex(a.Multiply(a)), WideHex(TypeParam::FromInt(9)));
    a = TypeParam::FromInt(-3);
    EXPECT_EQ(WideHex(a.MultiplyUnsigned(a)), WideHex(TypeParam::FromInt(9)));
    a = TypeParam::FromInt(0x10000);
    EXPECT_EQ(WideHex(a.Multiply(a)), WideHex(TypeParam::FromText("100000000", 16)));
}

TYPED_TEST(WideIntTest, MultiplyUnsignedReadsBitsAsUnsigned)
{
    // (2^Bits - 1)^2 = 2^(2 Bits) - 2^(Bits+1) + 1, which is 1 modulo 2^Bits.
    TypeParam a = TypeParam::FromInt(-1);
    EXPECT_EQ(WideHex(a.MultiplyUnsigned(TypeParam::FromInt(-1))), WideHex(TypeParam::FromInt(1)));
    a = TypeParam::FromInt(123);
    EXPECT_TRUE(a.MultiplyUnsigned(TypeParam::FromInt(0)).IsZero());
}

TYPED_TEST(WideIntTest, ShiftsAtWordAndWidthBoundaries)
{
    constexpr int bits = TypeParam::WordCount * 32;
    const TypeParam pattern = WideFromWords<bits>({0x89ABCDEFu, 0x01234567u}, 0xA5A5A5A5u);

    TypeParam v = pattern;
    EXPECT_EQ(WideHex(v.ShiftRight(0)), WideHex(pattern));
    v = pattern;
    EXPECT_EQ(WideHex(v.ShiftLeft(0)), WideHex(pattern));
    v = pattern;
    EXPECT_EQ(WideHex(v.ShiftRight(-1)), WideHex(pattern));
    v = pattern;
    EXPECT_EQ(WideHex(v.ShiftLeft(INT32_MIN)), WideHex(pattern));

    TypeParam up = pattern;
    up.ShiftLeft(32);
    EXPECT_EQ(up.Words[0], 0u);
    for (int i = 1; i < TypeParam::WordCount; ++i)
        EXPECT_EQ(up.Words[i], pattern.Words[i - 1]) << "word " << i;

    TypeParam down = pattern;
    down.ShiftRight(32);
    EXPECT_EQ(down.Words[TypeParam::WordCount - 1], 0u);
    for (int i = 0; i + 1 < TypeParam::WordCount; ++i)
        EXPECT_EQ(down.Words[i], pattern.Words[i + 1]) << "word " << i;

    // Bits cross word boundaries in both directions.
    v = WideFromWords<bits>({0x80000001u});
    EXPECT_EQ(WideHex(v.ShiftLeft(33)), WideHex(WideFromWords<bits>({0, 0x00000002u, 0x00000001u})));
    EXPECT_EQ(WideHex(v.ShiftRight(34)), WideHex(WideFromWords<bits>({0x40000000u})));

    v = WideMostNegative<bits>();
    EXPECT_EQ(WideHex(v.ShiftRight(bits - 1)), WideHex(TypeParam::FromInt(1))); // logical, not arithmetic
    v = TypeParam::FromInt(1);
    EXPECT_EQ(WideHex(v.ShiftLeft(bits - 1)), WideHex(WideMostNegative<bits>()));

    for (int32_t n : {bits, bits + 1, INT32_MAX})
    {
        SCOPED_TRACE(n);
        v = TypeParam::FromInt(-1);
        EXPECT_TRUE(v.ShiftRight(n).IsZero());
        v = TypeParam::FromInt(-1);
        EXPECT_TRUE(v.ShiftLeft(n).IsZero());
    }
}

// Random operands rarely hit these exact values; the cross-check covers the rest.
TYPED_TEST(WideIntTest, NegateAndAddAtTheEdges)
{
    constexpr int bits = TypeParam::WordCount * 32;
    const TypeParam mostNegative = WideMostNegative<bits>();

    EXPECT_TRUE(TypeParam::FromInt(0).Negate().IsZero());
    EXPECT_EQ(WideHex(mostNegative.Negate()), WideHex(mostNegative));
    EXPECT_TRUE(mostNegative.Negate().IsNegative());
    EXPECT_EQ(WideHex(TypeParam::FromInt(12).Negate()),
              WideHex(WideFromWords<bits>({0xFFFFFFF4u}, 0xFFFFFFFFu)));
    // The carry of the +1 stops at the first word that does not wrap.
    EXPECT_EQ(WideHex(WideFromWords<bits>({0, 1}).Negate()),
              WideHex(WideFromWords<bits>({0, 0xFFFFFFFFu}, 0xFFFFFFFFu)));

    TypeParam sum = TypeParam::FromInt(-1);
    EXPECT_TRUE(sum.Add(TypeParam::FromInt(1)).IsZero()); // the carry out of the top word is dropped
    sum = mostNegative;
    sum.Add(TypeParam::FromInt(-1));
    EXPECT_FALSE(sum.IsNegative()); // most positive
    EXPECT_EQ(WideHex(sum.Add(sum)), WideHex(TypeParam::FromInt(-2)));
}

TEST(WideInt, FromTextReadsTheMd5StateIntoWordsLowFirst)
{
    const tWideInt128 v = tWideInt128::FromText("67452301efcdab8998badcfe10325476", 16);
    EXPECT_EQ(WideHex(v), "67452301 efcdab89 98badcfe 10325476");
    EXPECT_EQ(WideHex(v), WideHex(HashInitMD5));
}

TEST(WideInt, FromTextBuildsThePrintMasks)
{
    const std::string mask128 = "0x" + std::string(96, '0') + std::string(32, 'F');
    const std::string mask256 = "0x" + std::string(64, '0') + std::string(64, 'F');
    const tWideInt512 low128 = tWideInt512::FromText(mask128.c_str(), -1);
    const tWideInt512 low256 = tWideInt512::FromText(mask256.c_str(), -1);
    for (int i = 0; i < tWideInt512::WordCount; ++i)
    {
        EXPECT_EQ(low128.Words[i], i < 4 ? 0xFFFFFFFFu : 0u) << "word " << i;
        EXPECT_EQ(low256.Words[i], i < 8 ? 0xFFFFFFFFu : 0u) << "word " << i;
    }
}

TEST(WideInt, FromTextOfLongDecimal)
{
    // python3 -c "print(2**511)" is the most negative 512-bit value read as unsigned.
    const char* twoTo511 =
        "670390396497129854978701249910292306373968291029619668886178072186088201503677348840093714"
        "9083451713845015929093243025426876941405973284973216824503042048";
    EXPECT_EQ(WideHex(tWideInt512::FromText(twoTo511, 10)), WideHex(WideMostNegative<512>()));
    EXPECT_TRUE(tWideInt512::FromText(twoTo511, 10).IsNegative());
}

struct DivideCase
{
    tWideInt512 Dividend;
    uint32_t Divisor;
    tWideInt512 Quotient;
    uint32_t Remainder;
};

TEST(DivideBySmall, KnownQuotientsAndRemainders)
{
    const tWideInt512 allOnes = WideFromWords<512>({}, 0xFFFFFFFFu);
    tWideInt512 allOnesShifted16 = allOnes;
    allOnesShifted16.ShiftRight(16);
    const tWideInt512 zero = WideFromWords<512>({});
    tWideInt512 allOnesByTen = WideFromWords<512>({}, 0x99999999u);
    allOnesByTen.Words[15] = 0x19999999u;

    const DivideCase cases[] = {
        // 0xFF..F = 10 * 0x199..9 + 5
        {allOnes, 10, allOnesByTen, 5},
        {allOnes, 1, allOnes, 0},
        {allOnes, 65536, allOnesShifted16, 0xFFFFu},
        {allOnes, 65535, WideFromWords<512>({}, 0x00010001u), 0},
        // Above the 16-bit halves: (2^512 - 1) / (2^32 - 1) has every word 1.
        {allOnes, 0xFFFFFFFFu, WideFromWords<512>({}, 1u), 0},
        {allOnes, 65537, WideFromWords<512>({}, 0x0000FFFFu), 0}, // 2^32 - 1 = 65535 * 65537
        {WideFromWords<512>({1000}), 7, WideFromWords<512>({142}), 6},
        {WideFromWords<512>({0, 1}), 3, WideFromWords<512>({0x55555555u}), 1},
        {WideFromWords<512>({0xFFFFFFFFu, 99999}), 100000, WideFromWords<512>({0xFFFFFFFFu}), 99999},
        {zero, 10, zero, 0},
        {zero, 0x80000000u, zero, 0},
    };
    for (const DivideCase& c : cases)
    {
        SCOPED_TRACE(WideHex(c.Dividend) + " / " + std::to_string(c.Divisor));
        uint32_t remainder = 0xDEADBEEFu;
        EXPECT_EQ(WideHex(DivideBySmall(c.Dividend, c.Divisor, &remainder)), WideHex(c.Quotient));
        EXPECT_EQ(remainder, c.Remainder);
        EXPECT_EQ(WideHex(DivideBySmall(c.Dividend, c.Divisor, nullptr)), WideHex(c.Quotient));

        // quotient * divisor + remainder gives the dividend back.
        tWideInt512 back = c.Quotient;
        back.MultiplyUnsigned(tWideInt512::FromText(std::to_string(c.Divisor).c_str(), 10));
        back.Add(WideFromWords<512>({c.Remainder}));
        EXPECT_EQ(WideHex(back), WideHex(c.Dividend));
    }
}

TEST(DivideBySmall, ZeroDivisorIsReportedAndGivesZero)
{
    RecordingPrompt prompt;
    uint32_t remainder = 12345;
    const tWideInt512 quotient = DivideBySmall(WideFromWords<512>({}, 0xFFFFFFFFu), 0, &remainder);

    ASSERT_EQ(RecordingPrompt::Reports().size(), 1u);
    EXPECT_EQ(RecordingPrompt::LastField("Expr"), "b");
    EXPECT_EQ(RecordingPrompt::LastField("Line"), "647");
    const std::string file = RecordingPrompt::LastField("File");
    const std::string header = "Modules/Foundation/Inc/Foundation/tFixInt.h";
    ASSERT_GE(file.size(), header.size());
    EXPECT_EQ(file.substr(file.size() - header.size()), header);

    EXPECT_TRUE(quotient.IsZero());
    EXPECT_EQ(remainder, 0u);

    EXPECT_TRUE(DivideBySmall(WideFromWords<512>({5}), 0, nullptr).IsZero());
    EXPECT_EQ(RecordingPrompt::Reports().size(), 2u);
}

TEST(DivideBySmall, DigitLoopOfThePrintEngine)
{
    // python3 -c "print(2**128-1)"
    tWideInt512 value = WideFromWords<512>({0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu});
    std::string digits;
    do
    {
        uint32_t digit = 99;
        DivideBySmall(value, 10, &digit);
        digits.insert(digits.begin(), char('0' + digit));
        value = DivideBySmall(value, 10, nullptr);
    } while (!value.IsZero());
    EXPECT_EQ(digits, "340282366920938463463374607431768211455");
}
