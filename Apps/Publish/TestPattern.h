// The generated frame that peltrak-publish writes and the tests check: a blue ramp left to right, a
// green ramp top to bottom, a red 64-pixel checkerboard, opaque alpha. Every byte is a pure function
// of its position, so a reader can verify any pixel without keeping a copy of the frame.
#pragma once

#include <cstdint>

// Byte of channel `channel` (0 blue, 1 green, 2 red, 3 alpha, more: a diagonal ramp) at column x, row y
// of a width x height frame. Computed in 64 bits, so any int sizes are safe.
inline unsigned char TestPatternByte(int x, int y, int channel, int width, int height)
{
    const std::int64_t lastColumn = width > 1 ? width - 1 : 1;
    const std::int64_t lastRow = height > 1 ? height - 1 : 1;
    switch (channel)
    {
    case 0:
        return static_cast<unsigned char>(std::int64_t{x} * 255 / lastColumn);
    case 1:
        return static_cast<unsigned char>(std::int64_t{y} * 255 / lastRow);
    case 2:
        return ((x / 64 + y / 64) % 2) != 0 ? 224 : 32;
    case 3:
        return 255;
    default:
        return static_cast<unsigned char>((std::int64_t{x} + y + channel) & 0xFF);
    }
}
