// tTextToInt and tWideInt<Bits>::FromText against a reference parse written here, byte by byte, at
// every width. Input: one byte of base (read as signed, so both explicit bases and prefix detection
// are reached), then the text.
#include "FuzzSupport.h"

#include <Foundation/tFixInt.h>
#include <cstdint>
#include <cstring>
#include <string>

namespace
{
// Little-endian bytes of a Bytes-wide two's-complement value.
template <int Bytes> struct RefValue
{
    uint8_t B[Bytes] = {};

    void Negate()
    {
        unsigned carry = 1;
        for (uint8_t& b : B)
        {
            const unsigned v = unsigned(uint8_t(~b)) + carry;
            b = uint8_t(v);
            carry = v >> 8;
        }
    }
    // this += place * digit
    void AddProduct(const RefValue& place, unsigned digit)
    {
        unsigned carry = 0;
        for (int i = 0; i < Bytes; i++)
        {
            const unsigned v = B[i] + place.B[i] * digit + carry;
            B[i] = uint8_t(v);
            carry = v >> 8;
        }
    }
    void MultiplySmall(unsigned factor)
    {
        unsigned carry = 0;
        for (uint8_t& b : B)
        {
            const unsigned v = b * factor + carry;
            b = uint8_t(v);
            carry = v >> 8;
        }
    }
};

int DigitValue(char ch)
{
    if (ch >= '0' && ch <= '9')
        return ch - '0';
    if (ch >= 'a' && ch <= 'z')
        return ch - 'a' + 10;
    if (ch >= 'A' && ch <= 'Z')
        return ch - 'A' + 10;
    return -1;
}

// The base and the first character to read, from the prefix rules.
void ChooseBase(const std::string& text, int& base, size_t& start)
{
    start = 0;
    if (base >= 2 && base <= 36)
        return;
    base = 10;
    char c = text[0];
    if (text.size() > 1 && c == '0')
        c = text[++start];
    const std::string hex = "xX#", dec = "dD", oct = "oO@", quad = "nN", bin = "bB!";
    int chosen = 0;
    if (hex.find(c) != std::string::npos)
        chosen = 16;
    else if (dec.find(c) != std::string::npos)
        chosen = 10;
    else if (oct.find(c) != std::string::npos)
        chosen = 8;
    else if (quad.find(c) != std::string::npos)
        chosen = 4;
    else if (bin.find(c) != std::string::npos)
        chosen = 2;
    if (chosen != 0)
    {
        base = chosen;
        start++;
    }
}

template <int Bytes> RefValue<Bytes> ReferenceParse(const std::string& text, int base)
{
    RefValue<Bytes> result;
    if (text.empty())
        return result;
    size_t start = 0;
    ChooseBase(text, base, start);
    RefValue<Bytes> place;
    place.B[0] = 1;
    for (size_t i = text.size(); i-- > start;)
    {
        if (text[i] == '-' && base == 10)
        {
            result.Negate();
            continue;
        }
        const int digit = DigitValue(text[i]);
        if (digit < 0 || digit >= base)
            continue;
        result.AddProduct(place, unsigned(digit));
        place.MultiplySmall(unsigned(base));
    }
    return result;
}

template <int Bits> void CheckWidth(const std::string& text, int base)
{
    const tWideInt<Bits> value = tWideInt<Bits>::FromText(text.c_str(), base);
    const RefValue<Bits / 8> expected = ReferenceParse<Bits / 8>(text, base);
    FUZZ_CHECK(std::memcmp(value.Words, expected.B, Bits / 8) == 0);
}
} // namespace

FUZZ_INITIALIZE_QUIETLY()

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const int base = int8_t(data[0]);
    const std::string text = FuzzCText(data + 1, size - 1);

    const RefValue<4> expected = ReferenceParse<4>(text, base);
    const int32_t value = tTextToInt(text.c_str(), base);
    FUZZ_CHECK(std::memcmp(&value, expected.B, 4) == 0);

    CheckWidth<128>(text, base);
    CheckWidth<256>(text, base);
    CheckWidth<512>(text, base);
    return 0;
}
