// The real, vector, quaternion and matrix handlers: golden texts, the extremes of the double range, and
// a randomized comparison with the C library's snprintf.
#include "RecordingPrompt.h"
#include "ReportCheck.h"
#include "TestSeed.h"

#include <System/tPrint.h>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>
#include <random>
#include <string>

namespace
{
const uint32_t Plus = tFormatFlag::PlusSign, Space = tFormatFlag::SpaceSign, Zero = tFormatFlag::ZeroPad,
               Left = tFormatFlag::LeftAlign, Alt = tFormatFlag::AltStyle;

std::string RenderRealValue(tTypeHandler handler, uint32_t flags, int width, int precision, const void* value,
                            int typeSize = 8)
{
    tArray<char> out(16, 16);
    tPrintTarget target;
    target.Array = &out;
    tFormatSpec spec;
    spec.Flags = flags;
    spec.Width = width;
    spec.Precision = precision;
    spec.TypeSize = typeSize;
    handler(target, spec, value);
    return std::string(out.GetStorage(), size_t(out.GetCount()));
}

std::string RenderReal(tTypeHandler handler, uint32_t flags, int width, int precision, double x)
{
    return RenderRealValue(handler, flags, width, precision, &x);
}

double FromBits(uint64_t bits)
{
    double x;
    std::memcpy(&x, &bits, sizeof x);
    return x;
}

struct RealCase
{
    tTypeHandler Handler;
    uint32_t Flags;
    int Width;
    int Precision;
    double Value;
    const char* Expected;
};

void CheckRealCases(const RealCase* cases, size_t count)
{
    for (size_t i = 0; i < count; i++)
    {
        const RealCase& c = cases[i];
        SCOPED_TRACE(testing::Message() << "case " << i << ": " << c.Expected);
        EXPECT_EQ(RenderReal(c.Handler, c.Flags, c.Width, c.Precision, c.Value), c.Expected);
    }
}
} // namespace

TEST(PrintFixed, RoundingAndCarries)
{
    const RealCase cases[] = {
        {HandleFixed, 0, 0, -1, 1.5, "1.5000"},
        {HandleFixed, 0, 0, -1, 9.99999, "10.0000"}, // the carry creates a new leading digit
        {HandleFixed, 0, 0, 3, 999.9996, "1000.000"},
        {HandleFixed, 0, 0, -1, 0.5, "0.5000"},
        {HandleFixed, 0, 0, -1, 0.0, "0.0000"},
        {HandleFixed, 0, 0, 0, 2.5, "3"},
        {HandleFixed, 0, 0, 0, 0.4, "0"},
        {HandleFixed, 0, 0, 2, 99.995, "100.00"}, // 99.99500000000000454... as a double
        {HandleFixed, 0, 0, 2, 0.125, "0.13"},    // halves round up
        {HandleFixed, 0, 0, -1, 0.000123, "0.0001"},
        {HandleFixed, 0, 0, 10, 1.0 / 3, "0.3333333333"},
        {HandleFixed, 0, 0, 2, 123456789.125, "123456789.13"},
        {HandleFixed, 0, 0, 1, 1e21, "1000000000000000000000.0"},
        {HandleFixed, 0, 0, 0, 9007199254740993.0, "9007199254740992"}, // 2^53 + 1 is not a double
    };
    CheckRealCases(cases, std::size(cases));
}

