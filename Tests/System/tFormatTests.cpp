// The type-safe front end: the compile-time check, type deduction, and the run-time markers.
#include "RecordingPrompt.h"

#include <System/tFormat.h>
#include <System/tPrintf.h>
#include <cstdint>
#include <gtest/gtest.h>
#include <string>
#include <string_view>

namespace
{
// A type of the program's own, printed through %s.
struct tPoint2
{
    int X, Y;
};
} // namespace

template <> struct tFormatter<tPoint2>
{
    static void Write(tPrintTarget& target, const tPoint2& p)
    {
        tFormat(target, T_FMT("(%d, %d)"), p.X, p.Y);
    }
};

namespace
{
using tFormatDetail::CheckFormat;
using tFormatDetail::tFormatCheck;
using tFormatDetail::tFormatProblem;

constexpr bool Found(tFormatCheck check, tFormatProblem problem, int argument, char conversion)
{
    return check.Problem == problem && check.Argument == argument && check.Conversion == conversion;
}

// The check that T_FMT runs. A call such as tFormat(buffer, T_FMT("%d %d"), 1, "text") fails to compile
// naming ArgumentFitsConversion<2, 'd'>; too few or too many arguments fail with their own message.
constexpr tFormatProblem None = tFormatProblem::None;
static_assert(CheckFormat<int, double, const char*>("x=%d y=%.3f s=%s").Problem == None, "");
static_assert(CheckFormat<int, int, tString>("%*.*s").Problem == None, "");
static_assert(CheckFormat<tWideInt512, unsigned char, tMatrix4, char[3]>("%w512x %c %m %p").Problem == None,
              "");
static_assert(CheckFormat<std::string, std::string_view, tPoint2>("%s %.2s %8s").Problem == None, "");
static_assert(CheckFormat<>("100%% %y %").Problem == None, "bad conversions take no argument");
static_assert(Found(CheckFormat<int, const char*>("%d %d"), tFormatProblem::Mismatch, 2, 'd'), "");
static_assert(Found(CheckFormat<double, int>("%*f"), tFormatProblem::Mismatch, 1, '*'), "width: an integer");
static_assert(Found(CheckFormat<tVector3>("%Q %%%q"), tFormatProblem::Mismatch, 1, 'q'), "");
static_assert(Found(CheckFormat<double>("%E"), None, 0, 0), "");
static_assert(Found(CheckFormat<int>("%F"), tFormatProblem::Mismatch, 1, 'F'), "");
static_assert(Found(CheckFormat<tPoint2>("%p"), tFormatProblem::Mismatch, 1, 'p'), "");
static_assert(Found(CheckFormat<int>("%d %d"), tFormatProblem::TooFewArguments, 2, 'd'), "");
static_assert(Found(CheckFormat<int>("%*d"), tFormatProblem::TooFewArguments, 2, 'd'), "");
static_assert(Found(CheckFormat<int, int>("%d"), tFormatProblem::TooManyArguments, 2, 0), "");

template <typename tFormatText, typename... tArgs>
std::string Format(const tFormatText& format, const tArgs&... args)
{
    tArray<char> out(16, 64);
    const int length = tFormat(out, format, args...);
    EXPECT_EQ(length, out.GetCount());
    return std::string(out.GetStorage(), size_t(out.GetCount()));
}
} // namespace

TEST(Format, DeducedTypesPrintAsTheirCStyleEquivalents)
{
    const tWideInt256 wide = tWideInt256::FromText("-123456789012345678901234567890", 10);
    const tVector2 v2 = {1.5f, -2};
    const tQuaternion q = {0, 0, 0, 1};
    const tString text("text");
    int local = 0;
    char expected[256];

    tsPrintf(expected, "%d %u %x %lld %hhd %c", -5, 40000u, 0xffffffffu, -1LL, -3, 'z');
    EXPECT_EQ(Format(T_FMT("%d %u %x %lld %d %c"), -5, uint16_t(40000), 0xffffffffu, int64_t(-1),
                     static_cast<signed char>(-3), 'z'),
              expected);
    tsPrintf(expected, "%w256d %.2f %.2e %s|%5s", wide, 0.25, 2.5e10, "text", "ab");
    EXPECT_EQ(Format(T_FMT("%d %.2f %.2e %s|%5s"), wide, 0.25f, 2.5e10, text, "ab"), expected);
    tsPrintf(expected, "%.1w64v %.1q %p", &v2, &q, static_cast<void*>(&local));
    EXPECT_EQ(Format(T_FMT("%.1v %.1q %p"), v2, q, &local), expected);
    // The runtime path prints the same text as the literal one.
    EXPECT_EQ(Format("%.1v %.1q %p", v2, q, &local), expected);
}

