// The capture path, in process, against a block of this build's own name: a fuzzed header, block
// size and pixels. Whatever the header says, the capture never crashes or reads outside the mapping
// (the address sanitizer watches the mapping's bounds), and it writes a file exactly when the header
// describes a non-empty 3- or 4-channel image inside the pixel area; that file then holds the
// block's pixels as blue, green, red.
//
// Input: a block-size selector, Width, Height and Channels (little-endian int32 each), then pixel
// bytes for the start of the pixel area.
#include "BmpFile.h"
#include "CaptureRun.h"
#include "FuzzSupport.h"
#include "OutputPath.h"
#include "SharedBlock.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace
{
namespace bip = boost::interprocess;
namespace fs = std::filesystem;

constexpr std::size_t MaxFrameBytes = std::size_t(8) << 20;

// Leaves a block of the given size holding the header and pixels; size 0 leaves no block at all.
void PublishBlock(std::size_t size, const BlockHeader& header, const std::vector<uint8_t>& pixels)
{
    bip::shared_memory_object::remove(SharedBlockName);
    if (size == 0)
        return;
    bip::mapped_region region = CreateSharedBlock(SharedBlockName, size);
    auto* bytes = static_cast<uint8_t*>(region.get_address());
    if (size >= PixelOffset)
        WriteBlockHeader(bytes, header);
    for (std::size_t i = 0; i < pixels.size() && PixelOffset + i < size; i++)
        bytes[PixelOffset + i] = pixels[i];
}

// The captures only: the tool's workspace directory lives beside them and is kept between captures,
// and nothing else the tool leaves ends in ".bmp".
std::vector<fs::path> CapturedFiles()
{
    std::vector<fs::path> files;
    for (const fs::directory_entry& entry : fs::directory_iterator(OutputDirectory))
        if (entry.path().extension() == ".bmp")
            files.push_back(entry.path());
    return files;
}

// Checks a 24-bit bottom-up BMP against the block's pixels, byte by byte.
void CheckBmp(const fs::path& path, int width, int height, int channels, const unsigned char* pixels)
{
    const Bmp bmp = ReadBmp(path.string());
    FUZZ_CHECK(bmp.Valid && bmp.BottomUp && bmp.BytesAfterPixels == 0);
    FUZZ_CHECK(bmp.Width == width && bmp.Height == height);
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++)
            for (int c = 0; c < 3; c++)
                FUZZ_CHECK(bmp.At(x, y)[c] ==
                           pixels[(std::size_t(y) * std::size_t(width) + std::size_t(x)) * channels + c]);
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    FuzzQuietReports();
    fs::create_directories(OutputDirectory);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 13)
        return 0;
    // Mostly the agreed size, so that the header is read; otherwise the block is re-created empty.
    const std::size_t sizes[] = {SharedBlockSize,    SharedBlockSize, SharedBlockSize, 0, 1000,
                                 SharedBlockSize - 1};
    const std::size_t blockSize = sizes[data[0] % (sizeof sizes / sizeof sizes[0])];
    const BlockHeader header{ReadBlockInt32(data, 1), ReadBlockInt32(data, 5), ReadBlockInt32(data, 9)};
    const int32_t width = header.Width, height = header.Height, channels = header.Channels;
    const std::vector<uint8_t> pixels(data + 13, data + size);
    const bool headerRead = blockSize == SharedBlockSize;
    const bool imageExpected = headerRead && CheckImageHeader(width, height, channels).empty() && width > 0 &&
                               height > 0 && (channels == 3 || channels == 4);
    // A frame of tens of megabytes (or of a few megabytes in millions of rows) takes seconds to convert,
    // write and flush on a busy machine: time linear in the frame, but as long as the per-input limit that
    // makes superlinear time a finding. The fuzzer keeps to frames below that; the end-to-end tests capture
    // frames up to 8K.
    if (imageExpected && std::size_t(width) * std::size_t(height) * std::size_t(channels) > MaxFrameBytes)
        return 0;

    for (const fs::path& leftover : CapturedFiles())
        fs::remove(leftover);
    PublishBlock(blockSize, header, pixels);

    // The process-wide matrix keeps its first shape; a fresh run of the tool starts with it empty.
    SharedImage = cv::Mat();
    FUZZ_CHECK(CaptureImage() == 0);

    const std::vector<fs::path> files = CapturedFiles();
    FUZZ_CHECK(files.size() == (imageExpected ? 1u : 0u));
    if (imageExpected && std::size_t(width) * std::size_t(height) <= 1u << 16)
        CheckBmp(files[0], width, height, channels, SharedBlockBase + PixelOffset);
    for (const fs::path& file : files)
        fs::remove(file);
    bip::shared_memory_object::remove(SharedBlockName);
    return 0;
}
