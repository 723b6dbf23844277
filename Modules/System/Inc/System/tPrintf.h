// The C-style format-string driver over the type handlers (tPrint.h): the syntax is that of
// tFormatParse.h, and each argument is read from the variable argument list by its conversion's
// Category and size:
//
//   b o d i u x X c   int (hh h w8 w16 narrow it as C does), long, long long, intmax_t, size_t,
//                     ptrdiff_t, or an int32/int64/tWideInt128/256/512 *by value* for w32..w512
//   p s               a pointer
//   e f g E F G       a double
//   v q m             a pointer to the floats (v: 3 floats, w64 2, w128 4; m: 4x4, w128 2x2)
//
// The engine's own rules apply (tPrint.h), including where they differ from C; README.md lists
// the differences. An unknown or incomplete conversion is printed as it stands and takes no
// argument; "%%" prints '%'. Like printf, nothing can tell how many arguments were passed: a
// format that asks for more reads what is not there. The type-safe front end (tFormat.h) refuses
// such formats at compile time.
//
// No format and no argument value stops the program: a null %s prints "(null)" (nothing with a
// precision below 6, as glibc does), and a length that a conversion cannot take makes the conversion
// unknown. Only a null format or destination, the caller's own mistakes, is reported (tStandard.h).
//
// Every function returns the number of characters the whole output has (tfPrintf and tPrintf: -1
// when the stream refuses them). Output longer than INT_MAX characters is cut there. Time and memory
// grow linearly with the output, except where a caller's tArray is appended to: it grows by its own
// step (tArray.h).
#pragma once
#include <Foundation/tArray.h>
#include <Foundation/tString.h>
#include <System/tPrint.h>
#include <cstdarg>
#include <cstdio>

// Into dest, which must have room for the output and a terminator.
PELTRAK_API int tsPrintf(char* dest, const char* format, ...);
PELTRAK_API int tvsPrintf(char* dest, const char* format, va_list args);

// snprintf's contract: at most size - 1 characters and a terminator; size 0 (or less) writes nothing
// and dest may be null. The return value is the length of the whole output, so a result >= size
// means the text was cut. Cutting costs a second, counting-only pass over the format.
PELTRAK_API int tsnPrintf(char* dest, int size, const char* format, ...);
PELTRAK_API int tvsnPrintf(char* dest, int size, const char* format, va_list args);

// To standard output or to file, in one write per call.
PELTRAK_API int tPrintf(const char* format, ...);
PELTRAK_API int tvPrintf(const char* format, va_list args);
PELTRAK_API int tfPrintf(FILE* file, const char* format, ...);
PELTRAK_API int tvfPrintf(FILE* file, const char* format, va_list args);

// Appended to dest, no terminator. A fixed-capacity array keeps the longest prefix of the output that
// fits, and nothing after it; the return value still counts everything.
PELTRAK_API int taPrintf(tArray<char>& dest, const char* format, ...);
PELTRAK_API int tvaPrintf(tArray<char>& dest, const char* format, va_list args);

// A tString is built once and never grows (tString.h), so "appending" builds a new string: head's
// text followed by the output. Costs one scratch array, grown by doubling, and one copy.
PELTRAK_API tString tStringPrintf(const tString& head, const char* format, ...);
PELTRAK_API tString tvStringPrintf(const tString& head, const char* format, va_list args);
