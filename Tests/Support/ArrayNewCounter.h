// Replaces the array forms of operator new and delete in the test binary whose one file includes this
// header: every array allocation is counted in bytes, and the n-th one from now can be made to throw.
// Nothing else changes: the blocks come from malloc, so the sanitizers still see every access.
#pragma once
#include <cstddef>
#include <cstdlib>
#include <new>

namespace ArrayNew
{
inline std::size_t Bytes = 0;           // Bytes asked for so far.
inline int AllocationsUntilFailure = 0; // 0: never fail; n: the n-th allocation from now throws.
} // namespace ArrayNew

void* operator new[](std::size_t size)
{
    if (ArrayNew::AllocationsUntilFailure > 0 && --ArrayNew::AllocationsUntilFailure == 0)
        throw std::bad_alloc();
    ArrayNew::Bytes += size;
    if (void* block = std::malloc(size == 0 ? 1 : size))
        return block;
    throw std::bad_alloc();
}

void operator delete[](void* block) noexcept
{
    std::free(block);
}

void operator delete[](void* block, std::size_t) noexcept
{
    std::free(block);
}
