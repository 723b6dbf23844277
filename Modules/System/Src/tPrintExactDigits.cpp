// Most printed values are moderate and short, and their digits come from 128-bit integer arithmetic
// (the short way, below). For the rest, std::to_chars with a precision gives the exact expansion,
// rounded once, but it breaks exact ties towards the even digit. A tie is cheap to recognise from the
// binary value, so only ties take a second conversion: one digit longer, which is then exact (the
// expansion ends there), rounded up by hand.
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

// |x| = Significand * 2^Exponent, the significand below 2^53 and 0 for a zero.
struct tBinary
{
    uint64_t Significand;
    int Exponent;
};

T_PRINT_INLINE tBinary Split(double x)
{
    uint64_t bits = 0;
    std::memcpy(&bits, &x, sizeof bits);
    const int biased = int((bits >> 52) & 0x7FF);
    const uint64_t fraction = bits & ((uint64_t(1) << 52) - 1);
    if (biased == 0)
        return {fraction, -1074};
    return {fraction | (uint64_t(1) << 52), biased - 1075};
}

tDyadic Decompose(double x)
{
    const tBinary b = Split(x);
    if (b.Significand == 0)
        return {0, 0, 0};
    const int zeros = LowestBit(b.Significand);
    return {b.Significand >> zeros, b.Exponent + zeros, b.Exponent + HighestBit(b.Significand)};
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

#if defined(__SIZEOF_INT128__)
// The short way: for the magnitudes and precisions of most printed values, |x| times a power of ten
// fits 128 bits exactly, so the rounded digits come from one multiplication and a shift (or one 64-bit
// division) instead of a std::to_chars call, and an exact tie rounds away from zero with no second
// look. Outside that range these give up, having written nothing, and the long way below takes over.
__extension__ typedef unsigned __int128 tUint128;

constexpr int MaxScale = 19;

// m * 2^e * 10^k rounded half up, for |k| up to MaxScale; false when it does not fit 64 bits or k is
// out of reach. Upwards the product has at most 117 bits and the bit below the cut decides the rounding;
// downwards the power of ten (shifted by -e) divides a value below 2^64.
T_PRINT_INLINE bool ScaledRound(uint64_t m, int e, int k, uint64_t& q)
{
    if (k > MaxScale || k < -MaxScale)
        return false;
    if (k >= 0)
    {
        const tUint128 n = tUint128(m) * PowersOfTen[k];
        if (e >= 0)
        {
            if (e >= 64 || (n >> (64 - e)) != 0)
                return false;
            q = uint64_t(n << e);
            return true;
        }
        const int s = -e;
        if (s >= 128)
        {
            q = 0; // n is below 2^117, so below half of 2^s
            return true;
        }
        const tUint128 rounded = (n >> s) + ((n >> (s - 1)) & 1);
        q = uint64_t(rounded);
        return (rounded >> 64) == 0;
    }
    uint64_t numerator = m;
    uint64_t divisor = PowersOfTen[-k];
    if (e >= 0)
    {
        if (m != 0 && HighestBit(m) + e >= 64)
            return false;
        numerator = m << e;
    }
    else
    {
        if (-e >= 64 || HighestBit(divisor) - e >= 64)
            return false;
        divisor <<= -e;
    }
    q = numerator / divisor;
    const uint64_t r = numerator - q * divisor;
    q += r >= divisor - r ? 1 : 0;
    return true;
}

// 10^0 to 10^38, every power of ten below 2^128.
constexpr int MaxWideScale = 38;

struct tWidePowers
{
    tUint128 Powers[MaxWideScale + 1];
};

constexpr tWidePowers MakeWidePowers()
{
    tWidePowers w{};
    w.Powers[0] = 1;
    for (int i = 1; i <= MaxWideScale; i++)
        w.Powers[i] = w.Powers[i - 1] * 10;
    return w;
}

constexpr tWidePowers WidePowersOfTen = MakeWidePowers();

// ScaledRound for |k| up to MaxWideScale and whole values below 2^127, which is what the exponent form
// needs for values from about 1e-34 to 1e38. Upwards the product takes three 64-bit limbs, downwards
// the quotient a 128-bit division: slower, so only for what ScaledRound cannot take.
bool WideScaledRound(uint64_t m, int e, int k, uint64_t& q)
{
    if (k > MaxWideScale || k < -MaxWideScale)
        return false;
    const tUint128 power = WidePowersOfTen.Powers[k >= 0 ? k : -k];
    tUint128 rounded = 0;
    if (k >= 0)
    {
        if (e >= 0)
            return false; // at least m * 10^k, past 2^64 wherever ScaledRound gave up
        const tUint128 low = tUint128(m) * uint64_t(power);
        const tUint128 high = tUint128(m) * uint64_t(power >> 64);
        const tUint128 middle = (low >> 64) + uint64_t(high);
        const uint64_t n[6] = {
            uint64_t(low), uint64_t(middle), uint64_t(high >> 64) + uint64_t(middle >> 64), 0, 0, 0};
        // The product shifted right by one place less than the cut: the quotient and the rounding bit.
        const int shift = -e - 1;
        if (shift >= 192)
        {
            q = 0; // the product is below 2^180
            return true;
        }
        const int word = shift / 64;
        const int bit = shift % 64;
        uint64_t t[3];
        for (int i = 0; i < 3; i++)
            t[i] = bit == 0 ? n[word + i] : (n[word + i] >> bit) | (n[word + i + 1] << (64 - bit));
        if (t[2] != 0)
            return false;
        const tUint128 halves = (tUint128(t[1]) << 64) | t[0];
        rounded = (halves >> 1) + (halves & 1);
    }
    else
    {
        // Here |x| is at least 10^20, so whole, e >= 0.
        if (e < 0 || HighestBit(m) + e >= 127)
            return false;
        const tUint128 numerator = tUint128(m) << e;
        const tUint128 quotient = numerator / power;
        const tUint128 r = numerator - quotient * power;
        rounded = quotient + (r >= power - r ? 1 : 0);
    }
    q = uint64_t(rounded);
    return (rounded >> 64) == 0;
}

// n digits of v, leading zeros included, ending at end.
T_PRINT_INLINE char* PutPaddedDigits(uint64_t v, int n, char* end)
{
    char* const first = end - n;
    char* p = PutDecimalDigits(v, end);
    while (p > first)
        *--p = '0';
    return first;
}

// The longest fixed text of the short way: 20 whole digits, the point and the decimals.
constexpr long long ShortFixedRoom(int decimals)
{
    return 20 + 1 + decimals;
}

char* FixedByIntegers(char* first, const char* last, double x, int decimals)
{
    if (decimals > MaxScale || last - first < ShortFixedRoom(decimals))
        return nullptr;
    const tBinary b = Split(x);
    uint64_t whole = 0;
    uint64_t fraction = 0;
    if (b.Exponent >= 0)
    {
        if (b.Exponent >= 64 || HighestBit(b.Significand) + b.Exponent >= 64)
            return nullptr;
        whole = b.Significand << b.Exponent;
    }
    else
    {
        const int s = -b.Exponent;
        whole = s < 64 ? b.Significand >> s : 0;
        const uint64_t below = s < 64 ? b.Significand & ((uint64_t(1) << s) - 1) : b.Significand;
        // The decimals of a fraction below 1 always fit, and round at most up to 10^decimals.
        ScaledRound(below, b.Exponent, decimals, fraction);
        if (fraction == PowersOfTen[decimals])
        {
            fraction = 0;
            whole++;
        }
    }
    char* p = first;
    if (whole == 0)
        *p++ = '0';
    else
    {
        p += DecimalDigitCount(whole);
        PutDecimalDigits(whole, p);
    }
    if (decimals == 0)
        return p;
    *p++ = '.';
    return PutPaddedDigits(fraction, decimals, p + decimals) + decimals;
}

// The digits are the value scaled to decimals + 1 whole digits and rounded. The binade gives the
// decimal exponent or one less; a scaled value of more digits than that moves the exponent up, and one
// that rounds up to exactly 10^(decimals + 1) is 1 followed by zeros in the next decade.
char* ExponentByIntegers(char* first, const char* last, double x, int decimals, bool keepPoint)
{
    if (decimals > 17 || last - first < ExactExponentRoom(decimals))
        return nullptr;
    const tBinary b = Split(x);
    uint64_t q = 0;
    int exp10 = 0;
    if (b.Significand != 0)
    {
        exp10 = int(FloorLog10OfPowerOfTwo(b.Exponent + HighestBit(b.Significand)));
        for (int tries = 0;; tries++)
        {
            const int k = decimals - exp10;
            if (tries == 3 || !(ScaledRound(b.Significand, b.Exponent, k, q) ||
                                WideScaledRound(b.Significand, b.Exponent, k, q)))
                return nullptr;
            if (q <= PowersOfTen[decimals + 1])
                break;
            exp10++;
        }
        if (q == PowersOfTen[decimals + 1])
        {
            q = PowersOfTen[decimals];
            exp10++;
        }
    }
    // The digits go one place to the right, and the first moves back in front of the point.
    PutPaddedDigits(q, decimals + 1, first + decimals + 2);
    first[0] = first[1];
    char* p = first + 1;
    if (decimals > 0 || keepPoint)
        *p++ = '.';
    return PutExponent(p + decimals, last, exp10);
}
#else
char* FixedByIntegers(char*, const char*, double, int)
{
    return nullptr;
}

char* ExponentByIntegers(char*, const char*, double, int, bool)
{
    return nullptr;
}
#endif

} // namespace

char* WriteExactFixed(char* first, char* last, double x, int decimals)
{
    x = std::fabs(x); // -0.0 included: the sign is the caller's
    if (!first || decimals < 0)
        return nullptr;
    if (char* end = FixedByIntegers(first, last, x, decimals))
        return end;
    if (IsTieAt(Decompose(x), -decimals))
        return WriteFixedTie(first, last, x, decimals);
    const std::to_chars_result r = std::to_chars(first, last, x, std::chars_format::fixed, decimals);
    return r.ec == std::errc() ? r.ptr : nullptr;
}

char* WriteExactExponent(char* first, char* last, double x, int decimals, bool keepPoint)
{
    x = std::fabs(x);
    if (!first || decimals < 0)
        return nullptr;
    if (char* end = ExponentByIntegers(first, last, x, decimals, keepPoint))
        return end;
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
