// The print target and the fills around a field.
#include <System/tPrint.h>
#include <algorithm>
#include <climits>
#include <cstring>

namespace
{
// Before a run that does not fit, a driver's scratch array grows to twice its capacity (or to what the
// run needs, if more): n characters then cost fewer than 3n copies in all, where the array's own fixed
// step would cost about n * n / (2 * step).
void MakeRoomByDoubling(tArray<char>& array, int length)
{
    const int capacity = array.GetCapacity();
    const long long needed = (long long)array.GetCount() + length;
    if (needed <= capacity || needed > INT_MAX)
        return; // an array that can never hold the run refuses it below
    const long long grown = std::min<long long>(std::max<long long>(needed, 2LL * capacity), INT_MAX);
    array.Grow(int(grown - capacity));
}

// Prefix and Doubling: the run that the array refuses first leaves as much of itself as fits, and
// nothing after it reaches the array, so that the array never holds pieces spliced across a gap.
void AppendPrefix(tPrintTarget& target, const char* text, int length)
{
    if (target.ArrayRefused)
        return;
    tArray<char>& array = *target.Array;
    if (target.ArrayRule == tArrayRule::Doubling)
        MakeRoomByDoubling(array, length);
    if (array.Append(text, length))
        return;
    const int room = array.GetCapacity() - array.GetCount();
    if (room > 0)
        array.Append(text, std::min(room, length));
    target.ArrayRefused = true;
}
} // namespace

// The count is a signed 32-bit number: a character that could no longer be counted is refused like
// one past the buffer's limit, so that no width, however large, can overflow it.
void tPrintTarget::PutOutOfLine(char c)
{
    if ((Buffer && BufferLimit != -1 && CharCount >= BufferLimit) || CharCount == INT_MAX)
        return;
    if (Array && ArrayRule == tArrayRule::Runs)
        Array->Append(c);
    else if (Array)
        AppendPrefix(*this, &c, 1);
    if (Buffer)
        *Buffer++ = c;
    CharCount++;
}

void tPrintTarget::PutOutOfLine(const char* text, int length)
{
    if (!text || length <= 0)
        return;
    long long room = (long long)INT_MAX - CharCount;
    if (Buffer && BufferLimit != -1)
        room = std::min(room, (long long)BufferLimit - CharCount);
    if (room <= 0)
        return;
    const int n = int(std::min<long long>(length, room));
    // An array that refuses the run loses it (or, by Prefix and Doubling, all but what fits); the
    // buffer and the count still get it.
    if (Array && ArrayRule == tArrayRule::Runs)
        Array->Append(text, n);
    else if (Array)
        AppendPrefix(*this, text, n);
    if (Buffer)
    {
        std::memcpy(Buffer, text, size_t(n));
        Buffer += n;
    }
    CharCount += n;
}

// In runs, so that a wide field costs a few calls rather than one per character.
void tPrintTarget::PutFill(char c, long long count)
{
    char run[64];
    std::memset(run, c, sizeof run);
    // Once the target refuses everything (limit reached, count full), the rest of the fill is moot.
    while (count > 0 && !(Buffer && BufferLimit != -1 && CharCount >= BufferLimit) && CharCount != INT_MAX)
    {
        const int n = int(std::min<long long>(count, sizeof run));
        Put(run, n);
        count -= n;
    }
}
