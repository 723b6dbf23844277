// The replacements that ArrayNewCounter.h describes. One definition per program, so they live here
// rather than in the header, which several test files of one binary include.
#include "ArrayNewCounter.h"

#include <cstdlib>
#include <new>

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
