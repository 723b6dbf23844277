// The type-safe front end of the print engine: the syntax of tFormatParse.h, with each argument's
// type deduced instead of named by a length modifier (modifiers are accepted and the type decides):
//
//   b o d i u x X   any integer type (by its size), tWideInt128/256/512
//   c               any integer type
//   e f g E F G     float, double
//   s               const char*, char*, a char array, tString; std::string and std::string_view (all
//                   their characters, none past them: precision cuts them, a 0 in them is printed);
//                   a type of the program's own that has a tFormatter (tFormatArg.h)
//   p               any object pointer, or the terminated texts above
//   v q m           tVector2/3/4, tQuaternion, tMatrix2/4 (tVector.h), passed by reference
//
// A format written as T_FMT("...") is checked against the argument types at compile time: a mismatch,
// too few or too many arguments fail a static_assert that names the problem, the argument's position
// and the conversion (tFormatLiteral.h). The format is also parsed at compile time, so a call only runs
// the parsed steps.
//
// Any other format (a const char*) is parsed and checked at run time: an argument of the wrong kind
// prints a marker such as "%!d(string)" and is never read as the wrong type, a missing argument
// prints "%!d(missing)", and arguments left over print "%!(extra)". Types the front end cannot print
// are a compile error in both forms. As in tPrintf.h, no format or argument value stops the program: a
// null text prints "(null)".
//
// Arguments are referred to, not copied, for the duration of the call. Every form returns the length
// of the whole output, as tPrintf.h's functions do; where the output goes, and what that costs, is
// tPrintDestination.h's.
#pragma once
#include <Foundation/tArray.h>
#include <System/tFormatArg.h>
#include <System/tFormatLiteral.h>
#include <System/tPrint.h>
#include <System/tPrintDestination.h>
#include <cstddef>
#include <cstdio>
#include <string>
#include <type_traits>

namespace tFormatDetail
{
// A runtime format: parsed and checked as it is walked (tFormat.cpp).
PELTRAK_API void RunChecked(tPrintTarget& target, const char* format, const tFormatArg* args, int count);

template <typename T>
constexpr bool IsFormat =
    std::is_base_of<tFormatLiteral, T>::value || std::is_convertible<T, const char*>::value;

// Keeps a form out of overload resolution unless T is a format, so that tFormat(line, 64, "%d", 1)
// and tFormat(line, "%d", 1) each have one reading.
template <typename T> using tIfFormat = std::enable_if_t<IsFormat<T>, int>;

template <typename tFormatText, typename... tArgs>
void Render(tPrintTarget& target, const tFormatText& format, const tArgs&... args)
{
    static_assert(IsFormat<tFormatText>, "a format is a text or T_FMT(...)");
    const tFormatArg packed[] = {MakeArg(args)..., tFormatArg()};
    if constexpr (std::is_base_of<tFormatLiteral, tFormatText>::value)
    {
        RequireFit<tFormatText, tArgs...>();
        RunLiteral<tFormatText, tArgs...>(target, packed);
    }
    else
        RunChecked(target, format, packed, int(sizeof...(tArgs)));
}

template <typename tRender> void RenderCall(tPrintTarget& target, const void* context)
{
    (*static_cast<const tRender*>(context))(target);
}
} // namespace tFormatDetail

// The forms below print to the destinations of tPrintDestination.h, whose comments give the details.
#define T_FORMAT_TO(destination, ...)                                                                        \
    const auto render = [&](tPrintTarget& target) { tFormatDetail::Render(target, format, args...); };       \
    return tPrintDestination::destination(__VA_ARGS__, &tFormatDetail::RenderCall<decltype(render)>, &render)

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
    T_FORMAT_TO(PrintAppended, dest);
}

// Appended to dest; the string grows at most once per call.
template <typename tFormatText, typename... tArgs>
int tFormat(std::string& dest, const tFormatText& format, const tArgs&... args)
{
    T_FORMAT_TO(PrintAppended, dest);
}

// snprintf's contract, as tsnPrintf: tFormat(line, sizeof line, T_FMT("n=%d"), n).
template <typename tFormatText, typename... tArgs, tFormatDetail::tIfFormat<tFormatText> = 0>
int tFormat(char* dest, size_t size, const tFormatText& format, const tArgs&... args)
{
    T_FORMAT_TO(PrintBounded, dest, size);
}

// The same, into the whole array.
template <size_t Size, typename tFormatText, typename... tArgs, tFormatDetail::tIfFormat<tFormatText> = 0>
int tFormat(char (&dest)[Size], const tFormatText& format, const tArgs&... args)
{
    return tFormat(&dest[0], Size, format, args...);
}

// The text as a new std::string.
template <typename tFormatText, typename... tArgs>
std::string tFormatToString(const tFormatText& format, const tArgs&... args)
{
    std::string text;
    tFormat(text, format, args...);
    return text;
}

// To standard output in one write; -1 when it refuses the text.
template <typename tFormatText, typename... tArgs> int tPrint(const tFormatText& format, const tArgs&... args)
{
    T_FORMAT_TO(PrintToFile, stdout);
}

#undef T_FORMAT_TO
