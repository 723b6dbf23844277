// Both drivers with fuzzed formats and fixed arguments. For each, the output is rendered whole into a
// growable array, counted without a destination, and cut into a buffer and into a fixed-capacity array
// of a fuzzed size: the counts must agree, the bounded forms must return the whole length, and what
// they kept must be the longest prefix of the whole text that fits. No format may reach an assertion
// report: the drivers never stop a program on what a format or an argument value holds.
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

// Arguments the C-style call passes: 24 pointers then 16 doubles. On the ABIs the fuzzer runs on
// (x86-64, AArch64) each argument takes one 8-byte slot, in a register or, past the registers, in one
// stack area that integer and real reads share. A format that reads at most 24 slots (a wide integer
// one per 8 bytes) therefore reads only the first 18 stack slots, all pointers: every integer-class
// read gets a valid pointer, and every real read a double or a pointer's bits, which are a double too.
#define FUZZ_ARGS_C                                                                                          \
    P, P, P, P, P, P, P, P, P, P, P, P, P, P, P, P, P, P, P, P, P, P, P, P, D, D, D, D, D, D, D, D, D, D, D, \
        D, D, D, D, D
constexpr int SlotLimit = 24;

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

tAssertAnswer ReportIsAFinding(const char* text, const char*)
{
    std::fprintf(stderr, "a driver reached a report:\n%s", text);
    std::abort();
}

// Checks one driver: whole is what the unbounded form appended to its array.
template <typename tBounded, typename tAppend>
void CheckBounded(const tArray<char>& whole, int wholeLength, int size, const tBounded& bounded,
                  const tAppend& append)
{
    FUZZ_CHECK(whole.GetCount() == wholeLength);
    tArray<char> fixed(size, 0);
    FUZZ_CHECK(append(fixed) == wholeLength);
    FUZZ_CHECK(fixed.GetCount() == std::min(size, wholeLength));
    FUZZ_CHECK(fixed.GetCount() == 0 ||
               std::memcmp(fixed.GetStorage(), whole.GetStorage(), size_t(fixed.GetCount())) == 0);
    FUZZ_CHECK(bounded(nullptr, 0) == wholeLength);
    std::unique_ptr<char[]> buffer(new char[size_t(size) + 1]);
    std::memset(buffer.get(), '#', size_t(size) + 1);
    FUZZ_CHECK(bounded(size ? buffer.get() : nullptr, size) == wholeLength);
    if (size == 0)
    {
        FUZZ_CHECK(buffer[0] == '#');
        return;
    }
    const int kept = std::min(size - 1, wholeLength);
    FUZZ_CHECK(std::memcmp(buffer.get(), whole.GetStorage(), size_t(kept)) == 0);
    FUZZ_CHECK(buffer[kept] == 0);
    FUZZ_CHECK(buffer[size] == '#');
}
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
    const std::string format = FuzzCText(data + 2, size - 2);
    const char* f = format.c_str();

    const tWideInt128 wide128 = tWideInt128::FromText("-12345678901234567890123", 10);
    const tWideInt512 wide512 = tWideInt512::FromText("1", 10).ShiftLeft(500);
    const tVector3 v3 = {1, -2, 3.5f};
    const tQuaternion q = {0, 0, 0, 1};
    const tMatrix4 m4 = {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};
    const tString text("text");
    const char* const none = nullptr;
    const std::string owned("a\0b", 3);
    const std::string_view view = std::string_view("view-and-more").substr(0, 4);
    const auto formatTo = [&](auto&&... dest)
    {
        return tFormat(dest..., f, -7, int64_t(1) << 40, 'c', 2.5, "abc", text, wide128, wide512, v3, q, m4,
                       &v3, none, owned, view, tFuzzPair{-3, 4});
    };
    tArray<char> whole(64, 1 << 16);
    const int length = formatTo(whole);
    CheckBounded(
        whole, length, bufferSize, [&](char* dest, int n) { return formatTo(dest, size_t(n)); },
        [&](tArray<char>& dest) { return formatTo(dest); });
    std::string appended = "head";
    FUZZ_CHECK(formatTo(appended) == length);
    FUZZ_CHECK(appended.compare(4, std::string::npos, whole.GetStorage(), size_t(length)) == 0);

    if (Fits(f))
    {
        tArray<char> cWhole(64, 1 << 16);
        const int cLength = taPrintf(cWhole, f, FUZZ_ARGS_C);
        CheckBounded(
            cWhole, cLength, bufferSize,
            [&](char* dest, int n) { return tsnPrintf(dest, n, f, FUZZ_ARGS_C); },
            [&](tArray<char>& dest) { return taPrintf(dest, f, FUZZ_ARGS_C); });
    }
    return 0;
}
