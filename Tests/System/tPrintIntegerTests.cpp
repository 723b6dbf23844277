// Golden texts for the 32- and 64-bit integer handlers: signs, prefixes, precision, fills, grouping,
// pointers, the field limits and the size checks.
#include "PrintRender.h"
#include "RecordingPrompt.h"
#include "ReportCheck.h"

#include <System/tPrint.h>
#include <climits>
#include <cstdint>
#include <gtest/gtest.h>
#include <string>

namespace
{
using namespace PrintFlags;

struct IntCase
{
    tTypeHandler Handler;
    uint32_t Flags;
    int Width;
    int Precision;
    uint64_t Bits; // read as a 32- or 64-bit argument by the test
    const char* Expected;
};

void RunCases(const IntCase* cases, size_t count, int typeSize)
{
    for (size_t i = 0; i < count; i++)
    {
        const IntCase& c = cases[i];
        SCOPED_TRACE("case " + std::to_string(i) + ": '" + c.Expected + "'");
        if (typeSize == 4)
            EXPECT_EQ(Render(c.Handler, c.Flags, c.Width, c.Precision, uint32_t(c.Bits)), c.Expected);
        else
            EXPECT_EQ(Render(c.Handler, c.Flags, c.Width, c.Precision, c.Bits), c.Expected);
    }
}

// The report names tPrint.cpp and a line that holds exactly the check that failed.
void ExpectReport(const std::string& expr)
{
    ::ExpectReport(expr, "Modules/System/Src/tPrint.cpp");
}
} // namespace

TEST(PrintInteger, SignsAndPrefixes)
{
    const IntCase cases[] = {
        {HandleDecimal, 0, 0, -1, 0x80000000u, "-2147483648"},
        {HandleInteger, 0, 0, -1, 0x80000000u, "-2147483648"},
        {HandleUnsigned, 0, 0, -1, 0x80000000u, "2147483648"},
        {HandleHex, 0, 0, -1, 0x80000000u, "80000000"},
        {HandleDecimal, 0, 0, -1, 0xFFFFFFFFu, "-1"},
        {HandleDecimal, Plus, 0, -1, 0, "+0"},
        {HandleDecimal, Space, 0, -1, 0, " 0"},
        {HandleDecimal, Plus | Space, 0, -1, 7, "+7"},
        {HandleDecimal, Plus, 0, -1, uint32_t(-7), "-7"},
        {HandleUnsigned, Plus, 0, -1, 42, "+42"}, // the sign belongs to base 10, signed or not
        {HandleHex, Plus, 0, -1, 42, "2a"},
        {HandleOctal, Space, 0, -1, 8, "10"},
        {HandleHex, Radix, 0, -1, 255, "0xff"},
        {HandleHexUpper, Radix, 0, -1, 255, "0XFF"},
        {HandleHex, Radix, 0, -1, 0, "0"},
        {HandleOctal, Radix, 0, -1, 8, "010"},
        {HandleOctal, Radix, 0, -1, 0, "0"},
        {HandleBase2, Radix, 0, -1, 5, "101"},
        {HandleDecimal, Radix, 0, -1, 10, "10"},
        {HandleHexUpper, 0, 0, -1, 0xABCDEF, "ABCDEF"},
    };
    RunCases(cases, std::size(cases), 4);
}

TEST(PrintInteger, PrecisionAndFill)
{
    const IntCase cases[] = {
        {HandleDecimal, 0, 0, 5, 42, "00042"},
        {HandleDecimal, 0, 0, 5, uint32_t(-42), "-00042"},
        {HandleDecimal, 0, 0, 0, 0, ""},
        {HandleDecimal, 0, 3, 0, 0, "   "},
        {HandleDecimal, Plus, 0, 0, 0, "+"},
        {HandleDecimal, 0, 0, 1, 0, "0"},
        {HandleHex, Radix, 0, 4, 255, "0x00ff"},
        {HandleHex, Radix, 0, 3, 0, "000"},
        {HandleOctal, Radix, 0, 3, 8, "0010"}, // the prefix comes on top of the precision's digits
        {HandleOctal, Radix, 0, 0, 0, ""},
        {HandleDecimal, Zero, 8, -1, uint32_t(-42), "-0000042"},
        {HandleDecimal, Plus | Zero, 6, -1, 42, "+00042"},
        {HandleHex, Zero | Radix, 8, -1, 255, "0x0000ff"},
        {HandleOctal, Zero | Radix, 6, -1, 8, "000010"},
        {HandleDecimal, 0, 8, -1, uint32_t(-42), "     -42"},
        {HandleDecimal, Left, 8, -1, uint32_t(-42), "-42     "},
        {HandleDecimal, Zero, 2, -1, 12345, "12345"},
        // A precision takes over the zero fill; the rest of the field is spaces.
        {HandleDecimal, Zero, 8, 3, uint32_t(-42), "    -042"},
        {HandleHex, Zero | Radix, 8, 2, 255, "    0xff"},
        {HandleDecimal, Zero | Left, 8, 3, uint32_t(-42), "-042    "},
        // LeftAlign wins over ZeroPad: the fill is spaces on the right.
        {HandleDecimal, Zero | Left, 6, -1, 42, "42    "},
    };
    RunCases(cases, std::size(cases), 4);
}

