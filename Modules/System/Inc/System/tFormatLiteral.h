// A format literal for the type-safe driver (tFormat.h): T_FMT("...") gives each literal a type of
// its own, through which the literal is checked against the argument types and parsed at compile
// time. A call then runs the parsed steps, with no parse and no check left to do: the literal text
// between conversions is put in runs of known length, and each conversion goes straight to its
// argument.
#pragma once
#include <System/tFormatArg.h>
#include <System/tFormatParse.h>
#include <System/tPrint.h>
#include <utility>

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

// What the check found, and where: the argument's position, counted from 1, and the conversion
// character ('*' for a width or precision taken from an argument; 0 for a surplus argument).
struct tFormatCheck
{
    tFormatProblem Problem = tFormatProblem::None;
    int32_t Argument = 0;
    char Conversion = 0;
};

constexpr char ConversionChar(const tConversion& conv)
{
    const char c = tTypeRow::Chars[conv.Row];
    return conv.UpperCase ? char(c - 'a' + 'A') : c;
}

template <typename... tArgs> constexpr tFormatCheck CheckFormat(const char* text)
{
    constexpr tArgKind kinds[] = {KindOf<tArgs>()..., tArgKind::Unsupported};
    constexpr int32_t count = int32_t(sizeof...(tArgs));
    int32_t next = 0;
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
        const bool fromArgs[] = {conv.WidthFromArg, conv.PrecisionFromArg};
        for (bool fromArg : fromArgs)
        {
            if (!fromArg)
                continue;
            if (next == count)
                return {tFormatProblem::TooFewArguments, next + 1, '*'};
            if (kinds[next++] != tArgKind::Integer)
                return {tFormatProblem::Mismatch, next, '*'};
        }
        if (next == count)
            return {tFormatProblem::TooFewArguments, next + 1, ConversionChar(conv)};
        if (!RowAccepts(conv.Row, kinds[next++]))
            return {tFormatProblem::Mismatch, next, ConversionChar(conv)};
    }
    if (next < count)
        return {tFormatProblem::TooManyArguments, next + 1, 0};
    return {};
}

// Named so that the compiler's message shows where a check failed: g++ prints the failed condition
// with its values ("'tFormatDetail::ArgumentFitsConversion<2, 'd'>' evaluates to false"), clang
// "static_assert failed due to requirement 'ArgumentFitsConversion<2, 'd'>'". The values reach the
// static_asserts as template arguments, which is what both compilers substitute into their messages.
template <int32_t Argument, char Conversion> constexpr bool ArgumentFitsConversion = false;
template <int32_t Argument, char Conversion> constexpr bool ConversionHasArgument = false;
template <int32_t Argument> constexpr bool ArgumentHasConversion = false;

template <int32_t Argument, char Conversion> constexpr void FailMismatch()
{
    static_assert(ArgumentFitsConversion<Argument, Conversion>,
                  "tFormat: an argument's type does not fit its conversion; the argument's position (from 1) "
                  "and the conversion are ArgumentFitsConversion<position, conversion>");
}

template <int32_t Argument, char Conversion> constexpr void FailTooFewArguments()
{
    static_assert(ConversionHasArgument<Argument, Conversion>,
                  "tFormat: the format has more conversions than arguments; the first conversion left "
                  "without one is ConversionHasArgument<position, conversion>");
}

template <int32_t Argument> constexpr void FailTooManyArguments()
{
    static_assert(ArgumentHasConversion<Argument>,
                  "tFormat: the format has fewer conversions than arguments; the first argument left over "
                  "is ArgumentHasConversion<position>");
}

// Fails to compile, naming the argument and the conversion, unless the literal fits the arguments.
template <typename tLiteral, typename... tArgs> constexpr void RequireFit()
{
    constexpr tFormatCheck check = CheckFormat<tArgs...>(tLiteral::Text());
    if constexpr (check.Problem == tFormatProblem::Mismatch)
        FailMismatch<check.Argument, check.Conversion>();
    else if constexpr (check.Problem == tFormatProblem::TooFewArguments)
        FailTooFewArguments<check.Argument, check.Conversion>();
    else if constexpr (check.Problem == tFormatProblem::TooManyArguments)
        FailTooManyArguments<check.Argument>();
}

