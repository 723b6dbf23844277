// The print engine's type handlers, the layer under its two drivers. A handler renders one argument
// (an integer, a real, a text, a vector, ...) as a tFormatSpec says and appends the text to a
// tPrintTarget; TypeCharIndex gives the row of TypeHandlerTable that serves a conversion character.
// The library holds, over this layer:
//
//   tFormatParse.h        the syntax of one conversion, parsed at run time or at compile time
//   tPrintf.h             the C-style driver: tsnPrintf and its family, arguments from a va_list
//   tFormat.h             the type-safe driver: tFormat, with argument types deduced and, with
//                         T_FMT, checked against the format at compile time
//   tPrintDestination.h   where both drivers print: bounded and unbounded buffers, arrays,
//                         std::string, files, new tStrings
//
// Handlers never report failure to their caller: broken preconditions (an unsupported TypeSize, a null
// text) go through tRequire, and if the report returns the handler prints what it safely can
// (documented per handler) and never reads or writes past a buffer. The drivers check what they pass,
// so no format or argument reaches such a report through them. A handler takes nothing from the heap:
// only the arrays it appends to grow, as tArray does.
#pragma once
#include <Foundation/tArray.h>
#include <climits>
#include <cstdint>
#include <cstring>

// Flag bits of tFormatSpec::Flags. They combine with '|' into the uint32 field without casts.
struct tFormatFlag
{
    enum : uint32_t
    {
        PlusSign = 0x01,    // "+" before a non-negative value.
        SpaceSign = 0x02,   // " " before a non-negative value when PlusSign is clear.
        ZeroPad = 0x04,     // Fill on the left with "0" instead of " ".
        LeftAlign = 0x08,   // Fill on the right with spaces.
        AltStyle = 0x10,    // Integers: "_" between digit groups; v, q, m: the alternate layout.
        CommaGroups = 0x20, // Integers: "," between groups of three digits (AltStyle wins).
        RadixPrefix = 0x40, // "0" before non-zero octal, "0x" / "0X" before non-zero hexadecimal.
    };
};

// The record a handler reads; handlers never change it.
struct tFormatSpec
{
    uint32_t Flags = 0;     // tFormatFlag bits.
    int32_t Width = 0;      // Minimum field width in characters; 0 = none.
    int32_t Precision = -1; // -1 = not given; otherwise 0 or more, meaning per handler.
    int32_t TypeSize = 4;   // Size of the argument in bytes.
};

// How a tPrintTarget appends to its Array. The drivers (tPrintf.h, tFormat.h) ask for Prefix or Doubling.
enum class tArrayRule : uint8_t
{
    Runs,     // tArray's own rule, run by run: a run that does not fit is lost whole, later runs still land.
    Prefix,   // The longest prefix of the output that fits; nothing after the array's first refusal.
    Doubling, // Prefix, on a driver's own array: grown by doubling whatever its GrowCount, so that any
              // output costs time linear in its length.
};

// Where handler output goes. The target owns neither destination. Characters go to Array (appended
// by ArrayRule; lost from the array only when it cannot take them) and to Buffer (stored, Buffer
// advanced, no terminator). While Buffer is set and BufferLimit is not -1, characters past
// CharCount == BufferLimit are refused: neither stored nor counted. With no destination the target
// only counts, so CharCount gives the length the output would have.
struct PELTRAK_API tPrintTarget
{
    tArray<char>* Array = nullptr;
    int32_t BufferLimit = -1;
    char* Buffer = nullptr;
    int32_t CharCount = 0;
    tArrayRule ArrayRule = tArrayRule::Runs;
    bool ArrayRefused = false; // Set by Prefix and Doubling at the first refusal.

    // Both inline for the common case, a buffer alone with room for the whole run.
    void Put(char c);
    void Put(const char* text, int length); // Cut to the room left under BufferLimit.

    // Width - textLength fill characters ahead of a text ('0' with ZeroPad, else ' '), unless LeftAlign.
    void PadBefore(int textLength, const tFormatSpec& spec);
    // Width - textLength spaces behind a text, only with LeftAlign.
    void PadAfter(int textLength, const tFormatSpec& spec);

private:
    bool BufferAloneTakes(int length) const
    {
        return Buffer && !Array &&
               length <= (BufferLimit == -1 ? (long long)INT_MAX : BufferLimit) - CharCount;
    }
    // Every other case: an array, a limit reached, the count's end.
    void PutOutOfLine(char c);
    void PutOutOfLine(const char* text, int length);
    // count copies of c, in runs.
    void PutFill(char c, long long count);
};

// Inline, so that a field with no width costs one comparison here.
inline void tPrintTarget::PadBefore(int textLength, const tFormatSpec& spec)
{
    if (spec.Width > textLength && !(spec.Flags & tFormatFlag::LeftAlign))
        PutFill((spec.Flags & tFormatFlag::ZeroPad) ? '0' : ' ', (long long)spec.Width - textLength);
}

