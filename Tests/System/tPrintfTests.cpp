// The C-style driver: one golden table per flag family, the bad formats, and the destinations. Where
// glibc's snprintf prints the same text, the randomized differential (tPrintfDifferentialTests.cpp)
// covers it more widely; these tables hold the engine's own syntax and what C leaves open.
#include <Foundation/tFixInt.h>
#include <System/tFormatParse.h>
#include <System/tPrintf.h>
#include <System/tVector.h>
#include <climits>
#include <cstdio>
#include <gtest/gtest.h>
#include <string>

namespace
{
std::string Sprint(const char* format, ...)
{
    char buffer[512];
    va_list args;
    va_start(args, format);
    const int length = tvsnPrintf(buffer, sizeof buffer, format, args);
    va_end(args);
    EXPECT_EQ(size_t(length), std::string(buffer).size()) << format;
    return buffer;
}

struct Golden
{
    const char* Format;
    std::string Text;
    const char* Expected;
};

void CheckGolden(const Golden* cases, size_t count)
{
    for (size_t i = 0; i < count; i++)
        EXPECT_EQ(cases[i].Text, cases[i].Expected) << "format \"" << cases[i].Format << '"';
}

#define GOLDEN(expected, format, ...)                                                                        \
    {                                                                                                        \
        format, Sprint(format, __VA_ARGS__), expected                                                        \
    }
} // namespace

TEST(Printf, ConversionRowsAgreeWithTheHandlerTable)
{
    for (int c = 1; c < 256; c++)
    {
        const int32_t row = tFormatParse::ConversionRow(char(c));
        if (c == 'E' || c == 'F' || c == 'G')
            EXPECT_EQ(row, TypeCharIndex[c - 'A' + 'a']) << char(c);
        else
            EXPECT_EQ(row, TypeCharIndex[c]) << c;
    }
}

TEST(Printf, SignsFillAndAlignment)
{
    const Golden cases[] = {
        GOLDEN("[+5|-5| 5]", "[%+d|%+d|% d]", 5, -5, 5),
        GOLDEN("[+5]", "[%+ d]", 5), // PlusSign wins over SpaceSign
        GOLDEN("[   42|42   |00042|-0042]", "[%5d|%-5d|%05d|%05d]", 42, 42, 42, -42),
        GOLDEN("[  042]", "[%05.3d]", 42), // a precision takes over the zero fill, as in C
        GOLDEN("[  2.50|+2.50|-02.50]", "[%6.2f|%+.2f|%06.2f]", 2.5, 2.5, -2.5),
        GOLDEN("[ab   |   ab|a]", "[%-5s|%5s|%.1s]", "ab", "ab", "ab"),
    };
    CheckGolden(cases, sizeof cases / sizeof cases[0]);
}

TEST(Printf, RadixAndGroupingFlags)
{
    const tVector2 v2 = {1, 2};
    const Golden cases[] = {
        GOLDEN("[0xff|0XFF|017|0]", "[%#x|%#X|%#o|%#x]", 255, 255, 15, 0),
        GOLDEN("[1,234,567|-1,000]", "[%,d|%,d]", 1234567, -1000),
        GOLDEN("[1101]", "[%b]", 13),
        GOLDEN("[10,000]", "[%,b]", 16),
        GOLDEN("[(1.0, 2.0)|1.0 2.0]", "[%.1w64v|%_.1w64v]", &v2, &v2), // '_' for the other layout
    };
    CheckGolden(cases, sizeof cases / sizeof cases[0]);
}

TEST(Printf, WidthAndPrecisionFromArguments)
{
    const Golden cases[] = {
        GOLDEN("[   42|42   |042]", "[%*d|%*d|%.*d]", 5, 42, -5, 42, 3, 42),
        GOLDEN("[3.1|3.1416]", "[%.*f|%.*f]", 1, 3.14159, -1, 3.14159), // negative: not given
        GOLDEN("[  3.1]", "[%*.*f]", 5, 1, 3.14159),
    };
    CheckGolden(cases, sizeof cases / sizeof cases[0]);
    // Huge widths are clamped by the handlers: the field stops at their limit, and nothing overflows.
    tArray<char> out(16, 4096);
    EXPECT_EQ(taPrintf(out, "%*d", INT_MIN, 7), 4096);
    EXPECT_EQ(taPrintf(out, "%999999999999d", 7), 4096);
    // The text handler does not clamp; the driver stops its width at 65536.
    EXPECT_EQ(taPrintf(out, "%*s", INT_MAX, "x"), 65536);
    EXPECT_EQ(taPrintf(out, "%-99999999999s", "x"), 65536);
}

