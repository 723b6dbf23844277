// Checks on the last report a RecordingPrompt recorded: its file and the line that holds its check.
#pragma once
#include "RecordingPrompt.h"

#include <fstream>
#include <gtest/gtest.h>
#include <string>

inline bool EndsWith(const std::string& text, const std::string& tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// The number of the first line of the file at path that contains needle; -1 when none does.
inline int SourceLineOf(const std::string& path, const std::string& needle)
{
    std::ifstream source(path);
    std::string line;
    for (int number = 1; std::getline(source, line); number++)
        if (line.find(needle) != std::string::npos)
            return number;
    return -1;
}

// The last report names expr, a file whose path ends in fileTail, and a line of that file that holds
// exactly the failed check.
inline void ExpectReport(const std::string& expr, const std::string& fileTail)
{
    ASSERT_FALSE(RecordingPrompt::Reports().empty());
    EXPECT_EQ(RecordingPrompt::LastField("Expr"), expr);
    const std::string file = RecordingPrompt::LastField("File");
    ASSERT_TRUE(EndsWith(file, fileTail)) << file;

    std::ifstream source(file);
    ASSERT_TRUE(source.good()) << file;
    const int line = std::stoi(RecordingPrompt::LastField("Line"));
    std::string text;
    for (int i = 0; i < line && std::getline(source, text); i++)
    {
    }
    EXPECT_NE(text.find("tRequire(" + expr + ");"), std::string::npos) << "line " << line << ": " << text;
}
