// The type-safe front end of the print engine: the syntax of tFormatParse.h, with each argument's
// type deduced instead of named by a length modifier (modifiers are accepted and the type decides):
//
//   b o d i u x X   any integer type (by its size), tWideInt128/256/512
//   c               any integer type
//   e f g E F G     float, double
//   s               const char*, char*, a char array, tString
//   p               any object pointer, or the texts above
//   v q m           tVector2/3/4, tQuaternion, tMatrix2/4 (tVector.h), passed by reference
//
// A format written as T_FMT("...") is checked against the argument types at compile time: a
// mismatch, too few or too many arguments fail a static_assert that names the problem. The format
// is also parsed at compile time, so a call only walks the parsed steps.
//
// Any other format (a const char*) is parsed and checked at run time: an argument of the wrong kind
// prints a marker such as "%!d(string)" and is never read as the wrong type, a missing argument
// prints "%!d(missing)", and arguments left over print "%!(extra)". Types the front end cannot print
// are a compile error in both forms. As in tPrintf.h, no format or argument value stops the program: a
// null text prints "(null)".
//
// Arguments are referred to, not copied, for the duration of the call. Every form returns the length
// of the whole output, as tPrintf.h's functions do.
#pragma once
#include <Foundation/tArray.h>
#include <Foundation/tFixInt.h>
#include <Foundation/tString.h>
#include <System/tFormatParse.h>
#include <System/tPrint.h>
#include <System/tPrintDestination.h>
#include <System/tVector.h>
#include <cstddef>
#include <cstdio>
#include <type_traits>

// The base of every T_FMT type: an empty class whose static Text() returns the literal.
struct tFormatLiteral
{
};

// A format literal checked at compile time. The lambda gives each use a type of its own, which
// carries the text into the template that checks it (C++17 has no consteval).
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
enum class tArgKind : uint8_t
{
    Unsupported,
    Integer,
    WideInteger,
    Real,
    Text,
    Pointer,
    Vector,
    Quaternion,
    Matrix,
};

// One argument, type-erased: its kind, the TypeSize the handler gets, and where its value is.
// Integers, reals, texts and pointers are held by value; the others are referred to.
struct tFormatArg
{
    tArgKind Kind = tArgKind::Unsupported;
    int32_t Size = 0;
    union
    {
        int32_t Int32;
        int64_t Int64;
        double Real;
        const void* Address;
    } Value = {0};
};

template <typename T> constexpr bool IsOneOf()
{
    return false;
}
template <typename T, typename tFirst, typename... tRest> constexpr bool IsOneOf()
{
    return std::is_same<T, tFirst>::value || IsOneOf<T, tRest...>();
}

template <typename T> constexpr tArgKind KindOf()
{
    using tPointee = std::remove_cv_t<std::remove_pointer_t<std::decay_t<T>>>;
    if (std::is_integral<T>::value)
        return tArgKind::Integer;
    if (std::is_same<T, float>::value || std::is_same<T, double>::value)
        return tArgKind::Real;
    if (IsOneOf<T, tWideInt128, tWideInt256, tWideInt512>())
        return tArgKind::WideInteger;
    if (std::is_same<T, tString>::value ||
        (std::is_pointer<std::decay_t<T>>::value && std::is_same<tPointee, char>::value))
        return tArgKind::Text;
    if (std::is_null_pointer<T>::value ||
        (std::is_pointer<std::decay_t<T>>::value && !std::is_function<tPointee>::value))
        return tArgKind::Pointer;
    if (IsOneOf<T, tVector2, tVector3, tVector4>())
        return tArgKind::Vector;
    if (std::is_same<T, tQuaternion>::value)
        return tArgKind::Quaternion;
    if (IsOneOf<T, tMatrix2, tMatrix4>())
        return tArgKind::Matrix;
    return tArgKind::Unsupported;
}

// Whether a conversion's row may print an argument of this kind; '*' takes an Integer.
constexpr bool RowAccepts(int32_t row, tArgKind kind)
{
    switch (tFormatParse::RowChars[row])
    {
    case 'p':
        return kind == tArgKind::Pointer || kind == tArgKind::Text;
    case 'e':
    case 'f':
    case 'g':
        return kind == tArgKind::Real;
    case 'v':
        return kind == tArgKind::Vector;
    case 'q':
        return kind == tArgKind::Quaternion;
    case 'm':
        return kind == tArgKind::Matrix;
    case 'c':
        return kind == tArgKind::Integer;
    case 's':
        return kind == tArgKind::Text;
    default: // b o d i u x X
        return kind == tArgKind::Integer || kind == tArgKind::WideInteger;
    }
}

