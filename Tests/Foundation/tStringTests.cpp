// tString: who owns which buffer, and cutting a text at a divider.
#include "RecordingPrompt.h"

#include <Foundation/tString.h>
#include <gtest/gtest.h>
#include <string>

namespace
{
bool Shared(const tString& s)
{
    return s.Chars == &tString::EmptyBuffer;
}
} // namespace

TEST(String, EmptyWithoutAllocationSharesTheEmptyBuffer)
{
    const tString byDefault;
    const tString fromNull(nullptr);
    const tString fromEmpty("");
    EXPECT_TRUE(Shared(byDefault));
    EXPECT_TRUE(Shared(fromNull));
    EXPECT_TRUE(Shared(fromEmpty));
    EXPECT_EQ(tString::EmptyBuffer, 0);
}

TEST(String, CopiesOwnTheirBuffer)
{
    const tString empty;
    const tString emptyCopy(empty);
    EXPECT_FALSE(Shared(emptyCopy));
    EXPECT_STREQ(emptyCopy.Chars, "");

    const char text[] = "peltrak";
    const tString fromText(text);
    const tString copy(fromText);
    EXPECT_NE(fromText.Chars, text);
    EXPECT_NE(copy.Chars, fromText.Chars);
    EXPECT_STREQ(copy.Chars, "peltrak");
}

TEST(String, FindChar)
{
    const tString s("a.b.");
    EXPECT_EQ(s.FindChar('a'), 0);
    EXPECT_EQ(s.FindChar('.'), 1);
    EXPECT_EQ(s.FindChar('z'), -1);
    EXPECT_EQ(s.FindChar(0), -1); // the terminator is not part of the text
    EXPECT_EQ(tString().FindChar('a'), -1);
}

TEST(String, TakeFirstPart)
{
    struct Case
    {
        const char* Text;
        char Divider;
        const char* Part;
        const char* Rest;
        bool RestShared;
    };
    const Case cases[] = {
        {"1.0.0", '.', "1", "0.0", false},
        {"0.0", '.', "0", "0", false},
        {".a", '.', "", "a", false},
        {"a.", '.', "a", "", false}, // the empty remainder owns a one-byte buffer
        {"..", '.', "", ".", false},
        {"abc", '.', "abc", "", true},
        {"", '.', "", "", true},
        {"abc", 0, "abc", "", true}, // 0 never occurs in a text
        {"", 0, "", "", true},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(std::string("\"") + c.Text + "\" at '" + c.Divider + "'");
        tString s(c.Text);
        const tString part = s.TakeFirstPart(c.Divider);
        EXPECT_STREQ(part.Chars, c.Part);
        EXPECT_FALSE(Shared(part)); // the part handed back always owns its buffer
        EXPECT_STREQ(s.Chars, c.Rest);
        EXPECT_EQ(Shared(s), c.RestShared);
    }
}

TEST(String, TakeFirstPartRepeatedlyEndsEmpty)
{
    tString s("1.0.0");
    EXPECT_STREQ(s.TakeFirstPart('.').Chars, "1");
    EXPECT_STREQ(s.TakeFirstPart('.').Chars, "0");
    EXPECT_STREQ(s.Chars, "0");
    EXPECT_STREQ(s.TakeFirstPart('.').Chars, "0");
    EXPECT_TRUE(Shared(s));
    EXPECT_STREQ(s.TakeFirstPart('.').Chars, "");
    EXPECT_TRUE(Shared(s));

    // An empty string that owns its buffer stays empty and stops owning.
    tString a("a.");
    a.TakeFirstPart('.');
    ASSERT_FALSE(Shared(a));
    EXPECT_STREQ(a.TakeFirstPart('.').Chars, "");
    EXPECT_TRUE(Shared(a));
}

TEST(String, HighDividerIsReportedThenUsed)
{
    RecordingPrompt prompt;
    tString s("x\xB0y");
    const tString part = s.TakeFirstPart(char(0xB0));
    ASSERT_FALSE(RecordingPrompt::Reports().empty());
    EXPECT_EQ(RecordingPrompt::LastField("Expr"), "s && c >= 0 && c < 0x100");
    EXPECT_EQ(RecordingPrompt::LastField("Line"), "63");
    EXPECT_STREQ(part.Chars, "x");
    EXPECT_STREQ(s.Chars, "y");
}