inline void tPrintTarget::PadAfter(int textLength, const tFormatSpec& spec)
{
    if (spec.Width > textLength && (spec.Flags & tFormatFlag::LeftAlign))
        PutFill(' ', (long long)spec.Width - textLength);
}

inline void tPrintTarget::Put(char c)
{
    if (!BufferAloneTakes(1))
        return PutOutOfLine(c);
    *Buffer++ = c;
    CharCount++;
}

inline void tPrintTarget::Put(const char* text, int length)
{
    if (!text || length <= 0 || !BufferAloneTakes(length))
        return PutOutOfLine(text, length);
    std::memcpy(Buffer, text, size_t(length));
    Buffer += length;
    CharCount += length;
}

using tTypeHandler = void (*)(tPrintTarget& target, const tFormatSpec& spec, const void* value);

enum class tTypeCategory : int32_t
{
    Integral = 1, // Passed like an integer or pointer.
    Compound = 2, // A group of single-precision floats.
    Real = 3,     // A double.
};

struct tTypeHandlerEntry
{
    uint32_t TypeChar;
    tTypeCategory Category;
    uint64_t ArgSize; // The argument's default size in bytes.
    tTypeHandler Handler;
};

// The rows of TypeHandlerTable by name, and the one source of the row of each conversion character:
// TypeCharIndex and the drivers' parse (tFormatParse.h) are both made from Chars at compile time.
struct tTypeRow
{
    enum : int32_t
    {
        Base2,
        Octal,
        Decimal,
        Integer,
        Unsigned,
        Hex,
        HexUpper,
        Pointer,
        Exponent,
        Fixed,
        General,
        Vector,
        Quaternion,
        Matrix,
        Char,
        String,
        Count,           // The number of rows.
        Percent = Count, // The entry of '%', which has no handler.
        None = -1,       // The entry of every other character.
    };

    // The conversion character of each row, in row order.
    static constexpr char Chars[Count + 1] = "bodiuxXpefgvqmcs";

    // TypeCharIndex's entry for a character code.
    static constexpr int32_t Of(unsigned char code)
    {
        for (int32_t row = 0; row < Count; row++)
            if (static_cast<unsigned char>(Chars[row]) == code)
                return row;
        return code == '%' ? Percent : None;
    }

    // The integer conversions b o d i u x X, whose argument may be 8 to 512 bits wide; p is not one.
    static constexpr bool IsInteger(int32_t row) { return row >= Base2 && row <= HexUpper; }
};

// Rows in the order of tTypeRow: b o d i u x X p e f g v q m c s.
extern PELTRAK_API const tTypeHandlerEntry TypeHandlerTable[16];
// Row of each conversion character (tTypeRow::Of); 16 for '%' (no handler); -1 for every other code.
extern PELTRAK_API const int32_t TypeCharIndex[256];
// Precision of e, f and g when Precision is -1.
extern PELTRAK_API const int32_t DefaultPrecision;

// Integer handlers. TypeSize 4, 8, 16, 32 or 64 (32 to 512 bits); p takes 4 or 8; any other size is
// reported and prints nothing. Widths and precisions up to 4096 give the exact text; larger ones are
// clamped to 4096, and the value's digits are never cut. With a Precision the zero fill is the
// precision's job, so the rest of the field is filled with spaces even with ZeroPad, as in C.
// LeftAlign wins over ZeroPad, as in C: the fill is spaces on the right ("%-05d" of 42 gives "42   ").
// p keeps its zeros with LeftAlign, since they are the pointer's form rather than a fill.
PELTRAK_API void HandleBase2(tPrintTarget& target, const tFormatSpec& spec, const void* value);
PELTRAK_API void HandleOctal(tPrintTarget& target, const tFormatSpec& spec, const void* value);
PELTRAK_API void HandleDecimal(tPrintTarget& target, const tFormatSpec& spec, const void* value);
PELTRAK_API void HandleInteger(tPrintTarget& target, const tFormatSpec& spec, const void* value);
PELTRAK_API void HandleUnsigned(tPrintTarget& target, const tFormatSpec& spec, const void* value);
PELTRAK_API void HandleHex(tPrintTarget& target, const tFormatSpec& spec, const void* value);
PELTRAK_API void HandleHexUpper(tPrintTarget& target, const tFormatSpec& spec, const void* value);
PELTRAK_API void HandlePointer(tPrintTarget& target, const tFormatSpec& spec, const void* value);

// Sign, prefix and digits (with precision, zero fill and grouping) of a 32/64-bit or a
// 128/256/512-bit integer, appended to out. Both read only Flags, Width and Precision of spec. out
// must have room for the whole text: a fixed-capacity array refuses a digit run that does not fit.
PELTRAK_API void WriteNativeInteger(tArray<char>& out, const tFormatSpec& spec, const void* value,
                                    bool treatAsUnsigned, int bitSize, bool upperCase, int base,
                                    bool forcePrefix);
