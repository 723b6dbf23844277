// Shared set-up for the fuzz targets: broken preconditions are answered with Ignore, quietly, so that
// a target explores what happens after a report instead of stopping at it.
#pragma once
#include <Foundation/tStandard.h>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

inline tAssertAnswer FuzzIgnoreReport(const char*, const char*)
{
    return tAssertAnswer::Ignore;
}

// The report's console copy would drown the fuzzer's own output.
inline void FuzzQuietReports()
{
    tSetAssertPrompt(&FuzzIgnoreReport);
    if (!std::freopen("/dev/null", "w", stdout))
        std::abort();
}

// The fuzzer's initialisation for a target that needs nothing more than quiet reports.
#define FUZZ_INITIALIZE_QUIETLY()                                                                            \
    extern "C" int LLVMFuzzerInitialize(int*, char***)                                                       \
    {                                                                                                        \
        FuzzQuietReports();                                                                                  \
        return 0;                                                                                            \
    }

// The bytes as the code under test reads C text: everything after an embedded NUL is invisible to it.
inline std::string FuzzCText(const uint8_t* data, size_t size)
{
    const char* chars = reinterpret_cast<const char*>(data);
    return std::string(chars, strnlen(chars, size));
}

// Stops the run with a message when an invariant does not hold; the fuzzer saves the input.
#define FUZZ_CHECK(condition)                                                                                \
    do                                                                                                       \
    {                                                                                                        \
        if (!(condition))                                                                                    \
        {                                                                                                    \
            std::fprintf(stderr, "invariant failed: %s (%s:%d)\n", #condition, __FILE__, __LINE__);          \
            std::abort();                                                                                    \
        }                                                                                                    \
    } while (0)
