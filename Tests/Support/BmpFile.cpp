#include "BmpFile.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>

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
    bmp.BottomUp = rawHeight > 0;
    const std::size_t width = static_cast<std::size_t>(bmp.Width);
    const std::size_t height = static_cast<std::size_t>(bmp.Height);
    const std::size_t stride = (width * 3 + 3) / 4 * 4; // Rows are padded to 4 bytes.
    if (fileSize < 0 || static_cast<std::size_t>(fileSize) != bytes.size() || dataOffset < 54 ||
        static_cast<std::size_t>(dataOffset) + stride * height > bytes.size())
    {
        bmp.Error = "sizes in the header do not match the file (" + std::to_string(bytes.size()) + " bytes)";
        return bmp;
    }
    bmp.BytesAfterPixels = bytes.size() - static_cast<std::size_t>(dataOffset) - stride * height;
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