template <typename T> tFormatArg MakeArg(const T& value)
{
    constexpr tArgKind kind = KindOf<T>();
    static_assert(kind != tArgKind::Unsupported, "tFormat cannot print an argument of this type");
    tFormatArg arg;
    arg.Kind = kind;
    if constexpr (kind == tArgKind::Integer)
    {
        if constexpr (sizeof(T) <= 4)
        {
            arg.Size = 4;
            // Narrow types widen as C promotes them; a 32-bit unsigned keeps its bits.
            arg.Value.Int32 =
                static_cast<int32_t>(std::conditional_t<std::is_signed<T>::value, int32_t, uint32_t>(value));
        }
        else
        {
            arg.Size = 8;
            arg.Value.Int64 = static_cast<int64_t>(value);
        }
    }
    else if constexpr (kind == tArgKind::Real)
    {
        arg.Size = 8;
        arg.Value.Real = value;
    }
    else if constexpr (kind == tArgKind::Text)
    {
        arg.Size = int32_t(sizeof(void*));
        if constexpr (std::is_same<T, tString>::value)
            arg.Value.Address = value.Chars;
        else
            arg.Value.Address = static_cast<const char*>(value);
    }
    else if constexpr (kind == tArgKind::Pointer)
    {
        arg.Size = int32_t(sizeof(void*));
        arg.Value.Address = static_cast<const void*>(value);
    }
    else
    {
        arg.Size = int32_t(sizeof(T));
        arg.Value.Address = &value;
    }
    return arg;
}

// ---- Compile-time check and parse of a T_FMT literal.

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

// ---- Run time (tFormat.cpp).

// A runtime format: parsed and checked as it is walked.
void RunChecked(tPrintTarget& target, const char* format, const tFormatArg* args, int count);
// A T_FMT literal's steps, already checked against the arguments.
void RunSteps(tPrintTarget& target, const char* format, const tFormatStep* steps, int32_t numSteps,
              int32_t tailBegin, int32_t tailLength, const tFormatArg* args);

template <typename T>
constexpr bool IsFormat =
    std::is_base_of<tFormatLiteral, T>::value || std::is_convertible<T, const char*>::value;

// Keeps a form out of overload resolution unless T is a format, so that tFormat(line, 64, "%d", 1)
// and tFormat(line, "%d", 1) each have one reading.
template <typename T> using tIfFormat = std::enable_if_t<IsFormat<T>, int>;

template <typename tFormatText, typename... tArgs>
void Render(tPrintTarget& target, const tFormatText& format, const tArgs&... args)
{
    const tFormatArg packed[] = {MakeArg(args)..., tFormatArg()};
    if constexpr (std::is_base_of<tFormatLiteral, tFormatText>::value)
    {
        constexpr tFormatProblem problem = CheckFormat<tArgs...>(tFormatText::Text());
        static_assert(problem != tFormatProblem::TooFewArguments,
                      "the format has more conversions than arguments");
        static_assert(problem != tFormatProblem::TooManyArguments,
                      "the format has fewer conversions than arguments");
        static_assert(problem != tFormatProblem::Mismatch, "an argument's type does not fit its conversion");
        using tCompiled = tCompiledFormat<tFormatText>;
        RunSteps(target, tFormatText::Text(), tCompiled::Program.Steps, tCompiled::Count,
                 tCompiled::Program.TailBegin, tCompiled::Program.TailLength, packed);
    }
    else
    {
        static_assert(std::is_convertible<tFormatText, const char*>::value,
                      "a format is a text or T_FMT(...)");
        RunChecked(target, format, packed, int(sizeof...(tArgs)));
    }
}

template <typename tRender> void RenderCall(tPrintTarget& target, const void* context)
{
    (*static_cast<const tRender*>(context))(target);
}
} // namespace tFormatDetail

// Appended to target.
template <typename tFormatText, typename... tArgs>
int tFormat(tPrintTarget& target, const tFormatText& format, const tArgs&... args)
{
    tFormatDetail::Render(target, format, args...);
    return target.CharCount;
}

// Appended to dest, no terminator; a fixed-capacity array keeps the longest prefix that fits, as with
// taPrintf.
template <typename tFormatText, typename... tArgs>
int tFormat(tArray<char>& dest, const tFormatText& format, const tArgs&... args)
{
    const auto render = [&](tPrintTarget& target) { tFormatDetail::Render(target, format, args...); };
    return tPrintDestination::PrintAppended(dest, &tFormatDetail::RenderCall<decltype(render)>, &render);
}

// snprintf's contract, as tsnPrintf: tFormat(line, sizeof line, T_FMT("n=%d"), n).
template <typename tFormatText, typename... tArgs, tFormatDetail::tIfFormat<tFormatText> = 0>
int tFormat(char* dest, size_t size, const tFormatText& format, const tArgs&... args)
{
    const auto render = [&](tPrintTarget& target) { tFormatDetail::Render(target, format, args...); };
    return tPrintDestination::PrintBounded(dest, size, &tFormatDetail::RenderCall<decltype(render)>, &render);
}

// The same, into the whole array.
template <size_t Size, typename tFormatText, typename... tArgs, tFormatDetail::tIfFormat<tFormatText> = 0>
int tFormat(char (&dest)[Size], const tFormatText& format, const tArgs&... args)
{
    return tFormat(&dest[0], Size, format, args...);
}

// To standard output in one write; -1 when it refuses the text.
template <typename tFormatText, typename... tArgs> int tPrint(const tFormatText& format, const tArgs&... args)
{
    const auto render = [&](tPrintTarget& target) { tFormatDetail::Render(target, format, args...); };
    return tPrintDestination::PrintToFile(stdout, &tFormatDetail::RenderCall<decltype(render)>, &render);
}
