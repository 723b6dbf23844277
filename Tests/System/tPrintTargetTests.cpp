// The print target, the fills, the character and text handlers, and the lookup tables.
#include "PrintRender.h"
#include "RecordingPrompt.h"
#include "ReportCheck.h"

#include <System/tPrint.h>
#include <climits>
#include <gtest/gtest.h>
#include <string>

namespace
{
const char* const Abc = "abc";

std::string LastFile()
{
    return RecordingPrompt::LastField("File");
}
} // namespace

TEST(PrintTarget, CountsWithoutDestinations)
{
    tPrintTarget target;
    const tFormatSpec spec;
    HandleString(target, spec, &Abc);
    EXPECT_EQ(target.CharCount, 3);
}

TEST(PrintTarget, LimitAppliesOnlyWithBuffer)
{
    tArray<char> out(8, 8);
    tPrintTarget target;
    target.Array = &out;
    target.BufferLimit = 2;
    target.Put("abcd", 4);
    target.Put('e');
    EXPECT_EQ(std::string(out.GetStorage(), size_t(out.GetCount())), "abcde");
    EXPECT_EQ(target.CharCount, 5);
}

TEST(PrintTarget, BufferLimitCutsRunsAndRefusesAfterwards)
{
    char buffer[8] = {'.', '.', '.', '.', '.', '.', '.', '.'};
    tArray<char> out(8, 8);
    tPrintTarget target;
    target.Array = &out;
    target.Buffer = buffer;
    target.BufferLimit = 5;
    target.CharCount = 3;

    target.Put("wxyz", 4);
    EXPECT_EQ(target.CharCount, 5);
    EXPECT_EQ(target.Buffer, buffer + 2);
    EXPECT_EQ(std::string(out.GetStorage(), size_t(out.GetCount())), "wx");

    target.Put('q');
    target.Put("rs", 2);
    EXPECT_EQ(target.CharCount, 5);
    EXPECT_EQ(target.Buffer, buffer + 2);
    EXPECT_EQ(std::string(buffer, 8), "wx......");
    EXPECT_EQ(out.GetCount(), 2);
}

TEST(PrintTarget, FullFixedArrayLosesOnlyItsOwnCopy)
{
    char buffer[8] = {};
    tArray<char> out(3, 0);
    tPrintTarget target;
    target.Array = &out;
    target.Buffer = buffer;
    target.Put("ab", 2);
    target.Put("cd", 2); // refused whole by the array
    target.Put('e');     // still room for one
    target.Put('f');     // dropped by the array
    EXPECT_EQ(std::string(out.GetStorage(), size_t(out.GetCount())), "abe");
    EXPECT_EQ(std::string(buffer, 6), "abcdef");
    EXPECT_EQ(target.CharCount, 6);
}

TEST(PrintTarget, EmptyOrNullRunsDoNothing)
{
    RecordingPrompt prompt;
    tArray<char> out(4, 4);
    tPrintTarget target;
    target.Array = &out;
    target.Put("abc", 0);
    target.Put(nullptr, 3);
    target.Put("abc", -2);
    EXPECT_EQ(target.CharCount, 0);
    EXPECT_EQ(out.GetCount(), 0);
    EXPECT_TRUE(RecordingPrompt::Reports().empty());
}

TEST(PrintFills, StringFieldsAndPrecision)
{
    struct Case
    {
        uint32_t Flags;
        int Width;
        int Precision;
        const char* Text;
        const char* Expected;
    };
    const Case cases[] = {
        {0, 0, -1, "abc", "abc"},
        {0, 0, 0, "abc", ""},
        {0, 4, 0, "abc", "    "}, // precision 0 leaves only the fill
        {0, 0, 2, "abc", "ab"},
        {0, 0, 9, "abc", "abc"},
        {0, 6, -1, "abc", "   abc"},
        {tFormatFlag::LeftAlign, 6, -1, "abc", "abc   "},
        {tFormatFlag::ZeroPad, 5, -1, "ab", "000ab"},
        {tFormatFlag::ZeroPad | tFormatFlag::LeftAlign, 5, -1, "ab", "ab   "}, // right fill is always spaces
        {0, 2, -1, "abcdef", "abcdef"},               // a narrow field never truncates
        {tFormatFlag::LeftAlign, -3, -1, "ab", "ab"}, // a negative width fills nothing
        {0, 0, -7, "abc", "abc"},                     // nor does a negative precision cut
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(std::string("'") + c.Text + "' width " + std::to_string(c.Width));
        EXPECT_EQ(Render(HandleString, c.Flags, c.Width, c.Precision, &c.Text, 8), c.Expected);
    }
}

