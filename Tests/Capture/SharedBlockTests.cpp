#include "CaptureTestSupport.h"
#include "SharedBlock.h"

#include <algorithm>
#include <boost/interprocess/mapped_region.hpp>
#include <boost/interprocess/shared_memory_object.hpp>
#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>

namespace bip = boost::interprocess;

namespace
{
// Leaves the test block at `size` bytes (0: no block) with a marker byte in the pixel area, so that a
// test can tell an untouched block from a new zero-filled one.
void PrepareBlock(std::size_t size)
{
    RemoveTestBlock();
    if (size == 0)
        return;
    bip::shared_memory_object block(bip::create_only, TestBlockName().c_str(), bip::read_write);
    block.truncate(static_cast<bip::offset_t>(size));
    bip::mapped_region region(block, bip::read_write);
    static_cast<unsigned char*>(region.get_address())[size - 1] = 0xA5;
}

std::vector<std::string> Lines(const std::string& text)
{
    return ParseConsole(text).PlainLines;
}

struct AttachCase
{
    const char* Title;
    std::size_t ExistingSize; // 0: no block.
    bip::mode_t Mode;
    std::vector<std::string> ExpectedLines;
    enum
    {
        Null,
        Untouched,
        Recreated
    } Result;
};

class AttachSharedBlockTest : public testing::Test
{
protected:
    void TearDown() override { RemoveTestBlock(); }
};
} // namespace

TEST_F(AttachSharedBlockTest, LinesAndResultForEveryOutcome)
{
    const std::string name = TestBlockName();
    const std::string noSuchObject = std::strerror(ENOENT);
    const AttachCase cases[] = {
        {"no block, read-write",
         0,
         bip::read_write,
         {noSuchObject, "create shm_memory "},
         AttachCase::Recreated},
        {"no block, read-only", 0, bip::read_only, {noSuchObject}, AttachCase::Null},
        {"exact size, read-write",
         SharedBlockSize,
         bip::read_write,
         {"shm size = 135000519 struct size = 135000519"},
         AttachCase::Untouched},
        {"exact size, read-only",
         SharedBlockSize,
         bip::read_only,
         {"shm size = 135000519 struct size = 135000519"},
         AttachCase::Untouched},
        {"1000 bytes, read-write",
         1000,
         bip::read_write,
         {"shm size = 1000 struct size = 135000519", "create shm_memory ", "removed : " + name},
         AttachCase::Recreated},
        {"1000 bytes, read-only",
         1000,
         bip::read_only,
         {"shm size = 1000 struct size = 135000519"},
         AttachCase::Untouched},
    };
    for (const AttachCase& c : cases)
    {
        SCOPED_TRACE(c.Title);
        PrepareBlock(c.ExistingSize);
        testing::internal::CaptureStdout();
        unsigned char* block = AttachSharedBlock(name.c_str(), SharedBlockSize, c.Mode);
        EXPECT_EQ(Lines(testing::internal::GetCapturedStdout()), c.ExpectedLines);
        switch (c.Result)
        {
        case AttachCase::Null:
            EXPECT_EQ(block, nullptr);
            EXPECT_EQ(TestBlockSize(), -1); // Nothing created.
            break;
        case AttachCase::Untouched:
            ASSERT_NE(block, nullptr);
            EXPECT_EQ(block[c.ExistingSize - 1], 0xA5);
            EXPECT_EQ(TestBlockSize(), static_cast<long long>(c.ExistingSize));
            break;
        case AttachCase::Recreated:
            ASSERT_NE(block, nullptr);
            EXPECT_EQ(TestBlockSize(), static_cast<long long>(SharedBlockSize));
            EXPECT_TRUE(std::all_of(block, block + SharedBlockSize, [](unsigned char b) { return b == 0; }));
            break;
        }
    }
}

TEST(SharedBlockValues, ReadsAndWritesSignedLittleEndianAtAnyOffset)
{
    const struct
    {
        std::int32_t Value;
        unsigned char Bytes[4];
    } cases[] = {
        {0, {0, 0, 0, 0}},
        {1, {1, 0, 0, 0}},
        {7680, {0x00, 0x1E, 0, 0}},
        {-1, {0xFF, 0xFF, 0xFF, 0xFF}},
        {INT32_MAX, {0xFF, 0xFF, 0xFF, 0x7F}},
        {INT32_MIN, {0, 0, 0, 0x80}},
        {0x12345678, {0x78, 0x56, 0x34, 0x12}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.Value);
        unsigned char block[8] = {};
        // Offset 3: unaligned, like the header values in the block.
        WriteBlockInt32(block, 3, c.Value);
        EXPECT_EQ(0, std::memcmp(block + 3, c.Bytes, 4));
        EXPECT_EQ(block[2], 0);
        EXPECT_EQ(block[7], 0);
        EXPECT_EQ(ReadBlockInt32(block, 3), c.Value);
    }
}
