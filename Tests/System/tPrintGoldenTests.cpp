// The golden tables of PrintGolden.h through every entry point: the row's handler (into a growable
// array, and straight into a buffer with no limit), tsnPrintf and tFormat with the case written as a
// format; integers at every width that holds the value, in a suite typed over the widths. A mismatch
// prints the whole case, the format and what each entry point that differed printed.
#include "PrintGolden.h"
#include "PrintRender.h"

#include <Foundation/tFixInt.h>
#include <System/tFormat.h>
#include <System/tPrintf.h>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <type_traits>

using namespace PrintGolden;

namespace
{
// The argument type of each width, as a caller passes it.
template <int Bits> struct tIntegerOf
{
    using Type = tWideInt<Bits>;
};
template <> struct tIntegerOf<32>
{
    using Type = int32_t;
};
template <> struct tIntegerOf<64>
{
    using Type = int64_t;
};

constexpr unsigned WidthBit(int bits)
{
    return bits == 32 ? 1u : bits == 64 ? 2u : bits == 128 ? 4u : bits == 256 ? 8u : 16u;
}

// The case's value at Bits bits; false when the case does not run at that width or the width does not
// hold the value: the words above it must repeat its top bit for d and i, and be 0 for the others.
template <int Bits> bool ValueAt(const tIntegerCase& c, typename tIntegerOf<Bits>::Type& value)
{
    if (!(c.Widths & WidthBit(Bits)))
        return false;
    const tWideInt512 v = tWideInt512::FromText(c.Value, 10);
    const bool signedConversion = c.Conversion == 'd' || c.Conversion == 'i';
    const bool topBit = (v.Words[Bits / 32 - 1] >> 31) != 0;
    const uint32_t above = signedConversion && topBit ? 0xFFFFFFFFu : 0u;
    for (int i = Bits / 32; i < tWideInt512::WordCount; i++)
        if (v.Words[i] != above)
            return false;
    std::memcpy(&value, v.Words, sizeof value);
    return true;
}

// A driver's output, or a note when the length it returns is not the length it wrote.
std::string Checked(const char* buffer, int length)
{
    if (length == int(std::strlen(buffer)))
        return buffer;
    return std::string(buffer) + " (returned length " + std::to_string(length) + ")";
}

template <typename T> std::string Sprint(const std::string& format, const T& value)
{
    static char buffer[8192];
    return Checked(buffer, tsnPrintf(buffer, int(sizeof buffer), format.c_str(), value));
}

template <typename T> std::string Format(const std::string& format, const T& value)
{
    static char buffer[8192];
    char* const dest = buffer; // not the array itself, which would also fit the overload that takes one
    return Checked(buffer, tFormat(dest, int(sizeof buffer), format.c_str(), value));
}

// Passes when every entry point prints the expected text for the field; else names them all.
template <typename T>
testing::AssertionResult PrintsEverywhere(char conversion, uint32_t flags, int width, int precision,
                                          const char* length, const T& value, const std::string& record,
                                          const char* expected)
{
    const tTypeHandler handler = TypeHandlerTable[TypeCharIndex[uint8_t(conversion)]].Handler;
    const std::string format = FormatOf(flags, width, precision, length, conversion);
    const struct
    {
        const char* EntryPoint;
        std::string Text;
    } printed[] = {
        {"the handler into an array", Render(handler, flags, width, precision, value)},
        {"the handler straight into a buffer", RenderUnlimited(handler, flags, width, precision, value)},
        {"tsnPrintf", Sprint(format, value)},
        {"tFormat", Format(format, value)},
    };
    std::string differences;
    for (const auto& p : printed)
        if (p.Text != expected)
            differences += std::string("\n  ") + p.EntryPoint + " printed \"" + p.Text + "\"";
    if (differences.empty())
        return testing::AssertionSuccess();
    return testing::AssertionFailure()
           << record << ", format \"" << format << "\": expected \"" << expected << "\"" << differences;
}

std::string Record(char conversion, uint32_t flags, int width, int precision)
{
    return std::string("conversion ") + conversion + ", flags \"" + FlagText(flags) + "\", width " +
           std::to_string(width) + ", precision " + std::to_string(precision);
}

template <typename T> testing::AssertionResult Prints(const tIntegerCase& c, const T& value)
{
    const std::string length = "w" + std::to_string(sizeof value * 8);
    const std::string record =
        Record(c.Conversion, c.Flags, c.Width, c.Precision) + ", value " + c.Value + " at " + length;
    return PrintsEverywhere(c.Conversion, c.Flags, c.Width, c.Precision, length.c_str(), value, record,
                            c.Expected);
}

testing::AssertionResult Prints(const tRealCase& c)
{
    char value[40];
    std::snprintf(value, sizeof value, "%.17g", c.Value);
    const std::string record = Record(c.Conversion, c.Flags, c.Width, c.Precision) + ", value " + value;
    return PrintsEverywhere(c.Conversion, c.Flags, c.Width, c.Precision, "", c.Value, record, c.Expected);
}
} // namespace

// In the spirit of fmt's EXPECT_PRINTF: one golden case through every entry point.
#define EXPECT_PRINTS(...) EXPECT_TRUE(Prints(__VA_ARGS__))

template <typename tBits> class PrintGoldenIntegers : public testing::Test
{
};
using tAllWidths = testing::Types<std::integral_constant<int, 32>, std::integral_constant<int, 64>,
                                  std::integral_constant<int, 128>, std::integral_constant<int, 256>,
                                  std::integral_constant<int, 512>>;
TYPED_TEST_SUITE(PrintGoldenIntegers, tAllWidths);

TYPED_TEST(PrintGoldenIntegers, EveryEntryPointPrintsTheGoldenText)
{
    constexpr int Bits = TypeParam::value;
    int ran = 0;
    for (const tIntegerCase& c : IntegerCases)
    {
        typename tIntegerOf<Bits>::Type value{};
        if (!ValueAt<Bits>(c, value))
            continue;
        ran++;
        EXPECT_PRINTS(c, value);
    }
    // Every width takes most of the table; a mistake in ValueAt would quietly skip it.
    EXPECT_GT(ran, 60);
}

TEST(PrintGoldenReals, EveryEntryPointPrintsTheGoldenText)
{
    for (const tRealCase& c : RealCases)
        EXPECT_PRINTS(c);
}
