// What the drivers' destinations promise whatever the format: a fixed-capacity array keeps the longest
// prefix that fits.
#include <System/tFormat.h>
#include <System/tPrintf.h>
#include <functional>
#include <gtest/gtest.h>
#include <string>

namespace
{
std::string Text(const tArray<char>& array)
{
    return std::string(array.GetStorage(), size_t(array.GetCount()));
}
} // namespace

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