// One conversion of a parsed literal, the literal text ahead of it (offsets into the literal), and the
// index of the first argument it takes.
struct tFormatStep
{
    int32_t LiteralBegin = 0;
    int32_t LiteralLength = 0;
    int32_t ConversionBegin = 0;
    int32_t FirstArg = 0;
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
    int32_t args = 0;
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
        step.FirstArg = args;
        step.Conversion = ParseConversion(text + i);
        const tConversion& conv = step.Conversion;
        if (conv.Row >= 0 && conv.Row != tConversion::Percent)
            args += 1 + (conv.WidthFromArg ? 1 : 0) + (conv.PrecisionFromArg ? 1 : 0);
        i += conv.TextLength;
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

// Runs one valid conversion of a checked literal; args starts at the conversion's first argument
// (tFormat.cpp).
PELTRAK_API void RunLiteralConversion(tPrintTarget& target, const tConversion& conv, const tFormatArg* args);

// Whether a conversion passes an argument of this kind to its row's handler as it stands: no '*' to
// take, no letters to raise, no text to check, nothing to convert. Such a step calls the handler
// itself; every other one goes through RunLiteralConversion, which holds the driver's rules.
constexpr bool GoesStraightToHandler(const tConversion& conv, tArgKind kind)
{
    if (conv.UpperCase || conv.WidthFromArg || conv.PrecisionFromArg)
        return false;
    switch (kind)
    {
    case tArgKind::Integer:
        return conv.Row != tTypeRow::Char;
    case tArgKind::WideInteger:
    case tArgKind::Real:
    case tArgKind::Pointer:
    case tArgKind::Vector:
    case tArgKind::Quaternion:
    case tArgKind::Matrix:
        return true;
    default:
        return false;
    }
}

template <typename... tArgs> constexpr tArgKind KindAt(int32_t index)
{
    constexpr tArgKind kinds[] = {KindOf<tArgs>()..., tArgKind::Unsupported};
    return kinds[index];
}

template <typename tLiteral, int32_t Step, typename... tArgs>
void RunLiteralStep(tPrintTarget& target, const tFormatArg* args)
{
    constexpr const tFormatStep& step = tCompiledFormat<tLiteral>::Program.Steps[Step];
    constexpr const tConversion& conv = step.Conversion;
    const char* text = tLiteral::Text();
    if constexpr (step.LiteralLength > 0)
        target.Put(text + step.LiteralBegin, step.LiteralLength);
    if constexpr (conv.Row == tConversion::Percent)
        target.Put('%');
    else if constexpr (conv.Row == tConversion::Invalid)
        target.Put(text + step.ConversionBegin, conv.TextLength);
    else if constexpr (GoesStraightToHandler(conv, KindAt<tArgs...>(step.FirstArg)))
    {
        const tFormatArg& arg = args[step.FirstArg];
        tFormatSpec spec;
        spec.Flags = conv.Flags;
        spec.Width = conv.Width;
        spec.Precision = conv.Precision;
        spec.TypeSize = arg.Size;
        TypeHandlerTable[conv.Row].Handler(target, spec, HandlerValue(arg));
    }
    else
        RunLiteralConversion(target, conv, args + step.FirstArg);
}

template <typename tLiteral, typename... tArgs, int32_t... Steps>
void RunLiteral(tPrintTarget& target, const tFormatArg* args, std::integer_sequence<int32_t, Steps...>)
{
    (RunLiteralStep<tLiteral, Steps, tArgs...>(target, args), ...);
    constexpr auto& program = tCompiledFormat<tLiteral>::Program;
    if constexpr (program.TailLength > 0)
        target.Put(tLiteral::Text() + program.TailBegin, program.TailLength);
}

// The checked literal's whole output for packed arguments of the types tArgs.
template <typename tLiteral, typename... tArgs> void RunLiteral(tPrintTarget& target, const tFormatArg* args)
{
    RunLiteral<tLiteral, tArgs...>(target, args,
                                   std::make_integer_sequence<int32_t, tCompiledFormat<tLiteral>::Count>());
}
} // namespace tFormatDetail
