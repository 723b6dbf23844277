// std::to_chars with a precision gives the exact expansion, rounded once, but it breaks exact ties
// towards the even digit. A tie is cheap to recognise from the binary value, so only ties take a second
// conversion: one digit longer, which is then exact (the expansion ends there), rounded up by hand.
#include "tPrintExactDigits.h"

#include "tPrintDetail.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace tPrintDetail
{
namespace
{
// |x| = Odd * 2^Exponent with Odd odd, and |x| in [2^Top, 2^(Top + 1)); Odd = 0 for a zero.
struct tDyadic
{
    uint64_t Odd;
    int Exponent;
    int Top;
};

int HighestBit(uint64_t v)
{
#if defined(__GNUC__)
    return 63 - __builtin_clzll(v);
#else
    int bit = 0;
    while (v >>= 1)
        bit++;
    return bit;
#endif
}

int LowestBit(uint64_t v)
{
#if defined(__GNUC__)
    return __builtin_ctzll(v);
#else
    int bit = 0;
    while (((v >> bit) & 1) == 0)
        bit++;
    return bit;
#endif
}

tDyadic Decompose(double x)
{
    uint64_t bits = 0;
    std::memcpy(&bits, &x, sizeof bits);
    const int biased = int((bits >> 52) & 0x7FF);
    uint64_t significand = bits & ((uint64_t(1) << 52) - 1);
    int exponent = -1074;
    if (biased != 0)
    {
        significand |= uint64_t(1) << 52;
        exponent = biased - 1075;
    }
    if (significand == 0)
        return {0, 0, 0};
    const int zeros = LowestBit(significand);
    return {significand >> zeros, exponent + zeros, exponent + HighestBit(significand)};
}

// True when |x| lies exactly halfway between two multiples of 10^place, that is when 2|x| / 10^place is
// an odd whole number: then Odd * 2^(Exponent + 1 - place) / 5^place is odd, which needs the power of
// two to vanish and, for a positive place, Odd to be a multiple of 5^place. Odd is below 2^53, so no
// place above 22 qualifies.
bool IsTieAt(const tDyadic& d, int place)
{
    if (d.Odd == 0 || d.Exponent != place - 1)
        return false;
    if (place <= 0)
        return true;
    if (place > 22)
        return false;
    uint64_t fivePower = 1;
    for (int i = 0; i < place; i++)
        fivePower *= 5;
    return d.Odd % fivePower == 0;
}

// floor(log10(2^n)), or one less near a whole number, for |n| up to 1100: 78913 / 2^18 is log10(2)
// rounded down. Whole-number arithmetic, since floor on a double is a library call on plain x86-64.
long long FloorLog10OfPowerOfTwo(int n)
{
    const long long scaled = (long long)n * 78913;
    return scaled >= 0 ? scaled / 262144 : -((-scaled + 262143) / 262144);
}

char* PutExponent(char* p, const char* last, int exp10)
{
    const int magnitude = exp10 < 0 ? -exp10 : exp10;
    if (last - p < 5)
        return nullptr;
    *p++ = 'e';
    *p++ = exp10 < 0 ? '-' : '+';
    if (magnitude >= 100)
        *p++ = char('0' + magnitude / 100);
    *p++ = char('0' + magnitude / 10 % 10);
    *p++ = char('0' + magnitude % 10);
    return p;
}

// Copies [text, end) to first if it fits before last.
char* CopyOut(const char* text, const char* end, char* first, const char* last)
{
    if (!end || end - text > last - first)
        return nullptr;
    std::memcpy(first, text, size_t(end - text));
    return first + (end - text);
}

// A tie needs the value's fractional bits to end one place past the cut, so at most 1074 decimals,
// and such a value is below 2^53: its text, one digit longer, fits here.
constexpr int FixedTieText = 16 + 1 + 1075 + 1;

// A tie in the exponent form leaves decimals + 2 significant digits, and no double has more than 767.
constexpr int ExponentTieText = 1 + 1 + 766 + 5 + 1;

// The tie: one digit more is the end of the exact expansion, a 5, so to_chars does not round; the cut
// then rounds up by hand. Built aside, so that nothing past the final text is written.
char* WriteFixedTie(char* first, const char* last, double x, int decimals)
{
    char text[FixedTieText];
    // The spare '0' in front takes a carry out of the first digit.
    text[0] = '0';
    const std::to_chars_result r =
        std::to_chars(text + 1, text + sizeof text, x, std::chars_format::fixed, decimals + 1);
    if (r.ec != std::errc())
        return nullptr;
    char* end = r.ptr - (decimals == 0 ? 2 : 1); // the final 5, and a point with nothing left behind it
    RoundUpThroughNines(text, int(end - text));
    const char* start = text[0] == '0' ? text + 1 : text;
    return CopyOut(start, end, first, last);
}

char* WriteExponentTie(char* first, const char* last, double x, int decimals, int exp10, bool addPoint)
{
    char text[ExponentTieText];
    const std::to_chars_result r =
        std::to_chars(text, text + sizeof text, x, std::chars_format::scientific, decimals + 1);
    if (r.ec != std::errc())
        return nullptr;
    char* mantissaEnd = text + 1 + (decimals > 0 ? 1 + decimals : 0);
    if (RoundUpThroughNines(text, int(mantissaEnd - text)))
    {
        text[0] = '1';
        exp10++;
    }
    if (addPoint)
        *mantissaEnd++ = '.';
    return CopyOut(text, PutExponent(mantissaEnd, text + sizeof text, exp10), first, last);
}
// The exponent of a text that ends in 'e', the exponent's sign and two or three digits.
int ReadExponent(const char* end)
{
    const char* sign = end[-3] == '+' || end[-3] == '-' ? end - 3 : end - 4;
    int exp10 = 0;
    for (const char* p = sign + 1; p != end; ++p)
        exp10 = exp10 * 10 + (*p - '0');
    return *sign == '-' ? -exp10 : exp10;
}

// g's one-digit mantissa keeps its point: "1.e+05". [first, end) holds a text without it.
char* InsertPoint(char* first, char* end, const char* last)
{
    if (last - end < 1)
        return nullptr;
    std::memmove(first + 2, first + 1, size_t(end - first - 1));
    first[1] = '.';
    return end + 1;
}

// A possible tie leaves at most 310 + 1074 decimals (the cut lies at the value's lowest set bit, no
// lower than 2^-1074, and the exponent is at most 308), so its first text fits here.
constexpr int MayTieText = 1 + 1 + 1384 + 5 + 1;
} // namespace

char* WriteExactFixed(char* first, char* last, double x, int decimals)
{
    x = std::fabs(x); // -0.0 included: the sign is the caller's
    if (decimals < 0)
        return nullptr;
    if (IsTieAt(Decompose(x), -decimals))
        return WriteFixedTie(first, last, x, decimals);
    const std::to_chars_result r = std::to_chars(first, last, x, std::chars_format::fixed, decimals);
    return r.ec == std::errc() ? r.ptr : nullptr;
}

char* WriteExactExponent(char* first, char* last, double x, int decimals, bool keepPoint)
{
    x = std::fabs(x);
    if (decimals < 0)
        return nullptr;
    const bool addPoint = keepPoint && decimals == 0;

    // A tie puts the cut at place Exponent + 1, so exp10 must be Exponent + 1 + decimals; the binade pins
    // exp10 to floor(Top * log10(2)) or one more, which rules out most values before any text is made.
    const tDyadic d = Decompose(x);
    const long long tieExp10 = (long long)d.Exponent + 1 + decimals;
    const long long binadeExp10 = FloorLog10OfPowerOfTwo(d.Top);
    const bool mayTie = d.Odd != 0 && tieExp10 >= binadeExp10 - 1 && tieExp10 <= binadeExp10 + 2;
    if (!mayTie)
    {
        const std::to_chars_result r = std::to_chars(first, last, x, std::chars_format::scientific, decimals);
        if (r.ec != std::errc())
            return nullptr;
        return addPoint ? InsertPoint(first, r.ptr, last) : r.ptr;
    }

    // The text is made aside, since a tie that carries into the next decade can shorten the exponent
    // ("e-100" to "e-99"), and nothing past the final text may be written.
    char text[MayTieText];
    const std::to_chars_result r =
        std::to_chars(text, text + sizeof text, x, std::chars_format::scientific, decimals);
    if (r.ec != std::errc())
        return nullptr;
    // When to_chars has rounded a tie up into the next decade, the cut lies one place lower than
    // exp10 - decimals; the value is then no multiple of a half unit at that place, so the test below
    // cannot mistake it for a tie. Ties it rounded down never cross a decade.
    const int exp10 = ReadExponent(r.ptr);
    if (IsTieAt(d, exp10 - decimals))
        return WriteExponentTie(first, last, x, decimals, exp10, addPoint);
    char* end = addPoint ? InsertPoint(text, r.ptr, text + sizeof text) : r.ptr;
    return CopyOut(text, end, first, last);
}

int WholeDigitCount(double x)
{
    if (x < 0)
        x = -x;
    if (x < 1)
        return 0;
    // Below 2^53 the whole part converts exactly; from there on every double is whole, and its digits
    // are counted from its exact text.
    if (x < 9007199254740992.0)
        return DecimalDigitCount(uint64_t(x));
    char text[320];
    const std::to_chars_result r = std::to_chars(text, text + sizeof text, x, std::chars_format::fixed, 0);
    return r.ec == std::errc() ? int(r.ptr - text) : 309;
}
} // namespace tPrintDetail
