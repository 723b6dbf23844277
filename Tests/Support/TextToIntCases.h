// One golden table of text-to-integer conversions that fit 32 bits, for every parser that follows the
// same rules: tTextToInt, and FromText at every width. No GoogleTest, so a fuzz target may use it too.
#pragma once
#include <climits>
#include <cstdint>

struct TextToIntCase
{
    const char* Text;
    int Base;
    int32_t Expected;
};

// clang-format off
inline constexpr TextToIntCase TextToIntCases[] = {
    // An explicit base recognises no prefix.
    {"0b101", 16, 0xB101}, {"0x1F", 16, 0x1F}, {"0x1F", 10, 1}, // 'x' and 'F' are no decimal digits
    {"zZ", 36, 35 * 36 + 35}, {"zz", 36, 35 * 36 + 35}, {"fF", 16, 255}, {"ff", 16, 255}, {"FF", 16, 255},
    {"1012", 2, 5}, {"1021", 2, 5}, // '2' is skipped and does not take a place
    {"-ff", 16, 255}, {"-10", 16, 16}, // '-' negates in base 10 only
    {"777", 8, 511}, {"33", 4, 15},
    // Signs and skipped characters in base 10.
    {"-12", 10, -12}, {"1-2", 10, 8}, // the 2 is negated, then 10 is added
    {"--5", 10, 5}, {"1_000", 10, 1000}, {" 4 2 ", 10, 42}, {"12ab", 10, 12},
    {"\"PELTRAK_VERSION\" \"1", 10, 1}, // letters, quotes, spaces and '_' are skipped
    {"\xC3\xA9" "42", 10, 42},          // codes 0x80..0xFF are no digits
    {"-2147483648", 10, INT32_MIN}, {"", 10, 0}, {"", -1, 0}, {"-", 10, 0}, {"_", -1, 0},
    // A base outside 2..36 is chosen by prefix.
    {"0x1F", -1, 31}, {"0x1F", 0, 31}, {"x1F", -1, 31}, {"x1F", 0, 31}, {"#1F", -1, 31}, {"#1F", 0, 31},
    {"0X1f", 0, 31}, {"0X1f", 1, 31},
    {"0b101", -1, 5}, {"0b101", 0, 5}, {"b101", -1, 5}, {"b101", 0, 5}, {"!101", -1, 5}, {"!101", 0, 5},
    {"0B101", 37, 5}, {"B101", 37, 5},
    {"0o17", -1, 15}, {"0o17", 0, 15}, {"o17", -1, 15}, {"o17", 0, 15}, {"@17", -1, 15}, {"@17", 0, 15},
    {"0n123", -1, 27}, {"N123", -1, 27}, {"N13", 0, 7}, {"0n13", -1, 7},
    {"0d99", -1, 99}, {"0d99", 0, 99}, {"D99", -1, 99}, {"d99", 0, 99}, {"99", -1, 99}, {"99", 0, 99},
    {"0", -1, 0}, {"0", 0, 0}, {"0x", -1, 0}, {"0x", 0, 0}, {"x", 0, 0}, {"7", -1, 7},
    {"007", -1, 7}, // the first '0' is passed over, the second is a digit
    {"09", 0, 9},
    {"-0x10", -1, -10}, {"-0x10", 0, -10}, // '-' picks base 10 unconsumed; 'x' is then an invalid digit
    {"-0b11", -1, -11}, {"0-5", 0, -5},
};
// clang-format on
