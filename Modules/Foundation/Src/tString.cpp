#include <Foundation/tString.h>
#include <climits>
#include <cstring>

char tString::EmptyBuffer = 0;

namespace
{
// Allocates length + 1 zeroed bytes. Zeroing keeps the buffer terminated even when a copy into it
// was refused by an ignored check.
char* NewBuffer(int length)
{
    return new char[std::size_t(length) + 1]();
}

void Release(char* chars)
{
    if (chars != &tString::EmptyBuffer)
        delete[] chars;
}

// The returned string is the part's copy, as the copy constructor would make it; it is made before
// the string's own buffer is released, so that an allocation failure cannot lose any text.
char* CopyForReturn(const tString& part)
{
    const int length = tTextLength(part.Chars);
    char* copy = NewBuffer(length);
    tTextCopy(copy, part.Chars);
    return copy;
}
} // namespace

tString::tString(const char* src) : Chars(&EmptyBuffer)
{
    if (!src)
        return;
    // Measured directly, without the checked length, so that a null text is not a report. A length
    // that does not fit the signed count is treated like one that is 0 or less.
    const std::size_t length = std::strlen(src);
    if (length == 0 || length >= std::size_t(INT_MAX))
        return;
    Chars = NewBuffer(int(length));
    tTextCopy(Chars, src);
}

tString::tString(const tString& src)
{
    const int length = tTextLength(src.Chars);
    Chars = NewBuffer(length);
    tTextCopy(Chars, src.Chars);
}

tString::~tString()
{
    Release(Chars);
}

int tString::FindChar(char c) const
{
    if (c == 0)
        return -1;
    const char* at = tTextFindChar(Chars, c);
    return at ? int(at - Chars) : -1;
}

tString tString::TakeFirstPart(char divider)
{
    const int n = FindChar(divider);
    if (n < 0)
    {
        // Built by the C-text rules: an empty text gives EmptyBuffer.
        const tString part(Chars);
        char* returned = CopyForReturn(part);
        Release(Chars);
        Chars = &EmptyBuffer;
        return tString(returned, Adopt{});
    }

    tString part;
    if (n > 0)
    {
        part.Chars = NewBuffer(n);
        tTextCopyN(part.Chars, Chars, n);
    }

    // m bytes hold the length - n - 1 characters after the divider and their terminator, which
    // tTextCopyN writes by zero-filling the last byte.
    const int m = tTextLength(Chars) - n;
    char* remainder = new char[std::size_t(m)];
    char* returned = nullptr;
    try
    {
        returned = CopyForReturn(part);
    }
    catch (...)
    {
        delete[] remainder;
        throw;
    }
    tTextCopyN(remainder, Chars + n + 1, m);

    Release(Chars);
    Chars = remainder;
    return tString(returned, Adopt{});
}
