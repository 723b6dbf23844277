// The print engine's fast paths against its plain ones: decimal digits by nine-digit chunks and bases
// 2, 8 and 16 by bit groups against one short division per digit; the in-place field of the handlers
// against the conversion into a tArray plus the fill; the stack scratch of the real handlers at the
// edge of the precision it serves.
#include "PrintRender.h"
#include "TestSeed.h"

#include <Foundation/tFixInt.h>
#include <System/tPrint.h>
#include <gtest/gtest.h>
#include <random>
#include <string>

using namespace PrintFlags;

namespace
{
// Digits by one DivideBySmall per digit, the way the conversion was first written.
std::string DigitsByDivision(tWideInt512 v, uint32_t base, bool upperCase)
{
    std::string digits;
    while (!v.IsZero())
    {
        uint32_t d = 0;
        v = DivideBySmall(v, base, &d);
        digits.insert(digits.begin(), char(d < 10 ? '0' + d : (upperCase ? 'A' : 'a') + d - 10));
    }
    return digits.empty() ? "0" : digits;
}

tWideInt512 PowerOfTen(int k)
{
    tWideInt512 v = tWideInt512::FromInt(1);
    for (int i = 0; i < k; ++i)
        v.MultiplyUnsigned(tWideInt512::FromInt(10));
    return v;
}

// What a handler must print: the conversion into a roomy tArray, then the field's fill as the handlers
// lay it out (clamped to 4096; a precision turns a zero fill into spaces).
std::string ExpectedField(bool wide, const tFormatSpec& spec, const void* value, bool treatAsUnsigned,
                          int base, bool upperCase)
{
    tArray<char> text(8192, 0);
    if (wide)
        WriteWideInteger(text, spec, value, treatAsUnsigned, spec.TypeSize * 8, upperCase, base, false);
    else
        WriteNativeInteger(text, spec, value, treatAsUnsigned, spec.TypeSize * 8, upperCase, base, false);
    const std::string body(text.GetStorage(), size_t(text.GetCount()));
    const int width = std::min(std::max(spec.Width, 0), 4096);
    const size_t pad = width > int(body.size()) ? size_t(width) - body.size() : 0;
    if (spec.Flags & Left)
        return body + std::string(pad, ' ');
    const bool zeros = (spec.Flags & Zero) && spec.Precision < 0;
    return std::string(pad, zeros ? '0' : ' ') + body;
}

} // namespace

// Around every power of ten the chunks split differently: 10^k - 1, 10^k and 10^k + 1 for every k a
// 512-bit value holds, unsigned and negated.
TEST(PrintFastPaths, DecimalChunksAroundPowersOfTen)
{
    for (int k = 1; k <= 154; ++k)
    {
        const tWideInt512 power = PowerOfTen(k);
        for (int delta = -1; delta <= 1; ++delta)
        {
            tWideInt512 v = power;
            v.Add(tWideInt512::FromInt(delta));
            const std::string digits = DigitsByDivision(v, 10, false);
            EXPECT_EQ(Render(HandleUnsigned, 0, 0, -1, &v, 64), digits) << "10^" << k << " + " << delta;
            // Negated only while the value stays below 2^511, so that the negation reads as negative.
            if (k > 153)
                continue;
            const tWideInt512 negative = v.Negate();
            EXPECT_EQ(Render(HandleDecimal, 0, 0, -1, &negative, 64), "-" + digits)
                << "-(10^" << k << " + " << delta << ")";
        }
    }
}

// Random values of every width and used length in every base against one division per digit; octal
// digits straddle word boundaries, and the top word decides how many bit groups there are.
TEST(PrintFastPaths, WideDigitsMatchDivisionPerDigit)
{
    SCOPED_TRACE(SeedTrace(TestSeed()));
    std::mt19937_64 random(TestSeed());
    for (int round = 0; round < 600; ++round)
    {
        const int bits = 128 << (round % 3);
        tWideInt512 v{};
        const int used = int(random() % (bits / 32 + 1));
        for (int i = 0; i < used; ++i)
            v.Words[i] = random() % 3 == 0 ? 0xFFFFFFFFu : uint32_t(random() >> (random() % 32));
        for (const IntegerRow& row : IntegerRows)
        {
            if (row.Signed)
                continue;
            EXPECT_EQ(Render(row.Handler, 0, 0, -1, &v, bits / 8),
                      DigitsByDivision(v, uint32_t(row.Base), row.UpperCase))
                << bits << " bits, base " << row.Base << ", round " << round;
        }
    }
}

