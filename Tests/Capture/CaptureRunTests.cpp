#include "CaptureRun.h"
#include "CaptureTestSupport.h"
#include "ImageFile.h"
#include "OutputPath.h"
#include "PeltrakVersion.h"
#include "SharedBlock.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <regex>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
std::tm LocalTime(int month, int day, int hour, int minute, int second)
{
    std::tm t{};
    t.tm_year = 126;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    return t;
}

std::string ReadWholeFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

class SaveImageTest : public testing::Test
{
protected:
    void SetUp() override { ResetCaptureDirectory(); }
    void TearDown() override { ResetCaptureDirectory(); }
    static std::string InDirectory(const std::string& name) { return CaptureDirectory() + "/" + name; }
    // A 2 x 1 BGR image: pixels (1, 2, 3) and (4, 5, 6).
    static cv::Mat SmallImage()
    {
        cv::Mat image(1, 2, CV_8UC3);
        for (int i = 0; i < 6; ++i)
            image.data[i] = static_cast<unsigned char>(i + 1);
        return image;
    }
};
} // namespace

TEST(MakeOutputPath, MonthDayAndTimeUnpadded)
{
    const struct
    {
        std::tm When;
        int CopyNumber;
        const char* Expected;
    } cases[] = {
        {LocalTime(12, 7, 2, 22, 5), 1, "0127_2_22_5_image_test.bmp"},
        {LocalTime(3, 9, 14, 5, 30), 1, "039_14_5_30_image_test.bmp"},
        {LocalTime(1, 21, 10, 0, 0), 1, "0121_10_0_0_image_test.bmp"},
        {LocalTime(12, 1, 10, 0, 0), 1, "0121_10_0_0_image_test.bmp"}, // December keeps its "0": 012 + 1.
        {LocalTime(12, 31, 23, 59, 59), 1, "01231_23_59_59_image_test.bmp"},
        {LocalTime(1, 1, 0, 0, 0), 1, "011_0_0_0_image_test.bmp"},
        {LocalTime(12, 7, 2, 22, 5), 2, "0127_2_22_5-2_image_test.bmp"},
        {LocalTime(12, 7, 2, 22, 5), 13, "0127_2_22_5-13_image_test.bmp"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.Expected);
        EXPECT_EQ(MakeOutputPath(OutputFileName, c.When, c.CopyNumber),
                  OutputDirectory + std::string(c.Expected));
    }
}

TEST(MakeOutputPath, UsesTheCurrentLocalTime)
{
    const std::time_t before = std::time(nullptr);
    const std::string path = MakeOutputPath("x.bmp");
    const std::time_t after = std::time(nullptr);
    // The clock may tick between the readings, so either reading may be the one used.
    std::tm beforeLocal = *std::localtime(&before);
    std::tm afterLocal = *std::localtime(&after);
    EXPECT_TRUE(path == MakeOutputPath("x.bmp", beforeLocal) || path == MakeOutputPath("x.bmp", afterLocal))
        << path;
}

TEST(CheckImageHeader, RefusesWhatCannotLieInThePixelArea)
{
    const std::int32_t limit = static_cast<std::int32_t>(PixelAreaSize); // 135000048 = 4 * 33750012
    const struct
    {
        std::int32_t Width, Height, Channels;
        bool Accepted;
    } cases[] = {
        {0, 0, 0, true}, // A freshly created block: left to the conversion to reject.
        {2, 1, 4, true},
        {7680, 4320, 4, true},
        {33750012, 1, 4, true}, // Exactly the pixel area.
        {33750013, 1, 4, false},
        {1, 1, 512, true},
        {1, 1, 513, false}, // OpenCV would read 513 channels as one.
        {2, 1, 515, false}, // ... and 515 as three, a valid-looking image.
        {0, 1, 515, true},  // Empty: nothing is read whatever the channel count.
        {1, 1, limit + 1, false},
        {0, INT32_MAX, INT32_MAX, true}, // Empty: nothing is read whatever the channel count.
        {INT32_MAX, INT32_MAX, INT32_MAX, false},
        {65536, 65536, 1, false}, // The pixel count alone overflows 32 bits.
        {-1, 1, 4, false},
        {1, -1, 4, false},
        {1, 1, -4, false},
        {INT32_MIN, INT32_MIN, INT32_MIN, false},
        {100, 100, 0, false}, // OpenCV would take a type of -8 as 512 channels.
        {2, 1, 1, true},      // Accepted here; the conversion rejects one channel.
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(testing::Message() << c.Width << " x " << c.Height << " x " << c.Channels);
        const std::string refusal = CheckImageHeader(c.Width, c.Height, c.Channels);
        EXPECT_EQ(refusal.empty(), c.Accepted) << refusal;
        if (!c.Accepted)
        {
            for (std::int32_t value : {c.Width, c.Height, c.Channels})
                EXPECT_NE(refusal.find(std::to_string(value)), std::string::npos) << refusal;
            EXPECT_NE(refusal.find("135000048"), std::string::npos) << refusal;
        }
    }
}

