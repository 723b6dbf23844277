// The syntax of one printf-style conversion, parsed without reading any argument:
//
//   %[flags][width][.precision][length]conversion
//
// flags      '-' LeftAlign, '+' PlusSign, ' ' SpaceSign, '0' ZeroPad, '#' RadixPrefix,
//            ',' CommaGroups, '_' AltStyle (see tFormatFlag); any order, repeats allowed.
// width      digits, or '*' (taken from an int argument; a negative one means LeftAlign).
// precision  '.' then digits (none means 0), or '*' (a negative argument means "not given").
// length     hh h l ll j z t as in C, or wN (N = 8, 16, 32, 64, 128, 256, 512; and 96 for v).
// conversion a row of TypeHandlerTable, E F G (e f g upper-cased) or '%'.
//
// Everything here is constexpr, so the same parse serves the C-style driver at run time and the
// type-safe front end at compile time. Precisions saturate at MaxFieldNumber and the handlers clamp
// them further. Widths saturate at MaxFieldWidth, because the s, c and real handlers do not clamp a
// width, and a field of millions of spaces would only cost time. A conversion that is incomplete, unknown, or
// has a length the conversion cannot take is Invalid: the drivers print its text as it stands and consume no
// argument.
#pragma once
#include <System/tPrint.h>
#include <cstdint>

enum class tLengthModifier : uint8_t
{
    None,
    Char,     // hh
    Short,    // h
    Long,     // l
    LongLong, // ll
    IntMax,   // j
    Size,     // z
    PtrDiff,  // t
    Bits,     // wN; the bit count is in tConversion::LengthBits
};

struct tConversion
{
    static constexpr int32_t Invalid = tTypeRow::None;
    static constexpr int32_t Percent = tTypeRow::Percent; // "%%" and its like: prints '%', takes no argument

    uint32_t Flags = 0;
    int32_t Width = 0;
    int32_t Precision = -1;
    bool WidthFromArg = false;
    bool PrecisionFromArg = false;
    bool UpperCase = false; // E F G: the handler's letters are printed upper-case.
    tLengthModifier Length = tLengthModifier::None;
    int32_t LengthBits = 0;
    int32_t Row = Invalid;  // TypeHandlerTable row, Percent or Invalid.
    int32_t TextLength = 0; // Characters from the '%' to the conversion character, both included.
};

