// Formats and argument values that come from data: whatever they hold, neither driver reaches an
// assertion report. The handlers called directly still report (tPrintTargetTests.cpp).
#include "RecordingPrompt.h"

#include <Foundation/tFixInt.h>
#include <System/tFormat.h>
#include <System/tFormatParse.h>
#include <System/tPrintf.h>
#include <cstddef>
#include <cstdint>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <string_view>

namespace
{
struct tTagged
{
    int Tag;
};
} // namespace

template <> struct tFormatter<tTagged>
{
    static void Write(tPrintTarget& target, const tTagged& t) { tFormat(target, T_FMT("#%d"), t.Tag); }
};

namespace
{
alignas(16) const float Floats[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};

// Calls print with the one argument the C-style driver reads for the conversion at format[0], typed
// as its va_arg reads it (tPrintf.h): any other type would be undefined behaviour, not a test.
template <typename tPrint> void WithCArgument(const char* format, const void* pointer, const tPrint& print)
{
    const tConversion conv = ParseConversion(format);
    if (conv.Row < 0 || conv.Row == tConversion::Percent)
        return print(0);
    const char c = tTypeRow::Chars[conv.Row];
    if (TypeHandlerTable[conv.Row].Category == tTypeCategory::Real)
        return print(-1.5);
    if (c == 'p' || c == 's' || TypeHandlerTable[conv.Row].Category == tTypeCategory::Compound)
        return print(pointer);
    switch (conv.Length)
    {
    case tLengthModifier::Long:
        return print(-1L);
    case tLengthModifier::LongLong:
        return print(-1LL);
    case tLengthModifier::IntMax:
        return print(intmax_t(-1));
    case tLengthModifier::Size:
        return print(SIZE_MAX);
    case tLengthModifier::PtrDiff:
        return print(ptrdiff_t(-1));
    case tLengthModifier::Bits:
        break;
    default:
        return print(-1);
    }
    switch (conv.LengthBits)
    {
    case 64:
        return print(int64_t(-1));
    case 128:
        return print(tWideInt128::FromInt(-1));
    case 256:
        return print(tWideInt256::FromInt(-1));
    case 512:
        return print(tWideInt512::FromInt(-1));
    default:
        return print(-1);
    }
}

template <typename... tArgs> void FormatWithEach(const char* format, const tArgs&... args)
{
    char buffer[512];
    (tFormat(buffer, format, args), ...);
}
} // namespace

TEST(PrintDrivers, NoFormatOrArgumentValueReachesAReport)
{
    RecordingPrompt prompt;
    const char* const lengths[] = {"",  "hh", "h",  "l",   "ll",  "j",   "z",   "t",    "L",    "q",
                                   "w", "w7", "w8", "w16", "w32", "w64", "w96", "w128", "w256", "w512"};
    const char* const fields[] = {"", "-+ #0,_12.3"};
    const char* const none = nullptr;
    const void* const nowhere = nullptr;
    for (const char* field : fields)
        for (const char* length : lengths)
            for (const char* conversion = "bodiuxXpefgvqmcsEFG%ny"; *conversion; conversion++)
            {
                const std::string format = std::string("%") + field + length + *conversion;
                const char* f = format.c_str();
                for (const void* pointer : {nowhere, static_cast<const void*>(Floats)})
                {
                    char buffer[512];
                    WithCArgument(f, pointer, [&](auto arg) { tsnPrintf(buffer, sizeof buffer, f, arg); });
                }
                FormatWithEach(f, -1, int64_t(-1), tWideInt128::FromInt(-1), tWideInt512::FromInt(-1), -1.5,
                               none, "text", tString("text"), nowhere, &Floats[0], tVector2{1, 2},
                               tVector3{1, 2, 3}, tVector4{1, 2, 3, 4}, tQuaternion{0, 0, 0, 1},
                               tMatrix2{{1, 0, 0, 1}}, tMatrix4{}, std::string("text"), std::string_view(),
                               tTagged{7});
                ASSERT_TRUE(RecordingPrompt::Reports().empty()) << '"' << format << "\" reached a report:\n"
                                                                << RecordingPrompt::Reports().front();
            }
}

// glibc 2.36's text for a null %s: "(null)", or nothing when a precision below 6 would cut it.
TEST(PrintDrivers, NullTextPrintsAsGlibcDoes)
{
    RecordingPrompt prompt;
    const struct
    {
        const char* Format;
        const char* Expected;
    } cases[] = {
        {"[%s]", "[(null)]"},   {"[%8s]", "[  (null)]"}, {"[%-8s]", "[(null)  ]"},
        {"[%.6s]", "[(null)]"}, {"[%.5s]", "[]"},        {"[%3.0s]", "[   ]"},
    };
    const char* const none = nullptr;
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.Format);
        char buffer[32];
        tsnPrintf(buffer, sizeof buffer, c.Format, none);
        EXPECT_STREQ(buffer, c.Expected);
        tFormat(buffer, c.Format, none);
        EXPECT_STREQ(buffer, c.Expected);
    }
    char buffer[32];
    tFormat(buffer, T_FMT("%s|%5.1s"), none, none);
    EXPECT_STREQ(buffer, "(null)|     ");
    EXPECT_TRUE(RecordingPrompt::Reports().empty());
}

// C lets a precision stand for the terminator; the block holds exactly the three characters, so that
// AddressSanitizer sees any read beyond them.
TEST(PrintDrivers, PrecisionBoundsHowFarATextIsRead)
{
    const std::unique_ptr<char[]> abc(new char[3]{'a', 'b', 'c'});
    const char* text = abc.get();
    char buffer[16];
    EXPECT_EQ(tsnPrintf(buffer, sizeof buffer, "[%.3s|%.*s]", text, 2, text), 8);
    EXPECT_STREQ(buffer, "[abc|ab]");
    EXPECT_EQ(tFormat(buffer, T_FMT("[%5.3s]"), text), 7);
    EXPECT_STREQ(buffer, "[  abc]");
    EXPECT_EQ(tFormat(buffer, T_FMT("[%s|%.2s]"), std::string_view(text, 3), std::string_view(text, 3)), 8);
    EXPECT_STREQ(buffer, "[abc|ab]");
}