TEST(PrintInteger, Grouping)
{
    const IntCase cases[] = {
        {HandleHexUpper, Alt, 0, -1, 0xDEADBEEF, "DEAD_BEEF"},
        {HandleBase2, Alt, 0, -1, 31, "1_1111"},
        {HandleBase2, Alt, 0, -1, 5, "101"},
        {HandleBase2, Alt, 0, -1, 0xFF, "1111_1111"},
        {HandleDecimal, Comma, 0, -1, 1234567, "1,234,567"},
        {HandleDecimal, Comma | Alt, 0, -1, 1234567, "123_4567"},
        {HandleDecimal, Comma | Zero, 10, -1, 1234567, "0,001,234,567"},
        {HandleDecimal, Comma, 0, -1, uint32_t(-1234567), "-1,234,567"},
        {HandleDecimal, Comma, 0, -1, 123, "123"},
        {HandleDecimal, Comma, 0, -1, 1000, "1,000"},
        {HandleDecimal, Comma, 0, 0, 0, ""},
        {HandleHex, Alt | Radix, 0, -1, 0x12345, "0x1_2345"},
        {HandleDecimal, Comma, 12, -1, 1234567, "   1,234,567"}, // separators count towards the field
    };
    RunCases(cases, std::size(cases), 4);
}

TEST(PrintInteger, SixtyFourBits)
{
    const IntCase cases[] = {
        {HandleDecimal, 0, 0, -1, 0x8000000000000000u, "-9223372036854775808"},
        {HandleUnsigned, 0, 0, -1, UINT64_MAX, "18446744073709551615"},
        {HandleOctal, 0, 0, -1, UINT64_MAX, "1777777777777777777777"},
        {HandleBase2, 0, 0, -1, UINT64_MAX,
         "1111111111111111111111111111111111111111111111111111111111111111"},
        {HandleBase2, Alt, 0, -1, UINT64_MAX,
         "1111_1111_1111_1111_1111_1111_1111_1111_1111_1111_1111_1111_1111_1111_1111_1111"},
        {HandleUnsigned, Comma, 0, -1, UINT64_MAX, "18,446,744,073,709,551,615"},
        {HandleDecimal, 0, 0, -1, 0xFFFFFFFFu, "4294967295"}, // no sign bit at 64 bits
        {HandleHex, 0, 0, -1, 0x0123456789ABCDEFu, "123456789abcdef"},
    };
    RunCases(cases, std::size(cases), 8);
}

TEST(PrintInteger, Pointers)
{
    const uint64_t address = 0x1234;
    const uint32_t address32 = 0x1234;
    EXPECT_EQ(Render(HandlePointer, 0, 0, -1, address), "0x0000000000001234");
    EXPECT_EQ(Render(HandlePointer, 0, 6, -1, address), "0x1234");
    EXPECT_EQ(Render(HandlePointer, 0, 0, -1, address32), "0x00001234");
    EXPECT_EQ(Render(HandlePointer, 0, 0, -1, uint64_t(0xABCDEF)), "0x0000000000ABCDEF");
    EXPECT_EQ(Render(HandlePointer, Radix | Alt, 0, -1, uint64_t(0)), "0x0000_0000_0000_0000");
    EXPECT_EQ(Render(HandlePointer, Left, 8, -1, address32), "0x001234");
    EXPECT_EQ(Render(HandlePointer, 0, 0, 4, address), "            0x1234");
}

