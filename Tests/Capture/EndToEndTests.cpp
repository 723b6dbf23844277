// Runs the test build of the tool against blocks written by peltrak-publish and reads what it wrote.
#include "CaptureTestSupport.h"
#include "TestPattern.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <regex>

namespace
{
const std::string SizeLine = "shm size = 135000519 struct size = 135000519";
const std::regex CaptureName(R"(0\d{2,4}_\d{1,2}_\d{1,2}_\d{1,2}(-\d+)?_image_test\.bmp)");

class EndToEnd : public ToolRunTest
{
protected:
    // Runs the tool and expects a failed capture: exit status 0, exactly one Logger::Critical call
    // (message on line 55, trace naming the capture run on line 57), no file. Returns the message.
    static std::string RunExpectingLoggedFailure(const std::vector<std::string>& expectedLines)
    {
        const ProcessResult run = RunTool();
        EXPECT_EQ(run.ExitStatus, 0) << run.Output;
        const ConsoleOutput console = ParseConsole(run.Output);
        EXPECT_EQ(console.PlainLines, expectedLines) << run.Output;
        EXPECT_EQ(CapturedFiles(), std::vector<std::string>()) << run.Output;
        EXPECT_EQ(WorkspaceLeftovers(), std::vector<std::string>()) << run.Output;
        if (console.Entries.size() != 2u)
        {
            ADD_FAILURE() << "expected two log entries:\n" << run.Output;
            return std::string();
        }
        EXPECT_EQ(console.Entries[0].Line, 55);
        EXPECT_EQ(console.Entries[1].Line, 57);
        EXPECT_NE(console.Entries[1].Text.find("CaptureImage"), std::string::npos) << console.Entries[1].Text;
        return console.Entries[0].Text;
    }

    // Runs the tool and expects one capture: exit status 0, only the size line, one more file.
    static std::string RunExpectingCapture(const std::vector<std::string>& environment = {})
    {
        const std::vector<std::string> before = CapturedFiles();
        const ProcessResult run = RunTool(environment);
        EXPECT_EQ(run.ExitStatus, 0) << run.Output;
        EXPECT_EQ(run.Output, SizeLine + "\n");
        const std::vector<std::string> after = CapturedFiles();
        EXPECT_EQ(WorkspaceLeftovers(), std::vector<std::string>()) << run.Output;
        if (after.size() != before.size() + 1)
        {
            ADD_FAILURE() << "expected one new file:\n" << run.Output;
            return std::string();
        }
        for (const std::string& name : after)
            if (std::find(before.begin(), before.end(), name) == before.end())
            {
                EXPECT_TRUE(std::regex_match(name, CaptureName)) << name;
                return name;
            }
        return std::string();
    }
};
} // namespace

TEST_F(EndToEnd, NoBlockCreatesOneAndLogsTheEmptyImage)
{
    const std::string message = RunExpectingLoggedFailure({std::strerror(ENOENT), "create shm_memory "});
    EXPECT_NE(message.find("empty"), std::string::npos) << message; // A zero-filled header: 0 x 0 x 0.
    EXPECT_EQ(TestBlockSize(), 135000519);
}

TEST_F(EndToEnd, TwoPixelFrameKeepsBlueGreenRedAndDropsAlpha)
{
    Publish({"header", "2", "1", "4", "10", "20", "30", "40", "50", "60", "70", "80"});
    const std::string name = RunExpectingCapture();
    const Bmp bmp = ReadBmp(CaptureDirectory() + "/" + name);
    ASSERT_TRUE(bmp.Valid) << bmp.Error;
    ASSERT_EQ(bmp.Width, 2);
    ASSERT_EQ(bmp.Height, 1);
    EXPECT_EQ(bmp.Pixels, (std::vector<unsigned char>{10, 20, 30, 50, 60, 70}));
}

TEST_F(EndToEnd, PatternFramesKeepRowOrderAndPadding)
{
    // Widths whose rows need 0 to 3 bytes of padding; three and four channels.
    const struct
    {
        int Width, Height, Channels;
    } cases[] = {{4, 3, 4}, {3, 2, 3}, {5, 4, 4}, {7, 5, 3}, {130, 70, 4}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(testing::Message() << c.Width << " x " << c.Height << " x " << c.Channels);
        ResetCaptureDirectory();
        Publish({"pattern", std::to_string(c.Width), std::to_string(c.Height), std::to_string(c.Channels)});
        ExpectPatternFile(RunExpectingCapture(), c.Width, c.Height);
    }
}

