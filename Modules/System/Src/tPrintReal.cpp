// The real-number handlers' digits and forms: fixed, exponent and general, and the non-finite texts.
#include "tPrintDetail.h"

#include <cmath>

namespace tPrintDetail
{
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

// Runs write(scratch) with the handler's scratch: on the stack when the precision's longest text fits
// there, else a growable array.
template <typename tWrite> void WithRealScratch(const tFormatSpec& spec, const tWrite& write)
{
    WithScratch<SmallRealText>(RealPrecision(spec) <= MaxStackPrecision, SmallRealText, 64, 32, write);
}

template <typename tText> void PutText(tPrintTarget& target, tText& text, int from)
{
    target.Put(text.GetStorage() + from, text.GetCount() - from);
}

template <typename tOut> bool AppendNonFinite(tOut& out, double x)
{
    // Indexed by tRealClass.
    static const char* const texts[] = {nullptr, "nan(snan)", "-nan(snan)", "nan",
                                        "-nan",  "-nan(ind)", "inf",        "-inf"};
    static_assert(sizeof texts / sizeof texts[0] == int(tRealClass::NegInfinity) + 1, "one text per class");
    const char* text = texts[int(ClassifyReal(x))];
    if (!text)
        return false;
    out.Append(text, int(std::strlen(text)));
    return true;
}

// ---- Digits

// The mantissa and exponent of a finite a >= 0 in exponent form, appended to text: precision digits
// after the point, or with generalMantissa precision digits in all, the last one rounded from the
// digits that follow it.
template <typename tText>
void AppendExponentDigits(tText& text, double absolute, int precision, bool generalMantissa)
{
    double a = 0.0;
    int exp10 = NormalizeDecimal(absolute, a);

    double power = 1.0;
    for (int i = 0; i < precision && power <= 1e300; i++)
        power *= 10.0;
    a += 0.5 / power;
    if (a >= 10)
    {
        a /= 10;
        exp10++;
    }

    const int start = text.GetCount();
    ReserveRun(text, (long long)precision + 8);
    if (!generalMantissa || precision == 0)
    {
        // Precision 0 gives the leading digit alone, as C does, rather than a bare exponent.
        int d = DigitOf(a);
        a = (a - d) * 10;
        text.Append(char('0' + d));
        if (precision > 0)
            text.Append('.');
        for (int i = 0; !generalMantissa && i < precision; i++)
        {
            d = DigitOf(a);
            a = (a - d) * 10;
            text.Append(char('0' + d));
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
            text.Append(char('0' + d));
            if (i == 0)
                text.Append('.');
        }
        // Carrying out of the leading digit leaves all zeros, which become 1.000 one decade up.
        if (roundUp && RoundUpThroughNines(text.GetStorage() + start, text.GetCount() - start))
        {
            text.GetStorage()[start] = '1';
            exp10++;
        }
    }

    const int magnitude = exp10 < 0 ? -exp10 : exp10;
    text.Append('e');
    text.Append(exp10 >= 0 ? '+' : '-');
    if (magnitude >= 100)
        text.Append(char('0' + magnitude / 100));
    text.Append(char('0' + magnitude / 10 % 10));
    text.Append(char('0' + magnitude % 10));
}

// The digits of a finite a >= 0 in fixed form, appended to digits behind a spare leading "0" that
// takes a carry out of the first digit, and rounded: precision digits after the point, or with
// significantMode precision significant digits in all.
template <typename tDigits>
void AppendFixedDigitText(tDigits& digits, double a, int precision, bool significantMode)
{
    // 309 integer digits at most.
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

    // Stops at the spare "0" at the latest, since only a "9" passes the carry on.
    a *= 10;
    if (a >= 5)
        RoundUpThroughNines(digits.GetStorage(), digits.GetCount());
}

// ---- Forms

tPendingSign PendingSignOf(char sign)
{
    return sign == '-'   ? tPendingSign::Minus
           : sign == '+' ? tPendingSign::Plus
           : sign == ' ' ? tPendingSign::Space
                         : tPendingSign::None;
}

// The fixed form's text of x appended to out, and the sign the caller still owes: without ZeroPad only
// a space sign is owed, the others go in front of the digits here.
template <typename tOut, typename tDigits>
tPendingSign AppendFixedDigitsUsing(tOut& out, tDigits& digits, const tFormatSpec& spec, double x,
                                    bool significantMode)
{
    // The handlers never pass a non-finite value; a direct caller gets its text rather than a scan that
    // cannot end.
    if (AppendNonFinite(out, x))
        return tPendingSign::NotFinite;

    tPendingSign sign = PendingSignOf(SignOf(x < 0, spec.Flags));
    AppendFixedDigitText(digits, x < 0 ? -x : x, RealPrecision(spec), significantMode);
    const char* text = digits.GetStorage();
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

// The digits go to a stack buffer when the longest run of the precision fits it.
template <typename tOut>
tPendingSign AppendFixedDigits(tOut& out, const tFormatSpec& spec, double x, bool significantMode)
{
    tPendingSign sign = tPendingSign::None;
    WithRealScratch(spec, [&](auto& digits)
                    { sign = AppendFixedDigitsUsing(out, digits, spec, x, significantMode); });
    return sign;
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
// grows to the precision, so no precision writes past a buffer.
template <typename tText>
void PutExponentForm(tPrintTarget& target, const tFormatSpec& spec, tText& scratch, double x,
                     bool generalMantissa)
{
    const bool negative = x < 0;
    const int start = scratch.GetCount();
    AppendExponentDigits(scratch, negative ? -x : x, RealPrecision(spec), generalMantissa);

    // Sign and zero fill. Fill is capped at 16 characters, and without ZeroPad there is none at all;
    // with ZeroPad a space sign is not printed.
    char prefix[17];
    int numPrefix = 0;
    char sign = SignOf(negative, spec.Flags);
    if (!(spec.Flags & tFormatFlag::ZeroPad))
    {
        if (sign)
            prefix[numPrefix++] = sign;
    }
    else
    {
        if (sign == ' ')
            sign = 0;
        const long long zeros = std::min<long long>((long long)spec.Width - (scratch.GetCount() - start), 16);
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
} // namespace
} // namespace tPrintDetail

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

bool WriteNonFinite(tArray<char>& out, double x)
{
    return tPrintDetail::AppendNonFinite(out, x);
}

tPendingSign WriteFixedDigits(tArray<char>& out, const tFormatSpec& spec, double x, bool significantMode)
{
    return tPrintDetail::AppendFixedDigits(out, spec, x, significantMode);
}

namespace tPrintDetail
{
namespace
{
void PutFixedForm(tPrintTarget& target, const tFormatSpec& spec, double x, bool significantMode)
{
    WithRealScratch(spec,
                    [&](auto& scratch)
                    {
                        const tPendingSign code = AppendNonFinite(scratch, x)
                                                      ? tPendingSign::NotFinite
                                                      : AppendFixedDigits(scratch, spec, x, significantMode);
                        PutFixedField(target, spec, scratch, code);
                    });
}

// Only the exponent form's text is filled; a non-finite text prints bare.
void PutExponentField(tPrintTarget& target, const tFormatSpec& spec, double x, bool generalMantissa)
{
    WithRealScratch(spec,
                    [&](auto& scratch)
                    {
                        if (AppendNonFinite(scratch, x))
                            PutText(target, scratch, 0);
                        else
                            PutExponentForm(target, spec, scratch, x, generalMantissa);
                    });
}
} // namespace

void PrintFixed(tPrintTarget& target, const tFormatSpec& spec, double x)
{
    PutFixedForm(target, spec, x, false);
}

void PrintExponent(tPrintTarget& target, const tFormatSpec& spec, double x)
{
    PutExponentField(target, spec, x, false);
}

void PrintGeneral(tPrintTarget& target, const tFormatSpec& spec, double x)
{
    // Compared with the sign, so every negative value, and negative infinity, takes the fixed form.
    if (std::pow(10.0, RealPrecision(spec)) > x)
        PutFixedForm(target, spec, x, true);
    else
        PutExponentField(target, spec, x, true);
}
} // namespace tPrintDetail
