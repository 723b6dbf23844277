// The exact decimal digits of a double, for the real handlers. Every digit written is a digit of the
// double's exact binary value, rounded once at the last written digit; a value exactly halfway between
// two texts rounds away from zero. The sign is never written: the handlers place it themselves.
// Values below 2^64 with up to 19 decimals (fixed) or 17 (exponent), and not too small for them, cost
// a 128-bit multiplication or a 64-bit division and the digits; any other costs one std::to_chars call,
// and a second one when the value is exactly halfway. Nothing is written past the returned end, so a caller
// may hand over its own buffer; a text that would not fit before last makes the call return nullptr.
#pragma once

namespace tPrintDetail
{
// The longest text WriteExactFixed gives: 309 whole digits, the point and the decimals.
constexpr long long ExactFixedRoom(int decimals)
{
    return 309 + 1 + (long long)decimals;
}

// The longest text WriteExactExponent gives: the leading digit, the point, the decimals and "e+308".
constexpr long long ExactExponentRoom(int decimals)
{
    return 1 + 1 + (long long)decimals + 5;
}

// |x| in fixed form with decimals digits after the point ("2.5000"; no point for 0 decimals). x must be
// finite and decimals at least 0. Returns the end of the text.
char* WriteExactFixed(char* first, char* last, double x, int decimals);

// |x| as one digit, the point and decimals digits, then 'e', the exponent's sign and at least two
// exponent digits ("1.2346e+04", "5e-324"). With 0 decimals the point is left out unless keepPoint.
// x must be finite and decimals at least 0. Returns the end of the text.
char* WriteExactExponent(char* first, char* last, double x, int decimals, bool keepPoint);

// The number of digits of the whole part of |x|: 0 below 1, 309 for the largest double. x must be finite.
int WholeDigitCount(double x);
} // namespace tPrintDetail
