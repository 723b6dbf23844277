// Every wide-integer operation against an independent reference on random operands: at 128 bits the
// compiler's unsigned __int128, at 256 and 512 bits a byte-wise schoolbook model that shares no code
// or algorithm with the words-and-carries implementation (bit-by-bit shifts, column multiplication,
// borrow subtraction for negation, byte long division, left-to-right text parsing).
//
// The seed is printed with every failure; --gtest_random_seed=<seed> repeats a run.
#include "ByteWideInt.h"
#include "TestSeed.h"
#include "TextToIntRules.h"
#include "WideIntText.h"

#include <Foundation/tFixInt.h>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace
{
struct Int128Reference
{
    static constexpr int Bits = 128;
    using Value = unsigned __int128;

    static Value FromWide(const tWideInt<Bits>& v)
    {
        Value r = 0;
        for (int i = 3; i >= 0; --i)
            r = (r << 32) | v.Words[i];
        return r;
    }
    static std::string Hex(Value v)
    {
        uint32_t words[4];
        for (uint32_t& w : words)
        {
            w = static_cast<uint32_t>(v);
            v >>= 32;
        }
        return HexFromWords(words, 4);
    }
    static Value Add(Value a, Value b) { return a + b; }
    static Value Mul(Value a, Value b) { return a * b; }
    static Value Neg(Value a) { return Value(0) - a; }
    static Value And(Value a, Value b) { return a & b; }
    static Value Shr(Value a, int n) { return n < 0 ? a : n >= Bits ? 0 : a >> n; }
    static Value Shl(Value a, int n) { return n < 0 ? a : n >= Bits ? 0 : a << n; }
    static bool IsZero(Value a) { return a == 0; }
    static bool IsNegative(Value a) { return (a >> 127) != 0; }
    static Value Div(Value a, uint32_t d, uint32_t* r)
    {
        *r = static_cast<uint32_t>(a % d);
        return a / d;
    }
    static Value FromDigits(const std::vector<int>& digits, int base)
    {
        Value r = 0;
        for (int d : digits)
            r = r * Value(base) + Value(d);
        return r;
    }
};

template <int BitCount> struct ByteReference
{
    static constexpr int Bits = BitCount;
    using Value = ByteWideInt<Bits / 8>;

    static Value Zero() { return Value{}; }
    static Value FromWide(const tWideInt<Bits>& v) { return Value::FromWords(v.Words); }
    static std::string Hex(const Value& v)
    {
        uint32_t words[Bits / 32];
        v.ToWords(words);
        return HexFromWords(words, Bits / 32);
    }
    static Value Add(const Value& a, const Value& b) { return a + b; }
    static Value Mul(const Value& a, const Value& b) { return a * b; }
    static Value Neg(const Value& a) { return a.Negate(); }
    static Value And(const Value& a, const Value& b) { return a & b; }
    static Value Shifted(const Value& a, int from)
    {
        // Bit k of the result is bit k + from of a.
        Value r{};
        for (int k = 0; k < Bits; ++k)
            if (a.Bit(k + from))
                r.B[k / 8] |= uint8_t(1u << (k % 8));
        return r;
    }
    static Value Shr(const Value& a, int n) { return n < 0 ? a : n >= Bits ? Zero() : Shifted(a, n); }
    static Value Shl(const Value& a, int n) { return n < 0 ? a : n >= Bits ? Zero() : Shifted(a, -n); }
    static bool IsZero(const Value& a) { return a.IsZero(); }
    static bool IsNegative(const Value& a) { return a.IsNegative(); }
    static Value Div(const Value& a, uint32_t d, uint32_t* remainder)
    {
        return a.DivideBySmall(d, remainder);
    }
    static Value FromDigits(const std::vector<int>& digits, int base)
    {
        Value r{};
        for (int d : digits)
            r.MultiplyAdd(unsigned(base), unsigned(d));
        return r;
    }
};

template <int Bits> tWideInt<Bits> RandomWide(std::mt19937_64& rng)
{
    static const uint32_t edges[] = {0u, 1u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu, 0x55555555u, 0xAAAAAAAAu};
    constexpr int wordCount = tWideInt<Bits>::WordCount;
    tWideInt<Bits> v{};
    const int shape = int(rng() % 5);
    const int used = int(rng() % (wordCount + 1));
    for (int i = 0; i < wordCount; ++i)
    {
        const uint32_t random = static_cast<uint32_t>(rng());
        switch (shape)
        {
        case 0: // dense
            v.Words[i] = random;
            break;
        case 1: // an edge value in every word
            v.Words[i] = edges[rng() % (sizeof edges / sizeof edges[0])];
            break;
        case 2: // short: leading zero words
            v.Words[i] = i < used ? random : 0u;
            break;
        case 3: // short negative: leading all-ones words
            v.Words[i] = i < used ? random : 0xFFFFFFFFu;
            break;
        default: // a small signed number
            v.Words[i] = i == 0 ? uint32_t(int32_t(random % 2001) - 1000) : (random % 2001 < 1000 ? ~0u : 0u);
            break;
        }
    }
    if (shape == 4)
    {
        const uint32_t fill = int32_t(v.Words[0]) < 0 ? 0xFFFFFFFFu : 0u;
        for (int i = 1; i < wordCount; ++i)
            v.Words[i] = fill;
    }
    return v;
}

uint32_t RandomDivisor(std::mt19937_64& rng)
{
    switch (rng() % 6)
    {
    case 0:
        return uint32_t(1 + rng() % 16);
    case 1:
        return uint32_t(1 + rng() % 65536);
    case 2:
        return 65536u - uint32_t(rng() % 2);
    case 3:
        return 65537u + uint32_t(rng() % (0xFFFFFFFFull - 65536));
    case 4:
        return 0xFFFFFFFFu;
    default:
        return uint32_t(rng() | 1u);
    }
}

int RandomShift(std::mt19937_64& rng, int bits)
{
    if (rng() % 2)
        return int(rng() % (bits / 32 + 1)) * 32 + int(rng() % 3) - 1; // next to a word boundary
    return int(rng() % (bits + 8)) - 4;
}

template <typename Ref> class WideIntCrossCheck : public testing::Test
{
};
using References = testing::Types<Int128Reference, ByteReference<256>, ByteReference<512>>;
struct ReferenceName
{
    template <typename Ref> static std::string GetName(int) { return "Bits" + std::to_string(Ref::Bits); }
};
TYPED_TEST_SUITE(WideIntCrossCheck, References, ReferenceName);

template <typename Ref> void CheckOneRound(std::mt19937_64& rng)
{
    constexpr int bits = Ref::Bits;
    using Wide = tWideInt<bits>;
    const Wide a = RandomWide<bits>(rng);
    const Wide b = RandomWide<bits>(rng);
    const auto ra = Ref::FromWide(a);
    const auto rb = Ref::FromWide(b);
    const std::string operands = WideHex(a) + " and " + WideHex(b);

    Wide x = a;
    ASSERT_EQ(WideHex(x.Add(b)), Ref::Hex(Ref::Add(ra, rb))) << "Add of " << operands;
    x = a;
    ASSERT_EQ(WideHex(x.Multiply(b)), Ref::Hex(Ref::Mul(ra, rb))) << "Multiply of " << operands;
    x = a;
    ASSERT_EQ(WideHex(x.MultiplyUnsigned(b)), Ref::Hex(Ref::Mul(ra, rb)))
        << "MultiplyUnsigned of " << operands;
    x = a;
    ASSERT_EQ(WideHex(x.BitAnd(b)), Ref::Hex(Ref::And(ra, rb))) << "BitAnd of " << operands;
    ASSERT_EQ(WideHex(a.Negate()), Ref::Hex(Ref::Neg(ra))) << "Negate of " << WideHex(a);
    ASSERT_EQ(a.IsZero(), Ref::IsZero(ra)) << WideHex(a);
    ASSERT_EQ(a.IsNegative(), Ref::IsNegative(ra)) << WideHex(a);

    const int n = RandomShift(rng, bits);
    x = a;
    ASSERT_EQ(WideHex(x.ShiftRight(n)), Ref::Hex(Ref::Shr(ra, n)))
        << "ShiftRight " << n << " of " << WideHex(a);
    x = a;
    ASSERT_EQ(WideHex(x.ShiftLeft(n)), Ref::Hex(Ref::Shl(ra, n)))
        << "ShiftLeft " << n << " of " << WideHex(a);

    // Division works at 512 bits; narrower values are zero-extended as the print engine does.
    tWideInt512 wide{};
    for (int i = 0; i < Wide::WordCount; ++i)
        wide.Words[i] = a.Words[i];
    const uint32_t divisor = RandomDivisor(rng);
    uint32_t remainder = 0;
    uint32_t expectedRemainder = 0;
    const tWideInt512 quotient = DivideBySmall(wide, divisor, &remainder);
    const auto expected = Ref::Div(ra, divisor, &expectedRemainder);
    Wide low{};
    for (int i = 0; i < Wide::WordCount; ++i)
        low.Words[i] = quotient.Words[i];
    ASSERT_EQ(WideHex(low), Ref::Hex(expected)) << WideHex(a) << " / " << divisor;
    ASSERT_EQ(remainder, expectedRemainder) << WideHex(a) << " % " << divisor;
    for (int i = Wide::WordCount; i < tWideInt512::WordCount; ++i)
        ASSERT_EQ(quotient.Words[i], 0u) << "quotient word " << i << " of " << WideHex(a) << " / " << divisor;
}

template <typename Ref> void CheckOneText(std::mt19937_64& rng)
{
    constexpr int bits = Ref::Bits;
    std::string text;
    int base = 0;
    int passedBase = 0;
    const int mode = int(rng() % 3);
    if (mode == 0) // explicit base
    {
        base = int(2 + rng() % 35);
        passedBase = base;
    }
    else if (mode == 1) // base chosen by prefix
    {
        const BasePrefix& prefix = BasePrefixes[rng() % std::size(BasePrefixes)];
        base = prefix.Base;
        passedBase = rng() % 2 ? -1 : 0;
        text = rng() % 2 ? "0" : "";
        text += prefix.Chars[rng() % std::strlen(prefix.Chars)];
    }
    else // no prefix with base detection reads decimal
    {
        base = 10;
        passedBase = -1;
    }
    const bool negative = base == 10 && text.empty() && rng() % 2;
    if (negative)
        text.insert(text.begin(), '-');

    // Up to a few digits more than fit, so the wrap of the place value is exercised too.
    const int digitCount = int(rng() % (bits / 4 + 6));
    std::vector<int> digits;
    for (int i = 0; i < digitCount; ++i)
    {
        if (rng() % 8 == 0)
            text += rng() % 2 ? '_' : ' '; // skipped, and must not advance the place value
        const int d = int(rng() % unsigned(base));
        digits.push_back(d);
        text += char(d < 10 ? '0' + d : (rng() % 2 ? 'a' : 'A') + d - 10);
    }

    auto expected = Ref::FromDigits(digits, base);
    if (negative)
        expected = Ref::Neg(expected);
    ASSERT_EQ(WideHex(tWideInt<bits>::FromText(text.c_str(), passedBase)), Ref::Hex(expected))
        << "FromText(\"" << text << "\", " << passedBase << ")";
}

TYPED_TEST(WideIntCrossCheck, EveryOperationAgreesWithTheReference)
{
    const uint32_t seed = TestSeed();
    SCOPED_TRACE(SeedTrace(seed));
    std::mt19937_64 rng(seed);

    for (int round = 0; round < 150; ++round)
    {
        CheckOneRound<TypeParam>(rng);
        if (this->HasFatalFailure())
            return;
    }
    // Parsing a long text costs two full-width multiplications per digit; a few texts suffice.
    for (int round = 0; round < 12; ++round)
    {
        CheckOneText<TypeParam>(rng);
        if (this->HasFatalFailure())
            return;
    }
}
} // namespace
