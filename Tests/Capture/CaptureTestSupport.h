// Helpers shared by the capture tests: reading the console (progress lines and log entries), running
// the test build of the tool and the demo producer, and resetting the test block and the capture
// directory. The BMP reader they share with the fuzzer is in BmpFile.h.
#pragma once

#include "BmpFile.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <string>
#include <sys/types.h>
#include <vector>

// One spdlog entry as the default pattern prints it: "[date time.ms] [critical] [file:line] text".
struct LogEntry
{
    std::string Level;
    std::string File;
    int Line = 0;
    std::string Text; // Continuation lines (a stack trace) joined with '\n'.
};

struct ConsoleOutput
{
    std::vector<std::string> PlainLines; // Lines before the first log entry.
    std::vector<LogEntry> Entries;
};

ConsoleOutput ParseConsole(const std::string& text);

struct ProcessResult
{
    int ExitStatus = -1; // -1 when the process did not exit normally.
    std::string Output;  // Standard output and standard error, interleaved.
};

// Reads what a started child writes into outputFd until it ends, closes outputFd and waits for the
// child.
ProcessResult CollectProcess(pid_t child, int outputFd);
// Runs program with args (each quoted for the shell) and collects what it prints.
ProcessResult RunProgram(const std::string& program, const std::vector<std::string>& args = {});
// Runs the test build of the tool, with environment entries ("NAME=value") added when given.
ProcessResult RunTool(const std::vector<std::string>& environment = {});
// Runs peltrak-publish on the test block; fails the calling test when publishing fails.
void Publish(const std::vector<std::string>& args);

std::string TestBlockName();
std::string CaptureDirectory(); // Without the trailing separator.
void RemoveTestBlock();
// Size of the test block, or -1 when there is none.
long long TestBlockSize();
// Empties the capture directory (creating it when missing).
void ResetCaptureDirectory();
// Names of the files in the capture directory, sorted; hidden files included, the tool's workspace
// not.
std::vector<std::string> CapturedFiles();
// The tool's workspace in the capture directory (see CaptureWorkspace.h), and what it holds besides
// its marker: temporaries that no capture removed.
std::string WorkspaceName();
std::vector<std::string> WorkspaceLeftovers();
// Expects the capture directory's file name to be a plain file (no link) holding the test pattern's
// blue, green and red at every pixel.
void ExpectPatternFile(const std::string& name, int width, int height);

// A test that runs the tool: it starts with no test block and an empty capture directory, and leaves
// them so, which gives the block's 135 MB and the images back to the system.
class ToolRunTest : public testing::Test
{
protected:
    void SetUp() override
    {
        RemoveTestBlock();
        ResetCaptureDirectory();
    }
    void TearDown() override
    {
        RemoveTestBlock();
        ResetCaptureDirectory();
    }
};