TEST(PrintFills, CharacterIgnoresFieldAndTakesLowByte)
{
    const uint32_t codes[] = {'A', 0x141, 0xFFFFFF7A};
    const char* const expected[] = {"A", "A", "z"};
    for (int i = 0; i < 3; i++)
    {
        EXPECT_EQ(Render(HandleChar, tFormatFlag::ZeroPad, 5, 3, codes[i]), expected[i]);
        EXPECT_EQ(Render(HandleChar, tFormatFlag::LeftAlign, 5, -1, codes[i]), expected[i]);
    }
}

TEST(PrintFills, NullTextIsReportedAndPrintsOnlyTheFill)
{
    RecordingPrompt prompt;
    const char* none = nullptr;
    EXPECT_EQ(Render(HandleString, 0, 4, -1, &none, 8), "    ");
    ASSERT_EQ(RecordingPrompt::Reports().size(), 1u);
    EXPECT_EQ(RecordingPrompt::LastField("Expr"), "s");
    EXPECT_TRUE(EndsWith(LastFile(), "Modules/System/Src/tPrint.cpp")) << LastFile();

    EXPECT_EQ(Render(HandleString, tFormatFlag::LeftAlign, 3, 1, &none, 8), "   ");
    EXPECT_EQ(Render(HandleString, 0, 0, -1, &none, 8), "");
    EXPECT_EQ(RecordingPrompt::Reports().size(), 3u);
}

TEST(PrintTables, RowsAndIndexAgree)
{
    const char rows[] = "bodiuxXpefgvqmcs";
    const tTypeHandler handlers[] = {HandleBase2,      HandleOctal,  HandleDecimal,  HandleInteger,
                                     HandleUnsigned,   HandleHex,    HandleHexUpper, HandlePointer,
                                     HandleExponent,   HandleFixed,  HandleGeneral,  HandleVector,
                                     HandleQuaternion, HandleMatrix, HandleChar,     HandleString};
    const tTypeCategory categories[] = {
        tTypeCategory::Integral, tTypeCategory::Integral, tTypeCategory::Integral, tTypeCategory::Integral,
        tTypeCategory::Integral, tTypeCategory::Integral, tTypeCategory::Integral, tTypeCategory::Integral,
        tTypeCategory::Real,     tTypeCategory::Real,     tTypeCategory::Real,     tTypeCategory::Compound,
        tTypeCategory::Compound, tTypeCategory::Compound, tTypeCategory::Integral, tTypeCategory::Integral};
    const uint64_t argSizes[] = {4, 4, 4, 4, 4, 4, 4, 8, 8, 8, 8, 12, 16, 64, 4, 8};

    for (int row = 0; row < 16; row++)
    {
        SCOPED_TRACE(rows[row]);
        const tTypeHandlerEntry& entry = TypeHandlerTable[row];
        EXPECT_EQ(entry.TypeChar, uint32_t(rows[row]));
        EXPECT_EQ(entry.Category, categories[row]);
        EXPECT_EQ(entry.ArgSize, argSizes[row]);
        EXPECT_EQ(entry.Handler, handlers[row]);
        EXPECT_EQ(TypeCharIndex[uint8_t(rows[row])], row);
    }

    int mapped = 0;
    for (int code = 0; code < 256; code++)
    {
        if (TypeCharIndex[code] != -1)
            mapped++;
    }
    EXPECT_EQ(TypeCharIndex[uint8_t('%')], 16);
    EXPECT_EQ(mapped, 17);
    EXPECT_EQ(TypeCharIndex[uint8_t('D')], -1);
    EXPECT_EQ(TypeCharIndex[uint8_t('x') | 0x80], -1);
    EXPECT_EQ(DefaultPrecision, 4);
}

TEST(PrintTarget, CountStopsAtItsLargestValue)
{
    // A width near INT_MAX on a target that already holds output must not overflow the count.
    tPrintTarget counting;
    counting.CharCount = 10;
    tFormatSpec spec;
    spec.Width = INT_MAX;
    const char* text = "abc";
    HandleString(counting, spec, &text);
    EXPECT_EQ(counting.CharCount, INT_MAX);
    counting.Put('x');
    counting.Put("yz", 2);
    EXPECT_EQ(counting.CharCount, INT_MAX);
}
