// The print engine's type handlers.
#include <Foundation/tFixInt.h>
#include <System/tPrint.h>
#include <algorithm>
#include <climits>
#include <cstring>

// ---------------------------------------------------------------------------------------------------
// Tables
// ---------------------------------------------------------------------------------------------------

const tTypeHandlerEntry TypeHandlerTable[16] = {
    {'b', tTypeCategory::Integral, 4, HandleBase2},       {'o', tTypeCategory::Integral, 4, HandleOctal},
    {'d', tTypeCategory::Integral, 4, HandleDecimal},     {'i', tTypeCategory::Integral, 4, HandleInteger},
    {'u', tTypeCategory::Integral, 4, HandleUnsigned},    {'x', tTypeCategory::Integral, 4, HandleHex},
    {'X', tTypeCategory::Integral, 4, HandleHexUpper},    {'p', tTypeCategory::Integral, 8, HandlePointer},
    {'e', tTypeCategory::Real, 8, HandleExponent},        {'f', tTypeCategory::Real, 8, HandleFixed},
    {'g', tTypeCategory::Real, 8, HandleGeneral},         {'v', tTypeCategory::Compound, 12, HandleVector},
    {'q', tTypeCategory::Compound, 16, HandleQuaternion}, {'m', tTypeCategory::Compound, 64, HandleMatrix},
    {'c', tTypeCategory::Integral, 4, HandleChar},        {'s', tTypeCategory::Integral, 8, HandleString},
};

// Indexed by character code; one line per 16 codes. 'X' (0x58) is the only upper-case conversion.
// clang-format off
const int32_t TypeCharIndex[256] = {
    -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, // 0x00
    -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, // 0x10
    -1, -1, -1, -1, -1, 16, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, // 0x20
    -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, // 0x30
    -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, // 0x40
    -1, -1, -1, -1, -1, -1, -1, -1,  6, -1, -1, -1, -1, -1, -1, -1, // 0x50
    -1, -1,  0, 14,  2,  8,  9, 10, -1,  3, -1, -1, -1, 13, -1,  1, // 0x60
     7, 12, -1, 15, -1,  4, 11, -1,  5, -1, -1, -1, -1, -1, -1, -1, // 0x70
    -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, // 0x80
    -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, // 0x90
    -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, // 0xA0
    -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, // 0xB0
    -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, // 0xC0
    -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, // 0xD0
    -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, // 0xE0
    -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, // 0xF0
};
// clang-format on

const int32_t DefaultPrecision = 4;

// ---------------------------------------------------------------------------------------------------
// Print target and fills
// ---------------------------------------------------------------------------------------------------

void tPrintTarget::Put(char c)
{
    if (Buffer && BufferLimit != -1 && CharCount >= BufferLimit)
        return;
    if (Array)
        Array->Append(c);
    if (Buffer)
        *Buffer++ = c;
    CharCount++;
}

void tPrintTarget::Put(const char* text, int length)
{
    if (!text || length <= 0)
        return;
    int n = length;
    if (Buffer && BufferLimit != -1)
    {
        if (CharCount >= BufferLimit)
            return;
        n = std::min(n, BufferLimit - CharCount);
    }
    // A fixed-capacity array that refuses the run loses it; the buffer and the count still get it.
    if (Array)
        Array->Append(text, n);
    if (Buffer)
    {
        std::memcpy(Buffer, text, size_t(n));
        Buffer += n;
    }
    CharCount += n;
}

namespace
{
// Puts count copies of c in runs, so that a wide field costs a few calls rather than one per character.
void PutRepeated(tPrintTarget& target, char c, long long count)
{
    char run[64];
    std::memset(run, c, sizeof run);
    while (count > 0)
    {
        const int n = int(std::min<long long>(count, sizeof run));
        target.Put(run, n);
        count -= n;
    }
}
} // namespace

void tPrintTarget::PadBefore(int textLength, const tFormatSpec& spec)
{
    if (spec.Flags & tFormatFlag::LeftAlign)
        return;
    PutRepeated(*this, (spec.Flags & tFormatFlag::ZeroPad) ? '0' : ' ', (long long)spec.Width - textLength);
}

void tPrintTarget::PadAfter(int textLength, const tFormatSpec& spec)
{
    if (!(spec.Flags & tFormatFlag::LeftAlign))
        return;
    PutRepeated(*this, ' ', (long long)spec.Width - textLength);
}

// ---------------------------------------------------------------------------------------------------
// Character and text
// ---------------------------------------------------------------------------------------------------

void HandleChar(tPrintTarget& target, const tFormatSpec& /*spec*/, const void* value)
{
    tRequire(value);
    if (!value)
        return;
    uint32_t code;
    std::memcpy(&code, value, sizeof code);
    target.Put(char(code & 0xFF));
}