TEST(PrintFixed, SignsAndFills)
{
    const RealCase cases[] = {
        {HandleFixed, 0, 10, -1, -1.5, "   -1.5000"},
        {HandleFixed, Zero, 10, -1, -1.5, "-0001.5000"}, // zeros go after the sign
        {HandleFixed, Zero, 9, -1, -1.5, "-001.5000"},
        {HandleFixed, Left, 10, -1, -1.5, "-1.5000   "},
        {HandleFixed, Zero | Left, 10, -1, -1.5, "-1.5000   "},
        {HandleFixed, 0, 3, -1, -1.5, "-1.5000"}, // never truncated
        {HandleFixed, Plus, 0, -1, 2.0, "+2.0000"},
        {HandleFixed, Space, 0, -1, 2.0, " 2.0000"},
        {HandleFixed, Plus | Space, 0, -1, 2.0, "+2.0000"},
        {HandleFixed, Plus | Zero, 9, -1, 2.0, "+002.0000"},
        {HandleFixed, Space | Zero, 9, -1, 2.0, " 002.0000"},
        {HandleFixed, Space, 9, -1, 2.0, "   2.0000"},
        {HandleFixed, 0, 0, -1, -0.0, "0.0000"}, // -0.0 is not below zero
        {HandleFixed, Plus, 0, -1, -0.0, "+0.0000"},
        {HandleFixed, 0, 0, 0, -0.4, "-0"},
    };
    CheckRealCases(cases, std::size(cases));
}

TEST(PrintFixed, PendingSignFollowsZeroPad)
{
    struct Case
    {
        uint32_t Flags;
        double Value;
        const char* Text;
        tPendingSign Pending;
    } const cases[] = {
        {0, -1.5, "-1.5000", tPendingSign::None},    {Zero, -1.5, "1.5000", tPendingSign::Minus},
        {Plus, 2.0, "+2.0000", tPendingSign::None},  {Plus | Zero, 2.0, "2.0000", tPendingSign::Plus},
        {Space, 2.0, "2.0000", tPendingSign::Space}, {0, 2.0, "2.0000", tPendingSign::None},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Text);
        tArray<char> out(4, 4);
        tFormatSpec spec;
        spec.Flags = c.Flags;
        EXPECT_EQ(WriteFixedDigits(out, spec, c.Value, false), c.Pending);
        EXPECT_EQ(std::string(out.GetStorage(), size_t(out.GetCount())), c.Text);
    }
}

TEST(PrintReal, NonFiniteTexts)
{
    struct Case
    {
        uint64_t Bits;
        tRealClass Class;
        const char* Text;
    } const cases[] = {
        {0x7FF0000000000001, tRealClass::SignalingNaN, "nan(snan)"},
        {0xFFF0000000000001, tRealClass::NegSignalingNaN, "-nan(snan)"},
        {0x7FF8000000000000, tRealClass::QuietNaN, "nan"},
        {0x7FF8000000000001, tRealClass::QuietNaN, "nan"},
        {0xFFF8000000000001, tRealClass::NegQuietNaN, "-nan"},
        {0xFFF8000000000000, tRealClass::NegIndefinite, "-nan(ind)"},
        {0x7FF0000000000000, tRealClass::Infinity, "inf"},
        {0xFFF0000000000000, tRealClass::NegInfinity, "-inf"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Text);
        const double x = FromBits(c.Bits);
        const std::string text = c.Text;
        const std::string filled = std::string(12 - text.size(), ' ') + text;
        EXPECT_EQ(ClassifyReal(x), c.Class);
        EXPECT_EQ(RenderReal(HandleFixed, 0, 0, -1, x), text);
        EXPECT_EQ(RenderReal(HandleFixed, Zero | Plus, 12, -1, x), filled); // spaces, no sign
        EXPECT_EQ(RenderReal(HandleFixed, Left, 12, -1, x), text + std::string(12 - text.size(), ' '));
        EXPECT_EQ(RenderReal(HandleExponent, Zero, 12, -1, x), text); // never filled
        // g takes the fixed branch, and fills, only where 10^4 > x: negative infinity alone.
        EXPECT_EQ(RenderReal(HandleGeneral, 0, 12, -1, x),
                  c.Class == tRealClass::NegInfinity ? filled : text);
    }
    EXPECT_EQ(ClassifyReal(-0.0), tRealClass::Finite);
    EXPECT_EQ(ClassifyReal(std::numeric_limits<double>::max()), tRealClass::Finite);
    EXPECT_EQ(RenderReal(HandleFixed, Zero, 6, -1, FromBits(0x7FF0000000000000)), "   inf");
}