TEST_F(EndToEnd, FilesMatchAPlainConversionByteForByte)
{
    // What the tool writes must not depend on how it holds its frames: compare the whole file with the
    // one OpenCV writes from an ordinary matrix. Odd widths need row padding; the larger frames span
    // several huge pages of destination storage with a partly used last one, and the largest is
    // converted on several threads, the others on one.
    const struct
    {
        int Width, Height, Channels;
    } cases[] = {{1, 1, 4}, {3, 2, 3}, {7, 5, 4}, {1023, 701, 4}, {1021, 1030, 3}, {2051, 2050, 3}};
    const std::string reference = CaptureDirectory() + "-reference.bmp";
    for (const auto& c : cases)
    {
        SCOPED_TRACE(testing::Message() << c.Width << " x " << c.Height << " x " << c.Channels);
        ResetCaptureDirectory();
        Publish({"pattern", std::to_string(c.Width), std::to_string(c.Height), std::to_string(c.Channels)});
        const std::string name = RunExpectingCapture();
        ASSERT_FALSE(name.empty());

        cv::Mat source(c.Height, c.Width, CV_8UC(c.Channels));
        for (int y = 0; y < c.Height; ++y)
            for (int x = 0; x < c.Width; ++x)
                for (int k = 0; k < c.Channels; ++k)
                    source.ptr(y)[x * c.Channels + k] = TestPatternByte(x, y, k, c.Width, c.Height);
        cv::Mat bgr;
        cv::cvtColor(source, bgr, cv::COLOR_BGRA2BGR, 0);
        ASSERT_TRUE(cv::imwrite(reference, bgr, std::vector<int>()));

        std::ifstream expected(reference, std::ios::binary);
        std::ifstream actual(CaptureDirectory() + "/" + name, std::ios::binary);
        const std::string expectedBytes((std::istreambuf_iterator<char>(expected)),
                                        std::istreambuf_iterator<char>());
        const std::string actualBytes((std::istreambuf_iterator<char>(actual)),
                                      std::istreambuf_iterator<char>());
        EXPECT_EQ(actualBytes.size(), expectedBytes.size());
        EXPECT_TRUE(actualBytes == expectedBytes) << "the files differ";
        std::filesystem::remove(reference);
    }
}

TEST_F(EndToEnd, OpenCVEnvironmentChangesNothing)
{
    // Log lines would join the size line; trace files would land beside the capture.
    std::vector<std::string> environment{"OPENCV_LOG_LEVEL=VERBOSE", "OPENCV_PARALLEL_BACKEND=TBB"};
#ifdef PELTRAK_OPENCV_LEAN
    // Only the lean build leaves tracing out; Debian's OpenCV keeps it.
    environment.push_back("OPENCV_TRACE=1");
    environment.push_back("OPENCV_TRACE_LOCATION=" + CaptureDirectory() + "/cvtrace");
#endif
    Publish({"pattern", "130", "70", "4"});
    ExpectPatternFile(RunExpectingCapture(environment), 130, 70);
}

TEST_F(EndToEnd, WronglySizedBlockIsReplacedByAnEmptyOne)
{
    Publish({"--size", "1000", "header", "2", "1", "4", "10", "20", "30", "40", "50", "60", "70", "80"});
    ASSERT_EQ(TestBlockSize(), 1000);
    RunExpectingLoggedFailure(
        {"shm size = 1000 struct size = 135000519", "create shm_memory ", "removed : " + TestBlockName()});
    EXPECT_EQ(TestBlockSize(), 135000519);
}

TEST_F(EndToEnd, ChannelCountsOtherThanThreeOrFourAreLogged)
{
    for (const char* channels : {"1", "2", "5"})
    {
        SCOPED_TRACE(channels);
        Publish({"header", "2", "1", channels, "10", "20", "30", "40", "50", "60", "70", "80"});
        const std::string message = RunExpectingLoggedFailure({SizeLine});
        EXPECT_NE(message.find(std::string("channels, not ") + channels), std::string::npos) << message;
    }
}

