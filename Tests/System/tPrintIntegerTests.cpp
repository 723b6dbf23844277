// The 32- and 64-bit integer handlers beyond the golden table (PrintGolden.h): pointers, the field
// limits, a cut at the buffer's limit and the size checks.
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

// The report names tPrint.cpp and a line that holds exactly the check that failed.
void ExpectReport(const std::string& expr)
{
    ::ExpectReport(expr, "Modules/System/Src/tPrint.cpp");
}
} // namespace

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
