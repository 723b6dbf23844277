// A format literal for the type-safe driver (tFormat.h): T_FMT("...") gives each literal a type of
// its own, through which the literal is checked against the argument types and parsed at compile
// time.
#pragma once
#include <System/tFormatArg.h>
#include <System/tFormatParse.h>

// The base of every T_FMT type: an empty class whose static Text() returns the literal.
struct tFormatLiteral
{
};

// The lambda gives each use a type of its own, which carries the text into the templates that check
// and parse it (C++17 has no consteval).
#define T_FMT(text)                                                                                          \
    (                                                                                                        \
        []                                                                                                   \
        {                                                                                                    \
            struct tLiteral : tFormatLiteral                                                                 \
            {                                                                                                \
                static constexpr const char* Text() { return text; }                                         \
            };                                                                                               \
            return tLiteral{};                                                                               \
        }())

namespace tFormatDetail
{
enum class tFormatProblem
{
    None,
    TooFewArguments,
    TooManyArguments,
    Mismatch,
};

template <typename... tArgs> constexpr tFormatProblem CheckFormat(const char* text)
{
    constexpr tArgKind kinds[] = {KindOf<tArgs>()..., tArgKind::Unsupported};
    constexpr int count = int(sizeof...(tArgs));
    int next = 0;
    for (int32_t i = 0; text[i];)
    {
        if (text[i] != '%')
        {
            i++;
            continue;
        }
        const tConversion conv = ParseConversion(text + i);
        i += conv.TextLength;
        if (conv.Row < 0 || conv.Row == tConversion::Percent)
            continue;
        const int needed = 1 + (conv.WidthFromArg ? 1 : 0) + (conv.PrecisionFromArg ? 1 : 0);
        if (next + needed > count)
            return tFormatProblem::TooFewArguments;
        if (conv.WidthFromArg && kinds[next++] != tArgKind::Integer)
            return tFormatProblem::Mismatch;
        if (conv.PrecisionFromArg && kinds[next++] != tArgKind::Integer)
            return tFormatProblem::Mismatch;
        if (!RowAccepts(conv.Row, kinds[next++]))
            return tFormatProblem::Mismatch;
    }
    return next < count ? tFormatProblem::TooManyArguments : tFormatProblem::None;
}

// One conversion of a parsed literal and the literal text ahead of it (offsets into the literal).
struct tFormatStep
{
    int32_t LiteralBegin = 0;
    int32_t LiteralLength = 0;
    int32_t ConversionBegin = 0;
    tConversion Conversion;
};

constexpr int32_t CountConversions(const char* text)
{
    int32_t n = 0;
    for (int32_t i = 0; text[i];)
    {
        if (text[i] != '%')
        {
            i++;
            continue;
        }
        i += ParseConversion(text + i).TextLength;
        n++;
    }
    return n;
}

template <int32_t Count> struct tFormatProgram
{
    tFormatStep Steps[Count + 1]; // one spare, so that a format without conversions is an array too
    int32_t TailBegin = 0;
    int32_t TailLength = 0;
};

template <int32_t Count> constexpr tFormatProgram<Count> CompileFormat(const char* text)
{
    tFormatProgram<Count> program{};
    int32_t i = 0;
    int32_t begin = 0;
    int32_t n = 0;
    while (text[i])
    {
        if (text[i] != '%')
        {
            i++;
            continue;
        }
        tFormatStep& step = program.Steps[n++];
        step.LiteralBegin = begin;
        step.LiteralLength = i - begin;
        step.ConversionBegin = i;
        step.Conversion = ParseConversion(text + i);
        i += step.Conversion.TextLength;
        begin = i;
    }
    program.TailBegin = begin;
    program.TailLength = i - begin;
    return program;
}

template <typename tLiteral> struct tCompiledFormat
{
    static constexpr int32_t Count = CountConversions(tLiteral::Text());
    static constexpr tFormatProgram<Count> Program = CompileFormat<Count>(tLiteral::Text());
};
} // namespace tFormatDetail
