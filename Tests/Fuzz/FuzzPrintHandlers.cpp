// Every print handler with a fuzzed format record and value, rendered into five targets at once:
// counting only, a growable array, a fixed-capacity array, a raw buffer with a limit and one without.
// The counts must agree, the limited buffer must hold exactly the first BufferLimit characters, the
// unlimited one the whole text, and nothing may be read past the argument or written past a
// destination (the sanitizers watch both).
//
// Input: handler row, flags, width and precision (a size class byte and two bytes each), type size,
// buffer limit, then the argument's bytes.
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
// Mostly -1 .. 64, where the layouts differ from each other. One time in thirty-two up to 127, 255, ...
// or 16383, cut to 10000: the clamps and the stack-to-heap edges lie in that range, and a long text
// costs a run a hundred times what a short one does, so the long ones are kept rare.
int FieldSize(Reader& in)
{
    const int sizeClass = in.Byte();
    const int raw = in.Word();
    if (sizeClass >= 8)
        return raw % 66 - 1;
    return std::min(raw % (1 << (7 + sizeClass % 8)), 10001) - 1;
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
    spec.Width = FieldSize(in);
    spec.Precision = FieldSize(in);
    spec.TypeSize = in.Byte() % 80; // the accepted sizes and many that are not
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

    // A long text grows a small array once per 64 characters, copying it every time; a presized one
    // keeps such runs cheap, and short texts still take the growing path.
    tArray<char> grown(counting.CharCount > 1024 ? counting.CharCount : 16, 64);
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

    // A buffer with no limit, exactly as long as the counted text, which a handler may write straight
    // into: the same text, and no byte past it.
    std::unique_ptr<char[]> exact(new char[size_t(counting.CharCount)]);
    tPrintTarget toUnlimited;
    toUnlimited.Buffer = exact.get();
    handler(toUnlimited, spec, argument.get());
    FUZZ_CHECK(toUnlimited.CharCount == counting.CharCount);
    FUZZ_CHECK(toUnlimited.Buffer == exact.get() + counting.CharCount);
    FUZZ_CHECK(std::memcmp(exact.get(), grown.GetStorage(), size_t(counting.CharCount)) == 0);
    return 0;
}
