// An owned, zero-terminated text of 8-bit characters.
//
// Chars is never null. It is either the address of the shared EmptyBuffer, which is never written and
// never released, or a heap buffer of exactly length + 1 bytes that this string owns. A string owns
// its buffer exactly when Chars is not &EmptyBuffer; every release compares first. Not every empty
// string uses EmptyBuffer (a copy of an empty string owns a one-byte buffer), so test emptiness by
// the first character, never by the pointer.
//
// Every argument check goes through the text functions of tStandard.h and reports their lines. There
// is no spare capacity, no sharing of buffers and no assignment: a string is built once and then only
// cut by TakeFirstPart.
#pragma once
#include <Foundation/tStandard.h>

struct PELTRAK_API tString
{
    // Allocates nothing, so a global tString is constant data and needs no start-up code.
    constexpr tString() : Chars(&EmptyBuffer) {}

    // A null or empty text allocates nothing and points at EmptyBuffer; so does a text too long for
    // a signed 32-bit length, which no other operation could measure.
    tString(const char* src);

    // Always allocates, even for an empty text: the copy owns a buffer of its own.
    tString(const tString& src);

    // Copying by assignment would need a release rule of its own; nothing needs it, so there is none.
    tString& operator=(const tString&) = delete;

    // Items of an owning list are deleted through this destructor (see tList.h).
    virtual ~tString();

    // Index of the first c in the text, or -1. The terminator is not part of the text, so 0 is never
    // found. A character code 0x80 to 0xFF (negative as a char) is reported; if the report returns the
    // search goes on with it.
    int FindChar(char c) const;

    // Removes the text before the first divider, and the divider, from this string and returns that
    // text; the returned string always owns its buffer, even when empty. The remainder is a freshly
    // owned buffer, even when empty. When the divider does not occur (a divider of 0 never does), the
    // whole text is returned and this string is left pointing at EmptyBuffer.
    // Costs up to three allocations, all made before this string changes: if one throws, this string
    // is unchanged and nothing is lost.
    tString TakeFirstPart(char divider);

    char* Chars;

private:
    // Takes over a buffer made with array-new; used to return a string without copying it again.
    struct Adopt
    {
    };
    tString(char* owned, Adopt) : Chars(owned) {}

public:
    // Shared by every string made empty without an allocation; zero-initialised static storage.
    static char EmptyBuffer;
};