TEST(PrintExponent, Forms)
{
    const RealCase cases[] = {
        {HandleExponent, 0, 0, -1, 0.0, "0.0000e+00"},
        {HandleExponent, 0, 0, -1, -0.0, "0.0000e+00"},
        {HandleExponent, 0, 0, -1, 12345.678, "1.2346e+04"},
        {HandleExponent, 0, 0, -1, 0.00025, "2.5000e-04"},
        {HandleExponent, 0, 0, -1, 9.99999, "1.0000e+01"}, // rounding moves into the next decade
        {HandleExponent, 0, 0, -1, 1e300, "1.0000e+300"},
        {HandleExponent, 0, 0, -1, -1e-300, "-1.0000e-300"},
        {HandleExponent, 0, 0, 2, 0.1, "1.00e-01"},
        {HandleExponent, 0, 0, 0, 1.5, "2e+00"},
        {HandleExponent, 0, 0, 0, 9.6, "1e+01"},
        {HandleExponent, 0, 0, 0, 0.0, "0e+00"},
        {HandleExponent, Zero, 12, -1, -1.5, "-01.5000e+00"},
        {HandleExponent, Zero, 5, -1, -1.5, "-1.5000e+00"},
        {HandleExponent, Zero, 40, -1, -1.5, "-0000000000000001.5000e+00"}, // at most 16 fill characters
        {HandleExponent, 0, 12, -1, 1.5, "1.5000e+00"},                     // no fill without ZeroPad
        {HandleExponent, Left, 12, -1, 1.5, "1.5000e+00"},
        {HandleExponent, Plus | Zero, 12, -1, 2.0, "+02.0000e+00"},
        {HandleExponent, Space | Zero, 12, -1, 2.0, "002.0000e+00"},
        {HandleExponent, Plus | Zero, 10, -1, 2.0, "+2.0000e+00"},
        {HandleExponent, Space, 0, -1, 2.0, " 2.0000e+00"},
        {HandleExponent, Plus, 0, -1, 2.0, "+2.0000e+00"},
        {HandleExponent, Zero, 13, -1, 1e-100, "001.0000e-100"},
    };
    CheckRealCases(cases, std::size(cases));
}

TEST(PrintGeneral, BothBranches)
{
    const RealCase cases[] = {
        {HandleGeneral, 0, 0, -1, 123.456, "123.5"},
        {HandleGeneral, 0, 0, -1, 5.0, "5.000"},
        {HandleGeneral, 0, 0, -1, 0.000123, "0.0001"}, // leading zeros after the point are not counted
        {HandleGeneral, 0, 0, -1, 9999.7, "10000"},
        {HandleGeneral, 0, 8, -1, 123.456, "   123.5"},
        {HandleGeneral, 0, 0, -1, -12345.678, "-12346"}, // every negative value takes the fixed form
        {HandleGeneral, 0, 0, -1, 12345.678, "1.235e+04"},
        {HandleGeneral, 0, 0, -1, 99999.0, "1.000e+05"}, // the last-digit rounding carries
        {HandleGeneral, 0, 0, 2, 995.0, "1.0e+03"},
        {HandleGeneral, 0, 0, 1, 100000.0, "1.e+05"},
        {HandleGeneral, 0, 0, 1, 150000.0, "2.e+05"},
        {HandleGeneral, 0, 0, 1, 960000.0, "1.e+06"},
        {HandleGeneral, 0, 0, 0, 9.5, "1e+01"},
        {HandleGeneral, 0, 0, 0, 0.7, "1"},
        {HandleGeneral, Plus | Zero, 12, -1, 12345.678, "+001.235e+04"},
        {HandleGeneral, 0, 12, -1, 12345.678, "1.235e+04"},
    };
    CheckRealCases(cases, std::size(cases));
}

