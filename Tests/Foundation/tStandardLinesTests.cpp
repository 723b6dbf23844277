// The text functions' checks report fixed lines of tStandard.h; callers and log readers rely on them.
#include "RecordingPrompt.h"

#include <Foundation/tStandard.h>
#include <gtest/gtest.h>

TEST(TextFunctionChecks, ReportTheirExpressionAndLine)
{
    RecordingPrompt prompt;
    char buffer[4] = {};

    EXPECT_EQ(tTextLength(nullptr), 0);
    EXPECT_EQ(RecordingPrompt::LastField("Expr"), "s");
    EXPECT_EQ(RecordingPrompt::LastField("Line"), "59");

    tTextCopy(buffer, nullptr);
    EXPECT_EQ(RecordingPrompt::LastField("Expr"), "dst && src");
    EXPECT_EQ(RecordingPrompt::LastField("Line"), "61");

    tTextCopyN(buffer, "abc", -1);
    EXPECT_EQ(RecordingPrompt::LastField("Expr"), "dst && src && n >= 0");
    EXPECT_EQ(RecordingPrompt::LastField("Line"), "62");

    EXPECT_EQ(tTextFindChar(nullptr, 'a'), nullptr);
    EXPECT_EQ(RecordingPrompt::LastField("Expr"), "s && c >= 0 && c < 0x100");
    EXPECT_EQ(RecordingPrompt::LastField("Line"), "63");

    EXPECT_EQ(RecordingPrompt::Reports().size(), 4u);
    const std::string file = RecordingPrompt::LastField("File");
    const std::string header = "Modules/Foundation/Inc/Foundation/tStandard.h";
    ASSERT_GE(file.size(), header.size());
    EXPECT_EQ(file.substr(file.size() - header.size()), header);
}
