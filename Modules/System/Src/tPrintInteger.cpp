// The integer field: the argument's magnitude and sign, its digits, and where the text goes. What the
// text is comes from LayOut alone (tPrintIntegerLayout.h).
#include "tPrintIntegerLayout.h"

namespace tPrintDetail
{
namespace
{
// Room for the longest text: sign, prefix, MaxFill zeros and digits, and a separator every third.
constexpr int MaxIntegerText = 3 + MaxFill + (MaxFill - 1) / 3;

// A field up to this long that does not go straight into a buffer is composed on the stack first.
constexpr int ShortField = 128;

// Digits per AltStyle group: four for 32 and 64 bits, eight for the wide integers.
constexpr int NativeGroup = 4;
constexpr int WideGroup = 8;

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
T_PRINT_INLINE uint64_t NativeMagnitude(const void* value, int bitSize, const tIntegerRow& row,
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
    negative = row.Base == 10 && !row.TreatAsUnsigned && ((bits >> (bitSize - 1)) & 1) != 0;
    if (negative)
        bits = bitSize == 32 ? uint32_t(0u - uint32_t(bits)) : 0u - bits;
    return bits;
}

// The same for a wide argument. All three widths go through one 512-bit working value: the argument's
// words become the low words and the words above its width stay zero. Negation happens at 512 bits,
// so for 128 and 256 bits the mask cuts the result back to the value's own width.
tWideInt512 WideMagnitude(const void* value, int bitSize, const tIntegerRow& row, bool& negative)
{
    tWideInt512 work = tWideInt512::FromInt(0);
    std::memcpy(work.Words, value, size_t(bitSize / 8));

    // The top bit of the value's own width: what shifting a copy right by bitSize - 1 leaves.
    negative = row.Base == 10 && !row.TreatAsUnsigned && (work.Words[bitSize / 32 - 1] >> 31) != 0;
    if (!negative)
        return work; // the words above the width are zero already, so the mask would change nothing
    work = work.Negate();
    if (bitSize != 512)
        work.BitAnd(WidthMask(bitSize));
    return work;
}

// The digits PutNativeDigits writes for v: none for zero.
T_PRINT_INLINE int NativeDigitCount(uint64_t v, int base)
{
    if (base == 10)
        return DecimalDigitCount(v);
    if (const int bits = BitsPerDigit(base))
        return (BitLength(v) + bits - 1) / bits;
    int count = 0;
    for (; v != 0; v /= uint64_t(base))
        count++;
    return count;
}

// Sends a run of spaces through the target, in the runs PadBefore delivers.
void PutSpaces(tPrintTarget& target, int count)
{
    if (count <= 0)
        return;
    tFormatSpec spaces;
    spaces.Width = count;
    target.PadBefore(0, spaces);
}

template <int Size, typename tDigits>
void PutTextIn(tPrintTarget& target, const tIntegerLayout& f, const tDigits& digits)
{
    char text[Size];
    const int length = int(PutIntegerText(text, f, digits) - text);
    target.Put(text, length);
}

// A field that cannot go straight into a buffer. A short one is composed on the stack and put whole,
// unless the target has an Array: the fill then goes as runs of its own, so that a fixed-capacity array
// keeps the fill it has room for. Only a very long text needs the large buffer.
template <typename tDigits>
void PutThroughTarget(tPrintTarget& target, const tFormatSpec& spec, const tIntegerRow& row, int groupSize,
                      bool negative, const tDigits digits, int count)
{
    const tIntegerLayout f = LayOut(spec, row, groupSize, negative, count);
    if (!target.Array && f.Length() <= ShortField)
    {
        char field[ShortField];
        const int length = int(PutIntegerField(field, f, digits) - field);
        target.Put(field, length);
        return;
    }
    PutSpaces(target, f.FillBefore);
    if (f.TextLength <= ShortField)
        PutTextIn<ShortField>(target, f, digits);
    else
        PutTextIn<MaxIntegerText>(target, f, digits);
    PutSpaces(target, f.FillAfter);
}

// The field laid out and written straight into the caller's buffer when the target allows it (no
// field is longer than MaxIntegerText), else through Put. Either way the layout is made once, where
// it is written, so that the record never has to be passed on.
template <typename tDigits>
T_PRINT_INLINE void PutField(tPrintTarget& target, const tFormatSpec& spec, const tIntegerRow& row,
                             int groupSize, bool negative, const tDigits& digits, int count)
{
    if (char* direct = DirectBuffer(target, MaxIntegerText))
        AdvanceDirect(target, PutIntegerField(direct, LayOut(spec, row, groupSize, negative, count), digits));
    else
        PutThroughTarget(target, spec, row, groupSize, negative, digits, count);
}

// A wide value's digits are made before its layout, since only they tell how many there are.
template <typename tWrite>
void WithWideDigits(const void* value, int bitSize, const tIntegerRow& row, const tWrite& write)
{
    char digits[MaxValueDigits];
    bool negative = false;
    tWideInt512 work = WideMagnitude(value, bitSize, row, negative);
    const char* first = PutWideDigits(work, row.Base, row.UpperCase, digits + MaxValueDigits);
    const int count = int(digits + MaxValueDigits - first);
    write(negative, tDigitText{first, count});
}

T_PRINT_OUT_OF_LINE void PrintWide(tPrintTarget& target, const tFormatSpec& spec, const void* value,
                                   int bitSize, const tIntegerRow& row)
{
    WithWideDigits(value, bitSize, row,
                   [&](bool negative, const tDigitText& digits)
                   { PutField(target, spec, row, WideGroup, negative, digits, digits.Count); });
}

// Appends the text with the conversion's rules for a fixed-capacity array: the sign and the prefix
// character by character, the digits as one run, or character by character when grouped.
template <typename tDigits> void AppendText(tArray<char>& out, const tIntegerLayout& f, const tDigits& digits)
{
    char text[MaxIntegerText];
    const char* const end = PutIntegerText(text, f, digits);
    const char* p = text;
    for (const char* head = text + (f.Sign ? 1 : 0) + f.PrefixLength; p < head; p++)
        out.Append(*p);
    if (f.GroupSize > 0)
    {
        for (; p < end; p++)
            out.Append(*p);
    }
    else if (end > p)
        out.Append(p, int(end - p));
}

// The field of a 32- or 64-bit value.
T_PRINT_INLINE void PrintNative(tPrintTarget& target, const tFormatSpec& spec, const void* value, int bitSize,
                                const tIntegerRow& row)
{
    bool negative = false;
    const uint64_t v = NativeMagnitude(value, bitSize, row, negative);
    PutField(target, spec, row, NativeGroup, negative, tNativeDigits{v, row.Base, row.UpperCase},
             NativeDigitCount(v, row.Base));
}

// The same for any other field, kept out of PrintInteger so that its common path needs no more
// registers than its own.
template <const tIntegerRow& Row>
T_PRINT_OUT_OF_LINE void PrintNativeField(tPrintTarget& target, const tFormatSpec& spec, const void* value,
                                          int bitSize)
{
    PrintNative(target, spec, value, bitSize, Row);
}

// No flag but PlusSign and SpaceSign, no precision, no width.
T_PRINT_INLINE bool AsksForSignAtMost(const tFormatSpec& spec)
{
    return (spec.Flags & ~uint32_t(tFormatFlag::PlusSign | tFormatFlag::SpaceSign)) == 0 &&
           spec.Precision < 0 && spec.Width <= 0;
}
} // namespace

template <const tIntegerRow& Row>
void PrintInteger(tPrintTarget& target, const tFormatSpec& spec, const void* value, int bitSize)
{
    if (bitSize > 64)
    {
        PrintWide(target, spec, value, bitSize, Row);
        return;
    }
    // Most fields ask for no more than a sign. Given that, the compiler folds LayOut down to the sign
    // and the digits in this copy, while the rules stay in LayOut.
    if (AsksForSignAtMost(spec))
        PrintNative(target, spec, value, bitSize, Row);
    else
        PrintNativeField<Row>(target, spec, value, bitSize);
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
    if (bitSize > 64)
    {
        WithWideDigits(value, bitSize, row,
                       [&](bool negative, const tDigitText& digits)
                       { AppendText(out, LayOut(spec, row, WideGroup, negative, digits.Count), digits); });
        return;
    }
    bool negative = false;
    const uint64_t v = NativeMagnitude(value, bitSize, row, negative);
    AppendText(out, LayOut(spec, row, NativeGroup, negative, NativeDigitCount(v, row.Base)),
               tNativeDigits{v, row.Base, row.UpperCase});
}
} // namespace tPrintDetail
