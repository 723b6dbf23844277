// Both drivers with fuzzed formats and fixed arguments. For each, the output is counted without a
// destination, rendered whole into a buffer with no limit and into a growable array, and cut into a
// buffer and into a fixed-capacity array of a fuzzed size: the counts must agree, the bounded forms must
// return the whole length, and what they kept must be the longest prefix of the whole text that fits. No
// format may reach an assertion report: the drivers never stop a program on what a format or an argument
// value holds.
//
// The type-safe front end takes any format: its arguments carry their kinds, so it must never read
// past them or read one as the wrong type. It also appends to a std::string, which must end the same,
// and its arguments include standard strings and a type with a tFormatter. The C-style driver cannot know how
// many arguments it was given, so it only gets formats whose conversions fit in the arguments passed: every
// one of them a valid pointer or double whatever it is read as (see Fits).
//
// Input: two bytes of buffer size, then the format.
#include "FuzzSupport.h"

#include <Foundation/tFixInt.h>
#include <System/tFormat.h>
#include <System/tFormatParse.h>
#include <System/tPrintf.h>
#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

namespace
{
struct tFuzzPair
{
    int A, B;
};
} // namespace

// A type of the program's own, whose text the conversion's width and precision act on.
template <> struct tFormatter<tFuzzPair>
{
    static void Write(tPrintTarget& target, const tFuzzPair& p)
    {
        tFormat(target, T_FMT("<%d|%d>"), p.A, p.B);
    }
};

