// The real-number handlers' forms: fixed, exponent and general, and the non-finite texts. The digits
// are the exact expansion of the double (tPrintExactDigits.h); this unit lays out sign, fill and form.
#include "tPrintDetail.h"
#include "tPrintExactDigits.h"

#include <cmath>
#include <memory>

namespace tPrintDetail
{
namespace
{
// Precisions above this are treated as this. A double has no non-zero digit past its 1074th decimal
// place, so the cap never drops a digit that means anything; it keeps one call's time and memory bounded.
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

// A handler's text: the caller's stack buffer when it fits there (every text of a precision up to about
// 190 fits SmallRealText), the heap otherwise. The capacity is worked out before anything is written.
constexpr int SmallRealText = 512;

class tRealText
{
public:
    tRealText(char (&small)[SmallRealText], long long capacity) : Storage(small)
    {
        if (capacity > SmallRealText)
        {
            Large.reset(new char[size_t(capacity)]);
            Storage = Large.get();
            Capacity = capacity;
        }
    }
    char* Begin() { return Storage; }
    char* Limit() { return Storage + Capacity; }

private:
    std::unique_ptr<char[]> Large;
    char* Storage;
    long long Capacity = SmallRealText;
};

// 10^n as g's choice of form compares it: exact up to 10^22, the library's pow beyond.
double TenToThe(int n)
{
    static const double exact[23] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                     1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    return n <= 22 ? exact[n] : std::pow(10.0, n);
}

// Room for a sign and the fixed form's digits at the spec's precision.
long long FixedTextRoom(const tFormatSpec& spec)
{
    return 1 + ExactFixedRoom(RealPrecision(spec));
}

// The fixed form's digits of a finite x. In significant mode the whole digits count towards the
// precision, and only what is left of it goes after the point.
char* PutFixedDigits(char* first, char* last, const tFormatSpec& spec, double x, bool significantMode)
{
    const int precision = RealPrecision(spec);
    const int decimals = significantMode ? std::max(precision - WholeDigitCount(x), 0) : precision;
    char* end = WriteExactFixed(first, last, x, decimals);
    return end ? end : first;
}

// The field around a fixed-form text, its sign in [text, digits): with ZeroPad the zeros go between the
// sign and the digits, else the fill goes around the whole text.
void PutFixedField(tPrintTarget& target, const tFormatSpec& spec, const char* text, const char* digits,
                   const char* end)
{
    const int m = int(end - text);
    if (spec.Width <= m || !(spec.Flags & tFormatFlag::ZeroPad))
    {
        target.PadBefore(m, spec);
        target.Put(text, m);
        target.PadAfter(m, spec);
        return;
    }
    target.Put(text, int(digits - text));
    target.PadBefore(m, spec);
    target.Put(digits, int(end - digits));
    target.PadAfter(m, spec);
}

// A non-finite value's text is filled with spaces only, and has no sign but its own.
void PutNonFiniteField(tPrintTarget& target, const tFormatSpec& spec, const char* text)
{
    tFormatSpec local = spec;
    local.Flags &= ~uint32_t(tFormatFlag::ZeroPad);
    const int n = tTextLength(text);
    target.PadBefore(n, local);
    target.Put(text, n);
    target.PadAfter(n, local);
}

void PutFixedForm(tPrintTarget& target, const tFormatSpec& spec, double x, bool significantMode)
{
    if (const char* text = NonFiniteText(x))
    {
        PutNonFiniteField(target, spec, text);
        return;
    }
    const char sign = SignOf(x < 0, spec.Flags);
    const long long room = FixedTextRoom(spec);
    // Every text has a digit, so a width of 1 or less asks for no fill.
    if (char* out = spec.Width <= 1 ? DirectBuffer(target, room) : nullptr)
    {
        char* p = out;
        if (sign)
            *p++ = sign;
        AdvanceDirect(target, PutFixedDigits(p, out + room, spec, x, significantMode));
        return;
    }
    char small[SmallRealText];
    tRealText text(small, room);
    char* digits = text.Begin();
    if (sign)
        *digits++ = sign;
    const char* end = PutFixedDigits(digits, text.Limit(), spec, x, significantMode);
    PutFixedField(target, spec, text.Begin(), digits, end);
}

// The exponent form of x, shared by e and g. g's mantissa has precision digits in all, so one fewer
// after the point, and keeps its point when no digit follows it ("1.e+05"). There is no fill but up to
// 16 zeros with ZeroPad, which also drops a space sign; a non-finite text prints bare.
void PutExponentForm(tPrintTarget& target, const tFormatSpec& spec, double x, bool generalMantissa)
{
    if (const char* text = NonFiniteText(x))
    {
        target.Put(text, tTextLength(text));
        return;
    }
    const int precision = RealPrecision(spec);
    const int decimals = generalMantissa && precision > 0 ? precision - 1 : precision;
    const bool keepPoint = generalMantissa && precision > 0;
    const bool zeroPad = (spec.Flags & tFormatFlag::ZeroPad) != 0;
    const long long room = 1 + ExactExponentRoom(decimals);
    if (char* out = zeroPad ? nullptr : DirectBuffer(target, room))
    {
        char* p = out;
        if (const char sign = SignOf(x < 0, spec.Flags))
            *p++ = sign;
        char* end = WriteExactExponent(p, out + room, x, decimals, keepPoint);
        AdvanceDirect(target, end ? end : p);
        return;
    }

    // The sign and the fill go in front of the body, which is written first.
    constexpr int MaxPrefix = 17;
    char small[SmallRealText];
    tRealText text(small, MaxPrefix + room);
    char* const body = text.Begin() + MaxPrefix;
    char* end = WriteExactExponent(body, text.Limit(), x, decimals, keepPoint);
    if (!end)
        end = body;
    char sign = SignOf(x < 0, spec.Flags);
    if (zeroPad && sign == ' ')
        sign = 0;
    const long long zeros = zeroPad ? std::min<long long>((long long)spec.Width - (end - body), 16) : 0;
    char* p = body;
    if (zeros > 0)
    {
        // The sign takes the first of the fill characters.
        p -= zeros;
        std::memset(p, '0', size_t(zeros));
        if (sign)
            p[0] = sign;
    }
    else if (sign)
        *--p = sign;
    target.Put(p, int(end - p));
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
    const char sign = SignOf(x < 0, spec.Flags);
    const bool owed = sign == ' ' || (sign && (spec.Flags & tFormatFlag::ZeroPad));
    if (sign && !owed)
        out.Append(sign);
    char small[SmallRealText];
    tRealText text(small, FixedTextRoom(spec));
    const char* end = PutFixedDigits(text.Begin(), text.Limit(), spec, x, significantMode);
    if (end != text.Begin())
        out.Append(text.Begin(), int(end - text.Begin()));
    if (!owed)
        return tPendingSign::None;
    return sign == '-' ? tPendingSign::Minus : sign == '+' ? tPendingSign::Plus : tPendingSign::Space;
}

namespace tPrintDetail
{
void PrintFixed(tPrintTarget& target, const tFormatSpec& spec, double x)
{
    PutFixedForm(target, spec, x, false);
}

void PrintExponent(tPrintTarget& target, const tFormatSpec& spec, double x)
{
    PutExponentForm(target, spec, x, false);
}

void PrintGeneral(tPrintTarget& target, const tFormatSpec& spec, double x)
{
    // Compared with the sign, so every negative value, and negative infinity, takes the fixed form.
    if (TenToThe(RealPrecision(spec)) > x)
        PutFixedForm(target, spec, x, true);
    else
        PutExponentForm(target, spec, x, true);
}
} // namespace tPrintDetail
