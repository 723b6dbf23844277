// The layout of one integer field, decided once by LayOut: the fill and its side, the sign, the base
// prefix, the zeros of the precision and of the zero fill, the digit count and the digit groups.
// Every way an integer is written (straight into a caller's buffer, through a stack buffer and Put,
// appended to a tArray by WriteNativeInteger and WriteWideInteger) writes from this record, so the
// rules live in LayOut alone and a faster path only chooses where the characters go.
#pragma once
#include "tPrintDetail.h"

namespace tPrintDetail
{
struct tIntegerLayout
{
    int FillBefore;   // Spaces ahead of the text.
    int FillAfter;    // Spaces behind it (LeftAlign).
    int Zeros;        // '0' characters ahead of the digits.
    int Digits;       // The value's own digits; a zero value has none.
    int TextLength;   // Sign, prefix, zeros, digits and separators: everything but the fill.
    char Sign;        // '-', '+', ' ', or 0 for none.
    int PrefixLength; // 0, 1 ("0") or 2 ("0" and PrefixLetter).
    char PrefixLetter;
    int GroupSize; // Digits per group, counted from the right; 0 for no groups.
    char Separator;

    int Length() const { return FillBefore + TextLength + FillAfter; }
};

// Whether the width is filled with zeros in front of the digits: with ZeroPad and no precision, but not
// with LeftAlign, which always fills with spaces on the right. The pointer's zeros are its own form
// rather than a fill, so they stay with LeftAlign.
T_PRINT_INLINE bool ZeroFills(const tFormatSpec& spec, const tIntegerRow& row)
{
    return (spec.Flags & tFormatFlag::ZeroPad) && spec.Precision < 0 &&
           (row.ForcePrefix || !(spec.Flags & tFormatFlag::LeftAlign));
}

// The sign belongs to base 10 only; other bases read every value as unsigned. Zeros come from the
// precision (at least one digit without one) and, with ZeroPad, from the room the width leaves; both
// are clamped to MaxFill, so the zeros and digits never exceed MaxFill characters. The fill is always
// spaces: where ZeroPad applies the zeros have taken the room already, and a precision turns the rest
// of the field into spaces, as in C ("    -042", not "0000-042"). groupSize is the AltStyle group.
// Every rule is a test that most fields fail, so that a field with no flags costs a few instructions.
T_PRINT_INLINE tIntegerLayout LayOut(const tFormatSpec& spec, const tIntegerRow& row, int groupSize,
                                     bool negative, int digits)
{
    const uint32_t flags = spec.Flags;
    const char sign = row.Base == 10 ? SignOf(negative, flags) : 0;
    const bool prefixed = row.ForcePrefix || ((flags & tFormatFlag::RadixPrefix) && digits > 0);
    const int prefixLength = !prefixed ? 0 : row.Base == 8 ? 1 : row.Base == 16 ? 2 : 0;
    const int head = (sign ? 1 : 0) + prefixLength;

    int zeros = digits > 0 ? 0 : 1;
    if (spec.Precision >= 0)
        zeros = std::max(ClampedPrecision(spec) - digits, 0);
    const int width = ClampedWidth(spec);
    if (ZeroFills(spec, row))
        zeros = std::max(zeros, width - head - digits);
    int textLength = head + zeros + digits;

    int groups = 0;
    char separator = 0;
    if (flags & (tFormatFlag::AltStyle | tFormatFlag::CommaGroups))
    {
        const bool alt = (flags & tFormatFlag::AltStyle) != 0;
        groups = alt ? groupSize : 3;
        separator = alt ? '_' : ',';
        const int run = zeros + digits;
        textLength += run > 0 ? (run - 1) / groups : 0;
    }

    const int fill = std::max(width - textLength, 0);
    const bool left = (flags & tFormatFlag::LeftAlign) != 0;
    tIntegerLayout f;
    f.FillBefore = left ? 0 : fill;
    f.FillAfter = left ? fill : 0;
    f.Zeros = zeros;
    f.Digits = digits;
    f.TextLength = textLength;
    f.Sign = sign;
    f.PrefixLength = prefixLength;
    f.PrefixLetter = (row.UpperCase && !row.ForcePrefix) ? 'X' : 'x';
    f.GroupSize = groups;
    f.Separator = separator;
    return f;
}

// The digits of a native value, written where they end up.
struct tNativeDigits
{
    uint64_t Value;
    int Base;
    bool UpperCase;
    T_PRINT_INLINE void PutEndingAt(char* end) const { PutNativeDigits(Value, Base, UpperCase, end); }
};

// Digits already written elsewhere (a wide value's), copied where they end up.
struct tDigitText
{
    const char* First;
    int Count;
    void PutEndingAt(char* end) const { std::memcpy(end - Count, First, size_t(Count)); }
};

// zeros '0' characters and the digits, with separator wherever the characters still to come form a
// whole number of groups of groupSize, counted from the right.
template <typename tDigits>
char* PutGrouped(char* p, int zeros, const tDigits& digits, int count, int groupSize, char separator)
{
    char text[MaxValueDigits];
    digits.PutEndingAt(text + MaxValueDigits);
    const char* const first = text + MaxValueDigits - count;
    const int run = zeros + count;
    for (int i = 0; i < run; i++)
    {
        *p++ = i < zeros ? '0' : first[i - zeros];
        const int toCome = run - 1 - i;
        if (toCome > 0 && toCome % groupSize == 0)
            *p++ = separator;
    }
    return p;
}

// The text without the fill, f.TextLength characters at p; returns the end. The record comes by value:
// the text is written through a char pointer, which may alias whatever a reference refers to, so the
// compiler would read every field again after each character.
template <typename tDigits>
// cppcheck-suppress passedByValue
T_PRINT_INLINE char* PutIntegerText(char* p, const tIntegerLayout f, const tDigits digits)
{
    if (f.Sign)
        *p++ = f.Sign;
    if (f.PrefixLength > 0)
    {
        *p++ = '0';
        if (f.PrefixLength == 2)
            *p++ = f.PrefixLetter;
    }
    if (f.GroupSize > 0)
        return PutGrouped(p, f.Zeros, digits, f.Digits, f.GroupSize, f.Separator);
    if (f.Zeros > 0)
        p = PutChars(p, '0', f.Zeros);
    p += f.Digits;
    digits.PutEndingAt(p);
    return p;
}

// The whole field, f.Length() characters at p; returns the end. By value, as above.
template <typename tDigits>
// cppcheck-suppress passedByValue
T_PRINT_INLINE char* PutIntegerField(char* p, const tIntegerLayout f, const tDigits digits)
{
    if (f.FillBefore > 0)
        p = PutChars(p, ' ', f.FillBefore);
    p = PutIntegerText(p, f, digits);
    if (f.FillAfter > 0)
        p = PutChars(p, ' ', f.FillAfter);
    return p;
}
} // namespace tPrintDetail
