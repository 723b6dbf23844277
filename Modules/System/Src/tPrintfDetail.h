// The walk over a format string that both drivers share, inside the System library only. The C-style
// driver (tPrintf.cpp) and the type-safe front end (tFormat.cpp) differ only in how they take an
// argument, so the walk is a template over an argument source with three operations:
//
//   void TakeWidth(tPrintTarget&, tFormatSpec&)          for '*' width
//   void TakePrecision(tPrintTarget&, tFormatSpec&)      for '*' precision
//   void TakeField(tPrintTarget&, const tConversion&, tFormatSpec&)
//
// A source that cannot give what is asked prints a marker instead; the walk carries on either way.
#pragma once
#include <System/tFormatParse.h>
#include <System/tPrint.h>
#include <algorithm>
#include <climits>
#include <cstring>

namespace tPrintfDetail
{
// Prints one valid conversion's field (Row 0 to 15, s excepted) from a value the handler may read
// (tPrintField.cpp).
void PrintField(tPrintTarget& target, const tConversion& conv, const tFormatSpec& spec, const void* value);
// Prints an s field; a null text as glibc prints it.
void PrintText(tPrintTarget& target, const tFormatSpec& spec, const char* text);

// A '*' width or precision as C reads it: a negative width is LeftAlign, a negative precision is
// "not given". Both saturate as numbers written in the format do (tFormatParse.h).
inline void SetWidth(tFormatSpec& spec, long long width)
{
    if (width < 0)
    {
        spec.Flags |= tFormatFlag::LeftAlign;
        width = width < -(long long)tFormatParse::MaxFieldWidth ? tFormatParse::MaxFieldWidth : -width;
    }
    spec.Width = int32_t(std::min<long long>(width, tFormatParse::MaxFieldWidth));
}

inline void SetPrecision(tFormatSpec& spec, long long precision)
{
    spec.Precision =
        precision < 0 ? -1 : int32_t(std::min<long long>(precision, tFormatParse::MaxFieldNumber));
}

// Literal text may be longer than a target's count can hold; the target refuses the rest anyway.
inline void PutLiteral(tPrintTarget& target, const char* text, size_t length)
{
    target.Put(text, int(std::min<size_t>(length, INT_MAX)));
}

// Runs one valid conversion (Row 0 to 15): its arguments, then its field.
template <typename tSource> void RunField(tPrintTarget& target, const tConversion& conv, tSource& source)
{
    tFormatSpec spec;
    spec.Flags = conv.Flags;
    spec.Width = conv.Width;
    spec.Precision = conv.Precision;
    if (conv.WidthFromArg)
        source.TakeWidth(target, spec);
    if (conv.PrecisionFromArg)
        source.TakePrecision(target, spec);
    source.TakeField(target, conv, spec);
}

// Runs one parsed conversion whose text starts at text.
template <typename tSource>
void RunConversion(tPrintTarget& target, const tConversion& conv, const char* text, tSource& source)
{
    if (conv.Row == tConversion::Percent)
        target.Put('%');
    else if (conv.Row == tConversion::Invalid)
        target.Put(text, conv.TextLength);
    else
        RunField(target, conv, source);
}

// The whole format, parsed as it is walked.
template <typename tSource> void RunFormat(tPrintTarget& target, const char* format, tSource& source)
{
    const char* rest = format;
    for (;;)
    {
        const char* percent = std::strchr(rest, '%');
        if (!percent)
        {
            PutLiteral(target, rest, std::strlen(rest));
            return;
        }
        PutLiteral(target, rest, size_t(percent - rest));
        const tConversion conv = ParseConversion(percent);
        rest = percent + conv.TextLength;
        RunConversion(target, conv, percent, source);
    }
}
} // namespace tPrintfDetail
