// What the drivers' destinations promise whatever the format: a fixed-capacity array keeps the longest
// prefix that fits, a driver's own buffer costs memory (and copies) linear in the output, and a caller's
// buffer costs none. The array allocations of this test binary go through a counter for that.
#include "ArrayNewCounter.h"

#include <System/tFormat.h>
#include <System/tPrintf.h>
#include <System/tVector.h>
#include <cstdio>
#include <functional>
#include <gtest/gtest.h>
#include <string>

namespace
{
struct tTagged
{
    int Tag;
};
} // namespace

template <> struct tFormatter<tTagged>
{
    static void Write(tPrintTarget& target, const tTagged& t) { tFormat(target, T_FMT("tag-%d"), t.Tag); }
};

namespace
{
std::string Text(const tArray<char>& array)
{
    return std::string(array.GetStorage(), size_t(array.GetCount()));
}

// The bytes of array allocations that print makes, and the length it returns.
struct tUsage
{
    long long Length;
    size_t Bytes;
};

tUsage Measure(const std::function<long long()>& print)
{
    const size_t before = ArrayNew::Bytes;
    const long long length = print();
    return {length, ArrayNew::Bytes - before};
}

// The same for a form that prints to standard output, captured meanwhile.
tUsage MeasureStdout(const std::function<long long()>& print)
{
    testing::internal::CaptureStdout();
    const tUsage usage = Measure(print);
    EXPECT_EQ(testing::internal::GetCapturedStdout().size(), size_t(usage.Length));
    return usage;
}

// Every driver form that prints into a buffer of its own, with the same format and arguments.
template <typename... tArgs> void ExpectLinear(const std::string& format, const tArgs&... args)
{
    const char* f = format.c_str();
    FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    const std::pair<const char*, std::function<tUsage()>> forms[] = {
        {"tfPrintf", [&] { return Measure([&] { return tfPrintf(file, f, args...); }); }},
        {"tStringPrintf",
         [&] { return Measure([&] { return tTextLength(tStringPrintf(tString(), f, args...).Chars); }); }},
        {"tPrintf", [&] { return MeasureStdout([&] { return tPrintf(f, args...); }); }},
        {"tPrint", [&] { return MeasureStdout([&] { return tPrint(f, args...); }); }},
    };
    for (const auto& form : forms)
    {
        const tUsage usage = form.second();
        EXPECT_GE(usage.Length, 1 << 17) << form.first;
        // Doubling allocates less than 4 bytes per output byte; a fixed step of 1024 allocated 64 to 256.
        EXPECT_LE(usage.Bytes, size_t(8 * usage.Length)) << form.first << " on " << format.substr(0, 12);
    }
    std::fclose(file);
}
} // namespace

TEST(PrintDestinations, OwnBuffersGrowLinearlyWithTheOutput)
{
    ExpectLinear("%65536s%65536s", "x", "y");
    ExpectLinear(std::string(1 << 18, '%'));      // 2^17 separate characters
    ExpectLinear("%65536.1F%65536.1G", 1.5, 2.5); // upper case is rendered aside first
}

TEST(PrintDestinations, FixedArrayKeepsTheLongestPrefixThatFits)
{
    const struct
    {
        int Capacity;
        const char* Held;
        const char* Expected;
    } cases[] = {
        {8, "", "abcdefgh"},            // the first piece does not fit
        {12, "", "abcdefghij|4"},       // cut inside a number
        {15, "", "abcdefghij|42| "},    // cut inside the fill
        {18, "", "abcdefghij|42|  xy"}, // exactly all of it
        {30, "", "abcdefghij|42|  xy"},
        {8, "12345", "12345abc"}, // after what the array held
        {0, "", ""},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.Expected);
        const std::function<int(tArray<char>&)> drivers[] = {
            [](tArray<char>& a) { return taPrintf(a, "%s|%d|%4s", "abcdefghij", 42, "xy"); },
            [](tArray<char>& a) { return tFormat(a, "%s|%d|%4s", "abcdefghij", 42, "xy"); },
            [](tArray<char>& a) { return tFormat(a, T_FMT("%s|%d|%4s"), "abcdefghij", 42, "xy"); },
        };
        for (const auto& print : drivers)
        {
            tArray<char> array(c.Capacity, 0);
            if (*c.Held)
                array.Append(c.Held, tTextLength(c.Held));
            EXPECT_EQ(print(array), 18);
            EXPECT_EQ(Text(array), c.Expected);
        }
    }
}

// Every kind of field, the upper-case forms and wide fills and precisions among them, cut by the
// buffer or not; the type-safe forms add a type of the program's own with a width and a cut.
TEST(PrintDestinations, CallersBufferCostsNoAllocation)
{
    static char buffer[1 << 18];
    const tVector3 v = {1, 2, 3};
    const tTagged tagged = {7};
    const char* const format = "%s|%d|%.3f|%E|%12.3G|%-9F|%65536s|%.300e|%,d|%.1v|%c|%p";
#define T_CALL_ARGS "text", 42, 1.5, 1e300, -0.0, 1.0 / 0.0, "x", 2.5, 1234567, &v, 'c', &v
    for (size_t size : {sizeof buffer, size_t(10)})
    {
        const size_t before = ArrayNew::Bytes;
        tsnPrintf(buffer, int(size), format, T_CALL_ARGS);
        tsPrintf(buffer, format, T_CALL_ARGS);
        tFormat(buffer, size, format, T_CALL_ARGS, tagged);
        tFormat(buffer, size, T_FMT("%s|%d|%.3f|%E|%12.3G|%-9F|%65536s|%.300e|%,d|%p|%c|%p|%-8s|%.3s"),
                T_CALL_ARGS, tagged, tagged);
        EXPECT_EQ(ArrayNew::Bytes, before) << size;
    }
#undef T_CALL_ARGS
}
