// No handler takes memory from the heap to print into a caller's buffer, whatever the field. Array
// allocations of this binary are counted by ArrayNewCounter.cpp; this file replaces the single-object
// operator new as well, and the test reads both counts around each call.
#include "ArrayNewCounter.h"
#include "PrintRender.h"

#include <System/tPrint.h>
#include <cstdlib>
#include <gtest/gtest.h>
#include <new>
#include <string>

namespace
{
long ObjectAllocations = 0;
} // namespace

void* operator new(std::size_t size)
{
    ObjectAllocations++;
    if (void* block = std::malloc(size == 0 ? 1 : size))
        return block;
    throw std::bad_alloc();
}

void operator delete(void* block) noexcept
{
    std::free(block);
}

void operator delete(void* block, std::size_t) noexcept
{
    std::free(block);
}

namespace
{
// The sizes to try a row at: every size an integer row takes, one for the rows that ignore it.
bool TriedAt(char row, int typeSize)
{
    switch (row)
    {
    case 'p':
        return typeSize <= 8;
    case 'v':
        return typeSize == 16;
    case 'm':
        return typeSize == 16 || typeSize == 64;
    case 'e':
    case 'f':
    case 'g':
    case 'q':
    case 'c':
    case 's':
        return typeSize == 8;
    default:
        return true;
    }
}
} // namespace

// Every row at every size it takes, with the fields that once took the heap: long widths and
// precisions, groups, zero fill. Into a buffer with no limit (written in place) and one with a limit
// (written through Put).
TEST(PrintAllocations, NoHandlerAllocatesToPrintIntoABuffer)
{
    using namespace PrintFlags;
    static char buffer[1 << 21]; // a 4x4 matrix of 16 components with 65536 decimals each
    const char* text = "text";
    uint32_t words[16];
    for (uint32_t& word : words)
        word = 0x9ABCDEF1u;
    const double real = -1234.5678;
    const float floats[16] = {1.5f, -2.25f, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    const uint32_t flagSets[] = {0, Plus | Zero, Left | Comma, Alt | Radix | Space};
    const int widths[] = {0, 12, 5000};
    const int precisions[] = {-1, 4, 300, 5000, 70000};

    for (int row = 0; row < 16; row++)
    {
        const tTypeHandlerEntry& entry = TypeHandlerTable[row];
        const void* value = entry.TypeChar == 's'                       ? static_cast<const void*>(&text)
                            : entry.Category == tTypeCategory::Real     ? static_cast<const void*>(&real)
                            : entry.Category == tTypeCategory::Compound ? static_cast<const void*>(floats)
                                                                        : static_cast<const void*>(words);
        for (int typeSize : {4, 8, 16, 32, 64})
            for (uint32_t flags : flagSets)
                for (int width : widths)
                    for (int precision : precisions)
                        for (int limit : {-1, 100})
                        {
                            if (!TriedAt(char(entry.TypeChar), typeSize))
                                continue;
                            tPrintTarget target;
                            target.Buffer = buffer;
                            target.BufferLimit = limit;
                            const tFormatSpec spec = {flags, width, precision, typeSize};
                            const long objectsBefore = ObjectAllocations;
                            const size_t arrayBytesBefore = ArrayNew::Bytes;
                            entry.Handler(target, spec, value);
                            EXPECT_TRUE(ObjectAllocations == objectsBefore &&
                                        ArrayNew::Bytes == arrayBytesBefore)
                                << entry.TypeChar << ", size " << typeSize << ", flags " << flags
                                << ", width " << width << ", precision " << precision << ", limit " << limit;
                        }
    }
}
