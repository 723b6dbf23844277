// Intrusive lists: appending, teardown order, splitting a text, and the version numbers.
#include <Foundation/tList.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace
{
// An item that notes, as it dies, its name and the state of the list deleting it.
struct Noted : tLink<Noted>
{
    struct Seen
    {
        std::string Name;
        int Count;
        const Noted* First;
        bool FirstHasNoPrev;
        bool LastClearedWhenEmpty;
    };

    Noted(std::string name, const tList<Noted>* list, std::vector<Seen>* log)
        : Name(std::move(name)), List(list), Log(log)
    {
    }
    virtual ~Noted()
    {
        Log->push_back(
            {Name, List->Count, List->First, !List->First || !List->First->Prev, List->First || !List->Last});
    }

    std::string Name;
    const tList<Noted>* List;
    std::vector<Seen>* Log;
};

std::vector<std::string> Texts(const tList<tStringItem>& list)
{
    std::vector<std::string> texts;
    for (const tStringItem* item = list.First; item; item = item->Next)
        texts.push_back(item->Chars);
    return texts;
}

// Walks the list both ways and checks that it agrees with its Count, First and Last.
void ExpectConsistent(const tList<tStringItem>& list)
{
    int forward = 0;
    const tStringItem* last = nullptr;
    for (const tStringItem* item = list.First; item; item = item->Next, forward++)
    {
        EXPECT_EQ(item->Prev, last);
        last = item;
    }
    EXPECT_EQ(forward, list.Count);
    EXPECT_EQ(last, list.Last);
}
} // namespace

TEST(List, AppendLinksItemsInOrder)
{
    tList<tStringItem> list(0); // items on the stack: the list must not delete them
    tStringItem a(tString("a")), b(tString("b")), c(tString("c"));
    EXPECT_EQ(list.First, nullptr);
    EXPECT_EQ(list.Last, nullptr);

    list.Append(&a);
    EXPECT_EQ(list.First, &a);
    EXPECT_EQ(list.Last, &a);
    list.Append(&b);
    list.Append(nullptr); // not an item; the list is unchanged
    list.Append(&c);
    // [a, b, c]
    EXPECT_EQ(list.Count, 3);
    EXPECT_EQ(list.First, &a);
    EXPECT_EQ(list.Last, &c);
    EXPECT_EQ(b.Prev, &a);
    EXPECT_EQ(b.Next, &c);
    ExpectConsistent(list);
}

TEST(List, OwningListDeletesFirstToLastStayingConsistent)
{
    std::vector<Noted::Seen> log;
    {
        tList<Noted> list(OwnsItems);
        for (const char* name : {"a", "b", "c"})
            list.Append(new Noted(name, &list, &log));
        // [a, b, c]
    }
    ASSERT_EQ(log.size(), 3u);
    const char* names[] = {"a", "b", "c"};
    for (int i = 0; i < 3; i++)
    {
        SCOPED_TRACE(names[i]);
        EXPECT_EQ(log[i].Name, names[i]);
        EXPECT_EQ(log[i].Count, 2 - i); // already counted out when deleted
        EXPECT_TRUE(log[i].FirstHasNoPrev);
        EXPECT_TRUE(log[i].LastClearedWhenEmpty);
    }
    EXPECT_EQ(log[2].First, nullptr);
}

TEST(List, OtherOwnershipLeavesItemsAlone)
{
    struct Counted : tLink<Counted>
    {
        explicit Counted(int* deaths) : Deaths(deaths) {}
        virtual ~Counted() { ++*Deaths; }
        int* Deaths;
    };
    const int values[] = {0, 1, 3, -2};
    for (int ownership : values)
    {
        SCOPED_TRACE(ownership);
        int deaths = 0;
        Counted a(&deaths), b(&deaths);
        {
            tList<Counted> list(ownership);
            list.Append(&a);
            list.Append(&b);
        }
        EXPECT_EQ(deaths, 0);
    }
}