TEST(Printf, LengthModifiersPickTheArgumentSize)
{
    const tWideInt128 big128 = tWideInt128::FromText("-170141183460469231731687303715884105728", 10);
    const tWideInt512 big512 = tWideInt512::FromText("1", 10).ShiftLeft(511);
    const Golden cases[] = {
        GOLDEN("[44|-1|ff|ffff]", "[%hhd|%hd|%hhx|%hx]", 300, 65535, -1, -1),
        GOLDEN("[-1|18446744073709551615]", "[%ld|%llu]", -1L, ~0ULL),
        GOLDEN("[-9|9|-9|-9]", "[%jd|%zu|%td|%w64d]", intmax_t(-9), size_t(9), ptrdiff_t(-9), int64_t(-9)),
        GOLDEN("[-128|65535|-7]", "[%w8d|%w16u|%w32d]", 128, -1, -7),
        GOLDEN("[-170141183460469231731687303715884105728]", "[%w128d]", big128),
        GOLDEN("[80000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
               "000000"
               "000000000000000000000000000000]",
               "[%w512x]", big512), // python3 -c "print(hex(2**511))"
        GOLDEN("[1.5|1.5]", "[%.1f|%.1lf]", 1.5, 1.5),
    };
    CheckGolden(cases, sizeof cases / sizeof cases[0]);
}

TEST(Printf, UpperCaseConversions)
{
    const double inf = 1.0 / 0.0;
    const Golden cases[] = {
        GOLDEN("[1.50E+03|INF|-INF|1.500]", "[%.2E|%F|%F|%.4G]", 1500.0, inf, -inf, 1.5),
        GOLDEN("[ABC|0XABC]", "[%X|%#X]", 0xabc, 0xabc),
    };
    CheckGolden(cases, sizeof cases / sizeof cases[0]);
}

TEST(Printf, CompoundsArePassedByPointer)
{
    const tVector4 v4 = {1, 2, 3, 4};
    const tQuaternion q = {1, 2, 3, 4};
    const tMatrix2 m2 = {{1, 2, 3, 4}};
    const Golden cases[] = {
        GOLDEN("(1.0, 2.0, 3.0)", "%.1v", &v4), // no modifier: three floats
        GOLDEN("(1.0, 2.0, 3.0, 4.0)", "%.1w128v", &v4),
        GOLDEN("(4.0, (1.0, 2.0, 3.0))", "%_.1q", &q),
        GOLDEN("((1.0, 2.0), (3.0, 4.0))", "%.1w128m", &m2), // one bracket per stored column
        GOLDEN("", "%v", static_cast<const tVector3*>(nullptr)),
    };
    CheckGolden(cases, sizeof cases / sizeof cases[0]);
}

TEST(Printf, BadFormatsPrintAsTheyStandAndTakeNoArgument)
{
    // The argument after each bad conversion goes to the next good one.
    const Golden cases[] = {
        GOLDEN("%y 5", "%y %d", 5),             // unknown conversion
        GOLDEN("%-08.3Q 5", "%-08.3Q %d", 5),   // unknown, with a full spec
        GOLDEN("%lc %ls 5", "%lc %ls %d", 5),   // wide characters are not supported
        GOLDEN("%w24d %w 5", "%w24d %w %d", 5), // a bit count the handlers do not take
        GOLDEN("%hf %w128q 5", "%hf %w128q %d", 5),
        GOLDEN("5 %", "%d %", 5),     // trailing '%'
        GOLDEN("5 %-5", "%d %-5", 5), // incomplete conversion at the end
        GOLDEN("% | %", "%% | %5%", 0),
    };
    CheckGolden(cases, sizeof cases / sizeof cases[0]);
}

TEST(Printf, BoundedOutputFollowsSnprintf)
{
    const char* format = "%s-%d";
    for (int size : {0, 1, 2, 5, 6, 7, 100})
    {
        char ours[8] = "#######", theirs[8] = "#######";
        const int n = tsnPrintf(size ? ours : nullptr, std::min(size, 8), format, "abc", 42);
        const int expected =
            std::snprintf(size ? theirs : nullptr, size_t(std::min(size, 8)), format, "abc", 42);
        EXPECT_EQ(n, expected) << size;
        EXPECT_EQ(std::string(ours, 8), std::string(theirs, 8)) << size;
    }
}

TEST(Printf, Destinations)
{
    char buffer[32];
    EXPECT_EQ(tsPrintf(buffer, "%s=%d", "a", 1), 3);
    EXPECT_STREQ(buffer, "a=1");

    tArray<char> fixed(4, 0);
    EXPECT_EQ(taPrintf(fixed, "%d", 12), 2);
    EXPECT_EQ(taPrintf(fixed, "%d", 345), 3); // counted whole; the fixed array keeps what fits
    EXPECT_EQ(std::string(fixed.GetStorage(), size_t(fixed.GetCount())), "1234");

    const tString head("x: ");
    const tString joined = tStringPrintf(head, "%d%s", 7, "!");
    EXPECT_STREQ(joined.Chars, "x: 7!");
    EXPECT_STREQ(head.Chars, "x: ");

    FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(tfPrintf(file, "%05d\n", 42), 6);
    std::rewind(file);
    char line[16] = {};
    ASSERT_NE(std::fgets(line, sizeof line, file), nullptr);
    EXPECT_STREQ(line, "00042\n");
    std::fclose(file);
}
