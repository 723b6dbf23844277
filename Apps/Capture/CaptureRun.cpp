#include "CaptureRun.h"

#include "BlockReadGuard.h"
#include "FrameMemory.h"
#include "ImageFile.h"
#include "OutputPath.h"
#include "PeltrakVersion.h"
#include "SharedBlock.h"

#include <Foundation/tHashInit.h> // IWYU pragma: keep (this unit owns a copy of the hash initial values)
#include <exception>
#include <opencv2/core/utility.hpp>
#include <opencv2/imgproc.hpp>
#include <spdlogger.h>
#include <stdexcept>

const char* const OutputFileName = "image_test.bmp";

cv::Mat SharedImage;
unsigned char* SharedBlockBase = nullptr;

tVersionNumbers PeltrakVersion = {};

namespace
{
// One of the two start-up parses of the tool's version; see PeltrakVersion.h.
[[maybe_unused]] const bool PeltrakVersionParsed =
    (tReadVersionText(PeltrakVersion, PeltrakVersionText), true);

// Frames of fewer pixels are converted on the calling thread alone.
constexpr std::size_t ParallelConversionPixels = std::size_t{1} << 22;

// CV_8UC(channels), that is 8 * channels - 8, taken modulo 2^32 so that it cannot overflow: an empty
// image may carry any channel count, and OpenCV masks the type to its 12 bits anyway.
int EightBitType(std::int32_t channels)
{
    const std::uint32_t wrapped = (static_cast<std::uint32_t>(channels) - 1u) * 8u;
    return wrapped <= 0x7FFFFFFFu ? static_cast<int>(wrapped)
                                  : static_cast<int>(wrapped - 0x80000000u) - 0x7FFFFFFF - 1;
}

// Pages the kernel could not back: either the producer shrank the block after the attach, or the
// shared-memory file system is too small for it.
std::string UnreadablePixelsReason()
{
    const long long sizeNow = SharedBlockSizeNow(SharedBlockName);
    const std::string block = std::string("the shared block \"") + SharedBlockName + "\"";
    if (sizeNow >= 0 && static_cast<unsigned long long>(sizeNow) < SharedBlockSize)
        return block + " shrank while it was read (to " + std::to_string(sizeNow) + " bytes)";
    return "the block's pixels cannot be read: the shared memory that should hold " + block + " is exhausted";
}
} // namespace

int CaptureImage()
{
    SharedBlockBase = AttachSharedBlock(SharedBlockName, SharedBlockSize, boost::interprocess::read_write);
    // Attached (and, when it had to be, created) in read-write mode; from here on the capture only
    // reads it, and a read-only view is cheaper to fault in.
    ProtectForReading(SharedBlockBase, SharedBlockSize);
    BlockHeader header;
    {
        const BlockReadGuard shrinkGuard(SharedBlockName);
        header = ReadBlockHeader(SharedBlockBase);
    }
    const auto [width, height, channels] = header;

    // Refused before any matrix exists, so no pixel outside the block can ever be read.
    const std::string refusal = CheckImageHeader(width, height, channels);
    if (!refusal.empty())
    {
        Logger::Critical(refusal);
        return 0;
    }

    try
    {
        if (SharedImage.empty())
            SharedImage.create(cv::Size(width, height), EightBitType(channels));
        ExportImage(OutputFileName, width, height);
    }
    catch (const std::exception& e)
    {
        const std::string message(e.what());
        Logger::Critical(message);
    }
    return 0;
}

// The file name comes by value and is released when the export ends, like the path built from it.
// cppcheck-suppress passedByValue
void ExportImage(std::string fileName, int width, int height) // NOLINT(performance-unnecessary-value-param)
{
    // One reading of the clock names the file, whichever copy number it ends up with.
    const std::tm localTime = LocalTimeNow();

    // Read the pixels in place: SharedImage keeps the rows, columns, type and step of its creation,
    // and only its pixel pointer moves into the block. Its own allocation stays untouched.
    SharedImage.data = SharedBlockBase + PixelOffset;
    // BGRA in, BGR out; a three-channel source is copied unchanged. Other counts are refused here
    // because some OpenCV versions would quietly read one channel as grey. An empty image is left to
    // the conversion, which rejects it with its own message.
    const int channels = SharedImage.channels();
    if (!SharedImage.empty() && channels != 3 && channels != 4)
        throw std::invalid_argument("the BGRA to BGR conversion takes 3 or 4 channels, not " +
                                    std::to_string(channels));

    // The conversion is one pass over memory the process has never touched: the block's pages and a
    // fresh destination. Mapping the first in one call and backing the second with huge pages saves
    // most of the page faults that would otherwise dominate it. The destination matrix only borrows
    // the storage, which outlives it and is freed when the export ends.
    const FrameStorage storage(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3);
    cv::Mat destination = storage.Size() == 0 ? cv::Mat(height, width, CV_8UC3)
                                              : cv::Mat(height, width, CV_8UC3, storage.Data());
    // Starting OpenCV's worker threads costs more than they save on small frames (on two cores about
    // 7 ms, against some 2 ms per million pixels that the second thread converts).
    if (SharedImage.total() < ParallelConversionPixels)
        cv::setNumThreads(0);
    {
        // The producer may shrink the block at any moment; from here to the end of the conversion
        // that ends the tool with one logged line instead of a silent SIGBUS.
        const BlockReadGuard shrinkGuard(SharedBlockName);
        if (!PrefaultForReading(SharedImage.data, SharedImage.total() * SharedImage.elemSize()))
            throw std::runtime_error(UnreadablePixelsReason());
        cv::cvtColor(SharedImage, destination, cv::COLOR_BGRA2BGR, 0);
    }
    SaveImage(destination, localTime, fileName);
}

std::string CheckImageHeader(std::int32_t width, std::int32_t height, std::int32_t channels)
{
    const std::string values = "Width " + std::to_string(width) + ", Height " + std::to_string(height) +
                               ", Channels " + std::to_string(channels);
    const std::string limit = "the pixel area holds " + std::to_string(PixelAreaSize) + " bytes";
    if (width < 0 || height < 0 || channels < 0)
        return "image header refused: " + values + ": negative value (" + limit + ")";
    // Each factor is below 2^31, so the pixel count fits in 63 bits; the channel factor is checked by
    // division so that the full product is never formed.
    const std::uint64_t pixels = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
    if (pixels != 0 && static_cast<std::uint64_t>(channels) > PixelAreaSize / pixels)
        return "image header refused: " + values + ": Width x Height x Channels exceeds the limit (" + limit +
               ")";
    // OpenCV keeps the channel count in 9 bits: 0 and counts above 512 would describe another image.
    if (pixels != 0 && (channels == 0 || channels > CV_CN_MAX))
        return "image header refused: " + values + ": the channel count must be 1 to " +
               std::to_string(CV_CN_MAX) + " (" + limit + ")";
    return std::string();
}