namespace tFormatParse
{
constexpr int32_t MaxFieldNumber = 1 << 24;
constexpr int32_t MaxFieldWidth = 1 << 16;
// TypeHandlerTable's row of a conversion character (tTypeRow::Of); E F G give the rows of e f g.
constexpr int32_t FindConversionRow(char c)
{
    if (c == 'E' || c == 'F' || c == 'G')
        c = char(c - 'A' + 'a');
    return tTypeRow::Of(static_cast<unsigned char>(c));
}

// The same as a table, so that a run-time parse looks a row up instead of searching for it.
struct tRowTable
{
    int8_t Rows[256];
};

constexpr tRowTable MakeRowTable()
{
    tRowTable table{};
    for (int c = 0; c < 256; c++)
        table.Rows[c] = int8_t(FindConversionRow(char(c)));
    return table;
}

inline constexpr tRowTable RowTable = MakeRowTable();

constexpr int32_t ConversionRow(char c)
{
    return RowTable.Rows[static_cast<unsigned char>(c)];
}

constexpr uint32_t FlagOf(char c)
{
    switch (c)
    {
    case '-':
        return tFormatFlag::LeftAlign;
    case '+':
        return tFormatFlag::PlusSign;
    case ' ':
        return tFormatFlag::SpaceSign;
    case '0':
        return tFormatFlag::ZeroPad;
    case '#':
        return tFormatFlag::RadixPrefix;
    case ',':
        return tFormatFlag::CommaGroups;
    case '_':
        return tFormatFlag::AltStyle;
    default:
        return 0;
    }
}

constexpr bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Reads digits at text[i], saturating; leaves i past them.
constexpr int32_t ReadNumber(const char* text, int32_t& i)
{
    int32_t n = 0;
    for (; IsDigit(text[i]); i++)
        n = n >= MaxFieldNumber ? MaxFieldNumber : n * 10 + (text[i] - '0');
    return n > MaxFieldNumber ? MaxFieldNumber : n;
}

// Whether the row takes the length modifier (the conversion's own default is always taken).
constexpr bool RowTakes(int32_t row, tLengthModifier length, int32_t bits)
{
    if (length == tLengthModifier::None)
        return true;
    switch (row)
    {
    case tTypeRow::Exponent:
    case tTypeRow::Fixed:
    case tTypeRow::General:
        return length == tLengthModifier::Long; // C's %lf is %f
    case tTypeRow::Vector:
        return length == tLengthModifier::Bits && (bits == 64 || bits == 96 || bits == 128);
    case tTypeRow::Matrix:
        return length == tLengthModifier::Bits && (bits == 128 || bits == 512);
    default:
        return tTypeRow::IsInteger(row) && (length != tLengthModifier::Bits || bits != 96);
    }
}

// Reads the length modifier at text[i]; false for a 'w' not followed by an accepted bit count.
constexpr bool ReadLength(const char* text, int32_t& i, tConversion& conv)
{
    const char c = text[i];
    const char next = c ? text[i + 1] : 0;
    if ((c == 'h' || c == 'l') && next == c)
    {
        conv.Length = c == 'h' ? tLengthModifier::Char : tLengthModifier::LongLong;
        i += 2;
        return true;
    }
    switch (c)
    {
    case 'h':
        conv.Length = tLengthModifier::Short;
        break;
    case 'l':
        conv.Length = tLengthModifier::Long;
        break;
    case 'j':
        conv.Length = tLengthModifier::IntMax;
        break;
    case 'z':
        conv.Length = tLengthModifier::Size;
        break;
    case 't':
        conv.Length = tLengthModifier::PtrDiff;
        break;
    case 'w':
    {
        i++;
        if (!IsDigit(text[i]))
            return false;
        const int32_t bits = ReadNumber(text, i);
        const bool known = bits == 8 || bits == 16 || bits == 32 || bits == 64 || bits == 96 || bits == 128 ||
                           bits == 256 || bits == 512;
        conv.Length = tLengthModifier::Bits;
        conv.LengthBits = bits;
        return known;
    }
    default:
        return true;
    }
    i++;
    return true;
}
} // namespace tFormatParse

// Parses the conversion whose '%' is text[0]. Reads no further than the conversion character or the
// terminator, whichever comes first.
constexpr tConversion ParseConversion(const char* text)
{
    using namespace tFormatParse;
    tConversion conv;
    // The common case, a conversion character straight after the '%' (no conversion character is a
    // flag, a digit or a length), skips the reads of everything that may stand between.
    const int32_t direct = ConversionRow(text[1]);
    if (direct >= 0)
    {
        conv.TextLength = 2;
        conv.Row = direct;
        conv.UpperCase = text[1] == 'E' || text[1] == 'F' || text[1] == 'G';
        return conv;
    }
    int32_t i = 1;
    for (uint32_t flag = FlagOf(text[i]); flag; flag = FlagOf(text[i]))
    {
        conv.Flags |= flag;
        i++;
    }
    if (text[i] == '*')
    {
        conv.WidthFromArg = true;
        i++;
    }
    else
    {
        const int32_t width = ReadNumber(text, i);
        conv.Width = width < MaxFieldWidth ? width : MaxFieldWidth;
    }
    if (text[i] == '.')
    {
        i++;
        if (text[i] == '*')
        {
            conv.PrecisionFromArg = true;
            i++;
        }
        else
            conv.Precision = ReadNumber(text, i);
    }
    const bool lengthKnown = ReadLength(text, i, conv);
    if (!text[i])
    {
        conv.TextLength = i;
        return conv;
    }
    conv.TextLength = i + 1;
    const int32_t row = ConversionRow(text[i]);
    if (row == tConversion::Percent)
        conv.Row = row;
    else if (row >= 0 && lengthKnown && RowTakes(row, conv.Length, conv.LengthBits))
    {
        conv.Row = row;
        conv.UpperCase = text[i] == 'E' || text[i] == 'F' || text[i] == 'G';
    }
    return conv;
}
