// tTextToInt and tWideInt<Bits>::FromText against the reference parse done byte by byte, at every
// width. Input: one byte of base (read as signed, so both explicit bases and prefix detection
// are reached), then the text.
#include "ByteWideInt.h"
#include "FuzzSupport.h"
#include "TextToIntRules.h"

#include <Foundation/tFixInt.h>
#include <cstdint>
#include <string>

namespace
{
template <int Bytes> ByteWideInt<Bytes> ReferenceParse(const std::string& text, int base)
{
    ByteWideInt<Bytes> result;
    ByteWideInt<Bytes> place;
    place.B[0] = 1;
    ParseRightToLeft(
        text, base, [&] { result = result.Negate(); },
        [&](int digit, int digitBase)
        {
            result = result + ByteWideInt<Bytes>(place).MultiplyAdd(unsigned(digit), 0);
            place.MultiplyAdd(unsigned(digitBase), 0);
        });
    return result;
}

template <int Bits> void CheckWidth(const std::string& text, int base)
{
    const tWideInt<Bits> value = tWideInt<Bits>::FromText(text.c_str(), base);
    FUZZ_CHECK(ByteWideInt<Bits / 8>::FromWords(value.Words) == ReferenceParse<Bits / 8>(text, base));
}
} // namespace

FUZZ_INITIALIZE_QUIETLY()

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const int base = int8_t(data[0]);
    const std::string text = FuzzCText(data + 1, size - 1);

    const uint32_t value = uint32_t(tTextToInt(text.c_str(), base));
    FUZZ_CHECK(ByteWideInt<4>::FromWords(&value) == ReferenceParse<4>(text, base));

    CheckWidth<128>(text, base);
    CheckWidth<256>(text, base);
    CheckWidth<512>(text, base);
    return 0;
}