PELTRAK_API void WriteWideInteger(tArray<char>& out, const tFormatSpec& spec, const void* value,
                                  bool treatAsUnsigned, int bitSize, bool upperCase, int base,
                                  bool forcePrefix);

// Real and compound handlers: e, f, g take a double; v, q, m consecutive floats. A null value prints
// nothing. Every digit printed is a digit of the double's exact binary value, rounded once at the last
// printed digit, at every precision: %.0f of 2^128 gives all 39 digits of 2^128, and e of 0.15 (whose
// value is 0.1499999999999999944...) at precision 0 gives "1e-01". A value exactly halfway between two
// texts rounds away from zero: f of 1.03125 at 4 gives "1.0313", e of 125 at 1 gives "1.3e+02".
//
// Precision: -1 means DefaultPrecision. Precisions above 65536 are treated as 65536 in all three forms
// (no double has a non-zero digit past its 1074th decimal place); below that nothing is clamped. The
// handlers size their text from the precision before writing it, so no precision writes past a buffer.
// Precision 0 in the exponent forms prints the leading digit with no point: e of 1.5 gives "2e+00".
//
// e: no fill except up to 16 zeros with ZeroPad (the sign takes the first); LeftAlign is ignored.
// f: the fixed form, filled to Width; with ZeroPad the sign goes ahead of the zeros.
// g: the fixed form, with Precision significant digits, when 10^Precision > x (so for every negative
//    value); else the exponent form with Precision digits in all, rounded once from the value (12344.5
//    at 4 gives "1.234e+04"), whose point stays even with one digit ("1.e+05").
// Every finite double prints in bounded time: the fixed form gives all of a value's integer digits
// (1.7976931348623157e308 gives 309; 1e23 gives its binary value, 99999999999999991611392), and the
// exponent forms give subnormals their true exponent.
// Non-finite values print as "inf", "-inf", "nan", "-nan", "nan(snan)", "-nan(snan)", "-nan(ind)";
// only f and the fixed branch of g fill them, with spaces.
//
// v: TypeSize / 4 components; a count outside 2..4 is reported, then that many components are printed.
// m: TypeSize 64 (4x4) or 16 (2x2), stored column by column; any other size is reported, then a 2x2
//    matrix is printed when TypeSize is at least 16, and nothing otherwise.
PELTRAK_API void HandleExponent(tPrintTarget& target, const tFormatSpec& spec, const void* value);
PELTRAK_API void HandleFixed(tPrintTarget& target, const tFormatSpec& spec, const void* value);
PELTRAK_API void HandleGeneral(tPrintTarget& target, const tFormatSpec& spec, const void* value);
PELTRAK_API void HandleVector(tPrintTarget& target, const tFormatSpec& spec, const void* value);
PELTRAK_API void HandleQuaternion(tPrintTarget& target, const tFormatSpec& spec, const void* value);
PELTRAK_API void HandleMatrix(tPrintTarget& target, const tFormatSpec& spec, const void* value);

// Character and text handlers. c ignores the field; a null text for s is reported and printed as the
// empty text, still filled to Width.
PELTRAK_API void HandleChar(tPrintTarget& target, const tFormatSpec& spec, const void* value);
PELTRAK_API void HandleString(tPrintTarget& target, const tFormatSpec& spec, const void* value);

// Pieces of the real handlers.
enum class tPendingSign : int32_t
{
    None = 0,
    Plus = 1,
    Minus = 2,
    Space = 3,
    NotFinite = 4, // Used by the handlers: the value was written as a non-finite text.
};

enum class tRealClass : int32_t
{
    Finite = 0,
    SignalingNaN = 1,    // "nan(snan)"
    NegSignalingNaN = 2, // "-nan(snan)"
    QuietNaN = 3,        // "nan"
    NegQuietNaN = 4,     // "-nan"
    NegIndefinite = 5,   // "-nan(ind)"
    Infinity = 6,        // "inf"
    NegInfinity = 7,     // "-inf"
};

PELTRAK_API int DecimalExponent(double x);
PELTRAK_API tRealClass ClassifyReal(double x);
// Appends the text of a NaN or infinity and returns true; appends nothing for a finite x.
PELTRAK_API bool WriteNonFinite(tArray<char>& out, double x);
// Appends x in fixed form and returns the sign the caller still owes. A non-finite x appends its text
// and returns NotFinite.
PELTRAK_API tPendingSign WriteFixedDigits(tArray<char>& out, const tFormatSpec& spec, double x,
                                          bool significantMode);
// Prints count floats through HandleFixed, bracketed and comma-separated, or space-separated with AltStyle.
PELTRAK_API void WriteFloatComponents(tPrintTarget& target, const tFormatSpec& spec, const float* values,
                                      int count);
