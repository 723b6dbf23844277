// The golden texts of integer and real fields, written once and run through every entry point that
// claims the rule: the handler itself, tsnPrintf and tFormat (Tests/System/tPrintGoldenTests.cpp), and
// for integers at every width from 32 to 512 bits that holds the value. Oracles: C's printf for the
// fields C has; python3 for the wide values (named beside them); the rules of tPrint.h for the rest.
// No GoogleTest, so that other test programs can take the cases too.
#pragma once
#include "PrintFlags.h"

#include <System/tPrint.h>
#include <cstdint>
#include <string>

namespace PrintGolden
{
using namespace PrintFlags;

// Bit i stands for 32 << i bits. AltStyle groups four digits at 32 and 64 bits and eight above, so
// grouped texts of more than four digits hold at one kind of width only.
constexpr unsigned AllWidths = 31;
constexpr unsigned NativeWidths = 3;
constexpr unsigned WideWidths = 28;

// Value is decimal. The case runs at every width in Widths that holds the value: as a signed number
// for d and i, as one from 0 to 2^bits - 1 for the others.
struct tIntegerCase
{
    char Conversion;
    uint32_t Flags;
    int Width;
    int Precision;
    const char* Value;
    const char* Expected;
    unsigned Widths = AllWidths;
};

// python3 -c "print(2**128-1)", "print(2**256-1)", "print(2**512-1)"
constexpr const char* Ones128 = "340282366920938463463374607431768211455";
constexpr const char* Ones256 =
    "115792089237316195423570985008687907853269984665640564039457584007913129639935";
constexpr const char* Ones512 =
    "1340780792994259709957402499820584612747936582059239337772356144372176403007354"
    "6976801874298166903427690031858186486050853753882811946569946433649006084095";

inline const tIntegerCase IntegerCases[] = {
    // Signs belong to base 10, signed or not; other bases read every value as unsigned.
    {'d', 0, 0, -1, "-2147483648", "-2147483648"},
    {'i', 0, 0, -1, "-2147483648", "-2147483648"},
    {'u', 0, 0, -1, "2147483648", "2147483648"},
    {'x', 0, 0, -1, "2147483648", "80000000"},
    {'d', 0, 0, -1, "-1", "-1"},
    {'d', 0, 0, -1, "4294967295", "4294967295"},
    {'d', Plus, 0, -1, "0", "+0"},
    {'d', Space, 0, -1, "0", " 0"},
    {'d', Plus, 0, -1, "5", "+5"},
    {'d', Space, 0, -1, "5", " 5"},
    {'d', Plus | Space, 0, -1, "7", "+7"}, // PlusSign wins over SpaceSign
    {'d', Plus | Space, 0, -1, "5", "+5"},
    {'d', Plus, 0, -1, "-7", "-7"},
    {'u', Plus, 0, -1, "42", "+42"},
    {'x', Plus, 0, -1, "42", "2a"},
    {'o', Space, 0, -1, "8", "10"},
    {'X', 0, 0, -1, "11259375", "ABCDEF"},
    {'b', 0, 0, -1, "13", "1101"},
    {'b', 0, 0, -1, "1", "1"},
    {'b', 0, 0, -1, "0", "0"},
    // The prefix: only for a value that is not 0, only in bases 8 and 16.
    {'x', Radix, 0, -1, "255", "0xff"},
    {'X', Radix, 0, -1, "255", "0XFF"},
    {'x', Radix, 0, -1, "0", "0"},
    {'o', Radix, 0, -1, "8", "010"},
    {'o', Radix, 0, -1, "15", "017"},
    {'o', Radix, 0, -1, "0", "0"},
    {'b', Radix, 0, -1, "5", "101"},
    {'d', Radix, 0, -1, "10", "10"},
    // Precision: at least that many digits, and none at all for 0 at precision 0.
    {'d', 0, 0, 5, "42", "00042"},
    {'d', 0, 0, 5, "-42", "-00042"},
    {'d', 0, 0, 0, "0", ""},
    {'b', 0, 0, 0, "0", ""},
    {'d', 0, 3, 0, "0", "   "},
    {'d', Plus, 0, 0, "0", "+"},
    {'d', 0, 0, 1, "0", "0"},
    {'x', Radix, 0, 4, "255", "0x00ff"},
    {'x', Radix, 0, 3, "0", "000"},
    {'o', Radix, 0, 3, "8", "0010"}, // the prefix comes on top of the precision's digits
    {'o', Radix, 0, 0, "0", ""},
    // Width: spaces, or zeros after the sign and prefix; a precision takes over the zero fill.
    {'d', 0, 5, -1, "42", "   42"},
    {'d', Left, 5, -1, "42", "42   "},
    {'d', Zero, 5, -1, "42", "00042"},
    {'d', Zero, 5, -1, "-42", "-0042"},
    {'d', Zero, 8, -1, "-42", "-0000042"},
    {'d', Plus | Zero, 6, -1, "42", "+00042"},
    {'x', Zero | Radix, 8, -1, "255", "0x0000ff"},
    {'o', Zero | Radix, 6, -1, "8", "000010"},
    {'d', 0, 8, -1, "-42", "     -42"},
    {'d', Left, 8, -1, "-42", "-42     "},
    {'d', Zero, 2, -1, "12345", "12345"},
    {'d', Zero, 5, 3, "42", "  042"},
    {'d', Zero, 8, 3, "-42", "    -042"},
    {'x', Zero | Radix, 8, 2, "255", "    0xff"},
    {'d', Zero | Left, 8, 3, "-42", "-042    "},
    {'d', Zero | Left, 6, -1, "42", "42    "}, // LeftAlign wins over ZeroPad, as in C
    // Groups, counted from the right; zero fill is grouped too, and separators count towards the width.
    {'X', Alt, 0, -1, "3735928559", "DEAD_BEEF", NativeWidths},
    {'b', Alt, 0, -1, "31", "1_1111", NativeWidths},
    {'b', Alt, 0, -1, "5", "101"},
    {'b', Alt, 0, -1, "255", "1111_1111", NativeWidths},
    {'b', Comma, 0, -1, "16", "10,000"},
    {'d', Comma, 0, -1, "1234567", "1,234,567"},
    {'d', Comma | Alt, 0, -1, "1234567", "123_4567", NativeWidths}, // AltStyle wins
    {'d', Comma | Zero, 10, -1, "1234567", "0,001,234,567"},
    {'d', Comma, 0, -1, "-1234567", "-1,234,567"},
    {'d', Comma, 0, -1, "-1000", "-1,000"},
    {'d', Comma, 0, -1, "123", "123"},
    {'d', Comma, 0, -1, "1000", "1,000"},
    {'d', Comma, 0, 0, "0", ""},
    {'x', Alt | Radix, 0, -1, "74565", "0x1_2345", NativeWidths},
    {'d', Comma, 12, -1, "1234567", "   1,234,567"},
    // 64 bits and more.
    {'d', 0, 0, -1, "-9223372036854775808", "-9223372036854775808"},
    {'u', 0, 0, -1, "18446744073709551615", "18446744073709551615"},
    {'o', 0, 0, -1, "18446744073709551615", "1777777777777777777777"},
    {'b', 0, 0, -1, "18446744073709551615",
     "1111111111111111111111111111111111111111111111111111111111111111"},
    {'b', Alt, 0, -1, "18446744073709551615",
     "1111_1111_1111_1111_1111_1111_1111_1111_1111_1111_1111_1111_1111_1111_1111_1111", NativeWidths},
    {'u', Comma, 0, -1, "18446744073709551615", "18,446,744,073,709,551,615"},
    {'x', 0, 0, -1, "81985529216486895", "123456789abcdef"},
    // 128 bits and more. python3: print(-2**127), print(2**128-42), print(2**64), hex(2**511).
    {'u', 0, 0, -1, Ones128, Ones128},
    {'x', 0, 0, -1, Ones128, "ffffffffffffffffffffffffffffffff"},
    {'o', 0, 0, -1, Ones128, "3777777777777777777777777777777777777777777"},
    {'b', 0, 0, -1, Ones128,
     "1111111111111111111111111111111111111111111111111111111111111111111111111111111111111111111111111111111"
     "1"
     "111111111111111111111111"},
    {'d', 0, 0, -1, "-170141183460469231731687303715884105728", "-170141183460469231731687303715884105728"},
    {'x', Alt, 0, -1, "1512366075204170929049582354406559215", "1234567_89abcdef_01234567_89abcdef",
     WideWidths},
    {'X', Radix, 0, -1, "1512366075204170929049582354406559215", "0X123456789ABCDEF0123456789ABCDEF"},
    {'d', Alt, 0, -1, "18446744073709551616", "1844_67440737_09551616", WideWidths},
    {'d', Comma, 0, -1, "18446744073709551616", "18,446,744,073,709,551,616"},
    {'u', Plus, 0, -1, "340282366920938463463374607431768211414", "+340282366920938463463374607431768211414"},
    {'u', 0, 0, -1, Ones256, Ones256},
    {'u', 0, 0, -1, Ones512, Ones512},
    {'x', 0, 0, -1,
     "6703903964971298549787012499102923063739682910296196688861780721860882015036773488400937149083451713845"
     "015929093243025426876941405973284973216824503042048",
     "8000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
     "0"
     "000000000000000000000000"},
    {'b', Alt, 0, -1, Ones512,
     "11111111_11111111_11111111_11111111_11111111_11111111_11111111_11111111_11111111_11111111_11111111_"
     "11111111_11111111_11111111_11111111_11111111_11111111_11111111_11111111_11111111_11111111_11111111_"
     "11111111_11111111_11111111_11111111_11111111_11111111_11111111_11111111_11111111_11111111_11111111_"
     "11111111_11111111_11111111_11111111_11111111_11111111_11111111_11111111_11111111_11111111_11111111_"
     "11111111_11111111_11111111_11111111_11111111_11111111_11111111_11111111_11111111_11111111_11111111_"
     "11111111_11111111_11111111_11111111_11111111_11111111_11111111_11111111_11111111"}, // the longest text
};

// Precision -1 is DefaultPrecision (4).
struct tRealCase
{
    char Conversion;
    uint32_t Flags;
    int Width;
    int Precision;
    double Value;
    const char* Expected;
};

inline const tRealCase RealCases[] = {
    // f: rounding and carries; every digit is the double's own, rounded once.
    {'f', 0, 0, -1, 1.5, "1.5000"},
    {'f', 0, 0, -1, 9.99999, "10.0000"}, // the carry creates a new leading digit
    {'f', 0, 0, 3, 999.9996, "1000.000"},
    {'f', 0, 0, -1, 0.5, "0.5000"},
    {'f', 0, 0, -1, 0.0, "0.0000"},
    {'f', 0, 0, 0, 2.5, "3"},
    {'f', 0, 0, 0, 0.4, "0"},
    {'f', 0, 0, 2, 99.995, "100.00"}, // 99.99500000000000454... as a double
    {'f', 0, 0, 2, 0.125, "0.13"},    // halves round up
    {'f', 0, 0, 4, 1.03125, "1.0313"},
    {'f', 0, 0, 4, -1.03125, "-1.0313"},
    {'f', 0, 0, -1, 0.000123, "0.0001"},
    {'f', 0, 0, 10, 1.0 / 3, "0.3333333333"},
    {'f', 0, 0, 1, 1.5, "1.5"},
    {'f', 0, 0, 2, 123456789.125, "123456789.13"},
    {'f', 0, 0, 1, 1e21, "1000000000000000000000.0"},
    {'f', 0, 0, 0, 9007199254740993.0, "9007199254740992"}, // 2^53 + 1 is not a double
    {'f', 0, 0, 0, 340282366920938463463374607431768211456.0, "340282366920938463463374607431768211456"},
    {'f', 0, 0, 0, 1e23, "99999999999999991611392"},
    {'f', 0, 0, -1, 4.9406564584124654e-324, "0.0000"},
    {'f', 0, 0, -1, -2.2250738585072014e-308, "-0.0000"},
    // f: signs and fill; with ZeroPad the zeros go after the sign.
    {'f', 0, 10, -1, -1.5, "   -1.5000"},
    {'f', Zero, 10, -1, -1.5, "-0001.5000"},
    {'f', Zero, 9, -1, -1.5, "-001.5000"},
    {'f', Left, 10, -1, -1.5, "-1.5000   "},
    {'f', Zero | Left, 10, -1, -1.5, "-1.5000   "},
    {'f', 0, 3, -1, -1.5, "-1.5000"}, // never truncated
    {'f', 0, 6, 2, 2.5, "  2.50"},
    {'f', Plus, 0, 2, 2.5, "+2.50"},
    {'f', Zero, 6, 2, -2.5, "-02.50"},
    {'f', Plus, 0, -1, 2.0, "+2.0000"},
    {'f', Space, 0, -1, 2.0, " 2.0000"},
    {'f', Plus | Space, 0, -1, 2.0, "+2.0000"},
    {'f', Plus | Zero, 9, -1, 2.0, "+002.0000"},
    {'f', Space | Zero, 9, -1, 2.0, " 002.0000"},
    {'f', Space, 9, -1, 2.0, "   2.0000"},
    {'f', 0, 0, -1, -0.0, "0.0000"}, // -0.0 is not below zero
    {'f', Plus, 0, -1, -0.0, "+0.0000"},
    {'f', 0, 0, 0, -0.4, "-0"},
    // e: the exponent has two digits at least; no fill but up to 16 zeros, the sign taking the first.
    {'e', 0, 0, -1, 0.0, "0.0000e+00"},
    {'e', 0, 0, -1, -0.0, "0.0000e+00"},
    {'e', 0, 0, -1, 12345.678, "1.2346e+04"},
    {'e', 0, 0, -1, 0.00025, "2.5000e-04"},
    {'e', 0, 0, -1, 9.99999, "1.0000e+01"}, // rounding moves into the next decade
    {'e', 0, 0, -1, 1e300, "1.0000e+300"},
    {'e', 0, 0, -1, -1e-300, "-1.0000e-300"},
    {'e', 0, 0, 2, 0.1, "1.00e-01"},
    {'e', 0, 0, 2, 1500.0, "1.50e+03"},
    {'e', 0, 0, 0, 1.5, "2e+00"},
    {'e', 0, 0, 0, 9.6, "1e+01"},
    {'e', 0, 0, 0, 0.0, "0e+00"},
    {'e', 0, 0, 0, 0.15, "1e-01"}, // 0.1499999999999999944...
    {'e', 0, 0, 1, 125.0, "1.3e+02"},
    {'e', Zero, 12, -1, -1.5, "-01.5000e+00"},
    {'e', Zero, 5, -1, -1.5, "-1.5000e+00"},
    {'e', Zero, 40, -1, -1.5, "-0000000000000001.5000e+00"},
    {'e', 0, 12, -1, 1.5, "1.5000e+00"},
    {'e', Left, 12, -1, 1.5, "1.5000e+00"},
    {'e', Plus | Zero, 12, -1, 2.0, "+02.0000e+00"},
    {'e', Space | Zero, 12, -1, 2.0, "002.0000e+00"},
    {'e', Plus | Zero, 10, -1, 2.0, "+2.0000e+00"},
    {'e', Space, 0, -1, 2.0, " 2.0000e+00"},
    {'e', Plus, 0, -1, 2.0, "+2.0000e+00"},
    {'e', Zero, 13, -1, 1e-100, "001.0000e-100"},
    {'e', 0, 0, -1, 4.9406564584124654e-324, "4.9407e-324"},
    {'e', 0, 0, -1, -4.9406564584124654e-324, "-4.9407e-324"},
    {'e', 0, 0, 3, 2.5e-320, "2.500e-320"},
    {'e', 0, 0, -1, 2.2250738585072014e-308, "2.2251e-308"},
    {'e', 0, 0, -1, 1e308, "1.0000e+308"},
    {'e', 0, 0, -1, 1.7976931348623157e308, "1.7977e+308"},
    // g: the fixed form below 10^precision (and for every negative value), with precision significant
    // digits; the exponent form from there up, with precision digits in all.
    {'g', 0, 0, -1, 123.456, "123.5"},
    {'g', 0, 0, -1, 5.0, "5.000"},
    {'g', 0, 0, 4, 1.5, "1.500"},
    {'g', 0, 0, -1, 0.000123, "0.0001"}, // leading zeros after the point are not counted
    {'g', 0, 0, -1, 9999.7, "10000"},
    {'g', 0, 8, -1, 123.456, "   123.5"},
    {'g', 0, 0, -1, -12345.678, "-12346"},
    {'g', 0, 0, -1, 12345.678, "1.235e+04"},
    {'g', 0, 0, 4, 12344.5, "1.234e+04"}, // rounded once, from the value
    {'g', 0, 0, 3, 1.2345678901234568e17, "1.23e+17"},
    {'g', 0, 0, -1, 99999.0, "1.000e+05"},
    {'g', 0, 0, 2, 995.0, "1.0e+03"},
    {'g', 0, 0, 1, 100000.0, "1.e+05"},
    {'g', 0, 0, 1, 150000.0, "2.e+05"},
    {'g', 0, 0, 1, 250000.0, "3.e+05"},
    {'g', 0, 0, 1, 960000.0, "1.e+06"},
    {'g', 0, 0, 0, 9.5, "1e+01"},
    {'g', 0, 0, 0, 0.7, "1"},
    {'g', Plus | Zero, 12, -1, 12345.678, "+001.235e+04"},
    {'g', 0, 12, -1, 12345.678, "1.235e+04"},
    {'g', 0, 0, -1, 4.9406564584124654e-324, "0.0000"},
    {'g', 0, 0, -1, 2.2250738585072014e-308, "0.0000"},
    {'g', 0, 0, -1, 1e308, "1.000e+308"},
    {'g', 0, 0, -1, 1.7976931348623157e308, "1.798e+308"},
};

// The flags as the drivers spell them.
inline std::string FlagText(uint32_t flags)
{
    std::string text;
    const struct
    {
        uint32_t Flag;
        char Char;
    } spellings[] = {{Left, '-'},  {Plus, '+'},  {Space, ' '}, {Zero, '0'},
                     {Radix, '#'}, {Comma, ','}, {Alt, '_'}};
    for (const auto& s : spellings)
        if (flags & s.Flag)
            text += s.Char;
    return text;
}

// The conversion of a field as the drivers write it; length is a size modifier such as "w128", or "".
inline std::string FormatOf(uint32_t flags, int width, int precision, const char* length, char conversion)
{
    std::string format = "%" + FlagText(flags);
    if (width > 0)
        format += std::to_string(width);
    if (precision >= 0)
        format += "." + std::to_string(precision);
    return format + length + conversion;
}
} // namespace PrintGolden