TEST(PrintReal, DecimalExponent)
{
    const struct
    {
        double Value;
        int Expected;
    } cases[] = {
        {0.0, 0},       {1.0, 0},
        {9.99, 0},      {10.0, 1},
        {12345.0, 4},   {-250.0, 2},
        {0.5, -1},      {0.00025, -4},
        {1e300, 300},   {1.7976931348623157e308, 308},
        {5e-324, -324}, {FromBits(0x7FF0000000000000), 0}, // an infinity gives 0 rather than a spin
    };
    for (const auto& c : cases)
        EXPECT_EQ(DecimalExponent(c.Value), c.Expected) << c.Value;
}

TEST(PrintCompound, VectorsQuaternionsMatrices)
{
    const float v[4] = {1, 2, 3, 4};
    const float q[4] = {0, 0, 0, 1};
    const float m2[4] = {1, 2, 3, 4}; // columns (1, 2) and (3, 4)
    float m4[16];
    for (int i = 0; i < 16; i++)
        m4[i] = float(i % 5 == 0); // identity
    float ramp[16];
    for (int i = 0; i < 16; i++)
        ramp[i] = float(i);

    EXPECT_EQ(RenderRealValue(HandleVector, 0, 0, -1, v, 12), "(1.0000, 2.0000, 3.0000)");
    EXPECT_EQ(RenderRealValue(HandleVector, Alt, 0, -1, v, 12), "1.0000 2.0000 3.0000");
    EXPECT_EQ(RenderRealValue(HandleVector, 0, 0, -1, v, 8), "(1.0000, 2.0000)");
    EXPECT_EQ(RenderRealValue(HandleVector, 0, 0, -1, v, 16), "(1.0000, 2.0000, 3.0000, 4.0000)");
    EXPECT_EQ(RenderRealValue(HandleVector, Plus, 6, 1, v, 8),
              "(  +1.0,   +2.0)"); // spec applies per component

    EXPECT_EQ(RenderRealValue(HandleQuaternion, Alt, 0, -1, q), "(1.0000, (0.0000, 0.0000, 0.0000))");
    EXPECT_EQ(RenderRealValue(HandleQuaternion, 0, 0, -1, v), "(1.0000, 2.0000, 3.0000, 4.0000)");
    EXPECT_EQ(RenderRealValue(HandleQuaternion, Alt, 0, 1, v), "(4.0, (1.0, 2.0, 3.0))");

    EXPECT_EQ(RenderRealValue(HandleMatrix, 0, 0, -1, m2, 16), "((1.0000, 2.0000), (3.0000, 4.0000))");
    EXPECT_EQ(RenderRealValue(HandleMatrix, Alt, 0, -1, m2, 16),
              "[    1.0000    3.0000\n     2.0000    4.0000 ]\n");
    EXPECT_EQ(RenderRealValue(HandleMatrix, Alt, 4, 1, m2, 16), "[  1.0  3.0\n   2.0  4.0 ]\n");
    EXPECT_EQ(RenderRealValue(HandleMatrix, Alt, 0, -1, m4, 64),
              "[    1.0000    0.0000    0.0000    0.0000\n"
              "     0.0000    1.0000    0.0000    0.0000\n"
              "     0.0000    0.0000    1.0000    0.0000\n"
              "     0.0000    0.0000    0.0000    1.0000 ]\n");
    EXPECT_EQ(RenderRealValue(HandleMatrix, Alt, 3, 0, ramp, 64),
              "[   0   4   8  12\n    1   5   9  13\n    2   6  10  14\n    3   7  11  15 ]\n");
    EXPECT_EQ(RenderRealValue(HandleMatrix, 0, 0, 0, ramp, 64),
              "((0, 1, 2, 3), (4, 5, 6, 7), (8, 9, 10, 11), (12, 13, 14, 15))");
}

namespace
{
// The line of a check in the engine's source, found by its text so that edits above it do not matter.
int SourceLineOf(const std::string& needle)
{
    return ::SourceLineOf(SourcePath("Modules/System/Src/tPrint.cpp"), needle);
}
} // namespace

