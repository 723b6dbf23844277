// Reading a BMP file byte by byte, independently of the image library that wrote it. No GoogleTest,
// so the fuzzers use it too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A decoded uncompressed 24-bit BMP, rows top-down, pixels blue, green, red. Valid is false (and Error
// says why) when the bytes are not such a file.
struct Bmp
{
    bool Valid = false;
    std::string Error;
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    bool BottomUp = false;             // Stored last row first (a positive height field), as is usual.
    std::size_t BytesAfterPixels = 0;  // What the file holds beyond its last pixel row.
    std::vector<unsigned char> Pixels; // Width * 3 bytes per row, no padding.
    const unsigned char* At(int x, int y) const
    {
        return &Pixels[(static_cast<std::size_t>(y) * static_cast<std::size_t>(Width) +
                        static_cast<std::size_t>(x)) *
                       3];
    }
};

// Never reads past the file's bytes, whatever its header says; a missing file is an invalid one.
Bmp ReadBmp(const std::string& path);
