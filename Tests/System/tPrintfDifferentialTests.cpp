// The C-style driver against glibc's snprintf on generated formats and values, wherever the engine
// and C agree by definition (README.md lists where they do not). Each case is also printed into a
// buffer of a random size, which must follow snprintf's contract byte for byte.
#include "TestSeed.h"

#include <System/tPrintf.h>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <random>
#include <string>

namespace
{
// Whether the real handlers give exactly rounded digits for every double. Without them, only values
// that print without any rounding are compared.
constexpr bool ExactRealDigits = true;
// Whether '-' makes the integer handlers ignore '0', as C does.
constexpr bool LeftAlignBeatsZeroPad = true;

class tGenerator
{
public:
    explicit tGenerator(uint32_t seed) : Rng(seed) {}

    int Below(int n) { return int(Rng() % uint64_t(n)); }
    bool OneIn(int n) { return Below(n) == 0; }

    // A random subset of flags, each at most once, in random order.
    std::string Flags(const char* allowed)
    {
        std::string flags;
        for (const char* f = allowed; *f; f++)
            if (OneIn(3))
                flags.insert(flags.begin() + Below(int(flags.size()) + 1), *f);
        return flags;
    }

    // Mixed digit counts, as in logs.
    uint64_t Bits() { return Rng() >> Below(64); }

