// The 64-bit limb arithmetic behind the wide integers: the low half of a product, a multiply-add by
// one limb, and short division by a fixed 64-bit divisor.
//
// A limb array holds a value of N * 64 bits, limb 0 least significant. tWideInt keeps its 32-bit words
// (that layout is its promise); its multiply and parse read the words into limbs, work on those and
// write them back, because one 64 x 64-bit product does the work of four 32 x 32-bit ones.
//
// Each step is written once over a limb math, which supplies the one operation C++ lacks: the full
// 128-bit result of a * b + c + d (and, for the product's columns, the same added into three limbs).
// tNativeLimbMath takes it from the compiler's unsigned __int128 (one mul and an add/adc pair on
// x86-64); tPortableLimbMath builds it from four 32 x 32-bit products and runs anywhere. Both give the
// same bits; tLimbMath is the native one where the type exists, and the tests run every step through
// both.
//
// Everything is constexpr, allocates nothing and keeps no state. Arithmetic is unsigned throughout.
#pragma once
#include <cstdint>
#include <cstring>

// Asks the compiler to unroll a loop with a bound known at compile time. The column loops of the
// product are short and fixed; unrolled, each step is a load, a mul and three adds with no loop
// control, which halves the cost of the product.
#if defined(__GNUC__)
#define T_FIXINT_UNROLL _Pragma("GCC unroll 16")
#else
#define T_FIXINT_UNROLL
#endif

namespace tFixIntDetail
{
// A two-limb value: a 128-bit product, or a quotient and its remainder.
struct tTwoLimbs
{
    uint64_t Low;
    uint64_t High;
};

struct tPortableLimbMath
{
    // a * b + c + d, which always fits 128 bits: (2^64 - 1)^2 + 2 (2^64 - 1) = 2^128 - 1.
    static constexpr tTwoLimbs MultiplyAdd(uint64_t a, uint64_t b, uint64_t c, uint64_t d)
    {
        const uint64_t half = 0xFFFFFFFFu;
        const uint64_t lowLow = (a & half) * (b & half);
        const uint64_t lowHigh = (a & half) * (b >> 32);
        const uint64_t highLow = (a >> 32) * (b & half);
        // Three values below 2^32 each: the middle column cannot overflow.
        const uint64_t middle = (lowLow >> 32) + (lowHigh & half) + (highLow & half);
        uint64_t low = (middle << 32) | (lowLow & half);
        uint64_t high = (a >> 32) * (b >> 32) + (lowHigh >> 32) + (highLow >> 32) + (middle >> 32);
        low += c;
        high += low < c ? 1u : 0u;
        low += d;
        high += low < d ? 1u : 0u;
        return {low, high};
    }

    // <sum0, sum1, sum2> += a * b: one place of a product, summed over its columns.
    static constexpr void MultiplyAccumulate(uint64_t a, uint64_t b, uint64_t& sum0, uint64_t& sum1,
                                             uint64_t& sum2)
    {
        const tTwoLimbs t = MultiplyAdd(a, b, sum0, 0);
        sum0 = t.Low;
        sum1 += t.High;
        sum2 += sum1 < t.High ? 1u : 0u;
    }
};

#if defined(__SIZEOF_INT128__)
struct tNativeLimbMath
{
    __extension__ typedef unsigned __int128 tUint128;

    static constexpr tTwoLimbs MultiplyAdd(uint64_t a, uint64_t b, uint64_t c, uint64_t d)
    {
        const tUint128 t = tUint128(a) * b + c + d;
        return {static_cast<uint64_t>(t), static_cast<uint64_t>(t >> 64)};
    }