TEST(PrintCompound, RejectedSizesAreReportedAndReadNoFurther)
{
    RecordingPrompt prompt;
    const std::string vectorCheck = "(numComponents >= 2) && (numComponents <= 4)";
    const std::string matrixCheck = "is4x4 || is2x2";
    // Heap blocks of exactly TypeSize bytes, so that AddressSanitizer sees any read past them.
    float* one = new float[1]{1};
    float* five = new float[5]{1, 2, 3, 4, 5};
    float* three = new float[3]{1, 2, 3};
    float* eight = new float[8]{1, 2, 3, 4, 5, 6, 7, 8};

    EXPECT_EQ(RenderRealValue(HandleVector, 0, 0, 1, one, 4), "(1.0)");
    EXPECT_EQ(RecordingPrompt::LastField("Expr"), vectorCheck);
    EXPECT_EQ(RecordingPrompt::LastField("Line"), std::to_string(SourceLineOf("tRequire(" + vectorCheck)));
    EXPECT_TRUE(EndsWith(RecordingPrompt::LastField("File"), "Modules/System/Src/tPrint.cpp"));

    EXPECT_EQ(RenderRealValue(HandleVector, Alt, 0, 0, five, 20), "1 2 3 4 5");
    EXPECT_EQ(RenderRealValue(HandleVector, 0, 0, 0, five, 0), "()");

    EXPECT_EQ(RenderRealValue(HandleMatrix, 0, 0, 0, three, 12), "");
    EXPECT_EQ(RecordingPrompt::LastField("Expr"), matrixCheck);
    EXPECT_EQ(RecordingPrompt::LastField("Line"), std::to_string(SourceLineOf("tRequire(" + matrixCheck)));
    EXPECT_TRUE(EndsWith(RecordingPrompt::LastField("File"), "Modules/System/Src/tPrint.cpp"));
    EXPECT_EQ(RenderRealValue(HandleMatrix, 0, 0, 0, eight, 32), "((1, 2), (3, 4))");
    EXPECT_EQ(RecordingPrompt::Reports().size(), 5u);

    // Sizes that are accepted raise no report.
    EXPECT_EQ(RenderRealValue(HandleMatrix, 0, 0, 0, eight, 16), "((1, 2), (3, 4))");
    EXPECT_EQ(RenderRealValue(HandleVector, 0, 0, 0, eight, 8), "(1, 2)");
    EXPECT_EQ(RecordingPrompt::Reports().size(), 5u);
    delete[] one;
    delete[] five;
    delete[] three;
    delete[] eight;
}

namespace
{
bool AllDigits(const std::string& text)
{
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}
} // namespace

TEST(PrintFixed, LargePowersOfTenGiveDigitsAndTheirValue)
{
    // The powers of ten that a product of tens overshoots or undershoots, and their neighbours.
    const double values[] = {1e22,
                             1e23,
                             1e55,
                             1e62,
                             1e77,
                             1e100,
                             1e239,
                             1e248,
                             1e279,
                             1e284,
                             1e308,
                             9.999999999999999e54,
                             1.2345678901234567e200,
                             4.0e250};
    for (double x : values)
    {
        SCOPED_TRACE(x);
        const std::string text = RenderReal(HandleFixed, 0, 0, 0, x);
        EXPECT_TRUE(AllDigits(text)) << text;
        EXPECT_NEAR(std::strtod(text.c_str(), nullptr) / x, 1.0, 3e-15);
    }
}

