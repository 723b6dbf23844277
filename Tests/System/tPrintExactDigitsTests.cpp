// The real handlers' digits against the exact decimal expansion of the double. The oracle is glibc's
// snprintf at 1100 digits, which is the whole expansion of any double (none has more than 1074
// decimals or 767 significant digits), rounded here by hand: up when the first dropped digit is 5 or
// more, which is the engine's rule for exact ties too.
#include "PrintRender.h"
#include "TestSeed.h"

#include <System/tPrint.h>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include <random>
#include <string>

using namespace PrintFlags;

namespace
{
// Keeps the first keep digits of digits, rounded on the next one; true when the carry left the first.
bool RoundDigits(std::string& digits, size_t keep)
{
    const bool up = keep < digits.size() && digits[keep] >= '5';
    digits.resize(keep);
    for (size_t i = keep; up && i-- > 0;)
    {
        if (digits[i] != '9')
        {
            digits[i]++;
            return false;
        }
        digits[i] = '0';
    }
    return up;
}

std::string Sign(double x)
{
    return x < 0 ? "-" : "";
}

std::string ExactFixed(double x, int decimals)
{
    static char text[1500];
    std::snprintf(text, sizeof text, "%.1100f", std::fabs(x));
    const std::string all = text;
    const size_t point = all.find('.');
    std::string whole = all.substr(0, point);
    std::string digits = whole + all.substr(point + 1);
    if (RoundDigits(digits, whole.size() + size_t(decimals)))
    {
        digits.insert(0, "1");
        whole.insert(0, "1");
    }
    const std::string fraction = digits.substr(whole.size());
    return Sign(x) + digits.substr(0, whole.size()) + (decimals > 0 ? "." + fraction : "");
}

std::string ExactExponent(double x, int decimals, bool keepPoint)
{
    static char text[1500];
    std::snprintf(text, sizeof text, "%.1100e", std::fabs(x));
    const std::string all = text;
    const size_t e = all.find('e');
    int exp10 = std::atoi(all.c_str() + e + 1);
    std::string digits = all.substr(0, 1) + all.substr(2, e - 2);
    if (RoundDigits(digits, 1 + size_t(decimals)))
    {
        digits = "1" + digits.substr(0, size_t(decimals));
        exp10++;
    }
    char exponent[16];
    std::snprintf(exponent, sizeof exponent, "e%c%02d", exp10 < 0 ? '-' : '+', std::abs(exp10));
    const bool point = decimals > 0 || keepPoint;
    return Sign(x) + digits.substr(0, 1) + (point ? "." : "") + digits.substr(1) + exponent;
}

// g: the fixed form with precision digits less the whole digits after the point below 10^precision,
// the exponent form with precision digits in all from there up.
std::string ExactGeneral(double x, int precision)
{
    if (std::pow(10.0, precision) > x)
    {
        char text[400];
        std::snprintf(text, sizeof text, "%.0f", std::floor(std::fabs(x)));
        const int whole = std::fabs(x) < 1 ? 0 : int(std::strlen(text));
        return ExactFixed(x, std::max(precision - whole, 0));
    }
    return ExactExponent(x, precision > 0 ? precision - 1 : 0, precision > 0);
}

void ExpectExact(double x, int precision)
{
    SCOPED_TRACE(testing::Message() << std::hexfloat << x << " at precision " << precision);
    const std::string fixed = ExactFixed(x, precision);
    const std::string exponent = ExactExponent(x, precision, false);
    const std::string general = ExactGeneral(x, precision);
    ASSERT_EQ(Render(HandleFixed, 0, 0, precision, x), fixed);
    ASSERT_EQ(Render(HandleExponent, 0, 0, precision, x), exponent);
    ASSERT_EQ(Render(HandleGeneral, 0, 0, precision, x), general);
    ASSERT_EQ(RenderUnlimited(HandleFixed, 0, 0, precision, x), fixed);
    ASSERT_EQ(RenderUnlimited(HandleExponent, 0, 0, precision, x), exponent);
    ASSERT_EQ(RenderUnlimited(HandleGeneral, 0, 0, precision, x), general);
}

double FromBits(uint64_t bits)
{
    double x;
    std::memcpy(&x, &bits, sizeof x);
    return x;
}
} // namespace

// Random bit patterns cover every binade, subnormals and the largest values included; exact ties come
// from odd multiples of 2^-(precision + 1) for the fixed form and of 5 * 10^k for the exponent form.
// Every fourth value lies between 2^-140 and 2^140 with a precision up to 20, where the digits come
// from 128-bit arithmetic rather than std::to_chars, across the edges of that range.
TEST(PrintExactDigits, AgreesWithTheExactExpansion)
{
    const uint32_t seed = TestSeed();
    SCOPED_TRACE(SeedTrace(seed));
    std::mt19937_64 random(seed);
    for (int round = 0; round < 4000; round++)
    {
        int precision = int(random() % 41);
        double x = FromBits(random());
        if (round % 4 == 1)
            x = std::ldexp(double((random() >> (11 + random() % 53)) | 1), -(precision + 1));
        else if (round % 4 == 2)
            x = double((random() >> (12 + random() % 40)) * 10 + 5) * std::pow(10.0, double(random() % 8));
        else if (round % 4 == 3)
        {
            precision = int(random() % 21);
            x = std::ldexp(double(random() >> (11 + random() % 53)), int(random() % 281) - 140);
        }
        if (!std::isfinite(x))
            continue;
        if (random() % 2)
            x = -x;
        ExpectExact(x, precision);
    }
}

TEST(PrintExactDigits, LongPrecisions)
{
    const double values[] = {5e-324, std::ldexp(1.0, -1021), 2.2250738585072014e-308, 1e-30, 0.1,
                             1e300,  1.7976931348623157e308};
    for (double x : values)
        for (int precision : {330, 767, 1022, 1073, 1074})
            ExpectExact(x, precision);
}
