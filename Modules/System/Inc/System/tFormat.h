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
// A format written as T_FMT("...") is checked against the argument types at compile time: a mismatch,
// too few or too many arguments fail a static_assert that names the problem, the argument's position
// and the conversion (tFormatLiteral.h). The format is also parsed at compile time, so a call only
// walks the parsed steps.
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
#include <System/tFormatArg.h>
#include <System/tFormatLiteral.h>
#include <System/tPrint.h>
#include <System/tPrintDestination.h>
#include <cstddef>
#include <cstdio>
#include <type_traits>

namespace tFormatDetail
{
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
        RequireFit<tFormatText, tArgs...>();
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