TEST(SplitString, Pieces)
{
    struct Case
    {
        const char* Text;
        char Divider;
        std::vector<std::string> Items;
    };
    const Case cases[] = {
        {"1.0.0", '.', {"1", "0", "0"}},
        {"a..b", '.', {"a", "", "b"}},
        {".a", '.', {"", "a"}},
        {"a.", '.', {"a"}},
        {"..", '.', {"", ""}},
        {"abc", '.', {"abc"}},
        {"", '.', {}},
        {"abc", 0, {"abc"}}, // 0 never occurs: one item, and the split ends
        {"", 0, {}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(std::string("\"") + c.Text + "\"");
        tList<tStringItem> parts(OwnsItems);
        const tString src(c.Text);
        EXPECT_EQ(tSplitString(parts, src, c.Divider), int(c.Items.size()));
        EXPECT_EQ(Texts(parts), c.Items);
        EXPECT_STREQ(src.Chars, c.Text);
        ExpectConsistent(parts);
    }
}

TEST(SplitString, AppendsAfterExistingItems)
{
    tList<tStringItem> parts(OwnsItems);
    tSplitString(parts, tString("x"), '.');
    EXPECT_EQ(tSplitString(parts, tString("1.2"), '.'), 2);
    EXPECT_EQ(Texts(parts), (std::vector<std::string>{"x", "1", "2"}));
    ExpectConsistent(parts);
}

TEST(StringItem, CopyIsANewItemInNoList)
{
    tList<tStringItem> parts(OwnsItems);
    tSplitString(parts, tString("a.b"), '.');
    const tStringItem copy(*parts.First);
    EXPECT_EQ(copy.Next, nullptr);
    EXPECT_EQ(copy.Prev, nullptr);
    EXPECT_STREQ(copy.Chars, "a");
    EXPECT_NE(copy.Chars, parts.First->Chars);
}

TEST(VersionText, FoundationVersionIsReadBeforeMain)
{
    EXPECT_TRUE(FoundationVersion.Read);
    EXPECT_EQ(FoundationVersion.VersionMajor, 0);
    EXPECT_EQ(FoundationVersion.VersionMinor, 8);
    EXPECT_EQ(FoundationVersion.VersionPatch, 12);
    EXPECT_STREQ(FoundationVersionText, "\"FOUNDATION_VERSION\" \"0.8.12\"");
}

TEST(VersionText, Numbers)
{
    struct Case
    {
        const char* Text;
        int Major, Minor, Patch;
    };
    const Case cases[] = {
        {"\"PELTRAK_VERSION\" \"1.0.0\"", 1, 0, 0},
        {"\"FOUNDATION_VERSION\" \"0.8.12\"", 0, 8, 12},
        {"\"V\" \"3.4\"", 3, 4, 0}, // missing numbers are 0
        {"\"V\" \"7\"", 7, 0, 0},
        {"", 0, 0, 0},
        {nullptr, 0, 0, 0},
        {"1.2.3.4", 1, 2, 3}, // pieces past the third are not read
        {"1..3", 1, 0, 3},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.Text ? c.Text : "(null)");
        tVersionNumbers version = {};
        tReadVersionText(version, c.Text);
        EXPECT_TRUE(version.Read);
        EXPECT_EQ(version.VersionMajor, c.Major);
        EXPECT_EQ(version.VersionMinor, c.Minor);
        EXPECT_EQ(version.VersionPatch, c.Patch);
    }
}

TEST(VersionText, SecondReadChangesNothing)
{
    tVersionNumbers version = {};
    tReadVersionText(version, "\"PELTRAK_VERSION\" \"1.0.0\"");
    tReadVersionText(version, "\"PELTRAK_VERSION\" \"9.9.9\"");
    EXPECT_EQ(version.VersionMajor, 1);
    EXPECT_EQ(version.VersionMinor, 0);
    EXPECT_EQ(version.VersionPatch, 0);

    // Each text has its own flag: reading one leaves another untouched.
    tVersionNumbers other = {};
    EXPECT_FALSE(other.Read);
    tReadVersionText(other, "\"FOUNDATION_VERSION\" \"0.8.12\"");
    EXPECT_EQ(other.VersionPatch, 12);
    EXPECT_EQ(version.VersionPatch, 0);
}