// The handlers compose an ungrouped field in place in a stack buffer and fall back to the general
// conversion when the fill does not fit there; both must give the text of the conversion plus fill,
// on either side of the buffers' limits.
TEST(PrintFastPaths, InPlaceFieldMatchesConversionPlusFill)
{
    SCOPED_TRACE(SeedTrace(TestSeed()));
    std::mt19937_64 random(TestSeed());
    const uint32_t flagSets[] = {0, Zero, Left, Plus | Zero, Space, Radix | Zero, Radix | Left, Plus | Radix};
    const int widths[] = {0, 1, 12, 150, 186, 187, 188, 189, 190, 191, 192, 193, 300, 690, 700, 710, 5000};
    const int precisions[] = {-1, 0, 5, 150, 189, 190, 191, 700, 5000};
    for (int round = 0; round < 400; ++round)
    {
        const bool wide = round % 2 == 1;
        const int typeSize = wide ? 16 << (random() % 3) : 4 << (random() % 2);
        tWideInt512 value{};
        for (uint32_t& word : value.Words)
            word = uint32_t(random() >> (random() % 40 < 32 ? random() % 32 : 0));
        const IntegerRow& row = IntegerRows[random() % std::size(IntegerRows)];
        const tFormatSpec spec = {
            flagSets[random() % std::size(flagSets)], widths[random() % std::size(widths)],
            random() % 3 == 0 ? precisions[random() % std::size(precisions)] : -1, typeSize};
        const std::string expected = ExpectedField(wide, spec, &value, !row.Signed, row.Base, row.UpperCase);
        EXPECT_EQ(Render(row.Handler, spec.Flags, spec.Width, spec.Precision, &value, typeSize), expected)
            << "base " << row.Base << ", size " << typeSize << ", flags " << spec.Flags << ", width "
            << spec.Width << ", precision " << spec.Precision;
    }
}

TEST(PrintFastPaths, PointerFieldsInPlaceAndWide)
{
    const uint64_t pointer = 0x1234;
    EXPECT_EQ(Render(HandlePointer, 0, 0, -1, &pointer, 8), "0x0000000000001234");
    EXPECT_EQ(Render(HandlePointer, 0, 200, -1, &pointer, 8), "0x" + std::string(194, '0') + "1234");
    // The pointer's zero fill belongs to the conversion, so it stays even when aligned left.
    EXPECT_EQ(Render(HandlePointer, Left, 200, -1, &pointer, 8), "0x" + std::string(194, '0') + "1234");
    EXPECT_EQ(Render(HandlePointer, Alt, 0, -1, &pointer, 8), "0x0000_0000_0000_1234");
}

// Past the exact expansion (1074 decimals, 767 significant digits) every digit is 0, and a target that
// is not a plain buffer gets those zeros as runs rather than made; a plain buffer gets the text in place.
// Values whose digits are exact show both ways on either side of those limits.
TEST(PrintFastPaths, RealTextsOnBothSidesOfTheExactExpansion)
{
    const double x = 1.25;
    for (int precision : {148, 153, 765, 766, 767, 768, 1073, 1074, 1075, 1076, 5000})
    {
        SCOPED_TRACE(precision);
        const std::string zeros(size_t(precision - 2), '0');
        const std::string fixed = "1.25" + zeros, exponent = "1.25" + zeros + "e+00";
        const std::string general = "1.25" + std::string(size_t(precision - 3), '0');
        EXPECT_EQ(Render(HandleFixed, 0, 0, precision, x), fixed);
        EXPECT_EQ(RenderUnlimited(HandleFixed, 0, 0, precision, x), fixed);
        EXPECT_EQ(Render(HandleExponent, Plus | Zero, 0, precision, x), "+" + exponent);
        EXPECT_EQ(RenderUnlimited(HandleExponent, Plus | Zero, 0, precision, x), "+" + exponent);
        EXPECT_EQ(Render(HandleGeneral, Left, precision + 3, precision, x), general + "  ");
        EXPECT_EQ(RenderUnlimited(HandleGeneral, Left, precision + 3, precision, x), general + "  ");
    }
    // The longest fixed text: 309 integer digits, a point and the precision, with the sign in front;
    // and the smallest subnormal, whose 751 significant digits end 1074 places after the point.
    const double largest = -1.7976931348623157e308;
    const std::string at150 = Render(HandleFixed, 0, 0, 150, largest);
    ASSERT_EQ(at150.size(), size_t(1 + 309 + 1 + 150));
    EXPECT_EQ(Render(HandleFixed, 0, 0, 151, largest), at150 + "0");
    const double tiny = 4.9406564584124654e-324;
    const std::string e800 = Render(HandleExponent, 0, 0, 800, tiny);
    EXPECT_EQ(e800, RenderUnlimited(HandleExponent, 0, 0, 800, tiny));
    EXPECT_EQ(e800.substr(746), "265625" + std::string(50, '0') + "e-324"); // python3: Decimal(2**-1074)
    EXPECT_EQ(Render(HandleFixed, Zero, 1200, 1100, tiny),
              RenderUnlimited(HandleFixed, Zero, 1200, 1100, tiny));
}