// A null text is reported and then printed as the empty text: the field is still filled, so the
// columns of whatever the caller prints around it stay where they were.
void HandleString(tPrintTarget& target, const tFormatSpec& spec, const void* value)
{
    tRequire(value);
    if (!value)
        return;
    const char* s;
    std::memcpy(&s, value, sizeof s);
    tRequire(s);
    int n = s ? tTextLength(s) : 0;
    if (spec.Precision >= 0 && spec.Precision < n)
        n = spec.Precision;
    target.PadBefore(n, spec);
    target.Put(s, n);
    target.PadAfter(n, spec);
}

// ---------------------------------------------------------------------------------------------------
// Integers
// ---------------------------------------------------------------------------------------------------

namespace
{
// Widths and precisions up to MaxFill give the exact text; larger ones are clamped to it, so a field
// never grows past MaxFill characters of fill. The value's own digits are never cut: the most any
// accepted value has is 512 (512 bits in base 2), well inside MaxFill.
constexpr int MaxFill = 4096;
constexpr int MaxValueDigits = 512;
static_assert(MaxFill >= MaxValueDigits, "the digit buffer must hold every value's digits");

int ClampedWidth(const tFormatSpec& spec)
{
    return std::min(std::max(spec.Width, 0), MaxFill);
}

// Any negative precision counts as "not given", as in C.
int ClampedPrecision(const tFormatSpec& spec)
{
    return spec.Precision < 0 ? -1 : std::min(spec.Precision, MaxFill);
}

int BitSizeOf(int32_t typeSize)
{
    return (typeSize > 0 && typeSize <= INT_MAX / 8) ? typeSize * 8 : 0;
}

char DigitChar(uint32_t digit, bool upperCase)
{
    if (digit < 10)
        return char('0' + digit);
    return char((upperCase ? 'A' : 'a') + (digit - 10));
}

// Magnitudes that hand out their digits from the right. A base of 2 to 36 is assumed.
struct tNativeMagnitude
{
    uint64_t Value;
    bool IsZero() const { return Value == 0; }
    uint32_t TakeDigit(int base)
    {
        const uint32_t digit = uint32_t(Value % uint64_t(base));
        Value /= uint64_t(base);
        return digit;
    }
};

struct tWideMagnitude
{
    tWideInt512 Value;
    bool IsZero() const { return Value.IsZero(); }
    // One division yields both the digit and the value to continue with.
    uint32_t TakeDigit(int base)
    {
        uint32_t digit = 0;
        Value = DivideBySmall(Value, uint32_t(base), &digit);
        return digit;
    }
};

void AppendGrouped(tArray<char>& out, const char* digits, int count, uint32_t flags, int altGroupSize)
{
    if (count <= 0)
        return;
    int groupSize = 0;
    char separator = 0;
    if (flags & tFormatFlag::AltStyle)
    {
        groupSize = altGroupSize;
        separator = '_';
    }
    else if (flags & tFormatFlag::CommaGroups)
    {
        groupSize = 3;
        separator = ',';
    }
    if (groupSize == 0)
    {
        out.Append(digits, count);
        return;
    }
    for (int i = 0; i < count; i++)
    {
        out.Append(digits[i]);
        const int toCome = count - 1 - i;
        if (toCome > 0 && toCome % groupSize == 0)
            out.Append(separator);
    }
}

// Sign, prefix, digits, zero fill and grouping: the steps both conversions share once they hold the
// magnitude. The sign belongs to base 10 only; other bases read every value as unsigned.
template <typename tMagnitude>
void AppendInteger(tArray<char>& out, const tFormatSpec& spec, bool negative, tMagnitude& magnitude, int base,
                   bool upperCase, bool forcePrefix, int altGroupSize)
{
    int room = ClampedWidth(spec);
    if (base == 10)
    {
        char sign = 0;
        if (negative)
            sign = '-';
        else if (spec.Flags & tFormatFlag::PlusSign)
            sign = '+';
        else if (spec.Flags & tFormatFlag::SpaceSign)
            sign = ' ';
        if (sign)
        {
            out.Append(sign);
            room--;
        }
    }

    if (((spec.Flags & tFormatFlag::RadixPrefix) && !magnitude.IsZero()) || forcePrefix)
    {
        if (base == 8)
        {
            out.Append('0');
            room--;
        }
        else if (base == 16)
        {
            out.Append('0');
            out.Append((upperCase && !forcePrefix) ? 'X' : 'x');
            room -= 2;
        }
    }

    // Built right to left. The bound on start is only a backstop: MaxFill covers the longest run.
    char digits[MaxFill];
    int start = MaxFill;
    const int precision = ClampedPrecision(spec);
    int minDigits = precision == -1 ? 1 : precision;
    while ((minDigits > 0 || !magnitude.IsZero()) && start > 0)
    {
        digits[--start] = DigitChar(magnitude.TakeDigit(base), upperCase);
        minDigits--;
    }
    if ((spec.Flags & tFormatFlag::ZeroPad) && precision == -1)
    {
        while (MaxFill - start < room && start > 0)
            digits[--start] = '0';
    }
    AppendGrouped(out, digits + start, MaxFill - start, spec.Flags, altGroupSize);
}

// The value's own digits can never exceed bitSize / floor(log2(base)) + 1.
int MaxDigitsOf(int bitSize, int base)
{
    int bitsPerDigit = 0;
    for (int b = base; b > 1; b /= 2)
        bitsPerDigit++;
    return bitsPerDigit > 0 ? bitSize / bitsPerDigit + 1 : bitSize;
}

// Room for the longest text the conversion can produce for this spec: sign and prefix, digits or zero
// fill, and a separator every third digit at most. Never less than the row's own capacity.
int ScratchCapacity(int rowCapacity, const tFormatSpec& spec, int bitSize, int base)
{
    const int digits = std::max({MaxDigitsOf(bitSize, base), ClampedPrecision(spec), ClampedWidth(spec)});
    return std::max(rowCapacity, 3 + digits + digits / 3);
}

// Fills the field around the converted text. A precision takes over the job of the zero fill, so the
// outer fill is then made of spaces, as in C ("    -042", not "0000-042"). The fill is clamped like
// the conversion's, so a huge Width cannot put zeros in front of the sign.
void EmitField(tPrintTarget& target, const tFormatSpec& spec, tArray<char>& text)
{
    tFormatSpec fill = spec;
    fill.Width = ClampedWidth(spec);
    if (spec.Precision >= 0)
        fill.Flags &= ~uint32_t(tFormatFlag::ZeroPad);
    const int n = text.GetCount();
    target.PadBefore(n, fill);
    target.Put(text.GetStorage(), n);
    target.PadAfter(n, fill);
}

struct tIntegerRow
{
    bool TreatAsUnsigned;
    int Base;
    bool UpperCase;
    int NativeCapacity;
    int WideCapacity;
};

constexpr tIntegerRow Base2Row = {true, 2, false, 128, 1024};
constexpr tIntegerRow OctalRow = {true, 8, false, 64, 512};
constexpr tIntegerRow DecimalRow = {false, 10, false, 64, 512};
constexpr tIntegerRow UnsignedRow = {true, 10, false, 64, 512};
constexpr tIntegerRow HexRow = {true, 16, false, 64, 512};
constexpr tIntegerRow HexUpperRow = {true, 16, true, 64, 512};

// A rejected size is reported and then prints nothing: there is no sound way to read the argument.
void HandleIntegerRow(tPrintTarget& target, const tFormatSpec& spec, const void* value,
                      const tIntegerRow& row)
{
    const int bitSize = BitSizeOf(spec.TypeSize);
    const bool nativeInt = (bitSize == 32) || (bitSize == 64);
    const bool wideInt = (bitSize == 128) || (bitSize == 256) || (bitSize == 512);
    tRequire(nativeInt || wideInt);
    if (!nativeInt && !wideInt)
        return;
    tRequire(value);
    if (!value)
        return;

    tArray<char> scratch(
        ScratchCapacity(nativeInt ? row.NativeCapacity : row.WideCapacity, spec, bitSize, row.Base), 0);
    if (nativeInt)
        WriteNativeInteger(scratch, spec, value, row.TreatAsUnsigned, bitSize, row.UpperCase, row.Base,
                           false);
    else
        WriteWideInteger(scratch, spec, value, row.TreatAsUnsigned, bitSize, row.UpperCase, row.Base, false);
    EmitField(target, spec, scratch);
}

// The 128- and 256-bit masks, parsed once on first use (FromText is safe at any time, but a function
// static also serves callers that print from another unit's start-up).
const tWideInt512& WidthMask(int bitSize)
{
    static const tWideInt512 mask128 = tWideInt512::FromText(
        "0x000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
        "FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF",
        -1);
    static const tWideInt512 mask256 =
        tWideInt512::FromText("0x0000000000000000000000000000000000000000000000000000000000000000"
                              "FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF",
                              -1);
    return bitSize == 128 ? mask128 : mask256;
}
} // namespace

