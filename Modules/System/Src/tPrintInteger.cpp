// The integer field: magnitude and sign of the argument, then sign, prefix, zero fill, digits and
// grouping, laid out one way for every width and conversion.
#include "tPrintDetail.h"

namespace tPrintDetail
{
namespace
{
// Scratch texts up to this size live on the stack; every row's own capacity fits, so only a huge
// width or precision costs an allocation.
constexpr int StackScratchSize = 1024;

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

// The value a native argument prints, and whether a '-' goes in front: only base 10 reads a value as
// signed. The magnitude of a negative value is its negation within its own width; unsigned arithmetic
// keeps the most negative value (its own negation) free of overflow.
inline uint64_t NativeMagnitude(const void* value, int bitSize, bool treatAsUnsigned, int base,
                                bool& negative)
{
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
    negative = base == 10 && !treatAsUnsigned && ((bits >> (bitSize - 1)) & 1) != 0;
    if (negative)
        bits = bitSize == 32 ? uint32_t(0u - uint32_t(bits)) : 0u - bits;
    return bits;
}

// The same for a wide argument. All three widths go through one 512-bit working value: the argument's
// words become the low words and the words above its width stay zero. Negation happens at 512 bits,
// so for 128 and 256 bits the mask cuts the result back to the value's own width.
tWideInt512 WideMagnitude(const void* value, int bitSize, bool treatAsUnsigned, int base, bool& negative)
{
    tWideInt512 work = tWideInt512::FromInt(0);
    std::memcpy(work.Words, value, size_t(bitSize / 8));

    // The top bit of the value's own width: what shifting a copy right by bitSize - 1 leaves.
    negative = base == 10 && !treatAsUnsigned && (work.Words[bitSize / 32 - 1] >> 31) != 0;
    if (!negative)
        return work; // the words above the width are zero already, so the mask would change nothing
    work = work.Negate();
    if (bitSize != 512)
        work.BitAnd(WidthMask(bitSize));
    return work;
}

// The value's digits, ending at end, and whether it prints a '-'. end needs MaxValueDigits characters
// in front of it for a wide value, 64 for a native one.
inline char* PutValueDigits(const void* value, int bitSize, const tIntegerRow& row, char* end, bool& negative)
{
    if (bitSize <= 64)
    {
        const uint64_t bits = NativeMagnitude(value, bitSize, row.TreatAsUnsigned, row.Base, negative);
        return PutNativeDigits(bits, row.Base, row.UpperCase, end);
    }
    tWideInt512 work = WideMagnitude(value, bitSize, row.TreatAsUnsigned, row.Base, negative);
    return PutWideDigits(work, row.Base, row.UpperCase, end);
}

// Everything of an integer's text but the digits and their groups. The sign belongs to base 10 only;
// other bases read every value as unsigned.
struct tIntegerLayout
{
    char Sign;        // 0 for none.
    int PrefixLength; // 0, 1 ("0") or 2 ("0x" or "0X").
    char PrefixLetter;
    int Zeros; // '0' characters between the prefix and the digits.
};

// Whether the width is filled with zeros in front of the digits: with ZeroPad and no precision, but not
// with LeftAlign, which always fills with spaces on the right. The pointer's zeros are its own form
// rather than a fill, so they stay with LeftAlign.
inline bool ZeroFills(const tFormatSpec& spec, const tIntegerRow& row)
{
    return (spec.Flags & tFormatFlag::ZeroPad) && spec.Precision < 0 &&
           (row.ForcePrefix || !(spec.Flags & tFormatFlag::LeftAlign));
}

inline tIntegerLayout LayOut(const tFormatSpec& spec, bool negative, int count, const tIntegerRow& row)
{
    tIntegerLayout layout{};
    int room = ClampedWidth(spec);
    if (row.Base == 10)
        layout.Sign = SignOf(negative, spec.Flags);
    if (layout.Sign)
        room--;

    const bool prefixed = ((spec.Flags & tFormatFlag::RadixPrefix) && count > 0) || row.ForcePrefix;
    layout.PrefixLength = !prefixed ? 0 : row.Base == 8 ? 1 : row.Base == 16 ? 2 : 0;
    layout.PrefixLetter = (row.UpperCase && !row.ForcePrefix) ? 'X' : 'x';
    room -= layout.PrefixLength;

    // Zeros in front of the digits: up to the precision (at least one digit without one), then, with
    // ZeroPad and no precision, up to the room the width leaves. Both are clamped to MaxFill, so the
    // digit text never exceeds MaxFill characters.
    const int precision = ClampedPrecision(spec);
    const int minDigits = precision == -1 ? 1 : precision;
    layout.Zeros = std::max(minDigits - count, 0);
    if (ZeroFills(spec, row))
        layout.Zeros += std::max(room - (count + layout.Zeros), 0);
    return layout;
}

template <typename tOut>
void AppendGrouped(tOut& out, const char* digits, int count, uint32_t flags, int altGroupSize)
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

template <int Size, typename tOut>
void AppendDigitTextIn(tOut& out, int zeros, const char* digits, int count, uint32_t flags, int altGroupSize)
{
    char text[Size];
    std::memset(text, '0', size_t(zeros));
    std::memcpy(text + zeros, digits, size_t(count));
    AppendGrouped(out, text, zeros + count, flags, altGroupSize);
}

// The digit text, zeros '0' characters followed by the value's digits, appended as one run (or with
// its group separators). Short texts are put together in a small buffer; only a long precision or
// zero fill needs the large one, kept out of the common path's stack frame.
template <typename tOut>
void AppendDigitText(tOut& out, int zeros, const char* digits, int count, uint32_t flags, int altGroupSize)
{
    constexpr int ShortText = 96;
    if (zeros + count > ShortText)
        AppendDigitTextIn<MaxFill>(out, zeros, digits, count, flags, altGroupSize);
    else
        AppendDigitTextIn<ShortText>(out, zeros, digits, count, flags, altGroupSize);
}

// Sign, prefix, zero fill, digits and grouping, appended to out. Native values group by four digits
// with AltStyle, wide ones by eight.
template <typename tOut>
void AppendInteger(tOut& out, const tFormatSpec& spec, const void* value, int bitSize, const tIntegerRow& row)
{
    char digits[MaxValueDigits];
    bool negative = false;
    const char* first = PutValueDigits(value, bitSize, row, digits + sizeof digits, negative);
    const int count = int(digits + sizeof digits - first);
    const tIntegerLayout layout = LayOut(spec, negative, count, row);
    if (layout.Sign)
        out.Append(layout.Sign);
    if (layout.PrefixLength > 0)
        out.Append('0');
    if (layout.PrefixLength == 2)
        out.Append(layout.PrefixLetter);
    AppendDigitText(out, layout.Zeros, first, count, spec.Flags, bitSize <= 64 ? 4 : 8);
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
void EmitField(tPrintTarget& target, const tFormatSpec& spec, const char* text, int n)
{
    tFormatSpec fill = spec;
    fill.Width = ClampedWidth(spec);
    if (spec.Precision >= 0)
        fill.Flags &= ~uint32_t(tFormatFlag::ZeroPad);
    if (fill.Width > n)
        target.PadBefore(n, fill);
    target.Put(text, n);
    if (fill.Width > n)
        target.PadAfter(n, fill);
}

// The field without digit groups, composed in place and sent to the target in one Put: the digits
// end buf, and the zeros, the prefix and the sign go in front of them. False, with nothing done, when
// the zeros do not fit in front of the digits; the general path then takes the field.
template <int Size, const tIntegerRow& Row>
bool EmitUngrouped(tPrintTarget& target, const tFormatSpec& spec, const void* value, int bitSize)
{
    const tIntegerRow& row = Row;
    char buf[Size];
    char* const end = buf + Size;
    bool negative = false;
    char* const first = PutValueDigits(value, bitSize, row, end, negative);
    const tIntegerLayout layout = LayOut(spec, negative, int(end - first), row);
    if (layout.Zeros + layout.PrefixLength + 1 > first - buf)
        return false;

    char* p = first - layout.Zeros;
    if (layout.Zeros > 0)
        std::memset(p, '0', size_t(layout.Zeros));
    if (layout.PrefixLength == 2)
        *--p = layout.PrefixLetter;
    if (layout.PrefixLength > 0)
        *--p = '0';
    if (layout.Sign)
        *--p = layout.Sign;
    EmitField(target, spec, p, int(end - p));
    return true;
}

bool IsGrouped(const tFormatSpec& spec)
{
    return (spec.Flags & (tFormatFlag::AltStyle | tFormatFlag::CommaGroups)) != 0;
}

// The most common field by far, a 32- or 64-bit decimal or hexadecimal value with no digit groups, no
// precision and no fill, written in one pass: straight into a target that only fills a buffer with no
// limit, else through one Put. False, with nothing written, for any other field.
template <const tIntegerRow& Row>
bool PutPlainNative(tPrintTarget& target, const tFormatSpec& spec, const void* value, int bitSize)
{
    static_assert((Row.Base == 10 || Row.Base == 16) && !Row.ForcePrefix, "a row whose digits count cheaply");
    if (spec.Precision >= 0 || IsGrouped(spec))
        return false;
    bool negative = false;
    const uint64_t v = NativeMagnitude(value, bitSize, Row.TreatAsUnsigned, Row.Base, negative);
    const char sign = Row.Base == 10 ? SignOf(negative, spec.Flags) : 0;
    const bool prefixed = Row.Base == 16 && (spec.Flags & tFormatFlag::RadixPrefix) && v != 0;
    const int length =
        (sign ? 1 : 0) + (prefixed ? 2 : 0) + (Row.Base == 10 ? DecimalDigitCount(v) : HexDigitCount(v));
    if (spec.Width > length)
        return false;

    char local[24];
    char* const direct = DirectBuffer(target, length);
    char* const first = direct ? direct : local;
    char* const end = first + length;
    if (v == 0)
        end[-1] = '0';
    else
        PutNativeDigits(v, Row.Base, Row.UpperCase, end);
    if (sign)
        first[0] = sign;
    if (prefixed)
    {
        first[0] = '0';
        first[1] = Row.UpperCase ? 'X' : 'x';
    }
    if (direct)
        AdvanceDirect(target, end);
    else
        target.Put(local, length);
    return true;
}

// Every field but the plain one.
template <const tIntegerRow& Row>
void PrintIntegerField(tPrintTarget& target, const tFormatSpec& spec, const void* value, int bitSize)
{
    // Without digit groups the text is composed in place; the buffers have room for the value's digits
    // and a moderate fill, so that only a very wide field takes the general path.
    if (!IsGrouped(spec))
    {
        if (bitSize <= 64 ? EmitUngrouped<192, Row>(target, spec, value, bitSize)
                          : EmitUngrouped<MaxValueDigits + 192, Row>(target, spec, value, bitSize))
            return;
    }

    // The scratch lives on the stack when it fits there, with the same fixed-capacity rules as the
    // tArray it stands for.
    const int capacity =
        ScratchCapacity(bitSize <= 64 ? Row.NativeCapacity : Row.WideCapacity, spec, bitSize, Row.Base);
    WithScratch<StackScratchSize>(capacity <= StackScratchSize, capacity, capacity, 0,
                                  [&](auto& scratch)
                                  {
                                      AppendInteger(scratch, spec, value, bitSize, Row);
                                      EmitField(target, spec, scratch.GetStorage(), scratch.GetCount());
                                  });
}
} // namespace

template <const tIntegerRow& Row>
void PrintInteger(tPrintTarget& target, const tFormatSpec& spec, const void* value, int bitSize)
{
    if constexpr ((Row.Base == 10 || Row.Base == 16) && !Row.ForcePrefix)
    {
        if (bitSize <= 64 && PutPlainNative<Row>(target, spec, value, bitSize))
            return;
    }
    PrintIntegerField<Row>(target, spec, value, bitSize);
}

template void PrintInteger<Base2Row>(tPrintTarget&, const tFormatSpec&, const void*, int);
template void PrintInteger<OctalRow>(tPrintTarget&, const tFormatSpec&, const void*, int);
template void PrintInteger<DecimalRow>(tPrintTarget&, const tFormatSpec&, const void*, int);
template void PrintInteger<UnsignedRow>(tPrintTarget&, const tFormatSpec&, const void*, int);
template void PrintInteger<HexRow>(tPrintTarget&, const tFormatSpec&, const void*, int);
template void PrintInteger<HexUpperRow>(tPrintTarget&, const tFormatSpec&, const void*, int);
template void PrintInteger<PointerRow>(tPrintTarget&, const tFormatSpec&, const void*, int);

void AppendIntegerText(tArray<char>& out, const tFormatSpec& spec, const void* value, int bitSize,
                       const tIntegerRow& row)
{
    AppendInteger(out, spec, value, bitSize, row);
}
} // namespace tPrintDetail
