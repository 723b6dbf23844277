// The real-number handlers' forms: fixed, exponent and general, and the non-finite texts. The digits
// are the exact expansion of the double (tPrintExactDigits.h); this unit places the sign and the fill
// around them. RealSign and LayOutReal decide those for every path, and the paths differ only in where
// the text is written: straight into a buffer with no limit, or through the target's Put.
#include "tPrintDetail.h"
#include "tPrintExactDigits.h"

#include <cmath>

namespace tPrintDetail
{
namespace
{
// Precisions above this are treated as this. A double has no non-zero digit past its 1074th decimal
// place, so the cap never drops a digit that means anything; it keeps one call's time bounded.
const int MaxRealPrecision = 65536;

int RealPrecision(const tFormatSpec& spec)
{
    if (spec.Precision < 0)
        return DefaultPrecision;
    return spec.Precision < MaxRealPrecision ? spec.Precision : MaxRealPrecision;
}

// The text of a NaN or an infinity, null for a finite x: the case kept cheap.
const char* NonFiniteText(double x)
{
    if (std::isfinite(x))
        return nullptr;
    // Indexed by tRealClass.
    static const char* const texts[] = {nullptr, "nan(snan)", "-nan(snan)", "nan",
                                        "-nan",  "-nan(ind)", "inf",        "-inf"};
    static_assert(sizeof texts / sizeof texts[0] == int(tRealClass::NegInfinity) + 1, "one text per class");
    return texts[int(ClassifyReal(x))];
}

// 10^n as g's choice of form compares it: exact up to 10^22, the library's pow beyond.
double TenToThe(int n)
{
    static const double exact[23] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                     1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    return n <= 22 ? exact[n] : std::pow(10.0, n);
}

enum class tRealForm
{
    Fixed,
    Exponent,
};

// What the digits of a finite value are made of. g's exponent form has precision digits in all, so
// one decimal fewer, and keeps its point when no decimal follows it ("1.e+05"); its fixed form counts
// the whole digits towards the precision, and only what is left goes after the point.
struct tRealDigits
{
    tRealForm Form;
    int Decimals;
    bool KeepPoint;
};

T_PRINT_INLINE tRealDigits FixedDigits(const tFormatSpec& spec, double x, bool significant)
{
    const int precision = RealPrecision(spec);
    return {tRealForm::Fixed, significant ? std::max(precision - WholeDigitCount(x), 0) : precision, false};
}

T_PRINT_INLINE tRealDigits ExponentDigits(const tFormatSpec& spec, bool general)
{
    const int precision = RealPrecision(spec);
    const bool shorter = general && precision > 0;
    return {tRealForm::Exponent, shorter ? precision - 1 : precision, shorter};
}

// The longest text of those digits, sign left out.
T_PRINT_INLINE long long TextRoom(const tRealDigits& d)
{
    return d.Form == tRealForm::Fixed ? ExactFixedRoom(d.Decimals) : ExactExponentRoom(d.Decimals);
}

// Writes the digits of |x| at first, no further than last; returns their end.
T_PRINT_INLINE char* WriteDigits(char* first, char* last, double x, const tRealDigits& d)
{
    char* end = d.Form == tRealForm::Fixed ? WriteExactFixed(first, last, x, d.Decimals)
                                           : WriteExactExponent(first, last, x, d.Decimals, d.KeepPoint);
    return end ? end : first;
}

// The sign of a finite value: '-' below zero (so not for -0.0), else '+' or ' ' as the flags ask. The
// exponent form drops a space sign when it fills with zeros.
T_PRINT_INLINE char RealSign(const tFormatSpec& spec, tRealForm form, double x)
{
    const char sign = SignOf(x < 0, spec.Flags);
    const bool zeroPad = (spec.Flags & tFormatFlag::ZeroPad) != 0;
    return form == tRealForm::Exponent && zeroPad && sign == ' ' ? 0 : sign;
}

// A real field around its text: spaces, the sign, zeros, the text, spaces.
struct tRealLayout
{
    int FillBefore;
    char Sign;
    int Zeros;
    int FillAfter;
};

// The fixed form fills to Width: with ZeroPad the zeros go between the sign and the digits, otherwise
// spaces go around the whole text, behind it with LeftAlign. The exponent form has no fill but up to
// 16 zeros with ZeroPad, the sign taking the first of them, and ignores LeftAlign. A non-finite text
// (finite false, sign 0) has its own sign and takes spaces only, and only in the fixed form.
T_PRINT_INLINE tRealLayout LayOutReal(const tFormatSpec& spec, tRealForm form, char sign, bool finite,
                                      long long textLength)
{
    tRealLayout f{0, sign, 0, 0};
    const long long signLength = sign ? 1 : 0;
    const bool zeroPad = finite && (spec.Flags & tFormatFlag::ZeroPad);
    if (form == tRealForm::Exponent)
    {
        if (zeroPad)
            f.Zeros = int(std::max(std::min((long long)spec.Width - textLength, 16LL) - signLength, 0LL));
        return f;
    }
    // At most Width characters, which is an int.
    const int fill = int(std::max((long long)spec.Width - textLength - signLength, 0LL));
    if (spec.Flags & tFormatFlag::LeftAlign)
        f.FillAfter = fill;
    else if (zeroPad)
        f.Zeros = fill;
    else
        f.FillBefore = fill;
    return f;
}

// The field in the caller's buffer, from the text already written at [text, end) with the sign's room
// in front of it at out: the text moves right only when fill or zeros go ahead of it.
T_PRINT_INLINE char* PlaceField(char* out, const tRealLayout& f, char* text, char* end)
{
    const int n = int(end - text);
    char* const at = out + f.FillBefore + (f.Sign ? 1 : 0) + f.Zeros;
    if (at != text)
        std::memmove(at, text, size_t(n));
    char* p = PutChars(out, ' ', f.FillBefore);
    if (f.Sign)
        *p++ = f.Sign;
    PutChars(p, '0', f.Zeros);
    return PutChars(at + n, ' ', f.FillAfter);
}

// count copies of c through the target, in the runs PadBefore delivers.
void PutRun(tPrintTarget& target, char c, int count)
{
    tFormatSpec run;
    run.Flags = c == '0' ? uint32_t(tFormatFlag::ZeroPad) : 0u;
    run.Width = count;
    target.PadBefore(0, run);
}

// Texts from WithLongText are at most this long: a double's exact expansion is never longer. Room for
// a sign and 16 zeros is left in front of them.
constexpr int MaxExactDecimals = 1074;   // below 2^-1074 every digit is 0
constexpr int MaxExactSignificant = 767; // no double has more significant digits
constexpr int LongTextFront = 17;
constexpr long long LongText = LongTextFront + 309 + 1 + MaxExactDecimals;

// Runs use(text, end, zeros, tail) with the digits of |x| made on the stack whatever the precision: past
// the exact expansion every digit is 0, so the digits stop there, and the zeros still owed go at tail,
// which is the exponent part in the exponent form and end in the fixed form.
template <typename tUse> void WithLongText(double x, tRealDigits d, const tUse& use)
{
    const int cap = d.Form == tRealForm::Fixed ? MaxExactDecimals : MaxExactSignificant - 1;
    const int zeros = std::max(d.Decimals - cap, 0);
    d.Decimals -= zeros;
    char buffer[LongText];
    char* const text = buffer + LongTextFront;
    char* const end = WriteDigits(text, buffer + sizeof buffer, x, d);
    char* tail = end;
    if (zeros > 0 && d.Form == tRealForm::Exponent)
    {
        // The exponent part starts at the last 'e'.
        for (char* p = end; p > text; --p)
        {
            if (p[-1] == 'e')
            {
                tail = p - 1;
                break;
            }
        }
    }
    use(text, end, zeros, tail);
}

// A finite value's field through the target. The sign and the exponent form's zeros are put in front
// of the text, so that it all goes in one run as it always did (a fixed-capacity Array keeps runs
// whole or not at all); the fixed form's zeros, which can be many, go in runs of their own.
T_PRINT_OUT_OF_LINE void PutRealThroughTarget(tPrintTarget& target, const tFormatSpec& spec, double x,
                                              const tRealDigits& d, char sign)
{
    WithLongText(x, d,
                 [&](char* text, char* end, int zeros, char* tail)
                 {
                     const tRealLayout f = LayOutReal(spec, d.Form, sign, true, (end - text) + zeros);
                     PutRun(target, ' ', f.FillBefore);
                     char* p = text;
                     if (d.Form == tRealForm::Fixed && f.Zeros > 0)
                     {
                         if (f.Sign)
                             target.Put(f.Sign);
                         PutRun(target, '0', f.Zeros);
                     }
                     else
                     {
                         p -= f.Zeros; // at most 16, in the exponent form
                         PutChars(p, '0', f.Zeros);
                         if (f.Sign)
                             *--p = f.Sign;
                     }
                     target.Put(p, int(tail - p));
                     PutRun(target, '0', zeros);
                     target.Put(tail, int(end - tail));
                     PutRun(target, ' ', f.FillAfter);
                 });
}

void PutNonFinite(tPrintTarget& target, const tFormatSpec& spec, tRealForm form, const char* text)
{
    const int n = tTextLength(text);
    const tRealLayout f = LayOutReal(spec, form, 0, false, n);
    PutRun(target, ' ', f.FillBefore);
    target.Put(text, n);
    PutRun(target, ' ', f.FillAfter);
}

// Straight into the caller's buffer when the target allows the longest field (the fill is at most
// Width, or 16 zeros), else through Put.
void PutReal(tPrintTarget& target, const tFormatSpec& spec, double x, const tRealDigits& d)
{
    if (const char* text = NonFiniteText(x))
    {
        PutNonFinite(target, spec, d.Form, text);
        return;
    }
    const char sign = RealSign(spec, d.Form, x);
    const long long room = TextRoom(d);
    const int signLength = sign ? 1 : 0;
    if (char* out = DirectBuffer(target, signLength + room + std::max(spec.Width, 16)))
    {
        char* const text = out + signLength;
        char* const end = WriteDigits(text, text + room, x, d);
        AdvanceDirect(target, PlaceField(out, LayOutReal(spec, d.Form, sign, true, end - text), text, end));
        return;
    }
    PutRealThroughTarget(target, spec, x, d, sign);
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
    const char* text = tPrintDetail::NonFiniteText(x);
    if (text)
        out.Append(text, tTextLength(text));
    return text != nullptr;
}

// The sign goes in front of the digits unless ZeroPad puts zeros between them; a space sign is always
// left to the caller.
tPendingSign WriteFixedDigits(tArray<char>& out, const tFormatSpec& spec, double x, bool significantMode)
{
    using namespace tPrintDetail;
    // The handlers never pass a non-finite value; a direct caller gets its text.
    if (WriteNonFinite(out, x))
        return tPendingSign::NotFinite;
    const char sign = RealSign(spec, tRealForm::Fixed, x);
    const bool owed = sign == ' ' || (sign && (spec.Flags & tFormatFlag::ZeroPad));
    if (sign && !owed)
        out.Append(sign);
    WithLongText(x, FixedDigits(spec, x, significantMode),
                 [&](const char* text, const char* end, int zeros, const char*)
                 {
                     if (end != text)
                         out.Append(text, int(end - text));
                     char zeroRun[64];
                     std::memset(zeroRun, '0', sizeof zeroRun);
                     for (int n = zeros; n > 0; n -= 64)
                         out.Append(zeroRun, std::min(n, 64));
                 });
    if (!owed)
        return tPendingSign::None;
    return sign == '-' ? tPendingSign::Minus : sign == '+' ? tPendingSign::Plus : tPendingSign::Space;
}

namespace tPrintDetail
{
void PrintFixed(tPrintTarget& target, const tFormatSpec& spec, double x)
{
    PutReal(target, spec, x, FixedDigits(spec, x, false));
}

void PrintExponent(tPrintTarget& target, const tFormatSpec& spec, double x)
{
    PutReal(target, spec, x, ExponentDigits(spec, false));
}

void PrintGeneral(tPrintTarget& target, const tFormatSpec& spec, double x)
{
    // Compared with the sign, so every negative value, and negative infinity, takes the fixed form.
    if (TenToThe(RealPrecision(spec)) > x)
        PutReal(target, spec, x, FixedDigits(spec, x, true));
    else
        PutReal(target, spec, x, ExponentDigits(spec, true));
}
} // namespace tPrintDetail
