// peltrak-publish: plays the image producer for demonstrations and tests. It is not part of the tool.
//
//   peltrak-publish [--name NAME] [--size BYTES] pattern WIDTH HEIGHT CHANNELS
//   peltrak-publish [--name NAME] [--size BYTES] image FILE
//   peltrak-publish [--name NAME] [--size BYTES] header WIDTH HEIGHT CHANNELS [BYTE...]
//   peltrak-publish [--name NAME] remove
//
// pattern writes the generated test frame of TestPattern.h; image writes a file read with OpenCV as
// 8-bit BGRA; header writes any three header values, unchecked, followed by the given pixel bytes
// (for tests of bad headers). The block is opened when it exists with the right size, and created
// (replacing a wrongly sized one) otherwise; --size makes a block of another size than the tool's.
#include "SharedBlock.h"
#include "TestPattern.h"

#include <boost/interprocess/exceptions.hpp>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <stdexcept>
#include <string>
#include <vector>

namespace bip = boost::interprocess;

namespace
{
struct UsageError : std::runtime_error
{
    using std::runtime_error::runtime_error;
};

const char* const Usage =
    "usage: peltrak-publish [--name NAME] [--size BYTES] pattern WIDTH HEIGHT CHANNELS\n"
    "       peltrak-publish [--name NAME] [--size BYTES] image FILE\n"
    "       peltrak-publish [--name NAME] [--size BYTES] header WIDTH HEIGHT CHANNELS "
    "[BYTE...]\n"
    "       peltrak-publish [--name NAME] remove\n";

long long ParseNumber(const std::string& text, long long low, long long high, const char* what)
{
    errno = 0;
    char* end = nullptr;
    const long long value = std::strtoll(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno == ERANGE || value < low || value > high)
        throw UsageError(std::string(what) + " must be a whole number from " + std::to_string(low) + " to " +
                         std::to_string(high) + ", not \"" + text + "\"");
    return value;
}

// The block of exactly `size` bytes: the existing one when its size is right, else a new zero-filled one.
bip::mapped_region OpenOrCreateBlock(const std::string& name, std::size_t size)
{
    try
    {
        bip::shared_memory_object existing(bip::open_only, name.c_str(), bip::read_write);
        bip::offset_t existingSize = 0;
        if (existing.get_size(existingSize) && static_cast<std::size_t>(existingSize) == size)
            return bip::mapped_region(existing, bip::read_write);
    }
    catch (const bip::interprocess_exception&)
    {
        // Missing or unreadable: created below.
    }
    bip::shared_memory_object::remove(name.c_str());
    return CreateSharedBlock(name.c_str(), size);
}

void RequireRoom(std::size_t size, std::size_t pixelBytes)
{
    if (size < PixelOffset || pixelBytes > size - PixelOffset)
        throw UsageError("a block of " + std::to_string(size) + " bytes has no room for " +
                         std::to_string(pixelBytes) + " pixel bytes after the " +
                         std::to_string(PixelOffset) + "-byte header");
}

int Run(const std::vector<std::string>& args)
{
    std::string name = SharedBlockName;
    std::size_t size = SharedBlockSize;
    std::size_t at = 0;
    for (; at + 1 < args.size() && args[at].rfind("--", 0) == 0; at += 2)
    {
        if (args[at] == "--name")
            name = args[at + 1];
        else if (args[at] == "--size")
            size = static_cast<std::size_t>(ParseNumber(args[at + 1], 1, 1LL << 40, "--size"));
        else
            throw UsageError("unknown option " + args[at]);
    }
    if (at >= args.size())
        throw UsageError("no command given");
    const std::string& command = args[at++];
    const std::vector<std::string> operands(args.begin() + static_cast<std::ptrdiff_t>(at), args.end());

    if (command == "remove" && operands.empty())
    {
        const bool removed = bip::shared_memory_object::remove(name.c_str());
        std::cout << (removed ? "removed block " : "no block to remove: ") << name << std::endl;
        return 0;
    }

    if (command == "pattern" && operands.size() == 3)
    {
        const int width = static_cast<int>(ParseNumber(operands[0], 1, 1 << 20, "WIDTH"));
        const int height = static_cast<int>(ParseNumber(operands[1], 1, 1 << 20, "HEIGHT"));
        const int channels = static_cast<int>(ParseNumber(operands[2], 1, 4, "CHANNELS"));
        const std::size_t pixelBytes = static_cast<std::size_t>(width) * static_cast<std::size_t>(height) *
                                       static_cast<std::size_t>(channels);
        RequireRoom(size, pixelBytes);
        bip::mapped_region region = OpenOrCreateBlock(name, size);
        unsigned char* block = static_cast<unsigned char*>(region.get_address());
        unsigned char* pixel = block + PixelOffset;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                for (int c = 0; c < channels; ++c)
                    *pixel++ = TestPatternByte(x, y, c, width, height);
        WriteBlockHeader(block, {width, height, channels});
        std::cout << "published test pattern " << width << " x " << height << " x " << channels << " ("
                  << pixelBytes << " pixel bytes) to block " << name << " of " << size << " bytes"
                  << std::endl;
        return 0;
    }

    if (command == "image" && operands.size() == 1)
    {
        cv::Mat image = cv::imread(operands[0], cv::IMREAD_COLOR);
        if (image.empty())
            throw std::runtime_error("cannot read an image from \"" + operands[0] + "\"");
        cv::Mat bgra;
        cv::cvtColor(image, bgra, cv::COLOR_BGR2BGRA);
        const std::size_t pixelBytes = bgra.total() * bgra.elemSize();
        RequireRoom(size, pixelBytes);
        bip::mapped_region region = OpenOrCreateBlock(name, size);
        unsigned char* block = static_cast<unsigned char*>(region.get_address());
        // cvtColor's result is continuous, so its rows already lie back to back as the layout wants.
        std::memcpy(block + PixelOffset, bgra.data, pixelBytes);
        WriteBlockHeader(block, {bgra.cols, bgra.rows, 4});
        std::cout << "published " << operands[0] << " as " << bgra.cols << " x " << bgra.rows << " x 4 ("
                  << pixelBytes << " pixel bytes) to block " << name << " of " << size << " bytes"
                  << std::endl;
        return 0;
    }

    if (command == "header" && operands.size() >= 3)
    {
        const long long low = -2147483648LL;
        const long long high = 2147483647LL;
        const auto width = static_cast<std::int32_t>(ParseNumber(operands[0], low, high, "WIDTH"));
        const auto height = static_cast<std::int32_t>(ParseNumber(operands[1], low, high, "HEIGHT"));
        const auto channels = static_cast<std::int32_t>(ParseNumber(operands[2], low, high, "CHANNELS"));
        std::vector<unsigned char> bytes;
        for (std::size_t i = 3; i < operands.size(); ++i)
            bytes.push_back(static_cast<unsigned char>(ParseNumber(operands[i], 0, 255, "BYTE")));
        RequireRoom(size, bytes.size());
        bip::mapped_region region = OpenOrCreateBlock(name, size);
        unsigned char* block = static_cast<unsigned char*>(region.get_address());
        if (!bytes.empty())
            std::memcpy(block + PixelOffset, bytes.data(), bytes.size());
        WriteBlockHeader(block, {width, height, channels});
        std::cout << "published header " << width << " x " << height << " x " << channels << " and "
                  << bytes.size() << " pixel bytes to block " << name << " of " << size << " bytes"
                  << std::endl;
        return 0;
    }

    throw UsageError("unknown command or wrong number of operands: " + command);
}
} // namespace

int main(int argc, char** argv)
{
    try
    {
        return Run(std::vector<std::string>(argv + 1, argv + argc));
    }
    catch (const UsageError& e)
    {
        std::cerr << "peltrak-publish: " << e.what() << "\n" << Usage;
        return 2;
    }
    catch (const std::exception& e)
    {
        std::cerr << "peltrak-publish: " << e.what() << std::endl;
        return 1;
    }
}
