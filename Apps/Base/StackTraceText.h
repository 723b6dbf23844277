// The text of a captured stack trace, one line per frame (" 0# what", " 1# what", ...), as the Logger
// facade logs it.
//
// On Linux Boost.Stacktrace names every frame from the executable's DWARF debug information. On Windows
// its backend asks the debugging engine (dbgeng, with COM initialised around it), which names frames
// only from PDB files and exports: mingw-w64 writes no PDB, and wine's engine names nothing at all.
// Such frames are written as the module's file name and the offset from where it was loaded,
// "peltrak.exe+0x1a2b3", which does not depend on where Windows placed the image; addr2line turns it
// into a function and line against the debug file shipped beside the program (the README's Windows
// section says how). Frames the engine does name keep its text.
//
// Cost: one start of the debugging engine per trace on Windows (not one per frame). Throws only
// std::bad_alloc.
#pragma once

#include <boost/stacktrace.hpp>
#include <string>

#ifdef _WIN32
#include <cstdint>
#include <cstdio>
#include <windows.h>

namespace StackTraceDetail
{
// "peltrak.exe+0x1a2b3" for an address inside a loaded module, else the bare address.
inline std::string ModuleAndOffset(const void* address)
{
    char text[MAX_PATH + 32];
    HMODULE module = nullptr;
    char path[MAX_PATH];
    const DWORD flags = GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT;
    if (!GetModuleHandleExA(flags, static_cast<LPCSTR>(address), &module) ||
        GetModuleFileNameA(module, path, MAX_PATH) == 0)
    {
        std::snprintf(text, sizeof text, "0x%llx",
                      static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(address)));
        return text;
    }
    const char* name = path;
    for (const char* c = path; *c != '\0'; ++c)
        if (*c == '\\' || *c == '/')
            name = c + 1;
    const std::uintptr_t offset =
        reinterpret_cast<std::uintptr_t>(address) - reinterpret_cast<std::uintptr_t>(module);
    std::snprintf(text, sizeof text, "%s+0x%llx", name, static_cast<unsigned long long>(offset));
    return text;
}
} // namespace StackTraceDetail
#endif

inline std::string StackTraceText(const boost::stacktrace::stacktrace& trace)
{
#ifdef _WIN32
    // Boost renders every frame with one engine, "N# name at file:line" or, where the engine found no
    // name, "N# 0x<address> in <module>"; it returns nothing when the engine does not start.
    const std::string rendered = boost::stacktrace::to_string(trace);
    std::string text;
    std::size_t lineStart = 0;
    for (std::size_t i = 0; i < trace.size(); ++i)
    {
        std::string what;
        const std::size_t lineEnd = rendered.find('\n', lineStart);
        const std::size_t mark = rendered.find("# ", lineStart);
        if (lineEnd != std::string::npos && mark < lineEnd)
        {
            what = rendered.substr(mark + 2, lineEnd - mark - 2);
            lineStart = lineEnd + 1;
        }
        if (what.empty() || what.rfind("0x", 0) == 0)
            what = StackTraceDetail::ModuleAndOffset(trace[i].address());
        text += (i < 10 ? " " : "") + std::to_string(i) + "# " + what + "\n";
    }
    return text;
#else
    return boost::stacktrace::to_string(trace);
#endif
}