TEST(Format, RuntimeMismatchesPrintMarkers)
{
    const tVector3 v3 = {1, 2, 3};
    const struct
    {
        std::string Text;
        const char* Expected;
    } cases[] = {
        {Format("%d|%s", "text", 5), "%!d(string)|%!s(int)"},
        {Format("%f %x", 1, 2.0), "%!f(int) %!x(double)"},
        {Format("%m %E", v3, &v3), "%!m(vector) %!E(pointer)"},
        {Format("%d %s", 1), "1 %!s(missing)"},
        {Format("%*d|%.*f", "w", 5, 1.5, 2.0), "%!*(string)5|%!*(double)2.0000"},
        {Format("%d", 1, 2), "1%!(extra)"},
        {Format("%y %d%%", 3), "%y 3%"},
        {Format("%d|%p", std::string("a"), tPoint2{1, 2}), "%!d(string)|%!p(object)"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.Text, c.Expected);
}

TEST(Format, BoundedBufferFollowsSnprintf)
{
    char buffer[6];
    EXPECT_EQ(tFormat(buffer, T_FMT("%s-%d"), "abcd", 42), 7);
    EXPECT_STREQ(buffer, "abcd-");
    EXPECT_EQ(tFormat(buffer, "%d", 42), 2);
    EXPECT_STREQ(buffer, "42");
    EXPECT_EQ(tFormat(nullptr, 0, T_FMT("%d"), 12345), 5);
    // snprintf's idiom, with a size of either type.
    EXPECT_EQ(tFormat(buffer, sizeof buffer, T_FMT("n=%d"), 42), 4);
    EXPECT_STREQ(buffer, "n=42");
    EXPECT_EQ(tFormat(buffer, 4, "n=%d", 4321), 6);
    EXPECT_STREQ(buffer, "n=4");
    // A negative size converted is no size a buffer has: reported, and nothing is written.
    RecordingPrompt prompt;
    const int negative = -1;
    EXPECT_EQ(tFormat(buffer, negative, "%d", 5), 1);
    EXPECT_STREQ(buffer, "n=4");
    EXPECT_EQ(RecordingPrompt::LastField("Expr"), "sizeFits");
}

// std::string, std::string_view and a type with a tFormatter are texts to %s, through every destination.
TEST(Format, StandardStringsAndOwnTypesPrintAsTexts)
{
    const std::string s("abc");
    const std::string_view v = std::string_view("xyz-tail").substr(0, 3);
    const tPoint2 p = {3, -4};
    const struct
    {
        const char* Format;
        std::string Expected;
    } cases[] = {
        {"%s|%s|%s", "abc|xyz|(3, -4)"},
        {"[%5s|%-4s|%9s]", "[  abc|xyz |  (3, -4)]"},
        {"[%.2s|%.0s|%.4s]", "[ab||(3, ]"},
        {"[%05.1s|%-3.2s|%-6.3s]", "[0000a|xy |(3,   ]"},
        {"%300s|%s|%s", std::string(297, ' ') + "abc|xyz|(3, -4)"}, // longer than a std::string's first try
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.Format);
        const int length = int(c.Expected.size());
        EXPECT_EQ(Format(c.Format, s, v, p), c.Expected);
        EXPECT_EQ(tFormatToString(c.Format, s, v, p), c.Expected);
        std::string appended = "head:";
        EXPECT_EQ(tFormat(appended, c.Format, s, v, p), length);
        EXPECT_EQ(appended, "head:" + c.Expected);
        char buffer[512];
        EXPECT_EQ(tFormat(buffer, c.Format, s, v, p), length);
        EXPECT_EQ(buffer, c.Expected);
        // Cut by the buffer, also inside a type's own text.
        for (size_t size : {size_t(5), size_t(length - 2)})
        {
            EXPECT_EQ(tFormat(buffer, size, c.Format, s, v, p), length);
            EXPECT_EQ(buffer, c.Expected.substr(0, size - 1));
        }
        tArray<char> fixed(length - 3, 0);
        EXPECT_EQ(tFormat(fixed, c.Format, s, v, p), length);
        EXPECT_EQ(std::string(fixed.GetStorage(), size_t(fixed.GetCount())),
                  c.Expected.substr(0, size_t(length - 3)));
    }
    // The README's examples.
    std::string text = tFormatToString(T_FMT("%s=%.2f"), std::string("pi"), 3.14159);
    tFormat(text, T_FMT(" [%.3s]"), std::string_view("abcdef"));
    EXPECT_EQ(text, "pi=3.14 [abc]");
    EXPECT_EQ(tFormatToString(T_FMT("at %s|%9s|%.3s"), tPoint2{3, -4}, tPoint2{0, 1}, tPoint2{5, 6}),
              "at (3, -4)|   (0, 1)|(5,");
    // All of a string's characters, a 0 among them, and none past a view's end.
    EXPECT_EQ(tFormatToString(T_FMT("[%s|%s]"), std::string("a\0b", 3), v), std::string("[a\0b|xyz]", 9));
}

// A literal's steps are run without the walk; every kind of step prints what the walk of the same
// format at run time prints.
TEST(Format, LiteralStepsPrintAsTheRuntimeWalk)
{
    const tWideInt512 wide = tWideInt512::FromText("-1", 10);
    const tMatrix2 m = {{1, 2, 3, 4}};
    const char* const none = nullptr;
#define T_BOTH_WAYS(format, ...) EXPECT_EQ(Format(T_FMT(format), __VA_ARGS__), Format(format, __VA_ARGS__))
    T_BOTH_WAYS("a%%b%yc%*d|%-*.*f|%.2E|%G|%s|%s|%c|%5s|%.2s", 5, 42, 8, 2, 3.14159, 1.5e10, -0.0, "text",
                none, 'z', std::string("ab"), tPoint2{1, 2});
    T_BOTH_WAYS("%w512x|%,d|%p|%.1m|%-6.3u|%08.3f|", wide, int64_t(-1234567), &m, m, 7u, -2.5);
#undef T_BOTH_WAYS
}
