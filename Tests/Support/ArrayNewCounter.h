// The array forms of operator new and delete are replaced in the test binaries that compile
// ArrayNewCounter.cpp in: every array allocation is counted in bytes, and the n-th one from now can be
// made to throw. Any of their files may include this header to read or arm the counter. Nothing else
// changes: the blocks come from malloc, so the sanitizers still see every access.
#pragma once
#include <cstddef>

namespace ArrayNew
{
inline std::size_t Bytes = 0;           // Bytes asked for so far.
inline int AllocationsUntilFailure = 0; // 0: never fail; n: the n-th allocation from now throws.
} // namespace ArrayNew