namespace
{
// Zeros read as every pointer argument's target: an empty text, zero floats for v, q and m (which read
// at most 64 bytes).
alignas(16) const float zeros[32] = {};
const void* const P = zeros;
const double D = 1.5;

// Arguments the C-style call passes: 24 pointers then 16 doubles. On x86-64 the first pointers go in
// registers (four for tsPrintf, three for tsnPrintf, whose size takes one), the rest and the doubles
// past the eighth in one stack area, in that order, which integer and real reads share. A 128-bit and
// wider integer is read as one object from that stack area, never from the registers. A format that
// reads at most 20 slots therefore reads only pointers from it in both calls: every integer-class read
// gets a valid pointer's bits, and every real read a double or a pointer's bits, which are a double too.
#define FUZZ_ARGS_C                                                                                          \
    P, P, P, P, P, P, P, P, P, P, P, P, P, P, P, P, P, P, P, P, P, P, P, P, D, D, D, D, D, D, D, D, D, D, D, \
        D, D, D, D, D
constexpr int SlotLimit = 20;

bool Fits(const char* format)
{
    int slots = 0;
    for (const char* p = format; *p;)
    {
        if (*p != '%')
        {
            p++;
            continue;
        }
        const tConversion conv = ParseConversion(p);
        p += conv.TextLength;
        if (conv.Row < 0 || conv.Row == tConversion::Percent)
            continue;
        slots += (conv.WidthFromArg ? 1 : 0) + (conv.PrecisionFromArg ? 1 : 0);
        const bool wide =
            conv.Length == tLengthModifier::Bits && conv.LengthBits > 64 && tTypeRow::IsInteger(conv.Row);
        slots += wide ? conv.LengthBits / 64 : 1;
    }
    return slots <= SlotLimit;
}

// Widths and precisions above FieldCap are cut to it, except in one input of 32 (the size bytes' top
// five bits set). Past the engine's exact texts (an integer's is at most 4096 characters, a real's
// exact digits end at its 1074th decimal) a larger field only adds fill, and one of 65536 characters,
// rendered a dozen times a run (sixteen times over for a matrix), costs that run hundreds of times
// what most formats do. The C-style call's '*' reads a pointer's low half, nearly always such a width:
// that call gets the number it would read, cut the same way. The rare uncut inputs keep the parse's
// saturation, the handlers' clamps and the '*' reads under the fuzzer.
constexpr int FieldCap = 8192;
const int StarValue = int(reinterpret_cast<uintptr_t>(P));

// Copies the number at text[i] to out, cut to FieldCap; leaves i past it. With starValue, a '*'
// there is replaced by starValue's number (none for a negative precision, which means "not given").
void CopyCappedNumber(const std::string& text, size_t& i, std::string& out, bool precision, bool replaceStar)
{
    if (replaceStar && i < text.size() && text[i] == '*')
    {
        i++;
        const long value = std::min(std::labs(long(StarValue)), long(FieldCap));
        if (StarValue >= 0 || !precision)
            out += (precision ? "." : StarValue < 0 ? "-" : "") + std::to_string(value);
        return;
    }
    if (precision)
        out += '.';
    const size_t first = i;
    long value = 0;
    for (; i < text.size() && tFormatParse::IsDigit(text[i]); i++)
        value = std::min(value * 10 + (text[i] - '0'), long(FieldCap) + 1);
    if (value > FieldCap)
        out += std::to_string(FieldCap);
    else
        out.append(text, first, i - first);
}

std::string CapFields(const std::string& format, bool replaceStars)
{
    std::string capped;
    for (size_t i = 0; i < format.size();)
    {
        if (format[i] != '%')
        {
            capped += format[i++];
            continue;
        }
        const size_t end = i + size_t(ParseConversion(format.c_str() + i).TextLength);
        capped += format[i++];
        while (i < end && tFormatParse::FlagOf(format[i]))
            capped += format[i++];
        CopyCappedNumber(format, i, capped, false, replaceStars);
        if (i < end && format[i] == '.')
            CopyCappedNumber(format, ++i, capped, true, replaceStars);
        capped.append(format, i, end - i);
        i = end;
    }
    return capped;
}

tAssertAnswer ReportIsAFinding(const char* text, const char*)
{
    std::fprintf(stderr, "a driver reached a report:\n%s", text);
    std::abort();
}

constexpr int GrownLimit = 1 << 14;

struct tWholeText
{
    std::unique_ptr<char[]> Chars;
    int Length;
};

// Checks one driver's forms against each other. The whole text is counted first, then written where
// nothing cuts it (a buffer with no limit, exactly one longer than the text for the terminator), and
// every other form is held against that.
template <typename tUnbounded, typename tBounded, typename tAppend>
tWholeText CheckForms(int size, const tUnbounded& unbounded, const tBounded& bounded, const tAppend& append)
{
    const int length = bounded(nullptr, 0);
    FUZZ_CHECK(length >= 0);
    tWholeText whole{std::unique_ptr<char[]>(new char[size_t(length) + 1]), length};
    FUZZ_CHECK(unbounded(whole.Chars.get()) == length);
    FUZZ_CHECK(whole.Chars[length] == 0);

    // A growing array takes the text a character at a time, which makes a long text cost a run many
    // times what the other forms do. Up to GrownLimit, past every integer's and every exact real's
    // text, it grows a few times (a fixed step far shorter than the text would cost time quadratic in
    // it); longer texts are fill, which the fixed array below and the other forms check as well.
    if (length <= GrownLimit)
    {
        tArray<char> grown(16, std::max(64, length / 4));
        FUZZ_CHECK(append(grown) == length);
        FUZZ_CHECK(grown.GetCount() == length);
        FUZZ_CHECK(length == 0 || std::memcmp(grown.GetStorage(), whole.Chars.get(), size_t(length)) == 0);
    }

    tArray<char> fixed(size, 0);
    FUZZ_CHECK(append(fixed) == length);
    FUZZ_CHECK(fixed.GetCount() == std::min(size, length));
    FUZZ_CHECK(fixed.GetCount() == 0 ||
               std::memcmp(fixed.GetStorage(), whole.Chars.get(), size_t(fixed.GetCount())) == 0);

    std::unique_ptr<char[]> buffer(new char[size_t(size) + 1]);
    std::memset(buffer.get(), '#', size_t(size) + 1);
    FUZZ_CHECK(bounded(size ? buffer.get() : nullptr, size) == length);
    if (size == 0)
    {
        FUZZ_CHECK(buffer[0] == '#');
        return whole;
    }
    const int kept = std::min(size - 1, length);
    FUZZ_CHECK(std::memcmp(buffer.get(), whole.Chars.get(), size_t(kept)) == 0);
    FUZZ_CHECK(buffer[kept] == 0);
    FUZZ_CHECK(buffer[size] == '#');
    return whole;
}

// The type-safe call's arguments, one of each kind it takes, made on the first run only.
struct tTypeSafeArgs
{
    tWideInt128 Wide128 = tWideInt128::FromText("-12345678901234567890123", 10);
    tWideInt512 Wide512 = tWideInt512::FromText("1", 10).ShiftLeft(500);
    tVector3 V3 = {1, -2, 3.5f};
    tQuaternion Q = {0, 0, 0, 1};
    tMatrix4 M4 = {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};
    tString Text{"text"};
    const char* None = nullptr;
    std::string Owned{"a\0b", 3};
    std::string_view View = std::string_view("view-and-more").substr(0, 4);
};
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    FuzzQuietReports();
    tSetAssertPrompt(&ReportIsAFinding);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2 || size > 300)
        return 0;
    const int bufferSize = (data[0] | (data[1] << 8)) % 600;
    const std::string written = FuzzCText(data + 2, size - 2);
    const bool uncut = data[1] >= 0xF8;
    const std::string format = uncut ? written : CapFields(written, false);
    const std::string cFormat = uncut ? written : CapFields(written, true);
    const char* f = format.c_str();

    static const tTypeSafeArgs a;
    const auto formatTo = [&](auto&&... dest)
    {
        return tFormat(dest..., f, -7, int64_t(1) << 40, 'c', 2.5, "abc", a.Text, a.Wide128, a.Wide512, a.V3,
                       a.Q, a.M4, &a.V3, a.None, a.Owned, a.View, tFuzzPair{-3, 4});
    };
    const tWholeText whole = CheckForms(
        bufferSize,
        [&](char* dest)
        {
            tPrintTarget target;
            target.Buffer = dest;
            formatTo(target);
            *target.Buffer = 0;
            return target.CharCount;
        },
        [&](char* dest, int n) { return formatTo(dest, size_t(n)); },
        [&](tArray<char>& dest) { return formatTo(dest); });
    std::string appended = "head";
    FUZZ_CHECK(formatTo(appended) == whole.Length);
    FUZZ_CHECK(appended.compare(4, std::string::npos, whole.Chars.get(), size_t(whole.Length)) == 0);

    const char* c = cFormat.c_str();
    if (Fits(c))
    {
        CheckForms(
            bufferSize, [&](char* dest) { return tsPrintf(dest, c, FUZZ_ARGS_C); },
            [&](char* dest, int n) { return tsnPrintf(dest, n, c, FUZZ_ARGS_C); },
            [&](tArray<char>& dest) { return taPrintf(dest, c, FUZZ_ARGS_C); });
    }
    return 0;
}
