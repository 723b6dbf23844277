#include "CaptureTestSupport.h"

#include "OutputPath.h"
#include "SharedBlock.h"
#include "TestPattern.h"

#include <algorithm>
#include <boost/interprocess/exceptions.hpp>
#include <boost/interprocess/shared_memory_object.hpp>
#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>
#include <regex>
#include <sys/wait.h>
#include <unistd.h>

namespace bip = boost::interprocess;
namespace fs = std::filesystem;

ConsoleOutput ParseConsole(const std::string& text)
{
    static const std::regex entryStart(
        R"(^\[\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\.\d{3}\] \[([a-z]+)\] \[([^\]:]+):(\d+)\] (.*)$)");
    ConsoleOutput console;
    std::size_t begin = 0;
    while (begin < text.size())
    {
        std::size_t end = text.find('\n', begin);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(begin, end - begin);
        begin = end + 1;
        std::smatch match;
        if (std::regex_match(line, match, entryStart))
            console.Entries.push_back({match[1], match[2], std::stoi(match[3]), match[4]});
        else if (!console.Entries.empty())
            console.Entries.back().Text += "\n" + line;
        else
            console.PlainLines.push_back(line);
    }
    return console;
}

ProcessResult CollectProcess(pid_t child, int outputFd)
{
    ProcessResult result;
    char buffer[4096];
    ssize_t got = 0;
    while ((got = read(outputFd, buffer, sizeof buffer)) > 0)
        result.Output.append(buffer, static_cast<std::size_t>(got));
    close(outputFd);
    int status = 0;
    if (child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status))
        result.ExitStatus = WEXITSTATUS(status);
    return result;
}

ProcessResult RunProgram(const std::string& program, const std::vector<std::string>& args)
{
    std::string command = "'" + program + "'";
    for (const std::string& arg : args)
        command += " '" + arg + "'";
    command += " 2>&1";
    ProcessResult result;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return result;
    char buffer[4096];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        result.Output.append(buffer, got);
    const int status = pclose(pipe);
    if (status != -1 && WIFEXITED(status))
        result.ExitStatus = WEXITSTATUS(status);
    return result;
}

ProcessResult RunTool(const std::vector<std::string>& environment)
{
    if (environment.empty())
        return RunProgram(PELTRAK_TEST_TOOL);
    std::vector<std::string> args = environment;
    args.emplace_back(PELTRAK_TEST_TOOL);
    return RunProgram("/usr/bin/env", args);
}

void Publish(const std::vector<std::string>& args)
{
    std::vector<std::string> all{"--name", TestBlockName()};
    all.insert(all.end(), args.begin(), args.end());
    const ProcessResult result = RunProgram(PELTRAK_TEST_PUBLISHER, all);
    ASSERT_EQ(result.ExitStatus, 0) << result.Output;
}

std::string TestBlockName()
{
    return SharedBlockName;
}

std::string CaptureDirectory()
{
    std::string directory = OutputDirectory;
    while (!directory.empty() && directory.back() == '/')
        directory.pop_back();
    return directory;
}

void RemoveTestBlock()
{
    bip::shared_memory_object::remove(SharedBlockName);
}

long long TestBlockSize()
{
    return SharedBlockSizeNow(SharedBlockName);
}

void ResetCaptureDirectory()
{
    fs::remove_all(CaptureDirectory());
    fs::create_directories(CaptureDirectory());
}

namespace
{
std::vector<std::string> Names(const std::string& directory, const std::string& except)
{
    std::vector<std::string> names;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(directory, error))
        if (entry.path().filename() != except)
            names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}
} // namespace

std::vector<std::string> CapturedFiles()
{
    return Names(CaptureDirectory(), WorkspaceName());
}

std::string WorkspaceName()
{
    return ".peltrak-workspace-" + std::to_string(geteuid());
}

std::vector<std::string> WorkspaceLeftovers()
{
    return Names(CaptureDirectory() + "/" + WorkspaceName(), "earlier-leftovers-removed");
}

void ExpectPatternFile(const std::string& name, int width, int height)
{
    const std::string path = CaptureDirectory() + "/" + name;
    ASSERT_FALSE(fs::is_symlink(path)) << name;
    const Bmp bmp = ReadBmp(path);
    ASSERT_TRUE(bmp.Valid) << name << ": " << bmp.Error;
    ASSERT_EQ(bmp.Width, width);
    ASSERT_EQ(bmp.Height, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c)
                if (bmp.At(x, y)[c] != TestPatternByte(x, y, c, width, height))
                    FAIL() << name << ", pixel " << x << ", " << y << " channel " << c << ": "
                           << int(bmp.At(x, y)[c]) << " instead of "
                           << int(TestPatternByte(x, y, c, width, height));
}
