// TakeFirstPart under allocation failure: whichever of its allocations throws, the string keeps its
// text. The array allocations of this test binary go through a counter that can make the n-th one
// throw; it is disarmed everywhere else.
#include "ArrayNewCounter.h"

#include <Foundation/tString.h>
#include <gtest/gtest.h>
#include <new>
#include <string>

using ArrayNew::AllocationsUntilFailure;

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
