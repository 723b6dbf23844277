// Intrusive doubly linked lists: the links live inside the items, so appending never allocates and
// an item can sit in exactly one list at a time. A list built with OwnsItems deletes its items, first
// to last, when it is destroyed; with any other ownership value it leaves them alone.
//
// Also here: tStringItem (a tString that can sit in a list), splitting a text at a divider into such
// items, and the start-up parse of a version text into three numbers.
#pragma once
#include <Foundation/tString.h>

// The only ownership value with a meaning: the list deletes its items when it is destroyed.
inline constexpr int OwnsItems = 2;

// The two links an item of type T carries. Both are null while the item is in no list.
template <typename T> class tLink
{
public:
    T* Next = nullptr;
    T* Prev = nullptr;
};

// Invariants: First and Last are null exactly when Count is 0; First->Prev and Last->Next are null;
// following Next from First visits Count items and ends at Last. Copying is not allowed: two lists
// would own the same items.
template <typename T> class tList
{
public:
    explicit tList(int ownership) : Ownership(ownership) {}
    tList(const tList&) = delete;
    tList& operator=(const tList&) = delete;

    // Under OwnsItems, deletes the items from the first to the last through their (virtual)
    // destructors, keeping the list consistent after each step.
    virtual ~tList();

    // Takes the item as it is, without copying; under OwnsItems the list will delete it. The item
    // must be in no list. A null item is not an item and is left out.
    void Append(T* item);

    int Ownership;
    T* First = nullptr;
    T* Last = nullptr;
    int Count = 0;
};

template <typename T> tList<T>::~tList()
{
    if (Ownership != OwnsItems)
        return;
    while (First)
    {
        T* item = First;
        First = item->Next;
        if (First)
            First->Prev = nullptr;
        else
            Last = nullptr;
        Count--;
        delete item;
    }
}

template <typename T> void tList<T>::Append(T* item)
{
    if (!item)
        return;
    item->Prev = Last;
    item->Next = nullptr;
    if (Last)
        Last->Next = item;
    Last = item;
    if (!First)
        First = item;
    Count++;
}

// A text in a list. Items are allocated singly on the heap; an owning list deletes them through the
// virtual destructor of tString, which releases the text.
struct tStringItem : tLink<tStringItem>, tString
{
    // The text is always a copy that owns its buffer; the links start null.
    explicit tStringItem(const tString& src) : tString(src) {}

    // A copy of an item is a new item with the same text, in no list: the links are deliberately not
    // copied, since one item's links are only ever valid in one list.
    // NOLINTNEXTLINE(bugprone-copy-constructor-init)
    tStringItem(const tStringItem& src) : tLink<tStringItem>(), tString(src) {}
};

// Appends one new item per piece of src between dividers and returns how many were appended; src is
// not changed. Text before a leading divider or between two adjacent dividers gives an empty item; a
// trailing divider gives no empty last item; an empty text gives none; a text without the divider
// (and any text split at 0, which never occurs in a text) gives one item holding all of it.
PELTRAK_API int tSplitString(tList<tStringItem>& parts, const tString& src, char divider);

// The three numbers of a version text, with the once-flag that guards their parse.
//
// How a version is read: the unit that defines the numbers parses the text during static
// initialisation, and so may any other unit that needs them before main, since the order of start-up
// code across units is unspecified. Whichever parse runs first does the work; the flag makes the rest
// no-ops. The numbers travel with their flag in one object the caller names, rather than as hidden
// per-text state in the parse, and the object is a plain aggregate: at namespace scope it is zero
// before any start-up code runs, so the parses may run in any order.
struct tVersionNumbers
{
    bool Read;
    int VersionMajor;
    int VersionMinor;
    int VersionPatch;
};

// Unless version.Read is set: splits text at '.', reads each of the first three pieces as a decimal
// number (every character that is not a digit, such as the quoted name before the major number, is
// skipped), stores them and sets version.Read. A text of fewer than three pieces gives 0 for each
// missing number. Once Read is set, later calls change nothing.
PELTRAK_API void tReadVersionText(tVersionNumbers& version, const char* text);

// The foundation library's own version, parsed from FoundationVersionText before main runs.
inline constexpr char FoundationVersionText[] = "\"FOUNDATION_VERSION\" \"0.8.12\"";
extern PELTRAK_API tVersionNumbers FoundationVersion;
