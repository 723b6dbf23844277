// The fault-injection half of the preloaded test shim (FaultShim.cpp; HostileShim.cpp is the other
// half). From the start of the tool's main to its end, every call the shim wraps is counted by the
// name the fault table uses ("openat", "fsync", "fwrite", ...); what the loader and the runtimes do
// before main is not counted, so the counts are the capture's own. Two environment variables:
//   PELTRAK_SHIM_FAIL=CALL:N:ERRNO  the N-th call of CALL (from 1) fails with errno number ERRNO, once;
//                                   close and fclose still close, as Linux does when they report an error
//                                   and from then on /proc/self/exe cannot be opened, so that the failure's
//                                   stack trace is rendered without debug information, in milliseconds
//   PELTRAK_SHIM_COUNT=PATH         when the tool ends, PATH gets one "CALL COUNT" line per call name
#pragma once

#include <dlfcn.h>

// The next definition of name after the shim's own: the C library's (or a sanitizer's interceptor).
template <typename Function> Function Next(const char* name)
{
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

// Counts one call of call; true, with errno set, when it is the call chosen to fail.
bool FailThisCall(const char* call);
