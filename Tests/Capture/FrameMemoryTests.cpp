#include "CaptureRun.h"
#include "CaptureTestSupport.h"
#include "FrameMemory.h"
#include "SharedBlock.h"

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <opencv2/core.hpp>
#include <string>
#include <vector>

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace
{
constexpr std::size_t HugePage = std::size_t{2} << 20;

std::uintptr_t Address(const void* p)
{
    return reinterpret_cast<std::uintptr_t>(p);
}
} // namespace

TEST(FrameStorage, AlignedWritableAndReleased)
{
    const std::size_t sizes[] = {
        0, 1, 4095, HugePage - 1, HugePage, HugePage + 1, std::size_t{7680} * 4320 * 3};
    for (const std::size_t size : sizes)
    {
        SCOPED_TRACE(size);
        const std::size_t before = FrameStorageBytesInUse();
        {
            const FrameStorage storage(size);
            EXPECT_EQ(storage.Size(), size);
            if (size == 0)
            {
                EXPECT_EQ(storage.Data(), nullptr);
                EXPECT_EQ(FrameStorageBytesInUse(), before);
                continue;
            }
            ASSERT_NE(storage.Data(), nullptr);
            const std::size_t wanted = size >= HugePage ? HugePage : alignof(std::max_align_t);
            EXPECT_EQ(storage.Alignment(), wanted);
            EXPECT_EQ(Address(storage.Data()) % wanted, 0u);
            EXPECT_GE(FrameStorageBytesInUse(), before + size);
            // Every byte is ours to write (the sanitizer build catches a short allocation).
            storage.Data()[size - 1] = 3;
            storage.Data()[0] = 1;
            EXPECT_EQ(storage.Data()[size - 1], size == 1 ? 1 : 3);
        }
        EXPECT_EQ(FrameStorageBytesInUse(), before);
    }
}

TEST(PrefaultForReading, LeavesTheBytesAsTheyAre)
{
    // Unaligned starts and ends, a single byte, nothing at all: a hint never changes what is read.
    std::vector<unsigned char> bytes(3 * 4096 + 123);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<unsigned char>(i * 7);
    const std::vector<unsigned char> copy = bytes;
    PrefaultForReading(bytes.data() + 5, bytes.size() - 9);
    PrefaultForReading(bytes.data() + 4096, 1);
    PrefaultForReading(bytes.data(), 0);
    PrefaultForReading(nullptr, 0);
    EXPECT_EQ(bytes, copy);
}

#ifdef __linux__
namespace
{
// The permissions /proc/self/maps gives for the mapping that holds address ("rw-s", "r--p", ...).
std::string MappingPermissions(const void* address)
{
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line))
    {
        std::uintptr_t begin = 0;
        std::uintptr_t end = 0;
        char permissions[5] = {};
        if (std::sscanf(line.c_str(), "%" SCNxPTR "-%" SCNxPTR " %4s", &begin, &end, permissions) == 3 &&
            Address(address) >= begin && Address(address) < end)
            return permissions;
    }
    return "not mapped";
}
} // namespace

TEST(ProtectForReading, LeavesTheBlockReadableButNotWritable)
{
    // A shared writable mapping of a size that is no multiple of the page size, as the block is.
    const std::size_t size = 3 * 4096 + 471;
    void* mapped = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(mapped, MAP_FAILED);
    auto* bytes = static_cast<unsigned char*>(mapped);
    bytes[0] = 7;
    bytes[size - 1] = 9;
    EXPECT_EQ(MappingPermissions(bytes + size - 1), "rw-s");
    ProtectForReading(mapped, size);
    EXPECT_EQ(MappingPermissions(bytes), "r--s");
    EXPECT_EQ(MappingPermissions(bytes + size - 1), "r--s");
    EXPECT_EQ(bytes[0] + bytes[size - 1], 16);
    ProtectForReading(nullptr, 0); // Nothing to protect: no effect, no failure.
    munmap(mapped, size);
}
#endif

// The export in this process over a block of our own: the destination storage is freed whether the
// file is written or the write fails.
TEST(ExportImage, ReleasesTheDestinationStorage)
{
    const int width = 1023; // Rows need padding; the destination spans more than one huge page.
    const int height = 701;
    std::vector<unsigned char> block(PixelOffset + static_cast<std::size_t>(width) * height * 4, 0);
    for (std::size_t i = PixelOffset; i < block.size(); ++i)
        block[i] = static_cast<unsigned char>(i);
    const std::size_t before = FrameStorageBytesInUse();
    for (const bool directoryExists : {true, false})
    {
        SCOPED_TRACE(directoryExists);
        ResetCaptureDirectory();
        if (!directoryExists)
            std::filesystem::remove_all(CaptureDirectory());
        SharedBlockBase = block.data();
        SharedImage = cv::Mat();
        SharedImage.create(cv::Size(width, height), CV_8UC4);
        ExportImage(OutputFileName, width, height);
        EXPECT_EQ(FrameStorageBytesInUse(), before);
        EXPECT_EQ(CapturedFiles().size(), directoryExists ? 1u : 0u);
    }
    SharedImage = cv::Mat();
    SharedBlockBase = nullptr;
    ResetCaptureDirectory();
}
