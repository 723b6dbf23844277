// The destinations that both drivers (tPrintf.h, tFormat.h) print into. A driver hands a destination
// a render function, which prints the driver's whole output into the tPrintTarget it is given; the
// destination sets the target up over the caller's buffer, array, string or file, runs the render,
// and returns the length of the whole output (cut at INT_MAX, as the target counts).
//
// A render may run more than once, and must print the same text each time: PrintBounded runs it a
// second time, only counting, when the output filled the buffer; PrintAppended to a std::string runs it
// up to three times for outputs longer than its stack buffer. Nothing here allocates except where
// said: PrintToFile and PrintToNewString render into an array of their own grown by doubling, and a
// std::string grows by its own (geometric) rule, once per call; so time and memory stay linear in the
// output everywhere.
#pragma once
#include <Foundation/tArray.h>
#include <Foundation/tString.h>
#include <System/tPrint.h>
#include <cstddef>
#include <cstdio>
#include <string>

namespace tPrintDestination
{
using tRenderFunction = void (*)(tPrintTarget& target, const void* context);

// Into dest, which must have room for the output and a terminator.
PELTRAK_API int PrintUnbounded(char* dest, tRenderFunction render, const void* context);

// snprintf's contract: at most size - 1 characters and a terminator; size 0 writes nothing and dest
// may be null. A size above PTRDIFF_MAX, which no buffer has (a negative number converted, most
// likely), is reported and then treated as 0.
PELTRAK_API int PrintBounded(char* dest, size_t size, tRenderFunction render, const void* context);

// Appended to dest, no terminator. A fixed-capacity tArray keeps the longest prefix of the output that
// fits, and nothing after it; a tArray that can grow grows by its own step (tArray.h).
PELTRAK_API int PrintAppended(tArray<char>& dest, tRenderFunction render, const void* context);
PELTRAK_API int PrintAppended(std::string& dest, tRenderFunction render, const void* context);

// In one fwrite; -1 when the stream refuses it or the text cannot be held in memory.
PELTRAK_API int PrintToFile(FILE* file, tRenderFunction render, const void* context);

// A new string: head's text followed by the output (a tString never grows, tString.h).
PELTRAK_API tString PrintToNewString(const tString& head, tRenderFunction render, const void* context);
} // namespace tPrintDestination