TEST(PrintInteger, LongFieldsKeepEveryDigit)
{
    const int32_t v = 42;
    const int32_t minus = -42;
    EXPECT_EQ(Render(HandleDecimal, Zero, 100, -1, v), Repeat('0', 98) + "42");
    EXPECT_EQ(Render(HandleDecimal, Zero, 4096, -1, v), Repeat('0', 4094) + "42");
    EXPECT_EQ(Render(HandleDecimal, 0, 0, 4096, v), Repeat('0', 4094) + "42");
    EXPECT_EQ(Render(HandleDecimal, 0, 4096, -1, v), Repeat(' ', 4094) + "42");
    EXPECT_EQ(Render(HandleDecimal, Zero, 4096, -1, minus), "-" + Repeat('0', 4093) + "42");
    EXPECT_EQ(Render(HandleHex, Zero | Radix, 4096, -1, v), "0x" + Repeat('0', 4092) + "2a");

    // Beyond the limit the fill is clamped; the sign stays in front and the digits all arrive.
    EXPECT_EQ(Render(HandleDecimal, Zero, 5000, -1, minus), "-" + Repeat('0', 4093) + "42");
    EXPECT_EQ(Render(HandleDecimal, 0, INT_MAX, -1, v), Repeat(' ', 4094) + "42");
    EXPECT_EQ(Render(HandleDecimal, Left, INT_MAX, -1, v), "42" + Repeat(' ', 4094));
    EXPECT_EQ(Render(HandleDecimal, 0, 0, INT_MAX, v), Repeat('0', 4094) + "42");
    EXPECT_EQ(Render(HandleDecimal, Zero, 0, -5, v), "42"); // any negative precision is "not given"

    // Grouped separators come on top of the digits and are never cut either.
    const std::string grouped = Render(HandleDecimal, Comma, 0, 4096, v);
    EXPECT_EQ(grouped.size(), 4096u + 1365u);
    EXPECT_EQ(grouped.substr(grouped.size() - 7), "000,042");
    EXPECT_EQ(grouped.substr(0, 2), "0,");

    const uint64_t big = UINT64_MAX;
    EXPECT_EQ(Render(HandleBase2, Zero, 4096, -1, big), Repeat('0', 4032) + Repeat('1', 64));
    const uint64_t address = 0x1234;
    EXPECT_EQ(Render(HandlePointer, 0, 4096, -1, address), "0x" + Repeat('0', 4090) + "1234");
}

TEST(PrintInteger, BufferLimitCutsTheField)
{
    char buffer[6] = {};
    tPrintTarget target;
    target.Buffer = buffer;
    target.BufferLimit = 6;
    tFormatSpec spec;
    spec.Width = 8;
    const int32_t v = -42;
    HandleDecimal(target, spec, &v);
    EXPECT_EQ(std::string(buffer, 6), "     -");
    EXPECT_EQ(target.CharCount, 6);
}

TEST(PrintIntegerChecks, RejectedSizesReportAndPrintNothing)
{
    RecordingPrompt prompt;
    const tTypeHandler handlers[] = {HandleBase2,    HandleOctal, HandleDecimal,  HandleInteger,
                                     HandleUnsigned, HandleHex,   HandleHexUpper, HandlePointer};
    const int sizes[] = {0, 1, 2, 3, 5, 12, 128, -4, INT_MAX, INT_MIN};
    for (tTypeHandler handler : handlers)
    {
        for (int size : sizes)
        {
            SCOPED_TRACE("size " + std::to_string(size));
            const size_t before = RecordingPrompt::Reports().size();
            // A null argument shows that nothing is read: any read would fault.
            EXPECT_EQ(Render(handler, Zero | Plus, 10, 3, nullptr, size), "");
            EXPECT_EQ(RecordingPrompt::Reports().size(), before + 1);
            ExpectReport(handler == HandlePointer ? "(bitSize == 32) || (bitSize == 64)"
                                                  : "nativeInt || wideInt");
        }
    }

    // Wide sizes are not pointers.
    const uint8_t wide[16] = {1};
    EXPECT_EQ(Render(HandlePointer, 0, 0, -1, wide, 16), "");
    ExpectReport("(bitSize == 32) || (bitSize == 64)");
}

TEST(PrintIntegerChecks, ConversionsRejectForeignBitSizes)
{
    RecordingPrompt prompt;
    const tFormatSpec spec;
    for (int bitSize : {0, 16, 128, 512, -32})
    {
        tArray<char> out(64, 0);
        WriteNativeInteger(out, spec, nullptr, false, bitSize, false, 10, false);
        EXPECT_EQ(out.GetCount(), 0);
        ExpectReport("(bitSize == 32) || (bitSize == 64)");
    }
    for (int bitSize : {0, 32, 64, 1024, 192})
    {
        tArray<char> out(64, 0);
        WriteWideInteger(out, spec, nullptr, false, bitSize, false, 10, false);
        EXPECT_EQ(out.GetCount(), 0);
        ExpectReport("(bitSize == 128) || (bitSize == 256) || (bitSize == 512)");
    }
    EXPECT_EQ(RecordingPrompt::Reports().size(), 10u);

    // A base that cannot make progress is refused rather than looping.
    const uint32_t v = 5;
    tArray<char> out(64, 0);
    WriteNativeInteger(out, spec, &v, true, 32, false, 1, false);
    EXPECT_EQ(out.GetCount(), 0);
    EXPECT_EQ(RecordingPrompt::Reports().size(), 11u);
}