TEST_F(SaveImageTest, NeverReplacesAnEarlierFile)
{
    const std::tm when = LocalTime(12, 7, 2, 22, 5);
    const std::string first = MakeOutputPath(OutputFileName, when);
    const std::string second = MakeOutputPath(OutputFileName, when, 2);
    const std::string third = MakeOutputPath(OutputFileName, when, 3);
    std::ofstream(first) << "earlier capture";

    EXPECT_EQ(SaveImage(SmallImage(), when, OutputFileName), second);
    EXPECT_EQ(SaveImage(SmallImage(), when, OutputFileName), third);

    EXPECT_EQ(ReadWholeFile(first), "earlier capture");
    // Nothing else is left behind, temporary files included.
    EXPECT_EQ(CapturedFiles(),
              (std::vector<std::string>{"0127_2_22_5-2_image_test.bmp", "0127_2_22_5-3_image_test.bmp",
                                        "0127_2_22_5_image_test.bmp"}));
    EXPECT_EQ(WorkspaceLeftovers(), std::vector<std::string>());
    const Bmp bmp = ReadBmp(third);
    ASSERT_TRUE(bmp.Valid) << bmp.Error;
    ASSERT_EQ(bmp.Width, 2);
    ASSERT_EQ(bmp.Height, 1);
    EXPECT_EQ(bmp.Pixels, (std::vector<unsigned char>{1, 2, 3, 4, 5, 6}));
}

TEST_F(SaveImageTest, MissingDirectoryIsLoggedWithThePath)
{
    std::filesystem::remove_all(CaptureDirectory());
    const std::tm when = LocalTime(3, 9, 14, 5, 30);
    testing::internal::CaptureStdout();
    const std::string saved = SaveImage(SmallImage(), when, OutputFileName);
    const ConsoleOutput console = ParseConsole(testing::internal::GetCapturedStdout());

    EXPECT_EQ(saved, "");
    ASSERT_EQ(console.Entries.size(), 2u);
    EXPECT_NE(console.Entries[0].Text.find(MakeOutputPath(OutputFileName, when)), std::string::npos)
        << console.Entries[0].Text;
    EXPECT_FALSE(std::filesystem::exists(CaptureDirectory())); // Never created.
}

TEST_F(SaveImageTest, FullDiskIsLoggedAndLeavesNoFile)
{
    // The writer reports success even when its writes fail. A file-size limit makes them fail the way
    // a full disk does, without a full file system: the image is far above it, while the captured
    // console text stays below it.
    const cv::Mat image(200, 300, CV_8UC3, cv::Scalar(1, 2, 3));
    rlimit previous{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &previous), 0);
    rlimit limited = previous;
    limited.rlim_cur = 64 * 1024;
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    const std::tm when = LocalTime(3, 9, 14, 5, 30);
    testing::internal::CaptureStdout();
    const std::string saved = SaveImage(image, when, OutputFileName);
    const ConsoleOutput console = ParseConsole(testing::internal::GetCapturedStdout());
    setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_EQ(saved, "");
    ASSERT_EQ(console.Entries.size(), 2u);
    EXPECT_NE(console.Entries[0].Text.find(MakeOutputPath(OutputFileName, when)), std::string::npos)
        << console.Entries[0].Text;
    // The reason is the writer's own error, not a guess.
    EXPECT_NE(console.Entries[0].Text.find(std::string("write: ") + std::strerror(EFBIG)), std::string::npos)
        << console.Entries[0].Text;
    EXPECT_EQ(CapturedFiles(), std::vector<std::string>());
    EXPECT_EQ(WorkspaceLeftovers(), std::vector<std::string>());
}

TEST_F(SaveImageTest, ImageGetsThePermissionsOfAPlainlyCreatedFile)
{
    // The temporary file is made private; the finished image must still be readable as any file
    // created under the process's umask would be.
    const mode_t previous = umask(022);
    testing::internal::CaptureStdout();
    const std::string saved = SaveImage(SmallImage(), LocalTime(3, 9, 14, 5, 31), OutputFileName);
    testing::internal::GetCapturedStdout();
    umask(previous);

    ASSERT_NE(saved, "");
    struct stat status = {};
    ASSERT_EQ(stat(saved.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0644u);
}

TEST(PeltrakVersion, IsParsedBeforeMain)
{
    EXPECT_TRUE(PeltrakVersion.Read);
    EXPECT_EQ(PeltrakVersion.VersionMajor, 1);
    EXPECT_EQ(PeltrakVersion.VersionMinor, 0);
    EXPECT_EQ(PeltrakVersion.VersionPatch, 0);
}
