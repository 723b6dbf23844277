// A two's-complement integer of Bytes bytes, held little-endian and worked on one byte at a time with
// schoolbook carries: a reference for the word-wise wide integers that shares none of their code or
// algorithms. Plain value, no allocation; every operation costs O(Bytes), multiplication O(Bytes^2).
// No GoogleTest, so the fuzz targets use it too.
#pragma once
#include <algorithm>
#include <cstdint>
#include <string>

template <int Bytes> struct ByteWideInt
{
    static_assert(Bytes % 4 == 0, "whole 32-bit words");
    static constexpr int Bits = Bytes * 8;
    uint8_t B[Bytes] = {};

    // Words least significant first, as tWideInt holds them.
    static ByteWideInt FromWords(const uint32_t* words)
    {
        ByteWideInt r;
        for (int k = 0; k < Bytes; ++k)
            r.B[k] = uint8_t(words[k / 4] >> (8 * (k % 4)));
        return r;
    }
    void ToWords(uint32_t* words) const
    {
        for (int i = 0; i < Bytes / 4; ++i)
            words[i] = uint32_t(B[4 * i]) | uint32_t(B[4 * i + 1]) << 8 | uint32_t(B[4 * i + 2]) << 16 |
                       uint32_t(B[4 * i + 3]) << 24;
    }

    bool IsZero() const
    {
        return std::all_of(B, B + Bytes, [](uint8_t b) { return b == 0; });
    }
    bool IsNegative() const { return (B[Bytes - 1] & 0x80) != 0; }
    // Bit k, or 0 outside the value.
    bool Bit(int k) const { return k >= 0 && k < Bits && ((B[k / 8] >> (k % 8)) & 1) != 0; }

    // this = this * factor + addend, wrapping; factor and addend below 2^23 cannot overflow a column.
    ByteWideInt& MultiplyAdd(unsigned factor, unsigned addend)
    {
        unsigned carry = addend;
        for (uint8_t& b : B)
        {
            const unsigned s = unsigned(b) * factor + carry;
            b = uint8_t(s);
            carry = s >> 8;
        }
        return *this;
    }
    // 0 - this by borrows, not by inverting and adding one as the word-wise code does.
    ByteWideInt Negate() const
    {
        ByteWideInt r;
        int borrow = 0;
        for (int k = 0; k < Bytes; ++k)
        {
            const int d = 0 - int(B[k]) - borrow;
            borrow = d < 0 ? 1 : 0;
            r.B[k] = uint8_t(d + 256 * borrow);
        }
        return r;
    }
    // The quotient of the unsigned value by a divisor of 1 to 2^32 - 1, by byte long division.
    ByteWideInt DivideBySmall(uint32_t divisor, uint32_t* remainder) const
    {
        ByteWideInt q;
        uint64_t r = 0;
        for (int k = Bytes - 1; k >= 0; --k)
        {
            r = (r << 8) | B[k];
            q.B[k] = uint8_t(r / divisor);
            r %= divisor;
        }
        *remainder = uint32_t(r);
        return q;
    }
    // Digits in base 2 to 16, with a '-' when asSigned and the value is negative.
    std::string ToText(bool asSigned, unsigned base, bool upperCase) const
    {
        const bool negative = asSigned && IsNegative();
        ByteWideInt rest = negative ? Negate() : *this;
        const char* alphabet = upperCase ? "0123456789ABCDEF" : "0123456789abcdef";
        std::string digits;
        do
        {
            uint32_t digit = 0;
            rest = rest.DivideBySmall(base, &digit);
            digits += alphabet[digit];
        } while (!rest.IsZero());
        std::reverse(digits.begin(), digits.end());
        return (negative ? "-" : "") + digits;
    }

    friend ByteWideInt operator+(const ByteWideInt& a, const ByteWideInt& b)
    {
        ByteWideInt r;
        unsigned carry = 0;
        for (int k = 0; k < Bytes; ++k)
        {
            const unsigned s = unsigned(a.B[k]) + b.B[k] + carry;
            r.B[k] = uint8_t(s);
            carry = s >> 8;
        }
        return r;
    }
    // Column multiplication: every byte product summed into its column, the carries run once at the end.
    friend ByteWideInt operator*(const ByteWideInt& a, const ByteWideInt& b)
    {
        uint32_t column[Bytes] = {};
        for (int i = 0; i < Bytes; ++i)
            for (int j = 0; i + j < Bytes; ++j)
                column[i + j] += uint32_t(a.B[i]) * b.B[j];
        ByteWideInt r;
        uint32_t carry = 0;
        for (int k = 0; k < Bytes; ++k)
        {
            const uint32_t s = column[k] + carry;
            r.B[k] = uint8_t(s);
            carry = s >> 8;
        }
        return r;
    }
    friend ByteWideInt operator&(const ByteWideInt& a, const ByteWideInt& b)
    {
        ByteWideInt r;
        for (int k = 0; k < Bytes; ++k)
            r.B[k] = a.B[k] & b.B[k];
        return r;
    }
    friend bool operator==(const ByteWideInt& a, const ByteWideInt& b)
    {
        return std::equal(a.B, a.B + Bytes, b.B);
    }
};