    // The same sum as the portable one, written so that the compiler sees one add/adc/adc chain.
    static constexpr void MultiplyAccumulate(uint64_t a, uint64_t b, uint64_t& sum0, uint64_t& sum1,
                                             uint64_t& sum2)
    {
        const tUint128 t = tUint128(a) * b;
        const tUint128 sum = (tUint128(sum1) << 64 | sum0) + t;
        sum2 += sum < t ? 1u : 0u;
        sum0 = static_cast<uint64_t>(sum);
        sum1 = static_cast<uint64_t>(sum >> 64);
    }
};
using tLimbMath = tNativeLimbMath;
#else
using tLimbMath = tPortableLimbMath;
#endif

// ------------------------------------------------------------------------------------------------
// Words and limbs. Limb i is word 2i (its low half) and word 2i + 1. An odd word count leaves the top
// limb's high half zero when read and drops it when written, which is the wrap of the narrower value.

template <int Count> constexpr int LimbCount = (Count + 1) / 2;

// True when running as machine code on a little-endian machine, where the words of a value already
// are its limbs in memory (and eight characters their 64-bit number), so a copy does what the loops
// do; compilers do not always see that through a loop. The loops serve constant expressions and other
// byte orders.
constexpr bool CopiesAsLittleEndian()
{
#if defined(__GNUC__) && defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    return !__builtin_is_constant_evaluated();
#else
    return false;
#endif
}

template <int Count>
constexpr void WordsToLimbs(const uint32_t (&words)[Count], uint64_t (&limbs)[LimbCount<Count>])
{
    constexpr int N = LimbCount<Count>;
    if (CopiesAsLittleEndian())
    {
        limbs[N - 1] = 0;
        std::memcpy(limbs, words, sizeof words);
        return;
    }
    for (int i = 0; i < N; ++i)
    {
        const uint64_t high = 2 * i + 1 < Count ? words[2 * i + 1] : 0u;
        limbs[i] = words[2 * i] | high << 32;
    }
}

template <int Count>
constexpr void LimbsToWords(const uint64_t (&limbs)[LimbCount<Count>], uint32_t (&words)[Count])
{
    if (CopiesAsLittleEndian())
    {
        std::memcpy(words, limbs, sizeof words);
        return;
    }
    for (int i = 0; i < Count; ++i)
        words[i] = static_cast<uint32_t>(limbs[i / 2] >> (32 * (i % 2)));
}

// The number of limbs up to and including the highest non-zero one.
template <int N> constexpr int UsedLimbs(const uint64_t (&limbs)[N])
{
    int used = N;
    while (used > 0 && limbs[used - 1] == 0)
        --used;
    return used;
}

// ------------------------------------------------------------------------------------------------
// The low N limbs of a * b.
//
// Two schoolbook orders, chosen by the shorter operand's used limbs. With few, rows: one pass over the
// other operand per used limb, so a one-limb multiplier costs N products. Otherwise columns (Comba's
// order): each place of the result sums its products a[i] * b[k - i] into three limbs and is stored
// once, and the loops are unrolled, so there is no loop control and no reload of a partial result.
// Either way no product is formed for a place at or past the width (the wrap), and the top place needs
// only the low halves of its products.

// Row order over the used limbs. Row i's carry lands on a limb no earlier row has reached.
template <typename tMath, int N>
constexpr void MultiplyRows(const uint64_t* outer, int outerUsed, const uint64_t* inner, int innerUsed,
                            uint64_t (&product)[N])
{
    for (int i = 0; i < N; ++i)
        product[i] = 0;
    for (int i = 0; i < outerUsed; ++i)
    {
        const uint64_t m = outer[i];
        if (m == 0)
            continue;
        const int end = innerUsed < N - i ? innerUsed : N - i;
        uint64_t carry = 0;
        for (int j = 0; j < end; ++j)
        {
            const tTwoLimbs t = tMath::MultiplyAdd(m, inner[j], product[i + j], carry);
            product[i + j] = t.Low;
            carry = t.High;
        }
        if (i + end < N)
            product[i + end] = carry;
    }
}

// Column order over every limb. The running sum of a column is (sum0, sum1, sum2): at most N products
// of under 2^128 each, so three limbs hold it; sum1 and sum2 move down as the next column's start.
template <typename tMath, int N>
constexpr void MultiplyColumns(const uint64_t (&a)[N], const uint64_t (&b)[N], uint64_t (&product)[N])
{
    uint64_t sum0 = 0;
    uint64_t sum1 = 0;
    T_FIXINT_UNROLL
    for (int k = 0; k < N - 1; ++k)
    {
        uint64_t sum2 = 0;
        T_FIXINT_UNROLL
        for (int i = 0; i <= k; ++i)
            tMath::MultiplyAccumulate(a[i], b[k - i], sum0, sum1, sum2);
        product[k] = sum0;
        sum0 = sum1;
        sum1 = sum2;
    }
    T_FIXINT_UNROLL
    for (int i = 0; i < N; ++i)
        sum0 += a[i] * b[N - 1 - i];
    product[N - 1] = sum0;
}

template <typename tMath, int N>
constexpr void MultiplyLowLimbs(const uint64_t (&a)[N], const uint64_t (&b)[N], uint64_t (&product)[N])
{
    const int usedA = UsedLimbs(a);
    const int usedB = UsedLimbs(b);
    const bool aShorter = usedA <= usedB;
    const int shorterUsed = aShorter ? usedA : usedB;
    // Rows win while they form at most about half the products of the columns (N (N + 1) / 2), at
    // twice the cost per product for their loop control.
    if (shorterUsed * 4 <= N)
        MultiplyRows<tMath>(aShorter ? a : b, shorterUsed, aShorter ? b : a, aShorter ? usedB : usedA,
                            product);
    else
        MultiplyColumns<tMath>(a, b, product);
}

// ------------------------------------------------------------------------------------------------
// limbs[0, used) = limbs * factor + addend; the limb that carries out goes into limbs[used] while there
// is room (at the top it is dropped, the wrap), and used grows to cover it. Limbs at and above used
// must be zero.
template <typename tMath, int N>
constexpr void MultiplyAddLimb(uint64_t (&limbs)[N], int& used, uint64_t factor, uint64_t addend)
{
    uint64_t carry = addend;
    for (int i = 0; i < used; ++i)
    {
        const tTwoLimbs t = tMath::MultiplyAdd(limbs[i], factor, carry, 0);
        limbs[i] = t.Low;
        carry = t.High;
    }
    if (carry != 0 && used < N)
        limbs[used++] = carry;
}

// limbs -= value, modulo 2^(64 N). A borrow that runs past used leaves ones above it, so used then
// covers every limb.
template <int N> constexpr void SubtractLimb(uint64_t (&limbs)[N], int& used, uint64_t value)
{
    uint64_t borrow = value;
    for (int i = 0; i < N && borrow != 0; ++i)
    {
        const uint64_t old = limbs[i];
        limbs[i] = old - borrow;
        borrow = old < borrow ? 1u : 0u;
        if (i >= used && borrow != 0)
            used = N;
    }
}

// ------------------------------------------------------------------------------------------------
// Division by a fixed divisor of 64 bits with its top bit set, with a reciprocal worked out once
// (Moeller and Granlund, "Improved division by invariant integers", 2011): each limb then costs two
// products and two corrections instead of a hardware division, which has no 128-bit form in C++.

struct tInvariantDivisor
{
    uint64_t Divisor;    // At least 2^63.
    uint64_t Reciprocal; // floor((2^128 - 1) / Divisor) - 2^64.
};

// The reciprocal is the quotient of 2^128 - 1 - Divisor * 2^64 by Divisor, a 128-bit dividend whose high
// limb (~divisor) is below the divisor, so the quotient fits a limb; found a bit at a time, which is
// meant for constants worked out at compile time.
constexpr tInvariantDivisor MakeInvariantDivisor(uint64_t divisor)
{
    uint64_t r = ~divisor;
    uint64_t q = 0;
    for (int bit = 63; bit >= 0; --bit)
    {
        // r = 2r + 1 (the low limb is all ones); the bit shifted out of r makes it exceed the divisor.
        const bool over = (r >> 63) != 0;
        r = r << 1 | 1u;
        q <<= 1;
        if (over || r >= divisor)
        {
            r -= divisor;
            q |= 1u;
        }
    }
    return {divisor, q};
}

// <high, low> / divisor for high below the divisor: the quotient (Low) and the remainder (High).
template <typename tMath> constexpr tTwoLimbs DivideTwoLimbs(uint64_t high, uint64_t low, tInvariantDivisor d)
{
    // The estimate <q1, q0> = reciprocal * high + <high + 1, low>, modulo 2^128.
    const tTwoLimbs estimate = tMath::MultiplyAdd(d.Reciprocal, high, low, 0);
    uint64_t q = estimate.High + high + 1;
    uint64_t r = low - q * d.Divisor;
    // The estimate is one too large about as often as not, so that correction is made without a
    // branch; the second one is rare.
    const uint64_t tooLarge = 0 - static_cast<uint64_t>(r > estimate.Low);
    q += tooLarge;
    r += tooLarge & d.Divisor;
    if (r >= d.Divisor)
    {
        ++q;
        r -= d.Divisor;
    }
    return {q, r};
}

// limbs[0, top] /= divisor in place, from the top limb down; returns the remainder.
template <typename tMath, int N>
constexpr uint64_t DivideLimbs(uint64_t (&limbs)[N], int top, tInvariantDivisor d)
{
    uint64_t r = 0;
    for (int i = top; i >= 0; --i)
    {
        const tTwoLimbs step = DivideTwoLimbs<tMath>(r, limbs[i], d);
        limbs[i] = step.Low;
        r = step.High;
    }
    return r;
}
} // namespace tFixIntDetail

#undef T_FIXINT_UNROLL