TEST_F(EndToEnd, HeadersOutsideThePixelAreaAreRefused)
{
    const struct
    {
        const char *Width, *Height, *Channels;
    } cases[] = {
        {"7680", "4320", "5"},
        {"-2", "1", "4"},
        {"2", "-1", "4"},
        {"2", "1", "-4"},
        {"2147483647", "2147483647", "2147483647"},
        {"100", "100", "0"},
        {"2", "1", "515"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(testing::Message() << c.Width << " x " << c.Height << " x " << c.Channels);
        Publish({"header", c.Width, c.Height, c.Channels});
        const std::string message = RunExpectingLoggedFailure({SizeLine});
        for (const char* value : {c.Width, c.Height, c.Channels, "135000048"})
            EXPECT_NE(message.find(value), std::string::npos) << message;
    }
}

TEST_F(EndToEnd, MissingOutputDirectoryIsLoggedAndNotCreated)
{
    Publish({"pattern", "4", "3", "4"});
    std::filesystem::remove_all(CaptureDirectory());
    const ProcessResult run = RunTool();
    EXPECT_EQ(run.ExitStatus, 0) << run.Output;
    const ConsoleOutput console = ParseConsole(run.Output);
    EXPECT_EQ(console.PlainLines, std::vector<std::string>{SizeLine});
    ASSERT_EQ(console.Entries.size(), 2u) << run.Output;
    EXPECT_NE(console.Entries[0].Text.find(CaptureDirectory() + "/0"), std::string::npos)
        << console.Entries[0].Text;
    EXPECT_FALSE(std::filesystem::exists(CaptureDirectory()));
}

TEST_F(EndToEnd, CapturesInTheSameSecondEachKeepTheirFile)
{
    Publish({"pattern", "4", "3", "4"});
    const std::string first = RunExpectingCapture();
    const std::string second = RunExpectingCapture();
    ASSERT_NE(first, second);
    ExpectPatternFile(first, 4, 3);
    ExpectPatternFile(second, 4, 3);
    // When the clock did not tick between the runs, the second name carries "-2" after the seconds.
    const std::string stem = first.substr(0, first.size() - std::string("_image_test.bmp").size());
    if (second.rfind(stem + "-", 0) == 0)
    {
        EXPECT_EQ(second, stem + "-2_image_test.bmp");
    }
}

TEST_F(EndToEnd, EightKFrame)
{
    Publish({"pattern", "7680", "4320", "4"});
    ExpectPatternFile(RunExpectingCapture(), 7680, 4320);
}

TEST_F(EndToEnd, BlockThatCannotBeOpenedEndsWithStatusOneAndStaysUntouched)
{
    // On Linux the block lives in /dev/shm; a directory in its place exists but cannot be opened, the
    // way a block owned by someone else cannot: it is reported and left alone, never replaced.
    const std::filesystem::path obstacle = "/dev/shm/" + TestBlockName();
    if (!std::filesystem::is_directory("/dev/shm"))
        GTEST_SKIP() << "no /dev/shm";
    ASSERT_TRUE(std::filesystem::create_directory(obstacle));
    const ProcessResult run = RunTool();
    const bool untouched = std::filesystem::is_directory(obstacle);
    std::filesystem::remove(obstacle);

    EXPECT_EQ(run.ExitStatus, 1) << run.Output;
    EXPECT_TRUE(untouched);
    const ConsoleOutput console = ParseConsole(run.Output);
    EXPECT_EQ(console.PlainLines, std::vector<std::string>()) << run.Output;
    ASSERT_EQ(console.Entries.size(), 2u) << run.Output;
    EXPECT_EQ(console.Entries[0].Line, 55);
    EXPECT_NE(console.Entries[0].Text.find("could not open the shared block \"" + TestBlockName() + "\""),
              std::string::npos)
        << console.Entries[0].Text;
    EXPECT_NE(console.Entries[1].Text.find("main"), std::string::npos) << console.Entries[1].Text;
    EXPECT_EQ(CapturedFiles(), std::vector<std::string>());
}
