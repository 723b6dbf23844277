// What the print handlers share, inside the System library only. The handlers' entry points and every
// precondition check live in tPrint.cpp; the functions declared here do the work behind them and
// check nothing: their callers have checked sizes, bases and pointers already.
#pragma once
#include "tPrintDigits.h"

#include <Foundation/tFixInt.h>
#include <System/tPrint.h>
#include <algorithm>
#include <climits>
#include <cstring>

namespace tPrintDetail
{
// Widths and precisions up to MaxFill give the exact text; larger ones are clamped to it, so a field
// never grows past MaxFill characters of fill. The value's own digits are never cut: the most any
// accepted value has is 512 (512 bits in base 2), well inside MaxFill.
constexpr int MaxFill = 4096;
constexpr int MaxValueDigits = 512;
static_assert(MaxFill >= MaxValueDigits, "the digit buffer must hold every value's digits");

inline int ClampedWidth(const tFormatSpec& spec)
{
    return std::min(std::max(spec.Width, 0), MaxFill);
}

// Any negative precision counts as "not given", as in C.
inline int ClampedPrecision(const tFormatSpec& spec)
{
    return spec.Precision < 0 ? -1 : std::min(spec.Precision, MaxFill);
}

// 0 for a size whose bit count would not fit an int.
inline int BitSizeOf(int32_t typeSize)
{
    return (typeSize > 0 && typeSize <= INT_MAX / 8) ? typeSize * 8 : 0;
}

// The sign a value prints with: '-', '+' or ' ' as the flags ask, or 0 for none. Looked up by the
// value's sign and the two sign flags, since every field asks and a chain of tests costs more.
inline char SignOf(bool negative, uint32_t flags)
{
    static_assert(tFormatFlag::PlusSign == 1 && tFormatFlag::SpaceSign == 2,
                  "the sign flags index the table");
    static constexpr char signs[8] = {0, '+', ' ', '+', '-', '-', '-', '-'};
    return signs[(negative ? 4 : 0) | (flags & (tFormatFlag::PlusSign | tFormatFlag::SpaceSign))];
}

// A field that needs no fill may be written straight into the caller's buffer: the target fills only a
// buffer, has no limit, and can count room more characters. Null when it may not; the field then goes
// through Put.
inline char* DirectBuffer(const tPrintTarget& target, long long room)
{
    const bool direct =
        target.Buffer && !target.Array && target.BufferLimit == -1 && target.CharCount <= INT_MAX - room;
    return direct ? target.Buffer : nullptr;
}

// n copies of c at p; returns the end. Short runs, the common zero fills, are a few overlapping stores
// rather than a call.
T_PRINT_INLINE char* PutChars(char* p, char c, int n)
{
    if (n <= 0)
        return p;
    if (n <= 16)
    {
        const uint64_t eight = 0x0101010101010101u * uint8_t(c);
        if (n >= 8)
        {
            std::memcpy(p, &eight, 8);
            std::memcpy(p + n - 8, &eight, 8);
        }
        else if (n >= 4)
        {
            std::memcpy(p, &eight, 4);
            std::memcpy(p + n - 4, &eight, 4);
        }
        else
        {
            p[0] = c;
            p[n - 1] = c;
            p[n / 2] = c;
        }
        return p + n;
    }
    std::memset(p, c, size_t(n));
    return p + n;
}

// Takes the characters written from DirectBuffer's pointer up to end as put.
inline void AdvanceDirect(tPrintTarget& target, char* end)
{
    target.CharCount += int(end - target.Buffer);
    target.Buffer = end;
}

// Adds one to the last digit of text[0, count), carrying through nines and passing over a '.'. True
// when the carry leaves the first digit, which then reads '0' like all the others.
inline bool RoundUpThroughNines(char* text, int count)
{
    for (int i = count - 1; i >= 0; i--)
    {
        if (text[i] == '.')
            continue;
        if (text[i] != '9')
        {
            text[i]++;
            return false;
        }
        text[i] = '0';
    }
    return true;
}

// ---- Integers (tPrintInteger.cpp).

// How one integer conversion reads its argument and lays out its text.
struct tIntegerRow
{
    bool TreatAsUnsigned;
    int Base;
    bool UpperCase;
    bool ForcePrefix; // "0x" even for zero and without RadixPrefix; lower case whatever UpperCase.
};

inline constexpr tIntegerRow Base2Row = {true, 2, false, false};
inline constexpr tIntegerRow OctalRow = {true, 8, false, false};
inline constexpr tIntegerRow DecimalRow = {false, 10, false, false};
inline constexpr tIntegerRow UnsignedRow = {true, 10, false, false};
inline constexpr tIntegerRow HexRow = {true, 16, false, false};
inline constexpr tIntegerRow HexUpperRow = {true, 16, true, false};
inline constexpr tIntegerRow PointerRow = {true, 16, true, true};

// The whole field of an integer of bitSize (32, 64, 128, 256 or 512) bits, value not null. Made for
// each row above, so that the row's base and case are constants in its digit loops. Allocates nothing.
template <const tIntegerRow& Row>
void PrintInteger(tPrintTarget& target, const tFormatSpec& spec, const void* value, int bitSize);
// Sign, prefix and digits without the field's fill, for WriteNativeInteger and WriteWideInteger.
void AppendIntegerText(tArray<char>& out, const tFormatSpec& spec, const void* value, int bitSize,
                       const tIntegerRow& row);

// ---- Reals (tPrintReal.cpp) and compounds (tPrintCompound.cpp).

inline double ReadDouble(const void* value)
{
    double x = 0.0;
    std::memcpy(&x, value, sizeof x);
    return x;
}

void PrintFixed(tPrintTarget& target, const tFormatSpec& spec, double x);
void PrintExponent(tPrintTarget& target, const tFormatSpec& spec, double x);
void PrintGeneral(tPrintTarget& target, const tFormatSpec& spec, double x);

void PrintQuaternion(tPrintTarget& target, const tFormatSpec& spec, const float* q);
// dim 2 or 4; elements stored column by column.
void PrintMatrix(tPrintTarget& target, const tFormatSpec& spec, const float* elements, int dim);
} // namespace tPrintDetail