    std::mt19937_64 Rng;
};

int failures = 0;
int compared = 0;

// Prints both ways, whole and into a buffer of a random size; stops the test after a few failures.
template <typename... tArgs>
void Compare(tGenerator& gen, const std::string& ours, const std::string& theirs, tArgs... args)
{
    char expected[512], actual[512];
    const int expectedLength = std::snprintf(expected, sizeof expected, theirs.c_str(), args...);
    const int actualLength = tsnPrintf(actual, sizeof actual, ours.c_str(), args...);
    const bool same = expectedLength == actualLength && std::string(expected) == actual;
    EXPECT_TRUE(same) << "\"" << ours << "\" gives \"" << actual << "\"; \"" << theirs << "\" gives \""
                      << expected << '"';
    failures += !same;
    compared++;

    const int size = gen.Below(expectedLength + 3);
    std::string cutExpected(size_t(size) + 1, '#'), cutActual(size_t(size) + 1, '#');
    EXPECT_EQ(std::snprintf(&cutExpected[0], size_t(size), theirs.c_str(), args...),
              tsnPrintf(&cutActual[0], size, ours.c_str(), args...));
    EXPECT_EQ(cutExpected, cutActual) << ours << " into " << size;
}

// Width, precision and where they come from: "", "7", "*" (with an argument), ".3", ".*".
struct tField
{
    std::string Text;
    bool WidthArg = false, PrecisionArg = false;
    int Width = 0, Precision = 0;
};

tField Field(tGenerator& gen, bool precisionAllowed)
{
    tField f;
    if (gen.OneIn(4))
    {
        f.WidthArg = true;
        f.Width = gen.Below(41) - 20;
        f.Text += "*";
    }
    else if (gen.OneIn(2))
        f.Text += std::to_string(gen.Below(30));
    if (precisionAllowed && gen.OneIn(2))
    {
        if (gen.OneIn(4))
        {
            f.PrecisionArg = true;
            f.Precision = gen.Below(25) - 4;
            f.Text += ".*";
        }
        else
            f.Text += "." + std::to_string(gen.Below(25));
    }
    return f;
}

template <typename T>
void CompareField(tGenerator& gen, const tField& f, const std::string& ours, const std::string& theirs,
                  T value)
{
    if (f.WidthArg && f.PrecisionArg)
        Compare(gen, ours, theirs, f.Width, f.Precision, value);
    else if (f.WidthArg)
        Compare(gen, ours, theirs, f.Width, value);
    else if (f.PrecisionArg)
        Compare(gen, ours, theirs, f.Precision, value);
    else
        Compare(gen, ours, theirs, value);
}

void IntegerCase(tGenerator& gen)
{
    static const char* const lengths[] = {"", "hh", "h", "l", "ll", "j", "z", "t"};
    const char conversion = "diuxXo"[gen.Below(6)];
    const char* length = lengths[gen.Below(8)];
    // Not compared: '+' and ' ' on u (the engine signs it), and '#' on o with a precision (the engine
    // puts its "0" ahead of the precision's zeros, C counts it among them).
    std::string flags = gen.Flags(conversion == 'd' || conversion == 'i' ? "-+ 0"
                                  : conversion == 'u'                    ? "-0"
                                                                         : "-0#");
    const tField field = Field(gen, !(conversion == 'o' && flags.find('#') != std::string::npos));
    const bool zeroPad = flags.find('0') != std::string::npos;
    if (!LeftAlignBeatsZeroPad && zeroPad && (flags.find('-') != std::string::npos || field.Width < 0))
        return;
    const std::string format = "<%" + flags + field.Text + length + conversion + ">";
    const uint64_t bits = gen.OneIn(2) ? gen.Bits() : uint64_t(-int64_t(gen.Bits()));
    // Each argument has the type its modifier names, as va_arg requires.
    const std::string l = length;
    if (l == "l")
        CompareField(gen, field, format, format, long(bits));
    else if (l == "ll")
        CompareField(gen, field, format, format, (long long)bits);
    else if (l == "j")
        CompareField(gen, field, format, format, intmax_t(bits));
    else if (l == "z")
        CompareField(gen, field, format, format, size_t(bits));
    else if (l == "t")
        CompareField(gen, field, format, format, ptrdiff_t(bits));
    else
        CompareField(gen, field, format, format, int(bits));
}

// What rounding x to precision digits (after the point for f, after the first digit for e) does, as
// glibc's exact expansion shows it: 0 none, 1 an exact tie, 2 anything else.
int Rounding(double x, char conversion, int precision)
{
    char text[512];
    std::snprintf(text, sizeof text, conversion == 'f' ? "%.*f" : "%.*e", precision + 40, std::fabs(x));
    const std::string digits(text);
    const size_t point = digits.find('.');
    const std::string rest = digits.substr(point + 1 + size_t(precision), 40);
    if (rest.find_first_not_of('0') == std::string::npos)
        return 0;
    return rest == "5" + std::string(39, '0') ? 1 : 2;
}

double RealValue(tGenerator& gen)
{
    double x = std::ldexp(double(gen.Rng() >> 11), gen.Below(140) - 110);
    if (!ExactRealDigits)
        x = double(gen.Bits() >> 40) / double(1 << gen.Below(11)); // short and exact in decimal
    // The engine prints -0.0 without its sign.
    return x != 0 && gen.OneIn(2) ? -x : x;
}

// e and f with an explicit precision (the engine's default is 4, not 6); e takes no width (the engine
// fills it only with zeros). Exact ties are left out: the engine rounds them away from zero.
void RealCase(tGenerator& gen)
{
    const char conversion = "fFeE"[gen.Below(4)];
    const bool fixed = conversion == 'f' || conversion == 'F';
    const double x = RealValue(gen);
    const int precision = gen.Below(fixed || !ExactRealDigits ? 13 : 17);
    const int rounding = Rounding(x, fixed ? 'f' : 'e', precision);
    if (rounding == 1 || (!ExactRealDigits && rounding != 0))
        return;
    std::string flags = gen.Flags(fixed ? "-+ 0" : "+ ");
    if (flags.find('-') != std::string::npos && flags.find('0') != std::string::npos)
        flags.erase(flags.find('0'), 1);
    const std::string width = fixed && gen.OneIn(2) ? std::to_string(gen.Below(30)) : "";
    const std::string format = "<%" + flags + width + "." + std::to_string(precision) + conversion + ">";
    Compare(gen, format, format, x);
}

// The engine's g is C's "%#g" (trailing zeros kept) wherever it takes the fixed form, which for
// 1 <= x < 10^precision is where C takes it too.
void GeneralCase(tGenerator& gen)
{
    int precision = 0;
    double x = 0;
    bool found = false;
    for (int attempt = 0; attempt < 50 && !found; attempt++)
    {
        precision = 1 + gen.Below(10);
        x = std::fabs(RealValue(gen));
        // From 10^(precision - 1) up, C's '#' adds a point that the engine does not print.
        if (x < 1 || x >= std::pow(10.0, precision - 1))
            continue;
        const int integerDigits = int(std::floor(std::log10(x))) + 1;
        const int rounding = Rounding(x, 'f', precision - integerDigits);
        char c[64];
        std::snprintf(c, sizeof c, "%#.*g", precision, x);
        // Left out: exact ties, and values that round up to the next power of ten (the engine keeps
        // as many digits after the point as the value had before, C one fewer).
        found = rounding != 1 && (ExactRealDigits || rounding == 0) &&
                std::strtod(c, nullptr) < std::pow(10.0, integerDigits);
    }
    if (!found)
        return;
    const std::string flags = gen.Flags("-+ ");
    const std::string width = gen.OneIn(2) ? std::to_string(gen.Below(30)) : "";
    const std::string tail = width + "." + std::to_string(precision);
    const char conversion = gen.OneIn(2) ? 'g' : 'G';
    Compare(gen, "<%" + flags + tail + conversion + ">", "<%#" + flags + tail + conversion + ">", x);
}

// s with every field; c and %% with none (the engine's c ignores the field).
void TextCase(tGenerator& gen)
{
    static const char* const texts[] = {"", "a", "hello", "a longer text than most widths"};
    const tField field = Field(gen, true);
    const std::string format = "<%" + gen.Flags("-") + field.Text + "s|%c|%%>";
    const char* text = texts[gen.Below(4)];
    const int c = 'A' + gen.Below(26);
    if (field.WidthArg && field.PrecisionArg)
        Compare(gen, format, format, field.Width, field.Precision, text, c);
    else if (field.WidthArg)
        Compare(gen, format, format, field.Width, text, c);
    else if (field.PrecisionArg)
        Compare(gen, format, format, field.Precision, text, c);
    else
        Compare(gen, format, format, text, c);
}
} // namespace

TEST(PrintfDifferential, AgreesWithSnprintfWhereTheRulesAgree)
{
#ifndef __GLIBC__
    GTEST_SKIP() << "the oracle is glibc's snprintf; other C libraries round and pad differently";
#endif
    const uint32_t seed = TestSeed();
    SCOPED_TRACE(SeedTrace(seed));
    tGenerator gen(seed);
    int perFamily[4] = {};
    for (int i = 0; i < 20000 && failures < 10; i++)
    {
        const int before = compared;
        switch (i % 4)
        {
        case 0:
            IntegerCase(gen);
            break;
        case 1:
            RealCase(gen);
            break;
        case 2:
            GeneralCase(gen);
            break;
        default:
            TextCase(gen);
            break;
        }
        perFamily[i % 4] += compared - before;
    }
    std::printf("[ compared ] integers %d, e/f %d, g %d, texts %d\n", perFamily[0], perFamily[1],
                perFamily[2], perFamily[3]);
    // The filters must leave a real sample of every family.
    for (int n : perFamily)
        EXPECT_GT(n, 500);
}
