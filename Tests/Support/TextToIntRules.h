// The text-to-integer rules, written plainly for the references the parsers are checked against: the
// digit values, the base prefixes, and the walk from the right that every reference parse shares.
// No GoogleTest, so the fuzz targets use it too.
#pragma once
#include <cstddef>
#include <cstring>
#include <string>

// The value of a digit in bases up to 36, or -1 for a character that is no digit. Looked up by
// position, unlike the parsers' own range tests.
inline int DigitValue(char ch)
{
    static const char digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    const char lower = ch >= 'A' && ch <= 'Z' ? char(ch - 'A' + 'a') : ch;
    const char* at = lower != '\0' ? std::strchr(digits, lower) : nullptr;
    return at ? int(at - digits) : -1;
}

// The characters that choose a base when none in 2..36 is given, each after an optional '0'.
struct BasePrefix
{
    const char* Chars;
    int Base;
};
inline constexpr BasePrefix BasePrefixes[] = {{"xX#", 16}, {"dD", 10}, {"oO@", 8}, {"nN", 4}, {"bB!", 2}};

// The base to read in and the first character to read: a base in 2..36 is kept and reading starts at
// the beginning; otherwise a prefix chooses the base and is passed over, and without one it is 10.
inline void ChooseBase(const std::string& text, int& base, size_t& start)
{
    start = 0;
    if ((base >= 2 && base <= 36) || text.empty())
        return;
    base = 10;
    char c = text[0];
    if (text.size() > 1 && c == '0')
        c = text[++start];
    for (const BasePrefix& prefix : BasePrefixes)
        if (c != '\0' && std::strchr(prefix.Chars, c))
        {
            base = prefix.Base;
            start++;
            return;
        }
}

// The parse as defined: from the right, each digit adds digit * place and multiplies the place by the
// base (addDigit(digit, base) does both), and in base 10 each '-' negates what is read so far.
// Characters that are no digit of the base are skipped and take no place.
template <typename Negate, typename AddDigit>
void ParseRightToLeft(const std::string& text, int base, Negate negate, AddDigit addDigit)
{
    size_t start = 0;
    ChooseBase(text, base, start);
    for (size_t at = text.size(); at-- > start;)
    {
        if (text[at] == '-' && base == 10)
        {
            negate();
            continue;
        }
        const int digit = DigitValue(text[at]);
        if (digit >= 0 && digit < base)
            addDigit(digit, base);
    }
}
