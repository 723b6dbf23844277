// Text to integer, and the text functions carrying on safely after an ignored check.
#include "RecordingPrompt.h"

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

TEST(TextToInt, GivenBase)
{
    const IntCase cases[] = {
        {"-12", 10, -12},
        {"1-2", 10, 8}, // the 2 is negated, then 10 is added
        {"12ab", 10, 12},
        {"\"PELTRAK_VERSION\" \"1", 10, 1}, // letters, quotes, spaces and '_' are skipped
        {"0x1F", 10, 1},                    // no prefix in an explicit base; 'x' and 'F' are not digits
        {"ff", 16, 255},
        {"FF", 16, 255},
        {"-10", 16, 16}, // '-' negates in base 10 only
        {"zz", 36, 35 * 36 + 35},
        {"1021", 2, 5}, // '2' is skipped and does not take a place
        {"777", 8, 511},
        {"33", 4, 15},
        {"\xC3\xA9"
         "42",
         10, 42}, // codes 0x80..0xFF are no digits
        {"--5", 10, 5},
    };
    CheckAll(cases, std::size(cases));
}

TEST(TextToInt, PrefixChosenBase)
{
    const IntCase cases[] =
        {
            {"0x1F", 0, 31},   {"x1F", 0, 31}, {"#1F", 0, 31},  {"0X1f", 1, 31}, {"0b101", 0, 5},
            {"b101", 0, 5},    {"!101", 0, 5}, {"B101", 37, 5}, {"o17", 0, 15},  {"@17", 0, 15},
            {"0o17", 0, 15},   {"N13", 0, 7},  {"0n13", -1, 7}, {"d99", 0, 99},  {"0d99", 0, 99},
            {"99", 0, 99},     {"09", 0, 9},   {"0", 0, 0},     {"0x", 0, 0},    {"x", 0, 0},
            {"-0x10", 0, -10}, // '-' selects base 10 without being consumed; 'x' is skipped
            {"0-5", 0, -5},
        };
    CheckAll(cases, std::size(cases));
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
