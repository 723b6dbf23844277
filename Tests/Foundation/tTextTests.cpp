// Text to integer, and the text functions carrying on safely after an ignored check.
#include "RecordingPrompt.h"
#include "TextToIntCases.h"

#include <Foundation/tStandard.h>
#include <climits>
#include <cstring>
#include <gtest/gtest.h>
#include <string>

namespace
{
struct IntCase
{
    const char* Text;
    int Base;
    int Expected;
};

void CheckAll(const IntCase* cases, std::size_t count)
{
    for (std::size_t i = 0; i < count; i++)
    {
        SCOPED_TRACE(std::string("\"") + cases[i].Text + "\" base " + std::to_string(cases[i].Base));
        EXPECT_EQ(tTextToInt(cases[i].Text, cases[i].Base), cases[i].Expected);
    }
}
} // namespace

// The same table runs through FromText at every width (tFixIntTests.cpp).
TEST(TextToInt, GoldenTable)
{
    for (const TextToIntCase& c : TextToIntCases)
    {
        SCOPED_TRACE(std::string("\"") + c.Text + "\" base " + std::to_string(c.Base));
        EXPECT_EQ(tTextToInt(c.Text, c.Base), c.Expected);
    }
}

TEST(TextToInt, WrapsModulo2To32)
{
    // python3 -c "print((v + 2**31) % 2**32 - 2**31)" for each text's value v
    const IntCase cases[] = {
        {"2147483647", 10, INT_MAX},
        {"2147483648", 10, INT_MIN},
        {"-2147483648", 10, INT_MIN},
        {"4294967295", 10, -1},
        {"4294967296", 10, 0},
        {"4294967297", 10, 1},
        {"ffffffff", 16, -1},
        {"100000000", 16, 0},
        {"123456789abcdef", 16, -1985229329},
        {"99999999999999999999", 10, 1661992959},
    };
    CheckAll(cases, std::size(cases));
}

TEST(TextToInt, NullOrEmptyGivesZeroInAnyBase)
{
    const int bases[] = {-5, 0, 2, 10, 16, 36, 99};
    for (int base : bases)
    {
        EXPECT_EQ(tTextToInt(nullptr, base), 0);
        EXPECT_EQ(tTextToInt("", base), 0);
    }
}

TEST(TextFunctions, NullOrNegativeArgumentsTouchNothingAfterIgnore)
{
    RecordingPrompt prompt;
    char buffer[4] = {'w', 'x', 'y', 'z'};
    tTextCopy(nullptr, "abc");
    tTextCopy(buffer, nullptr);
    tTextCopyN(nullptr, "abc", 2);
    tTextCopyN(buffer, nullptr, 2);
    tTextCopyN(buffer, "abc", -1);
    EXPECT_EQ(std::memcmp(buffer, "wxyz", 4), 0);
    EXPECT_EQ(tTextLength(nullptr), 0);
    EXPECT_EQ(tTextFindChar(nullptr, 'a'), nullptr);
    EXPECT_EQ(RecordingPrompt::Reports().size(), 7u);
}

TEST(TextFunctions, HighCharacterIsReportedThenSearched)
{
    RecordingPrompt prompt;
    const char text[] = "a\xC3"
                        "b";
    EXPECT_EQ(tTextFindChar(text, char(0xC3)), text + 1);
    EXPECT_EQ(RecordingPrompt::LastField("Expr"), "s && c >= 0 && c < 0x100");
    EXPECT_EQ(RecordingPrompt::LastField("Line"), "63");

    // The terminator is part of the text for the search; plain characters report nothing.
    EXPECT_EQ(tTextFindChar(text, 0), text + 3);
    EXPECT_EQ(tTextFindChar(text, 'b'), text + 2);
    EXPECT_EQ(tTextFindChar(text, 'q'), nullptr);
    EXPECT_EQ(RecordingPrompt::Reports().size(), 1u);
}
