// Every print handler with a fuzzed format record and value, rendered into four targets at once:
// counting only, a growable array, a fixed-capacity array and a raw buffer with a limit. The counts
// must agree, the buffer must hold exactly the first BufferLimit characters, and nothing may be read
// past the argument or written past a destination (the sanitizers watch both).
//
// Input: handler row, flags, width, precision, type size, buffer limit (one or two bytes each), then
// the argument's bytes.
#include "FuzzSupport.h"

#include <System/tPrint.h>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace
{
class Reader
{
public:
    Reader(const uint8_t* data, size_t size) : Data(data), Size(size) {}
    uint8_t Byte() { return Used < Size ? Data[Used++] : 0; }
    int Word() { return Byte() | (Byte() << 8); }
    std::vector<uint8_t> Rest() { return std::vector<uint8_t>(Data + Used, Data + Size); }

private:
    const uint8_t* Data;
    size_t Size;
    size_t Used = 0;
};

// The number of bytes a handler may read behind its value pointer.
size_t ArgumentBytes(int row, int typeSize)
{
    switch (TypeHandlerTable[row].TypeChar)
    {
    case 'e':
    case 'f':
    case 'g':
        return 8;
    case 'q':
        return 16;
    case 'c':
        return 4;
    case 's':
        return sizeof(const char*);
    default:
        return size_t(std::max(typeSize, 0));
    }
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    FuzzQuietReports();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Reader in(data, size);
    const int row = in.Byte() % 16;
    tFormatSpec spec;
    spec.Flags = in.Byte();
    spec.Width = in.Word() % 10002 - 1;     // -1 .. 10000
    spec.Precision = in.Word() % 10002 - 1; // -1 .. 10000
    spec.TypeSize = in.Byte() % 80;         // the accepted sizes and many that are not
    const int limit = in.Word() % 300;
    std::vector<uint8_t> bytes = in.Rest();

    // The argument lives in a block of exactly the size the handler may read, so that the address
    // sanitizer sees any read beyond it.
    const size_t argumentBytes = ArgumentBytes(row, spec.TypeSize);
    std::unique_ptr<uint8_t[]> argument(new uint8_t[std::max<size_t>(argumentBytes, 1)]());
    std::string text; // For 's': the text the pointer argument points at.
    if (TypeHandlerTable[row].TypeChar == 's')
    {
        text.assign(bytes.begin(), bytes.end());
        text = text.c_str();
        const char* pointer = bytes.empty() ? nullptr : text.c_str();
        std::memcpy(argument.get(), &pointer, sizeof pointer);
    }
    else if (!bytes.empty())
    {
        // An empty vector's data() may be null, which memcpy must not be given even for no bytes.
        std::memcpy(argument.get(), bytes.data(), std::min(bytes.size(), argumentBytes));
    }
    const tTypeHandler handler = TypeHandlerTable[row].Handler;

    tPrintTarget counting;
    handler(counting, spec, argument.get());

    tArray<char> grown(16, 64);
    tPrintTarget toArray;
    toArray.Array = &grown;
    handler(toArray, spec, argument.get());
    FUZZ_CHECK(toArray.CharCount == counting.CharCount);
    FUZZ_CHECK(grown.GetCount() == counting.CharCount);

    tArray<char> fixed(32, 0);
    tPrintTarget toFixed;
    toFixed.Array = &fixed;
    handler(toFixed, spec, argument.get());
    FUZZ_CHECK(toFixed.CharCount == counting.CharCount);
    FUZZ_CHECK(fixed.GetCount() <= 32);

    std::unique_ptr<char[]> buffer(new char[std::max(limit, 1)]);
    tPrintTarget toBuffer;
    toBuffer.Buffer = buffer.get();
    toBuffer.BufferLimit = limit;
    handler(toBuffer, spec, argument.get());
    const int expected = std::min(limit, counting.CharCount);
    FUZZ_CHECK(toBuffer.CharCount == expected);
    FUZZ_CHECK(toBuffer.Buffer == buffer.get() + expected);
    FUZZ_CHECK(std::memcmp(buffer.get(), grown.GetStorage(), size_t(expected)) == 0);
    return 0;
}
