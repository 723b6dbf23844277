// TakeFirstPart under allocation failure: whichever of its allocations throws, the string keeps its
// text. The array allocations of this test binary go through a counter that can make the n-th one
// throw; it is disarmed everywhere else.
#include <Foundation/tString.h>
#include <cstdlib>
#include <gtest/gtest.h>
#include <new>
#include <string>

namespace
{
int AllocationsUntilFailure = 0; // 0: never fail.
}

void* operator new[](std::size_t size)
{
    if (AllocationsUntilFailure > 0 && --AllocationsUntilFailure == 0)
        throw std::bad_alloc();
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

TEST(TakeFirstPart, KeepsTheTextWhenAnAllocationFails)
{
    const struct
    {
        const char* Text;
        int Allocations; // How many array allocations a successful cut makes.
    } cases[] = {
        {"abc", 2},     // no divider: the part, the returned copy
        {"abc,def", 3}, // the part, the remainder, the returned copy
        {",def", 2},    // empty part: the remainder, the returned copy
    };
    for (const auto& c : cases)
        for (int failing = 1; failing <= c.Allocations; failing++)
        {
            SCOPED_TRACE(std::string(c.Text) + ", allocation " + std::to_string(failing));
            tString text(c.Text);
            AllocationsUntilFailure = failing;
            EXPECT_THROW(text.TakeFirstPart(','), std::bad_alloc);
            AllocationsUntilFailure = 0;
            EXPECT_STREQ(text.Chars, c.Text);
        }
}
