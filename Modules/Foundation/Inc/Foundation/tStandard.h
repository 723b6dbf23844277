// The bottom layer of the foundation library: the always-on precondition check, the assertion report
// it raises, thin checked wrappers over the C text routines, and text-to-integer conversion.
//
// tRequire(condition) evaluates its condition exactly once, in every build. When the condition is
// false it calls tAssertFailed with the condition's source text, this file's path and the line of
// the check. The report goes to standard output first and then to an Abort / Retry / Ignore prompt:
// Abort ends the process (SIGABRT), Retry breaks into a debugger and returns if resumed, Ignore
// returns and the caller carries on with the values it has. The text functions below are written
// so that carrying on never faults: a null pointer or negative count makes them do nothing.
//
// The prompt is replaceable so that an embedding program, or a test, can answer it. The default on
// Windows is a task-modal message box; elsewhere it asks on the controlling terminal and answers
// Failed when there is none, which the report treats like Ignore.
#pragma once
#include <Foundation/tExport.h>
#include <cstdint>
#include <cstring>

enum class tAssertAnswer
{
    Abort,
    Retry,
    Ignore,
    Failed
};
using tAssertPrompt = tAssertAnswer (*)(const char* text, const char* title);

// Installs a prompt and returns the previous one; null restores the platform's default.
PELTRAK_API tAssertPrompt tSetAssertPrompt(tAssertPrompt prompt);

// Shows the report and acts on the answer; returns unless the answer was Abort. A null message
// reads "None". The report is cut to 4096 bytes, terminator included.
PELTRAK_API void tAssertFailed(const char* expr, const char* file, int line, const char* message);

#define tRequire(condition)                                                                                  \
    do                                                                                                       \
    {                                                                                                        \
        if (!(condition))                                                                                    \
            tAssertFailed(#condition, __FILE__, __LINE__, nullptr);                                          \
    } while (0)

// Text to 32-bit integer. A base in 2..36 is used as given; any other base is taken from a prefix
// ("0x", "x", "#" hexadecimal; "0d", "d" decimal; "0o", "o", "@" octal; "0n", "n" base 4; "0b", "b",
// "!" binary; otherwise decimal). The text is read right to left; characters that are not digits of
// the base are skipped, a '-' in base 10 negates what was read to its right, and the result wraps
// modulo 2^32. Null or empty text gives 0. Makes no checks.
PELTRAK_API int tTextToInt(const char* text, int base);

// Checked wrappers over the C library's text routines. Each one reports a broken precondition and,
// if the report returns, does nothing harmful: a null text has length 0, a copy with a null pointer
// or a negative count copies nothing, a search in a null text finds nothing, and a search for a code
// outside 0..0xFF (a char of 0x80..0xFF arrives negative) goes on with the code taken as a char.
// tTextCopy copies src with its terminator into dst, which must have room for it. tTextCopyN copies
// at most n characters and zero-fills the rest of the n bytes; it writes no terminator when src is n
// characters or longer. tTextFindChar finds the first c in s, the terminator included.
//
// Reports name the lines of these checks (59 to 63): keep them where they are.
// clang-format off
inline int tTextLength(const char* s) { tRequire(s); return s ? int(std::strlen(s)) : 0; }

inline void tTextCopy(char* dst, const char* src) { tRequire(dst && src); if (dst && src) std::strcpy(dst, src); }
inline void tTextCopyN(char* dst, const char* src, int n) { tRequire(dst && src && n >= 0); if (dst && src && n >= 0) std::strncpy(dst, src, std::size_t(n)); }
inline const char* tTextFindChar(const char* s, int c) { tRequire(s && c >= 0 && c < 0x100); return s ? std::strchr(s, c) : nullptr; }
// clang-format on

// The rules that tTextToInt and the wide integers' FromText share, so that both read a text alike.

// Value of a digit character: '0'..'9' give 0..9, letters of either case 10..35, anything else -1.
constexpr int tTextDigitValue(char ch)
{
    if (ch >= '0' && ch <= '9')
        return ch - '0';
    if (ch >= 'a' && ch <= 'z')
        return ch - 'a' + 10;
    if (ch >= 'A' && ch <= 'Z')
        return ch - 'A' + 10;
    return -1;
}

// The base to read a text of the given length in, and the position of its first digit. A base in
// 2..36 is kept and reading starts at 0. Any other base comes from the prefix: a leading '0' (when more
// follows) is passed over, then 'x' 'X' '#' choose 16, 'd' 'D' 10, 'o' 'O' '@' 8, 'n' 'N' 4, 'b' 'B'
// '!' 2, each consumed; any other character chooses 10 and is read as part of the number.
constexpr int tTextChooseBase(const char* text, int length, int base, int& start)
{
    start = 0;
    if (base >= 2 && base <= 36)
        return base;
    char c = text[0];
    if (length > 1 && c == '0')
    {
        start = 1;
        c = text[1];
    }
    int chosen = 10;
    // clang-format off
    switch (c)
    {
    case 'x': case 'X': case '#': chosen = 16; break;
    case 'd': case 'D':           chosen = 10; break;
    case 'o': case 'O': case '@': chosen = 8;  break;
    case 'n': case 'N':           chosen = 4;  break;
    case 'b': case 'B': case '!': chosen = 2;  break;
    default: return 10;
    }
    // clang-format on
    start++;
    return chosen;
}
