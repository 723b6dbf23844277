// Checks on the last report a RecordingPrompt recorded: its file and the line that holds its check.
// The build names every file relative to the source root (-ffile-prefix-map); PELTRAK_SOURCE_ROOT
// locates that root for the tests, which read the sources.
#pragma once
#include "RecordingPrompt.h"

#include <fstream>
#include <gtest/gtest.h>
#include <string>

inline bool EndsWith(const std::string& text, const std::string& tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// A file named as the reports and __FILE__ name it, relative to the source root, as a path to open.
inline std::string SourcePath(const std::string& relative)
{
    return PELTRAK_SOURCE_ROOT + relative;
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

// The last report names expr, the file at sourceFile (relative to the source root, as every report
// names it), and a line of that file that holds exactly the failed check.
inline void ExpectReport(const std::string& expr, const std::string& sourceFile)
{
    ASSERT_FALSE(RecordingPrompt::Reports().empty());
    EXPECT_EQ(RecordingPrompt::LastField("Expr"), expr);
    const std::string file = RecordingPrompt::LastField("File");
    ASSERT_EQ(file, sourceFile);

    std::ifstream source(SourcePath(file));
    ASSERT_TRUE(source.good()) << SourcePath(file);
    const int line = std::stoi(RecordingPrompt::LastField("Line"));
    std::string text;
    for (int i = 0; i < line && std::getline(source, text); i++)
    {
    }
    EXPECT_NE(text.find("tRequire(" + expr + ");"), std::string::npos) << "line " << line << ": " << text;
}
