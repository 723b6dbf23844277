// tArray: the growth rule of both appends, the checks and their lines, and appends from itself.
#include "RecordingPrompt.h"
#include "ReportCheck.h"

#include <Foundation/tArray.h>
#include <climits>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace
{
// An array of the given shape whose first inUse slots hold 'a', 'b', 'c', ...
struct Filled
{
    Filled(int capacity, int growCount, int inUse) : Array(capacity, growCount)
    {
        for (int i = 0; i < inUse; i++)
            Array.Append(char('a' + i % 26));
    }
    tArray<char> Array;
};

std::string Contents(tArray<char>& array)
{
    return std::string(array.GetStorage(), std::size_t(array.GetCount()));
}

const char ArrayHeader[] = "Modules/Foundation/Inc/Foundation/tArray.h";
} // namespace

TEST(Array, SingleAppendGrowsByOneStepOrDrops)
{
    struct Case
    {
        int Capacity, GrowCount, InUse;
        int CapacityAfter, CountAfter;
    };
    const Case cases[] = {
        {64, 32, 64, 96, 65},                    // grows by one step and stores
        {64, 0, 64, 64, 64},                     // fixed: the element is dropped
        {64, -4, 64, 64, 64},                    // a negative step fixes the capacity too
        {64, 32, 10, 64, 11}, {0, 32, 0, 32, 1}, // no block at first; grows from there
        {-5, 8, 0, 8, 1},     {0, 0, 0, 0, 0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << c.Capacity << ", " << c.GrowCount << ", " << c.InUse);
        Filled f(c.Capacity, c.GrowCount, c.InUse);
        const std::string before = Contents(f.Array);
        f.Array.Append('!');
        EXPECT_EQ(f.Array.GetCapacity(), c.CapacityAfter);
        ASSERT_EQ(f.Array.GetCount(), c.CountAfter);
        EXPECT_EQ(Contents(f.Array), c.CountAfter > c.InUse ? before + "!" : before);
    }
}

TEST(Array, RunAppendGrowsOnceByWholeStepsOrRefusesWhole)
{
    struct Case
    {
        int Capacity, GrowCount, InUse, Run;
        bool Result;
        int CapacityAfter, CountAfter;
    };
    const Case cases[] = {
        {64, 32, 60, 10, true, 96, 70},    // 4 fit, one step holds the other 6
        {64, 32, 64, 33, true, 128, 97},   // two steps of 32
        {64, 32, 64, 32, true, 96, 96},    // exactly one step
        {64, 32, 0, 64, true, 64, 64},     // fits: no growth
        {128, 0, 120, 9, false, 128, 120}, // fixed and one short: nothing at all
        {128, 0, 120, 8, true, 128, 128},  // fills the array
        {0, 10, 0, 25, true, 30, 25},      {1, INT_MAX, 1, 2, false, 1, 1}, // the capacity would pass INT_MAX
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message()
                     << c.Capacity << ", " << c.GrowCount << ", " << c.InUse << ", n = " << c.Run);
        Filled f(c.Capacity, c.GrowCount, c.InUse);
        const std::string before = Contents(f.Array);
        const std::string run(std::size_t(c.Run), '*');
        EXPECT_EQ(f.Array.Append(run.data(), c.Run), c.Result);
        EXPECT_EQ(f.Array.GetCapacity(), c.CapacityAfter);
        ASSERT_EQ(f.Array.GetCount(), c.CountAfter);
        EXPECT_EQ(Contents(f.Array), c.Result ? before + run : before);
    }
}

TEST(Array, GrowKeepsEveryOldSlot)
{
    tArray<char> a(3, 0);
    a[2] = 'z'; // allocated but not in use
    EXPECT_FALSE(a.Grow(0));
    EXPECT_FALSE(a.Grow(-1));
    EXPECT_FALSE(a.Grow(INT_MAX));
    EXPECT_EQ(a.GetCapacity(), 3);
    EXPECT_TRUE(a.Grow(2));
    EXPECT_EQ(a.GetCapacity(), 5);
    EXPECT_EQ(a.GetCount(), 0);
    EXPECT_EQ(a[2], 'z');
    EXPECT_EQ(a[4], 0); // new slots start zeroed
}

TEST(Array, AppendFromItselfWhileGrowing)
{
    // The element and the run live in the block that growing replaces.
    Filled one(2, 2, 2);
    one.Array.Append(one.Array[0]);
    EXPECT_EQ(Contents(one.Array), "aba");

    Filled run(4, 4, 4);
    EXPECT_TRUE(run.Array.Append(run.Array.GetStorage(), 4));
    EXPECT_EQ(Contents(run.Array), "abcdabcd");
}

TEST(ArrayChecks, IndexIsCheckedAgainstCapacity)
{
    RecordingPrompt prompt;
    tArray<char> a(1, 0);
    a[0] = 'x'; // count 0, capacity 1: allowed
    EXPECT_TRUE(RecordingPrompt::Reports().empty());

    const int outside[] = {1, -1, INT_MIN, INT_MAX};
    for (int index : outside)
    {
        SCOPED_TRACE(index);
        RecordingPrompt::Reports().clear();
        a[index] = 'y'; // ignored: lands in a slot of no array
        ASSERT_EQ(RecordingPrompt::Reports().size(), 1u);
        EXPECT_EQ(RecordingPrompt::LastField("Expr"), "(index < Capacity) && (index >= 0)");
        EXPECT_EQ(RecordingPrompt::LastField("Line"), "57");
        EXPECT_TRUE(EndsWith(RecordingPrompt::LastField("File"), ArrayHeader));
    }
    EXPECT_EQ(a[0], 'x');
}

TEST(ArrayChecks, BadRunIsReportedAndAppendsNothing)
{
    RecordingPrompt prompt;
    Filled f(4, 4, 2);
    const char run[] = "xyz";
    struct Case
    {
        const char* Elements;
        int Count;
    };
    const Case cases[] = {{nullptr, 3}, {run, 0}, {run, -1}, {nullptr, 0}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Count);
        RecordingPrompt::Reports().clear();
        EXPECT_FALSE(f.Array.Append(c.Elements, c.Count));
        ASSERT_EQ(RecordingPrompt::Reports().size(), 1u);
        EXPECT_EQ(RecordingPrompt::LastField("Expr"), "elements && (numElementToAppend > 0)");
        EXPECT_EQ(RecordingPrompt::LastField("Line"), "125");
        EXPECT_TRUE(EndsWith(RecordingPrompt::LastField("File"), ArrayHeader));
        EXPECT_EQ(Contents(f.Array), "ab");
    }
}

TEST(ArrayChecks, ChecksSitOnTheirLines)
{
    // The grow-step check cannot fail through the public operations (a fixed array refuses a long run
    // before it), so its line is pinned by reading the header as compiled, found through a report.
    RecordingPrompt prompt;
    tArray<char> a(1, 0);
    a[1];
    const std::string path = RecordingPrompt::LastField("File");
    std::ifstream header(SourcePath(path));
    ASSERT_TRUE(header) << path;
    std::vector<std::string> lines(1); // lines[n] is line n
    for (std::string line; std::getline(header, line);)
        lines.push_back(line);
    ASSERT_GE(lines.size(), 145u);
    EXPECT_EQ(lines[57], "    tRequire((index < Capacity) && (index >= 0));");
    EXPECT_EQ(lines[125], "    tRequire(elements && (numElementToAppend > 0));");
    EXPECT_EQ(lines[144], "    tRequire(GrowCount > 0);");
}
