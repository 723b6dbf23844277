#include "CaptureTestSupport.h"

#include <gtest/gtest.h>
#include <spdlogger.h>

namespace
{
ConsoleOutput LogCritical(const std::string& message)
{
    testing::internal::CaptureStdout();
    Logger::Critical(message);
    return ParseConsole(testing::internal::GetCapturedStdout());
}

// Kept out of line so that it has a frame of its own, which the logged trace must name.
__attribute__((noinline)) ConsoleOutput ReportFromDistinctCaller()
{
    return LogCritical("from a caller the trace must name");
}
} // namespace

TEST(LoggerCritical, TwoEntriesWithMessageVerbatimThenTrace)
{
    // Braces and percent signs would be eaten or throw if the text were used as a format string.
    const std::string messages[] = {"plain text", "", "{}", "{0} and {1}", "{:>10} 100% {{", "two\nlines"};
    for (const std::string& message : messages)
    {
        SCOPED_TRACE(message);
        const ConsoleOutput console = LogCritical(message);
        EXPECT_TRUE(console.PlainLines.empty());
        ASSERT_EQ(console.Entries.size(), 2u);
        for (const LogEntry& entry : console.Entries)
        {
            EXPECT_EQ(entry.Level, "critical");
            EXPECT_EQ(entry.File, "spdlogger.h");
        }
        EXPECT_EQ(console.Entries[0].Line, 55);
        EXPECT_EQ(console.Entries[0].Text, message);
        EXPECT_EQ(console.Entries[1].Line, 57);
        EXPECT_NE(console.Entries[1].Text.find(" 0# "), std::string::npos) << console.Entries[1].Text;
    }
}

TEST(LoggerCritical, TraceNamesTheCallingFunction)
{
    const ConsoleOutput console = ReportFromDistinctCaller();
    ASSERT_EQ(console.Entries.size(), 2u);
    EXPECT_NE(console.Entries[1].Text.find("ReportFromDistinctCaller"), std::string::npos)
        << console.Entries[1].Text;
}
