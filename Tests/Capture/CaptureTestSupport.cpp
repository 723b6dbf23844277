#include "CaptureTestSupport.h"

#include "CaptureRun.h"

#include <algorithm>
#include <boost/interprocess/exceptions.hpp>
#include <boost/interprocess/shared_memory_object.hpp>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <regex>
#include <sys/wait.h>

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

namespace
{
std::int32_t LittleEndian32(const std::vector<unsigned char>& bytes, std::size_t at)
{
    const std::uint32_t bits =
        static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
        static_cast<std::uint32_t>(bytes[at + 2]) << 16 | static_cast<std::uint32_t>(bytes[at + 3]) << 24;
    return static_cast<std::int32_t>(bits);
}

std::uint16_t LittleEndian16(const std::vector<unsigned char>& bytes, std::size_t at)
{
    return static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
}
} // namespace

Bmp ReadBmp(const std::string& path)
{
    Bmp bmp;
    std::ifstream file(path, std::ios::binary);
    const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(file)),
                                           std::istreambuf_iterator<char>());
    if (bytes.size() < 54 || bytes[0] != 'B' || bytes[1] != 'M')
    {
        bmp.Error = "no BMP signature or short header (" + std::to_string(bytes.size()) + " bytes)";
        return bmp;
    }
    const std::int32_t fileSize = LittleEndian32(bytes, 2);
    const std::int32_t dataOffset = LittleEndian32(bytes, 10);
    const std::int32_t infoSize = LittleEndian32(bytes, 14);
    bmp.Width = LittleEndian32(bytes, 18);
    const std::int32_t rawHeight = LittleEndian32(bytes, 22);
    const std::uint16_t bitsPerPixel = LittleEndian16(bytes, 28);
    const std::int32_t compression = LittleEndian32(bytes, 30);
    if (infoSize < 40 || LittleEndian16(bytes, 26) != 1 || bitsPerPixel != 24 || compression != 0)
    {
        bmp.Error = "not an uncompressed 24-bit BMP";
        return bmp;
    }
    // A positive height means the rows are stored bottom-up, the usual case.
    if (bmp.Width <= 0 || rawHeight == 0 || rawHeight == INT32_MIN)
    {
        bmp.Error = "bad dimensions";
        return bmp;
    }
    bmp.Height = rawHeight < 0 ? -rawHeight : rawHeight;
    const std::size_t width = static_cast<std::size_t>(bmp.Width);
    const std::size_t height = static_cast<std::size_t>(bmp.Height);
    const std::size_t stride = (width * 3 + 3) / 4 * 4; // Rows are padded to 4 bytes.
    if (fileSize < 0 || static_cast<std::size_t>(fileSize) != bytes.size() || dataOffset < 54 ||
        static_cast<std::size_t>(dataOffset) + stride * height > bytes.size())
    {
        bmp.Error = "sizes in the header do not match the file (" + std::to_string(bytes.size()) + " bytes)";
        return bmp;
    }
    bmp.Pixels.resize(width * height * 3);
    for (std::size_t row = 0; row < height; ++row)
    {
        const std::size_t storedRow = rawHeight > 0 ? height - 1 - row : row;
        const unsigned char* source =
            bytes.data() + static_cast<std::size_t>(dataOffset) + storedRow * stride;
        std::copy(source, source + width * 3,
                  bmp.Pixels.begin() + static_cast<std::ptrdiff_t>(row * width * 3));
    }
    bmp.Valid = true;
    return bmp;
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
    try
    {
        bip::shared_memory_object block(bip::open_only, SharedBlockName, bip::read_only);
        bip::offset_t size = 0;
        return block.get_size(size) ? static_cast<long long>(size) : -1;
    }
    catch (const bip::interprocess_exception&)
    {
        return -1;
    }
}

void ResetCaptureDirectory()
{
    fs::remove_all(CaptureDirectory());
    fs::create_directories(CaptureDirectory());
}

std::vector<std::string> CapturedFiles()
{
    std::vector<std::string> names;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(CaptureDirectory(), error))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}
