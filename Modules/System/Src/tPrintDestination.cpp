// The drivers' destinations: each sets a tPrintTarget up over what the caller gave and runs the render.
#include <System/tPrintDestination.h>
#include <algorithm>
#include <climits>
#include <cstdint>

using namespace tPrintDestination;

int tPrintDestination::PrintUnbounded(char* dest, tRenderFunction render, const void* context)
{
    tRequire(dest);
    if (!dest)
        return 0;
    tPrintTarget target;
    target.Buffer = dest;
    render(target, context);
    *target.Buffer = 0;
    return target.CharCount;
}

int tPrintDestination::PrintBounded(char* dest, size_t size, tRenderFunction render, const void* context)
{
    const bool sizeFits = size <= size_t(PTRDIFF_MAX);
    tRequire(sizeFits);
    tRequire(dest || size == 0);
    tPrintTarget target;
    if (!dest || size == 0 || !sizeFits)
    {
        render(target, context);
        return target.CharCount;
    }
    target.Buffer = dest;
    target.BufferLimit = int32_t(std::min<size_t>(size - 1, INT_MAX));
    render(target, context);
    *target.Buffer = 0;
    if (target.CharCount < target.BufferLimit)
        return target.CharCount;
    // The buffer is full, so the output may have been cut: count the whole of it.
    tPrintTarget counting;
    render(counting, context);
    return counting.CharCount;
}

int tPrintDestination::PrintAppended(tArray<char>& dest, tRenderFunction render, const void* context)
{
    tPrintTarget target;
    target.Array = &dest;
    target.ArrayRule = tArrayRule::Prefix;
    render(target, context);
    return target.CharCount;
}

// Most texts fit the stack buffer: one pass, and the string grows at most once. A longer text is counted
// first, so that the string grows once to its final length and the text is rendered in place.
int tPrintDestination::PrintAppended(std::string& dest, tRenderFunction render, const void* context)
{
    char nearby[256];
    tPrintTarget target;
    target.Buffer = nearby;
    target.BufferLimit = int32_t(sizeof nearby);
    render(target, context);
    if (target.CharCount < target.BufferLimit)
    {
        dest.append(nearby, size_t(target.CharCount));
        return target.CharCount;
    }
    tPrintTarget counting;
    render(counting, context);
    const size_t start = dest.size();
    dest.resize(start + size_t(counting.CharCount));
    tPrintTarget inPlace;
    inPlace.Buffer = &dest[start];
    inPlace.BufferLimit = counting.CharCount;
    render(inPlace, context);
    // A render that printed less the second time leaves no unwritten characters behind.
    dest.resize(start + size_t(inPlace.CharCount));
    return counting.CharCount;
}

int tPrintDestination::PrintToFile(FILE* file, tRenderFunction render, const void* context)
{
    tRequire(file);
    if (!file)
        return -1;
    tArray<char> text(256, 0);
    tPrintTarget target;
    target.Array = &text;
    target.ArrayRule = tArrayRule::Doubling;
    render(target, context);
    const int length = target.CharCount;
    if (text.GetCount() != length)
        return -1; // the array could not grow
    if (length > 0 && std::fwrite(text.GetStorage(), 1, size_t(length), file) != size_t(length))
        return -1;
    return length;
}

tString tPrintDestination::PrintToNewString(const tString& head, tRenderFunction render, const void* context)
{
    const int headLength = tTextLength(head.Chars);
    // The step of 1 serves the terminator alone: the output's runs grow the array by doubling.
    tArray<char> text(headLength + 64, 1);
    if (headLength > 0)
        text.Append(head.Chars, headLength);
    tPrintTarget target;
    target.Array = &text;
    target.ArrayRule = tArrayRule::Doubling;
    render(target, context);
    // An array of INT_MAX characters has no slot left for the terminator; its last character gives way.
    if (text.GetCount() < INT_MAX)
        text.Append('\0');
    else
        text[INT_MAX - 1] = 0;
    return tString(text.GetStorage());
}
