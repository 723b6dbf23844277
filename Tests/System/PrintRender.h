// Runs one handler into a tPrintTarget backed by a growable tArray<char> and returns what it printed.
#pragma once
#include "PrintFlags.h"

#include <System/tPrint.h>
#include <gtest/gtest.h>
#include <memory>
#include <string>

inline std::string Render(tTypeHandler handler, uint32_t flags, int width, int precision, const void* value,
                          int typeSize)
{
    tArray<char> out(16, 16);
    tPrintTarget target;
    target.Array = &out;
    const tFormatSpec spec = {flags, width, precision, typeSize};
    handler(target, spec, value);
    // Every handler counts exactly what it delivers when nothing limits the target.
    EXPECT_EQ(target.CharCount, out.GetCount());
    return std::string(out.GetStorage(), size_t(out.GetCount()));
}

// The integer conversions as the tests see them: character, handler, and how the value is read.
struct IntegerRow
{
    char Char;
    tTypeHandler Handler;
    bool Signed;
    int Base;
    bool UpperCase;
};

inline constexpr IntegerRow IntegerRows[] = {
    {'b', HandleBase2, false, 2, false},     {'o', HandleOctal, false, 8, false},
    {'d', HandleDecimal, true, 10, false},   {'i', HandleInteger, true, 10, false},
    {'u', HandleUnsigned, false, 10, false}, {'x', HandleHex, false, 16, false},
    {'X', HandleHexUpper, false, 16, true},
};

inline std::string Repeat(char c, size_t n)
{
    return std::string(n, c);
}

template <typename T>
std::string Render(tTypeHandler handler, uint32_t flags, int width, int precision, const T& value)
{
    return Render(handler, flags, width, precision, &value, int(sizeof(T)));
}

// What a handler writes straight into a buffer with no limit that is exactly as long as the text it
// counts: the heap block has no byte to spare, so AddressSanitizer sees any write beyond the text.
template <typename T>
std::string RenderUnlimited(tTypeHandler handler, uint32_t flags, int width, int precision, const T& value)
{
    const tFormatSpec spec = {flags, width, precision, int(sizeof(T))};
    tPrintTarget counting;
    handler(counting, spec, &value);
    std::unique_ptr<char[]> exact(new char[size_t(counting.CharCount)]);
    tPrintTarget unlimited;
    unlimited.Buffer = exact.get();
    handler(unlimited, spec, &value);
    EXPECT_EQ(unlimited.CharCount, counting.CharCount);
    return std::string(exact.get(), size_t(unlimited.Buffer - exact.get()));
}
