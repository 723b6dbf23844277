// Shared set-up for the fuzz targets: broken preconditions are answered with Ignore, quietly, so that
// a target explores what happens after a report instead of stopping at it.
#pragma once
#include <Foundation/tStandard.h>
#include <cstdio>
#include <cstdlib>

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