void HandleBase2(tPrintTarget& target, const tFormatSpec& spec, const void* value)
{
    HandleIntegerRow(target, spec, value, Base2Row);
}

void HandleOctal(tPrintTarget& target, const tFormatSpec& spec, const void* value)
{
    HandleIntegerRow(target, spec, value, OctalRow);
}

void HandleDecimal(tPrintTarget& target, const tFormatSpec& spec, const void* value)
{
    HandleIntegerRow(target, spec, value, DecimalRow);
}

void HandleInteger(tPrintTarget& target, const tFormatSpec& spec, const void* value)
{
    HandleIntegerRow(target, spec, value, DecimalRow);
}

void HandleUnsigned(tPrintTarget& target, const tFormatSpec& spec, const void* value)
{
    HandleIntegerRow(target, spec, value, UnsignedRow);
}

void HandleHex(tPrintTarget& target, const tFormatSpec& spec, const void* value)
{
    HandleIntegerRow(target, spec, value, HexRow);
}

void HandleHexUpper(tPrintTarget& target, const tFormatSpec& spec, const void* value)
{
    HandleIntegerRow(target, spec, value, HexUpperRow);
}

// Always "0x" and zero-filled to the pointer's full digit count unless the caller gives a width.
void HandlePointer(tPrintTarget& target, const tFormatSpec& spec, const void* value)
{
    tFormatSpec copy = spec;
    copy.Flags |= tFormatFlag::ZeroPad;
    if (spec.Width == 0)
        copy.Width = int(std::min<long long>(2LL * spec.TypeSize + 2, MaxFill));

    // The conversion reports a size other than 4 or 8 bytes; the pointer then prints nothing.
    const int bitSize = BitSizeOf(spec.TypeSize);
    tArray<char> scratch(ScratchCapacity(64, copy, 64, 16), 0);
    WriteNativeInteger(scratch, copy, value, true, bitSize, true, 16, true);
    if ((bitSize != 32) && (bitSize != 64))
        return;
    if (!value)
        return;
    EmitField(target, copy, scratch);
}