TEST(PrintReal, ExtremesFinishQuickly)
{
    const double smallestSubnormal = 4.9406564584124654e-324;
    const double smallestNormal = 2.2250738585072014e-308;
    const double largest = 1.7976931348623157e308;
    // No clock: a loop that failed to end would hit the test's timeout, and a wall-clock bound fails
    // spuriously under sanitizers on a loaded machine. The lengths below bound the work per call.

    const RealCase cases[] = {
        {HandleExponent, 0, 0, -1, smallestSubnormal, "4.9407e-324"},
        {HandleExponent, 0, 0, -1, -smallestSubnormal, "-4.9407e-324"},
        {HandleExponent, 0, 0, 3, 2.5e-320, "2.500e-320"},
        {HandleExponent, 0, 0, -1, smallestNormal, "2.2251e-308"},
        {HandleExponent, 0, 0, -1, 1e308, "1.0000e+308"},
        {HandleExponent, 0, 0, -1, largest, "1.7977e+308"},
        {HandleGeneral, 0, 0, -1, smallestSubnormal, "0.0000"},
        {HandleGeneral, 0, 0, -1, smallestNormal, "0.0000"},
        {HandleGeneral, 0, 0, -1, 1e308, "1.000e+308"},
        {HandleGeneral, 0, 0, -1, largest, "1.798e+308"},
        {HandleFixed, 0, 0, -1, smallestSubnormal, "0.0000"},
        {HandleFixed, 0, 0, -1, -smallestNormal, "-0.0000"},
    };
    CheckRealCases(cases, std::size(cases));

    // python3 -c "print(int(1.7976931348623157e308))" starts 179769313486231570814...
    const std::string f = RenderReal(HandleFixed, 0, 0, -1, largest);
    EXPECT_EQ(f.size(), 309u + 5u);
    EXPECT_EQ(f.substr(0, 15), "179769313486231");
    EXPECT_EQ(f.substr(309), ".0000");
    EXPECT_TRUE(AllDigits(f.substr(0, 309)));
    const std::string f308 = RenderReal(HandleFixed, 0, 0, -1, 1e308);
    EXPECT_EQ(f308.size(), 309u + 5u);
    EXPECT_EQ(f308.substr(0, 15), "100000000000000");
    const std::string g = RenderReal(HandleGeneral, 0, 0, -1, -largest); // negative: the fixed form
    EXPECT_EQ(g.size(), 310u);
    EXPECT_EQ(g.substr(0, 16), "-179769313486231");
    const std::string tiny = RenderReal(HandleFixed, 0, 0, 330, smallestSubnormal);
    EXPECT_EQ(tiny.size(), 332u);
    EXPECT_EQ(tiny.substr(0, 331), "0." + std::string(323, '0') + "494065");
}

TEST(PrintReal, LargePrecisionsStayInBounds)
{
    EXPECT_EQ(RenderReal(HandleExponent, 0, 0, 60, 1.0 / 3).size(), 60u + 6u);
    EXPECT_EQ(RenderReal(HandleExponent, Zero, 90, 60, -1.0 / 3).size(), 60u + 6u + 16u);
    const std::string g = RenderReal(HandleGeneral, 0, 0, 50, std::ldexp(1.0, 200)); // 2^200 = 1.6069...e60
    EXPECT_EQ(g.size(), 50u + 1u + 4u);
    EXPECT_EQ(g.substr(0, 15), "1.6069380442589");
    EXPECT_EQ(g.substr(51), "e+60");
    EXPECT_EQ(RenderReal(HandleFixed, 0, 0, 500, 0.5), "0.5" + std::string(499, '0'));
    // Precisions past the cap print as the cap, in bounded time.
    const int huge = std::numeric_limits<int32_t>::max();
    EXPECT_EQ(RenderReal(HandleExponent, 0, 0, huge, 2.0).size(), 65536u + 6u);
    EXPECT_EQ(RenderReal(HandleFixed, 0, 0, huge, 2.0).size(), 65536u + 2u);
    EXPECT_EQ(RenderReal(HandleGeneral, 0, 0, huge, -2.0).size(), 65536u + 2u);
}

