// The print engine's type handlers.
#include <Foundation/tFixInt.h>
#include <Foundation/tHashInit.h>
#include <System/tPrint.h>
#include <algorithm>
#include <climits>
#include <cmath>
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

// The count is a signed 32-bit number: a character that could no longer be counted is refused like
// one past the buffer's limit, so that no width, however large, can overflow it.
void tPrintTarget::Put(char c)
{
    if ((Buffer && BufferLimit != -1 && CharCount >= BufferLimit) || CharCount == INT_MAX)
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
    long long room = (long long)INT_MAX - CharCount;
    if (Buffer && BufferLimit != -1)
        room = std::min(room, (long long)BufferLimit - CharCount);
    if (room <= 0)
        return;
    const int n = int(std::min<long long>(length, room));
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
    if (count <= 0)
        return;
    char run[64];
    std::memset(run, c, sizeof run);
    // Once the target refuses everything (limit reached, count full), the rest of the fill is moot.
    while (count > 0 &&
           !(target.Buffer && target.BufferLimit != -1 && target.CharCount >= target.BufferLimit) &&
           target.CharCount != INT_MAX)
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

// Scratch texts up to this size live on the stack; every row's own capacity fits, so only a huge
// width or precision costs an allocation.
constexpr int StackScratchSize = 1024;

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

// Computed without a branch on digit < 10: in hexadecimal text digits and letters come at random, and
// a mispredicted branch per digit would cost more than the rest of the digit.
char DigitChar(uint32_t digit, bool upperCase)
{
    const uint32_t letterOffset = uint32_t((upperCase ? 'A' : 'a') - '0' - 10);
    return char('0' + digit + (letterOffset & (0u - uint32_t(digit >= 10))));
}

// A fixed-capacity text on the caller's storage, with the append rules of a tArray whose GrowCount is
// 0: a single character that finds no room is dropped, and a run that does not fit is refused whole.
class tFixedText
{
public:
    tFixedText(char* storage, int capacity) : Storage(storage), Capacity(capacity) {}
    void Append(char c)
    {
        if (Count < Capacity)
            Storage[Count++] = c;
    }
    bool Append(const char* text, int n)
    {
        if (n <= 0 || n > Capacity - Count)
            return false;
        std::memcpy(Storage + Count, text, size_t(n));
        Count += n;
        return true;
    }
    char* GetStorage() { return Storage; }
    const char* GetStorage() const { return Storage; }
    int GetCount() const { return Count; }

private:
    char* Storage;
    int Count = 0;
    int Capacity;
};

// ---- Digits, written right to left so that they end at the given position. A zero value has none.

// The nine digits of a chunk below 10^9, leading zeros included, two per 32-bit division by 100.
char* PutNineDigits(uint32_t chunk, char* p)
{
    for (int pair = 0; pair < 4; ++pair)
    {
        const uint32_t q = chunk / 100;
        const uint32_t two = chunk - q * 100;
        *--p = char('0' + two % 10);
        *--p = char('0' + two / 10);
        chunk = q;
    }
    *--p = char('0' + chunk);
    return p;
}

// Divisions by constants are multiplications, and 32-bit ones the cheapest: the value is cut into
// chunks of nine digits while it is wider than 32 bits, then finished two digits at a time.
char* PutDecimalDigits(uint64_t v, char* p)
{
    while (v > 0xFFFFFFFFu)
    {
        const uint64_t q = v / 1000000000u;
        p = PutNineDigits(uint32_t(v - q * 1000000000u), p);
        v = q;
    }
    uint32_t w = uint32_t(v);
    while (w >= 100)
    {
        const uint32_t q = w / 100;
        const uint32_t two = w - q * 100;
        *--p = char('0' + two % 10);
        *--p = char('0' + two / 10);
        w = q;
    }
    if (w >= 10)
    {
        *--p = char('0' + w % 10);
        *--p = char('0' + w / 10);
    }
    else if (w > 0)
        *--p = char('0' + w);
    return p;
}

// 1, 3 and 4 for bases 2, 8 and 16, whose digits are groups of bits; 0 for any other base.
int BitsPerDigit(int base)
{
    return base == 2 ? 1 : base == 8 ? 3 : base == 16 ? 4 : 0;
}

char* PutNativeDigits(uint64_t v, int base, bool upperCase, char* p)
{
    if (base == 10)
        return PutDecimalDigits(v, p);
    if (const int bits = BitsPerDigit(base))
    {
        const uint64_t mask = (uint64_t(1) << bits) - 1;
        for (; v != 0; v >>= bits)
            *--p = DigitChar(uint32_t(v & mask), upperCase);
        return p;
    }
    for (; v != 0; v /= uint64_t(base))
        *--p = DigitChar(uint32_t(v % uint64_t(base)), upperCase);
    return p;
}

// The eight hexadecimal digits of a word, leading zeros included, all at once: each nibble is moved
// into a byte of its own, the bytes are turned into characters together (a nibble of 10 or more gets
// the letter offset on top of '0'), and the eight characters are stored most significant first.
char* PutEightHexDigits(uint32_t word, bool upperCase, char* p)
{
    uint64_t n = word;
    n = ((n & 0xFFFF0000u) << 16) | (n & 0x0000FFFFu);
    n = ((n & 0x0000FF000000FF00u) << 8) | (n & 0x000000FF000000FFu);
    n = ((n & 0x00F000F000F000F0u) << 4) | (n & 0x000F000F000F000Fu);
    // Byte i now holds nibble i. A byte of 10 or more carries into bit 4 when 6 is added.
    const uint64_t isLetter = ((n + 0x0606060606060606u) >> 4) & 0x0101010101010101u;
    const uint64_t letterOffset = uint64_t((upperCase ? 'A' : 'a') - '0' - 10);
    n += 0x3030303030303030u + isLetter * letterOffset;
    p -= 8;
    for (int i = 7; i >= 0; --i, n >>= 8)
        p[i] = char(n & 0xFF);
    return p;
}

#if defined(__SIZEOF_INT128__)
__extension__ typedef unsigned __int128 tUint128;

// Division of a 128-bit <high, low> (high below the divisor) by 10^19 with a precomputed reciprocal
// (Moeller and Granlund, "Improved division by invariant integers", 2011): one 64 x 64-bit product and
// two corrections instead of a hardware division. 10^19 is above 2^63, as the method requires.
constexpr uint64_t TenToThe19 = 10000000000000000000u;
constexpr uint64_t TenToThe19Reciprocal = uint64_t(~tUint128(0) / TenToThe19 - (tUint128(1) << 64));

uint64_t DivideByTenToThe19(uint64_t high, uint64_t low, uint64_t& remainder)
{
    const tUint128 product = tUint128(TenToThe19Reciprocal) * high + ((tUint128(high + 1) << 64) | low);
    uint64_t q = uint64_t(product >> 64);
    uint64_t r = low - q * TenToThe19;
    if (r > uint64_t(product))
    {
        --q;
        r += TenToThe19;
    }
    if (r >= TenToThe19)
    {
        ++q;
        r -= TenToThe19;
    }
    remainder = r;
    return q;
}

// The nineteen digits of a chunk below 10^19, leading zeros included.
char* PutNineteenDigits(uint64_t chunk, char* p)
{
    const uint64_t high = chunk / 1000000000u;
    p = PutNineDigits(uint32_t(chunk - high * 1000000000u), p);
    const uint64_t top = high / 1000000000u;
    p = PutNineDigits(uint32_t(high - top * 1000000000u), p);
    *--p = char('0' + top);
    return p;
}

// Decimal digits of a wide value, nineteen per pass over its 64-bit limbs: about a quarter of the
// division steps of nine digits per pass over 32-bit words.
char* PutWideDecimal(const tWideInt512& v, int topWord, char* p)
{
    uint64_t limbs[8];
    for (int i = 0, word = 0; i < 8; ++i, word += 2)
        limbs[i] = v.Words[word] | uint64_t(v.Words[word + 1]) << 32;
    int top = topWord / 2;
    while (top >= 1)
    {
        uint64_t r = 0;
        for (int i = top; i >= 0; --i)
            limbs[i] = DivideByTenToThe19(r, limbs[i], r);
        p = PutNineteenDigits(r, p);
        while (top >= 0 && limbs[top] == 0)
            --top;
    }
    return PutDecimalDigits(top >= 0 ? limbs[0] : 0, p);
}
#endif

// Takes the words it reads as the words of v in place; v is used up.
char* PutWideDigits(tWideInt512& v, int base, bool upperCase, char* p)
{
    int top = tWideInt512::WordCount - 1;
    while (top >= 0 && v.Words[top] == 0)
        --top;
    if (base == 10)
    {
#if defined(__SIZEOF_INT128__)
        if (top >= 2)
            return PutWideDecimal(v, top, p);
#endif
        // One short division of the wide value per nine digits rather than per digit; the divisor is a
        // constant, so the division is done by multiplying. The last 64 bits go the native way.
        while (top >= 2)
        {
            const uint32_t chunk = tFixIntDetail::DivideWords(
                v.Words, v.Words, top, std::integral_constant<uint32_t, 1000000000u>{});
            p = PutNineDigits(chunk, p);
            while (top >= 0 && v.Words[top] == 0)
                --top;
        }
        return PutDecimalDigits(v.Words[0] | uint64_t(v.Words[1]) << 32, p);
    }
    if (const int bits = BitsPerDigit(base))
    {
        if (top < 0)
            return p;
        const uint32_t digitMask = (1u << bits) - 1;
        if (bits == 4)
        {
            for (int word = 0; word < top; ++word)
                p = PutEightHexDigits(v.Words[word], upperCase, p);
            for (uint32_t w = v.Words[top]; w != 0; w >>= bits)
                *--p = DigitChar(w & digitMask, upperCase);
            return p;
        }
        if (32 % bits == 0)
        {
            // Bases 2 and 16: whole digits per word. Every word below the top gives all of its digits,
            // leading zeros included; the top word stops at its highest set digit.
            for (int word = 0; word < top; ++word)
            {
                uint32_t w = v.Words[word];
                for (int i = 0; i < 32 / bits; ++i, w >>= bits)
                    *--p = DigitChar(w & digitMask, upperCase);
            }
            for (uint32_t w = v.Words[top]; w != 0; w >>= bits)
                *--p = DigitChar(w & digitMask, upperCase);
            return p;
        }
        // Base 8: each digit is the group of bits at its place, and may straddle two words.
        int valueBits = 32 * top;
        for (uint32_t w = v.Words[top]; w != 0; w >>= 1)
            ++valueBits;
        const uint32_t mask = (1u << bits) - 1;
        for (int place = 0; place < valueBits; place += bits)
        {
            const int word = place / 32;
            const int shift = place % 32;
            uint32_t digit = v.Words[word] >> shift;
            if (shift + bits > 32 && word + 1 < tWideInt512::WordCount)
                digit |= v.Words[word + 1] << (32 - shift);
            *--p = DigitChar(digit & mask, upperCase);
        }
        return p;
    }
    while (!v.IsZero())
    {
        uint32_t digit = 0;
        v = DivideBySmall(v, uint32_t(base), &digit);
        *--p = DigitChar(digit, upperCase);
    }
    return p;
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

// The digit text, zeros '0' characters followed by the value's digits, appended as one run (or with
// its group separators). Short texts are put together in a small buffer; only a long precision or
// zero fill needs the large one, kept out of the common path's stack frame.
template <typename tOut>
void AppendLongDigitText(tOut& out, int zeros, const char* digits, int count, uint32_t flags,
                         int altGroupSize)
{
    char text[MaxFill];
    std::memset(text, '0', size_t(zeros));
    std::memcpy(text + zeros, digits, size_t(count));
    AppendGrouped(out, text, zeros + count, flags, altGroupSize);
}

template <typename tOut>
void AppendDigitText(tOut& out, int zeros, const char* digits, int count, uint32_t flags, int altGroupSize)
{
    constexpr int ShortText = 96;
    if (zeros + count > ShortText)
    {
        AppendLongDigitText(out, zeros, digits, count, flags, altGroupSize);
        return;
    }
    char text[ShortText];
    std::memset(text, '0', size_t(zeros));
    std::memcpy(text + zeros, digits, size_t(count));
    AppendGrouped(out, text, zeros + count, flags, altGroupSize);
}

// Sign, prefix, digits, zero fill and grouping: the steps both conversions share once they hold the
// value's digits (count of them, none for zero). The sign belongs to base 10 only; other bases read
// every value as unsigned.
template <typename tOut>
void AppendInteger(tOut& out, const tFormatSpec& spec, bool negative, const char* digits, int count, int base,
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

    if (((spec.Flags & tFormatFlag::RadixPrefix) && count > 0) || forcePrefix)
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

    // Zeros in front of the digits: up to the precision (at least one digit without one), then, with
    // ZeroPad and no precision, up to the room the width leaves. Both are clamped to MaxFill, so the
    // digit text never exceeds MaxFill characters.
    const int precision = ClampedPrecision(spec);
    const int minDigits = precision == -1 ? 1 : precision;
    int zeros = std::max(minDigits - count, 0);
    if ((spec.Flags & tFormatFlag::ZeroPad) && precision == -1)
        zeros += std::max(room - (count + zeros), 0);
    AppendDigitText(out, zeros, digits, count, spec.Flags, altGroupSize);
}

// The value's own digits can never exceed bitSize / floor(log2(base)) + 1.
int MaxDigitsOf(int bitSize, int base)
{
    if (const int bits = BitsPerDigit(base))
        return bitSize / bits + 1;
    if (base == 10)
        return bitSize / 3 + 1;
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
uint64_t NativeMagnitude(const void* value, int bitSize, bool treatAsUnsigned, int base, bool& negative)
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

template <typename tOut>
void AppendNativeInteger(tOut& out, const tFormatSpec& spec, const void* value, bool treatAsUnsigned,
                         int bitSize, bool upperCase, int base, bool forcePrefix)
{
    tRequire((bitSize == 32) || (bitSize == 64));
    if (!((bitSize == 32) || (bitSize == 64)))
        return;
    tRequire(value && (base >= 2) && (base <= 36));
    if (!(value && (base >= 2) && (base <= 36)))
        return;

    bool negative = false;
    const uint64_t bits = NativeMagnitude(value, bitSize, treatAsUnsigned, base, negative);
    char digits[64];
    const char* first = PutNativeDigits(bits, base, upperCase, digits + sizeof digits);
    AppendInteger(out, spec, negative, first, int(digits + sizeof digits - first), base, upperCase,
                  forcePrefix, 4);
}

template <typename tOut>
void AppendWideInteger(tOut& out, const tFormatSpec& spec, const void* value, bool treatAsUnsigned,
                       int bitSize, bool upperCase, int base, bool forcePrefix)
{
    tRequire((bitSize == 128) || (bitSize == 256) || (bitSize == 512));
    if (!((bitSize == 128) || (bitSize == 256) || (bitSize == 512)))
        return;
    tRequire(value && (base >= 2) && (base <= 36));
    if (!(value && (base >= 2) && (base <= 36)))
        return;

    bool negative = false;
    tWideInt512 work = WideMagnitude(value, bitSize, treatAsUnsigned, base, negative);
    char digits[MaxValueDigits];
    const char* first = PutWideDigits(work, base, upperCase, digits + sizeof digits);
    AppendInteger(out, spec, negative, first, int(digits + sizeof digits - first), base, upperCase,
                  forcePrefix, 8);
}

// The common field without digit groups, composed in place and sent to the target in one Put: the
// digits already end buf, and the zeros, the prefix and the sign go in front of them, exactly as
// AppendInteger lays them out. False, with nothing done, when the zeros do not fit in front of the
// digits; the general path then takes the field.
template <int Size>
bool EmitUngrouped(tPrintTarget& target, const tFormatSpec& spec, char (&buf)[Size], char* first,
                   bool negative, int base, bool upperCase, bool forcePrefix)
{
    char* const end = buf + Size;
    const int count = int(end - first);
    int room = ClampedWidth(spec);
    char sign = 0;
    if (base == 10)
    {
        if (negative)
            sign = '-';
        else if (spec.Flags & tFormatFlag::PlusSign)
            sign = '+';
        else if (spec.Flags & tFormatFlag::SpaceSign)
            sign = ' ';
        if (sign)
            room--;
    }
    const bool prefixed = ((spec.Flags & tFormatFlag::RadixPrefix) && count > 0) || forcePrefix;
    const int prefixLength = !prefixed ? 0 : base == 8 ? 1 : base == 16 ? 2 : 0;
    room -= prefixLength;

    const int precision = ClampedPrecision(spec);
    const int minDigits = precision == -1 ? 1 : precision;
    int zeros = std::max(minDigits - count, 0);
    if ((spec.Flags & tFormatFlag::ZeroPad) && precision == -1)
        zeros += std::max(room - (count + zeros), 0);
    if (zeros + prefixLength + 1 > first - buf)
        return false;

    char* p = first - zeros;
    if (zeros > 0)
        std::memset(p, '0', size_t(zeros));
    if (prefixLength == 2)
        *--p = (upperCase && !forcePrefix) ? 'X' : 'x';
    if (prefixLength > 0)
        *--p = '0';
    if (sign)
        *--p = sign;
    EmitField(target, spec, p, int(end - p));
    return true;
}

bool IsGrouped(const tFormatSpec& spec)
{
    return (spec.Flags & (tFormatFlag::AltStyle | tFormatFlag::CommaGroups)) != 0;
}

// Converts into a scratch of the given capacity and fills the field around it. The scratch lives on
// the stack when it fits there, with the same fixed-capacity rules as the tArray it stands for.
template <typename tConvert>
void ConvertAndEmit(tPrintTarget& target, const tFormatSpec& fieldSpec, int capacity, const tConvert& convert)
{
    if (capacity <= StackScratchSize)
    {
        char storage[StackScratchSize];
        tFixedText scratch(storage, capacity);
        convert(scratch);
        EmitField(target, fieldSpec, scratch.GetStorage(), scratch.GetCount());
        return;
    }
    tArray<char> scratch(capacity, 0);
    convert(scratch);
    EmitField(target, fieldSpec, scratch.GetStorage(), scratch.GetCount());
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

    // Without digit groups the text is composed in place; the buffers have room for the value's digits
    // and a moderate fill, so that only a very wide field takes the general path.
    if (!IsGrouped(spec))
    {
        bool negative = false;
        if (nativeInt)
        {
            char buf[192];
            const uint64_t bits = NativeMagnitude(value, bitSize, row.TreatAsUnsigned, row.Base, negative);
            char* first = PutNativeDigits(bits, row.Base, row.UpperCase, buf + sizeof buf);
            if (EmitUngrouped(target, spec, buf, first, negative, row.Base, row.UpperCase, false))
                return;
        }
        else
        {
            char buf[MaxValueDigits + 192];
            tWideInt512 work = WideMagnitude(value, bitSize, row.TreatAsUnsigned, row.Base, negative);
            char* first = PutWideDigits(work, row.Base, row.UpperCase, buf + sizeof buf);
            if (EmitUngrouped(target, spec, buf, first, negative, row.Base, row.UpperCase, false))
                return;
        }
    }

    const int capacity =
        ScratchCapacity(nativeInt ? row.NativeCapacity : row.WideCapacity, spec, bitSize, row.Base);
    ConvertAndEmit(target, spec, capacity,
                   [&](auto& scratch)
                   {
                       if (nativeInt)
                           AppendNativeInteger(scratch, spec, value, row.TreatAsUnsigned, bitSize,
                                               row.UpperCase, row.Base, false);
                       else
                           AppendWideInteger(scratch, spec, value, row.TreatAsUnsigned, bitSize,
                                             row.UpperCase, row.Base, false);
                   });
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

    // The conversion reports a size other than 4 or 8 bytes, or a null value; the pointer then prints
    // nothing, not even its fill.
    const int bitSize = BitSizeOf(spec.TypeSize);
    if (!((bitSize == 32) || (bitSize == 64)) || !value)
    {
        tFixedText nothing(nullptr, 0);
        AppendNativeInteger(nothing, copy, value, true, bitSize, true, 16, true);
        return;
    }
    if (!IsGrouped(copy))
    {
        char buf[192];
        bool negative = false;
        const uint64_t bits = NativeMagnitude(value, bitSize, true, 16, negative);
        char* first = PutNativeDigits(bits, 16, true, buf + sizeof buf);
        if (EmitUngrouped(target, copy, buf, first, negative, 16, true, true))
            return;
    }
    ConvertAndEmit(target, copy, ScratchCapacity(64, copy, 64, 16),
                   [&](auto& scratch)
                   { AppendNativeInteger(scratch, copy, value, true, bitSize, true, 16, true); });
}

void WriteNativeInteger(tArray<char>& out, const tFormatSpec& spec, const void* value, bool treatAsUnsigned,
                        int bitSize, bool upperCase, int base, bool forcePrefix)
{
    AppendNativeInteger(out, spec, value, treatAsUnsigned, bitSize, upperCase, base, forcePrefix);
}

void WriteWideInteger(tArray<char>& out, const tFormatSpec& spec, const void* value, bool treatAsUnsigned,
                      int bitSize, bool upperCase, int base, bool forcePrefix)
{
    AppendWideInteger(out, spec, value, treatAsUnsigned, bitSize, upperCase, base, forcePrefix);
}

// ---------------------------------------------------------------------------------------------------
// Real, vector, quaternion and matrix handlers
// ---------------------------------------------------------------------------------------------------

namespace
{
// Precisions above this are treated as this. A double has no non-zero digit past its 1074th decimal
// place, so the cap never drops a digit that means anything; it keeps one call's time and memory bounded.
const int MaxRealPrecision = 65536;

// Every double from 1e22 up is a whole number, and 1e22 is the largest power of ten a double holds
// exactly, so below it the fixed form's powers of ten and remainders are exact.
const double LargestExactPowerOfTen = 1e22;

int RealPrecision(const tFormatSpec& spec)
{
    if (spec.Precision < 0)
        return DefaultPrecision;
    return spec.Precision < MaxRealPrecision ? spec.Precision : MaxRealPrecision;
}

// The integer part of q as a digit. Rounding can push a quotient that should be just below 10 to 10.0,
// and a remainder just below 0; both would otherwise print as a character that is not a digit.
int DigitOf(double q)
{
    if (!(q >= 1.0))
        return 0;
    if (q >= 9.0)
        return 9;
    return int(q);
}

// 10^k, for k from 0 to 308, as an unevaluated sum hi + lo, built by repeated multiplication by 10.
// Each product is split exactly into its rounded value and its rounding error (10x = 8x + 2x, both
// exact), so the pair stays accurate to about 1e-30 where a plain product of tens drifts by a rounding
// per step past 1e22. Up to 1e22, hi is exactly the plain product and lo is 0.
struct tTenPowers
{
    double Hi[309];
    double Lo[309];
};

// The pairs for every k, computed once by the very steps above, so each lookup gives the bits the
// step-by-step computation gives.
tTenPowers MakeTenPowers()
{
    tTenPowers table{};
    double hi = 1.0;
    double lo = 0.0;
    for (int k = 0; k < 309; k++)
    {
        table.Hi[k] = hi;
        table.Lo[k] = lo;
        const double eight = hi * 8.0;
        const double two = hi * 2.0;
        const double sum = eight + two;
        const double back = sum - eight;
        const double error = (eight - (sum - back)) + (two - back);
        const double tail = lo * 10.0 + error;
        hi = sum + tail;
        lo = tail - (hi - sum);
    }
    return table;
}

void PowerOfTen(int k, double& hi, double& lo)
{
    static const tTenPowers table = MakeTenPowers();
    hi = table.Hi[k];
    lo = table.Lo[k];
}

// a × 10^n (a / 10^-n for negative n), with about one rounding in all. Multiplying by 10^n past 1e308
// happens only for subnormals: they take exact factors of 1e22 first, which cannot overflow.
double ScaleByTenPower(double a, int n)
{
    double hi, lo;
    if (n >= 0)
    {
        for (; n > 308; n -= 22)
            a *= 1e22;
        PowerOfTen(n, hi, lo);
        return a * hi + a * lo;
    }
    int k = -n;
    for (; k > 308; k -= 22)
        a /= 1e22;
    PowerOfTen(k, hi, lo);
    const double quotient = a / hi;
    return quotient - quotient * (lo / hi);
}

// The decimal exponent of a finite a, with m set to a scaled by it into [1, 10) (0 stays 0). The
// repeated division of DecimalExponent can end one decade off near a power of ten; the value is then
// scaled again from a rather than from m, so no extra rounding enters the digits.
int NormalizeDecimal(double a, double& m)
{
    int exp10 = DecimalExponent(a);
    m = ScaleByTenPower(a, -exp10);
    for (int tries = 0; tries < 3 && m != 0 && (m >= 10 || m < 1); tries++)
    {
        exp10 += m >= 10 ? 1 : -1;
        m = ScaleByTenPower(a, -exp10);
    }
    while (m >= 10)
    {
        m /= 10;
        exp10++;
    }
    while (m != 0 && m < 1)
    {
        m *= 10;
        exp10--;
    }
    return exp10;
}

// Makes sure a run of length more characters fits without growing one step at a time, which would copy
// the whole array for every 32 characters of a long precision.
void ReserveRun(tArray<char>& out, long long length)
{
    const long long room = (long long)out.GetCapacity() - out.GetCount();
    if (length > room)
        out.Grow(int(length - room));
}

// A fixed text is only handed out where the longest run fits it; nothing to do.
void ReserveRun(tFixedText& /*out*/, long long /*length*/) {}

// The handlers' texts live on the stack up to this many characters, which holds every text of a
// precision up to MaxStackPrecision: 1 + 309 + 1 + precision for the fixed form's digits and a sign
// in front, or precision + 8 for the exponent form.
constexpr int SmallRealText = 512;
constexpr int MaxStackPrecision = 150;

template <typename tText> void PutText(tPrintTarget& target, tText& text, int from)
{
    target.Put(text.GetStorage() + from, text.GetCount() - from);
}

// The field around a fixed-form text: the sign still owed goes first, then the fill, so with ZeroPad the
// zeros come between sign and digits; a non-finite text is filled with spaces only.
template <typename tText>
void PutFixedField(tPrintTarget& target, const tFormatSpec& spec, tText& text, tPendingSign code)
{
    tFormatSpec local = spec;
    const int n = text.GetCount();
    int m = n;
    switch (code)
    {
    case tPendingSign::Plus:
        target.Put('+');
        m = n + 1;
        break;
    case tPendingSign::Minus:
        target.Put('-');
        m = n + 1;
        break;
    case tPendingSign::Space:
        target.Put(' ');
        m = n + 1;
        break;
    case tPendingSign::NotFinite:
        local.Flags &= ~uint32_t(tFormatFlag::ZeroPad);
        break;
    case tPendingSign::None:
        break;
    }
    target.PadBefore(m, local);
    PutText(target, text, 0);
    target.PadAfter(m, local);
}

// The exponent form of a finite x, shared by e and g. The text is built in the handler's scratch, which
// grows to the precision, so no precision writes past a buffer. generalMantissa selects g's mantissa:
// precision digits in all, the last one rounded from the digits that follow it.
template <typename tText>
void PutExponentForm(tPrintTarget& target, const tFormatSpec& spec, tText& scratch, double x,
                     bool generalMantissa)
{
    const int precision = RealPrecision(spec);
    const bool negative = x < 0;
    double a = 0.0;
    int exp10 = NormalizeDecimal(negative ? -x : x, a);

    double power = 1.0;
    for (int i = 0; i < precision && power <= 1e300; i++)
        power *= 10.0;
    a += 0.5 / power;
    if (a >= 10)
    {
        a /= 10;
        exp10++;
    }

    const int start = scratch.GetCount();
    ReserveRun(scratch, (long long)precision + 8);
    if (!generalMantissa || precision == 0)
    {
        // Precision 0 gives the leading digit alone, as C does, rather than a bare exponent.
        int d = DigitOf(a);
        a = (a - d) * 10;
        scratch.Append(char('0' + d));
        if (precision > 0)
            scratch.Append('.');
        for (int i = 0; !generalMantissa && i < precision; i++)
        {
            d = DigitOf(a);
            a = (a - d) * 10;
            scratch.Append(char('0' + d));
        }
    }
    else
    {
        bool roundUp = false;
        for (int i = 0; i < precision; i++)
        {
            const int d = DigitOf(a);
            a = (a - d) * 10;
            if (i == precision - 1)
                roundUp = a >= 5;
            scratch.Append(char('0' + d));
            if (i == 0)
                scratch.Append('.');
        }
        if (roundUp)
        {
            // The increase carries through nines, as in the fixed form; carrying out of the leading digit
            // leaves all zeros, which become 1.000 one decade up.
            char* digits = scratch.GetStorage() + start;
            int i = scratch.GetCount() - start - 1;
            for (; i >= 0; i--)
            {
                if (digits[i] == '.')
                    continue;
                if (digits[i] != '9')
                {
                    digits[i]++;
                    break;
                }
                digits[i] = '0';
            }
            if (i < 0)
            {
                digits[0] = '1';
                exp10++;
            }
        }
    }

    const int magnitude = exp10 < 0 ? -exp10 : exp10;
    scratch.Append('e');
    scratch.Append(exp10 >= 0 ? '+' : '-');
    if (magnitude >= 100)
        scratch.Append(char('0' + magnitude / 100));
    scratch.Append(char('0' + magnitude / 10 % 10));
    scratch.Append(char('0' + magnitude % 10));

    // Sign and zero fill. Fill is capped at 16 characters, and without ZeroPad there is none at all.
    char prefix[17];
    int numPrefix = 0;
    const bool plus = (spec.Flags & tFormatFlag::PlusSign) != 0;
    if (!(spec.Flags & tFormatFlag::ZeroPad))
    {
        if (negative)
            prefix[numPrefix++] = '-';
        else if (plus)
            prefix[numPrefix++] = '+';
        else if (spec.Flags & tFormatFlag::SpaceSign)
            prefix[numPrefix++] = ' ';
    }
    else
    {
        const long long zeros = std::min<long long>((long long)spec.Width - (scratch.GetCount() - start), 16);
        const char sign = negative ? '-' : (plus ? '+' : '\0');
        if (zeros > 0)
        {
            std::memset(prefix, '0', size_t(zeros));
            numPrefix = int(zeros);
            if (sign)
                prefix[0] = sign;
        }
        else if (sign)
            prefix[numPrefix++] = sign;
    }
    target.Put(prefix, numPrefix);
    PutText(target, scratch, start);
}

double ReadDouble(const void* value)
{
    double x = 0.0;
    std::memcpy(&x, value, sizeof x);
    return x;
}

void PutComponent(tPrintTarget& target, const tFormatSpec& spec, float component)
{
    const double x = component;
    HandleFixed(target, spec, &x);
}
} // namespace

int DecimalExponent(double x)
{
    double a = x < 0 ? -x : x;
    if (ClassifyReal(a) != tRealClass::Finite)
        return 0;
    int count = 0;
    if (a >= 10)
    {
        while (a >= 10)
        {
            a /= 10;
            count++;
        }
    }
    else if (a < 1 && a != 0)
    {
        // Terminates for the subnormals too: multiplying a positive double by 10 never gives 0.
        while (a < 1)
        {
            a *= 10;
            count--;
        }
    }
    return count;
}

tRealClass ClassifyReal(double x)
{
    uint64_t bits = 0;
    std::memcpy(&bits, &x, sizeof bits);
    const bool negative = (bits >> 63) != 0;
    const uint64_t exponent = (bits >> 52) & 0x7FF;
    const uint64_t fraction = bits & ((uint64_t(1) << 52) - 1);
    const uint64_t quietBit = uint64_t(1) << 51;
    if (exponent != 0x7FF)
        return tRealClass::Finite;
    if (fraction == 0)
        return negative ? tRealClass::NegInfinity : tRealClass::Infinity;
    if (!(fraction & quietBit))
        return negative ? tRealClass::NegSignalingNaN : tRealClass::SignalingNaN;
    if (!negative)
        return tRealClass::QuietNaN;
    return fraction == quietBit ? tRealClass::NegIndefinite : tRealClass::NegQuietNaN;
}

namespace
{
template <typename tOut> bool AppendNonFinite(tOut& out, double x)
{
    const char* text = nullptr;
    switch (ClassifyReal(x))
    {
    case tRealClass::Finite:
        return false;
    case tRealClass::SignalingNaN:
        text = "nan(snan)";
        break;
    case tRealClass::NegSignalingNaN:
        text = "-nan(snan)";
        break;
    case tRealClass::QuietNaN:
        text = "nan";
        break;
    case tRealClass::NegQuietNaN:
        text = "-nan";
        break;
    case tRealClass::NegIndefinite:
        text = "-nan(ind)";
        break;
    case tRealClass::Infinity:
        text = "inf";
        break;
    case tRealClass::NegInfinity:
        text = "-inf";
        break;
    }
    out.Append(text, int(std::strlen(text)));
    return true;
}

template <typename tOut, typename tDigits>
tPendingSign AppendFixedDigitsUsing(tOut& out, tDigits& digits, const tFormatSpec& spec, double x,
                                    bool significantMode);

// The digits go to a stack buffer when the longest run of the precision fits it.
template <typename tOut>
tPendingSign AppendFixedDigits(tOut& out, const tFormatSpec& spec, double x, bool significantMode)
{
    if (RealPrecision(spec) <= MaxStackPrecision)
    {
        char storage[SmallRealText];
        tFixedText digits(storage, SmallRealText);
        return AppendFixedDigitsUsing(out, digits, spec, x, significantMode);
    }
    tArray<char> digits(64, 32);
    return AppendFixedDigitsUsing(out, digits, spec, x, significantMode);
}
} // namespace

bool WriteNonFinite(tArray<char>& out, double x)
{
    return AppendNonFinite(out, x);
}

tPendingSign WriteFixedDigits(tArray<char>& out, const tFormatSpec& spec, double x, bool significantMode)
{
    return AppendFixedDigits(out, spec, x, significantMode);
}

namespace
{

template <typename tOut, typename tDigits>
tPendingSign AppendFixedDigitsUsing(tOut& out, tDigits& digits, const tFormatSpec& spec, double x,
                                    bool significantMode)
{
    // The handlers never pass a non-finite value; a direct caller gets its text rather than a scan that
    // cannot end.
    if (AppendNonFinite(out, x))
        return tPendingSign::NotFinite;

    int precision = RealPrecision(spec);
    tPendingSign sign = tPendingSign::None;
    if (x < 0)
        sign = tPendingSign::Minus;
    else if (spec.Flags & tFormatFlag::PlusSign)
        sign = tPendingSign::Plus;
    else if (spec.Flags & tFormatFlag::SpaceSign)
        sign = tPendingSign::Space;
    double a = x < 0 ? -x : x;

    // The spare leading "0" takes a carry out of the first digit. 309 integer digits at most.
    ReserveRun(digits, 1 + 309 + 1 + (long long)precision);
    digits.Append('0');

    if (a < LargestExactPowerOfTen)
    {
        double e = 1.0;
        while (e < a)
            e *= 10.0;
        if (a < e)
            e /= 10.0;
        if (e >= 1.0)
        {
            while (e >= 1.0)
            {
                int d = DigitOf(a / e);
                double rest = a - d * e;
                if (rest < 0 && d > 0)
                {
                    // The quotient was rounded up to the next whole number.
                    d--;
                    rest += e;
                }
                a = rest;
                digits.Append(char('0' + d));
                e /= 10.0;
                if (significantMode && precision > 0)
                    precision--;
            }
        }
        else
            digits.Append('0');
    }
    else
    {
        // Plain products of tens this large overshoot or undershoot the value's own power of ten, and
        // dividing by them gives a "digit" of 10 followed by negative ones; past 1e308 they overflow. So
        // the digits come from the value scaled into [1, 10) instead, and the fraction is zero.
        double m = 0.0;
        const int exp10 = NormalizeDecimal(a, m);
        for (int i = 0; i <= exp10; i++)
        {
            const int d = DigitOf(m);
            m = (m - d) * 10;
            digits.Append(char('0' + d));
            if (significantMode && precision > 0)
                precision--;
        }
        a = 0.0;
    }

    if (precision > 0)
        digits.Append('.');
    for (int i = 0; i < precision; i++)
    {
        a *= 10;
        const int d = DigitOf(a);
        a -= d;
        digits.Append(char('0' + d));
    }

    char* text = digits.GetStorage();
    a *= 10;
    if (a >= 5)
    {
        // Stops at the spare "0" at the latest, since only a "9" passes the carry on.
        for (int i = digits.GetCount() - 1; i >= 0; i--)
        {
            if (text[i] == '.')
                continue;
            if (text[i] != '9')
            {
                text[i]++;
                break;
            }
            text[i] = '0';
        }
    }
    const int start = text[0] == '1' ? 0 : 1;

    if (!(spec.Flags & tFormatFlag::ZeroPad))
    {
        if (sign == tPendingSign::Minus)
            out.Append('-');
        else if (sign == tPendingSign::Plus)
            out.Append('+');
        if (sign != tPendingSign::Space)
            sign = tPendingSign::None;
    }
    out.Append(text + start, digits.GetCount() - start);
    return sign;
}

// Runs write(scratch) with the handler's scratch: on the stack when the precision's longest text fits
// there, else a growable array as before.
template <typename tWrite> void WithRealScratch(const tFormatSpec& spec, const tWrite& write)
{
    if (RealPrecision(spec) <= MaxStackPrecision)
    {
        char storage[SmallRealText];
        tFixedText scratch(storage, SmallRealText);
        write(scratch);
        return;
    }
    tArray<char> scratch(64, 32);
    write(scratch);
}
} // namespace

void HandleFixed(tPrintTarget& target, const tFormatSpec& spec, const void* value)
{
    if (!value)
        return;
    const double x = ReadDouble(value);
    WithRealScratch(spec,
                    [&](auto& scratch)
                    {
                        const tPendingSign code = AppendNonFinite(scratch, x)
                                                      ? tPendingSign::NotFinite
                                                      : AppendFixedDigits(scratch, spec, x, false);
                        PutFixedField(target, spec, scratch, code);
                    });
}

void HandleExponent(tPrintTarget& target, const tFormatSpec& spec, const void* value)
{
    if (!value)
        return;
    const double x = ReadDouble(value);
    WithRealScratch(spec,
                    [&](auto& scratch)
                    {
                        if (AppendNonFinite(scratch, x))
                            PutText(target, scratch, 0);
                        else
                            PutExponentForm(target, spec, scratch, x, false);
                    });
}

void HandleGeneral(tPrintTarget& target, const tFormatSpec& spec, const void* value)
{
    if (!value)
        return;
    const double x = ReadDouble(value);
    WithRealScratch(spec,
                    [&](auto& scratch)
                    {
                        // Compared with the sign, so every negative value, and negative infinity, takes
                        // the fixed form.
                        if (std::pow(10.0, RealPrecision(spec)) > x)
                        {
                            const tPendingSign code = AppendNonFinite(scratch, x)
                                                          ? tPendingSign::NotFinite
                                                          : AppendFixedDigits(scratch, spec, x, true);
                            PutFixedField(target, spec, scratch, code);
                        }
                        else if (AppendNonFinite(scratch, x))
                            PutText(target, scratch, 0);
                        else
                            PutExponentForm(target, spec, scratch, x, true);
                    });
}

void WriteFloatComponents(tPrintTarget& target, const tFormatSpec& spec, const float* values, int count)
{
    if (!values)
        count = 0;
    const bool alt = (spec.Flags & tFormatFlag::AltStyle) != 0;
    if (!alt)
        target.Put('(');
    for (int i = 0; i < count; i++)
    {
        if (i > 0)
        {
            if (alt)
                target.Put(' ');
            else
                target.Put(", ", 2);
        }
        PutComponent(target, spec, values[i]);
    }
    if (!alt)
        target.Put(')');
}

void HandleVector(tPrintTarget& target, const tFormatSpec& spec, const void* value)
{
    const int numComponents = spec.TypeSize / 4;
    tRequire((numComponents >= 2) && (numComponents <= 4));
    // After the report, only the components that TypeSize says the argument holds are read.
    if (!value)
        return;
    WriteFloatComponents(target, spec, static_cast<const float*>(value),
                         numComponents > 0 ? numComponents : 0);
}

void HandleQuaternion(tPrintTarget& target, const tFormatSpec& spec, const void* value)
{
    if (!value)
        return;
    const float* q = static_cast<const float*>(value);
    target.Put('(');
    if (spec.Flags & tFormatFlag::AltStyle)
    {
        // Scalar part first, then the vector part in its own brackets.
        PutComponent(target, spec, q[3]);
        target.Put(", (", 3);
        for (int i = 0; i < 3; i++)
        {
            if (i > 0)
                target.Put(", ", 2);
            PutComponent(target, spec, q[i]);
        }
        target.Put("))", 2);
        return;
    }
    for (int i = 0; i < 4; i++)
    {
        if (i > 0)
            target.Put(", ", 2);
        PutComponent(target, spec, q[i]);
    }
    target.Put(')');
}

void HandleMatrix(tPrintTarget& target, const tFormatSpec& spec, const void* value)
{
    const bool is4x4 = spec.TypeSize == 64;
    const bool is2x2 = spec.TypeSize == 16;
    tRequire(is4x4 || is2x2);
    // After the report a matrix is printed as 2x2, and only if the argument holds the four floats.
    if (!value || (!is4x4 && spec.TypeSize < 16))
        return;
    const float* elements = static_cast<const float*>(value);
    const int dim = is4x4 ? 4 : 2;

    if (!(spec.Flags & tFormatFlag::AltStyle))
    {
        // Stored column by column, so each group of consecutive floats is one column.
        target.Put('(');
        for (int c = 0; c < dim; c++)
        {
            if (c > 0)
                target.Put(", ", 2);
            WriteFloatComponents(target, spec, elements + std::ptrdiff_t(dim) * c, dim);
        }
        target.Put(')');
        return;
    }

    tFormatSpec local = spec;
    if (local.Width == 0)
        local.Width = 9;
    if (local.Precision == -1)
        local.Precision = 4;
    target.Put("[ ", 2);
    for (int r = 0; r < dim; r++)
    {
        if (r > 0)
        {
            target.Put('\n');
            target.Put("  ", 2);
        }
        float row[4];
        for (int c = 0; c < dim; c++)
            row[c] = elements[dim * c + r];
        WriteFloatComponents(target, local, row, dim);
    }
    target.Put(" ]\n", 3);
}