void WriteNativeInteger(tArray<char>& out, const tFormatSpec& spec, const void* value, bool treatAsUnsigned,
                        int bitSize, bool upperCase, int base, bool forcePrefix)
{
    tRequire((bitSize == 32) || (bitSize == 64));
    if (!((bitSize == 32) || (bitSize == 64)))
        return;
    tRequire(value && (base >= 2) && (base <= 36));
    if (!(value && (base >= 2) && (base <= 36)))
        return;

    uint64_t bits;
    if (bitSize == 32)
    {
        uint32_t word;
        std::memcpy(&word, value, sizeof word);
        bits = word;
    }
    else
    {
        std::memcpy(&bits, value, sizeof bits);
    }

    // The magnitude of a negative value is its negation within its own width; unsigned arithmetic keeps
    // the most negative value (its own negation) free of overflow.
    const bool negative = base == 10 && !treatAsUnsigned && ((bits >> (bitSize - 1)) & 1) != 0;
    if (negative)
        bits = bitSize == 32 ? uint32_t(0u - uint32_t(bits)) : 0u - bits;

    tNativeMagnitude magnitude = {bits};
    AppendInteger(out, spec, negative, magnitude, base, upperCase, forcePrefix, 4);
}

// All three widths go through one 512-bit working value. Negation happens at 512 bits, so for 128 and
// 256 bits the mask cuts the result back to the value's own width (and is harmless otherwise).
void WriteWideInteger(tArray<char>& out, const tFormatSpec& spec, const void* value, bool treatAsUnsigned,
                      int bitSize, bool upperCase, int base, bool forcePrefix)
{
    tRequire((bitSize == 128) || (bitSize == 256) || (bitSize == 512));
    if (!((bitSize == 128) || (bitSize == 256) || (bitSize == 512)))
        return;
    tRequire(value && (base >= 2) && (base <= 36));
    if (!(value && (base >= 2) && (base <= 36)))
        return;

    // The argument's words become the low words; the words above its width stay zero.
    tWideInt512 work = tWideInt512::FromInt(0);
    std::memcpy(work.Words, value, size_t(bitSize / 8));

    tWideInt512 top = work;
    const bool negative = base == 10 && !treatAsUnsigned && !top.ShiftRight(bitSize - 1).IsZero();
    if (negative)
        work = work.Negate();
    if (bitSize != 512)
        work.BitAnd(WidthMask(bitSize));

    tWideMagnitude magnitude = {work};
    AppendInteger(out, spec, negative, magnitude, base, upperCase, forcePrefix, 8);
}

// ---- stubs for the real-number handlers: removed when they land ----
void HandleExponent(tPrintTarget&, const tFormatSpec&, const void*) {}
void HandleFixed(tPrintTarget&, const tFormatSpec&, const void*) {}
void HandleGeneral(tPrintTarget&, const tFormatSpec&, const void*) {}
void HandleVector(tPrintTarget&, const tFormatSpec&, const void*) {}
void HandleQuaternion(tPrintTarget&, const tFormatSpec&, const void*) {}
void HandleMatrix(tPrintTarget&, const tFormatSpec&, const void*) {}
// ---- end of stubs ----