namespace
{
// The digits of a fixed or exponent text as a whole number and the power of ten of its last digit.
void ParseDigits(const std::string& text, long long& digits, int& lastPower)
{
    const size_t e = text.find('e');
    const std::string mantissa = text.substr(0, e);
    const size_t point = mantissa.find('.');
    const int decimals = point == std::string::npos ? 0 : int(mantissa.size() - point - 1);
    std::string whole = mantissa;
    if (point != std::string::npos)
        whole.erase(point, 1);
    digits = std::strtoll(whole.c_str(), nullptr, 10);
    lastPower = (e == std::string::npos ? 0 : std::atoi(text.c_str() + e + 1)) - decimals;
}

// How far apart two texts are, in units of the coarser of their last digits.
double UnitsApart(const std::string& a, const std::string& b)
{
    long long da, db;
    int pa, pb;
    ParseDigits(a, da, pa);
    ParseDigits(b, db, pb);
    const double scale = std::pow(10.0, std::abs(pa - pb));
    for (; pa > pb; pa--)
        da *= 10;
    for (; pb > pa; pb--)
        db *= 10;
    return std::fabs(double(da - db)) / scale;
}
} // namespace

TEST(PrintReal, AgreesWithSnprintfWithinOneUnit)
{
    const uint32_t seed = TestSeed();
    SCOPED_TRACE(SeedTrace(seed));
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> decade(-5.0, 9.0);
    std::uniform_int_distribution<int> precisionOf(0, 6);
    const int rounds = 4000;
    int agreeFixed = 0, agreeExponent = 0;
    for (int i = 0; i < rounds; i++)
    {
        const int precision = precisionOf(rng);
        double x = std::pow(10.0, decade(rng));
        if (i % 2)
        {
            // A decimal that ends in 5 one place past the precision: a tie, or as near one as a
            // double gets, where rounding from binary arithmetic is most likely to part ways.
            const double scale = std::pow(10.0, precision + 1);
            x = (std::floor(x * scale / 10.0) * 10.0 + 5.0) / scale;
        }
        if (rng() & 1)
            x = -x;
        char expected[64];

        // At most 15 significant digits, where a double still carries them.
        const int integerDigits = std::fabs(x) < 1 ? 1 : int(std::log10(std::fabs(x))) + 1;
        const int fixedPrecision = std::min(precision, 15 - integerDigits);
        std::snprintf(expected, sizeof expected, "%.*f", fixedPrecision, x);
        std::string ours = RenderReal(HandleFixed, 0, 0, fixedPrecision, x);
        agreeFixed += ours == expected;
        ASSERT_LE(UnitsApart(ours, expected), 1.0) << "seed " << seed << ": " << ours << " vs " << expected;

        std::snprintf(expected, sizeof expected, "%.*e", precision, x);
        ours = RenderReal(HandleExponent, 0, 0, precision, x);
        agreeExponent += ours == expected;
        ASSERT_LE(UnitsApart(ours, expected), 1.0) << "seed " << seed << ": " << ours << " vs " << expected;
    }
    std::printf("[ agree    ] f: %d of %d (%.2f%%), e: %d of %d (%.2f%%), seed %u\n", agreeFixed, rounds,
                100.0 * agreeFixed / rounds, agreeExponent, rounds, 100.0 * agreeExponent / rounds, seed);
}

TEST(PrintReal, WholeRangeTerminatesWithRightLeadingDigits)
{
    // Random bit patterns cover every binade, subnormals included, about equally.
    SCOPED_TRACE(SeedTrace(TestSeed()));
    std::mt19937_64 rng(TestSeed());
    for (int i = 0; i < 2000; i++)
    {
        const double x = FromBits(rng());
        if (ClassifyReal(x) != tRealClass::Finite || x == 0)
            continue;
        SCOPED_TRACE(testing::Message() << std::hexfloat << x);
        // Thirteen significant digits: within one unit of the last.
        const std::string e = RenderReal(HandleExponent, 0, 0, 12, x);
        ASSERT_NEAR(std::strtod(e.c_str(), nullptr) / x, 1.0, 1e-12) << e;
        const std::string f = RenderReal(HandleFixed, 0, 0, 1, x);
        ASSERT_EQ(f.find_first_not_of("-.0123456789"), std::string::npos) << f;
        if (std::fabs(x) >= 1e17) // whole numbers: the text is the value to within a rounding or two
        {
            ASSERT_NEAR(std::strtod(f.c_str(), nullptr) / x, 1.0, 5e-16) << f;
        }
    }
}
