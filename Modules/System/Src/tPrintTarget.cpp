// The print target and the fills around a field.
#include <System/tPrint.h>
#include <algorithm>
#include <climits>
#include <cstring>

// The count is a signed 32-bit number: a character that could no longer be counted is refused like
// one past the buffer's limit, so that no width, however large, can overflow it.
void tPrintTarget::Put(char c)
{
    if ((Buffer && BufferLimit != -1 && CharCount >= BufferLimit) || CharCount == INT_MAX)
        return;
    if (Array)
        Array->Append(c);
    if (Buffer)
        *Buffer++ = c;
    CharCount++;
}

void tPrintTarget::Put(const char* text, int length)
{
    if (!text || length <= 0)
        return;
    long long room = (long long)INT_MAX - CharCount;
    if (Buffer && BufferLimit != -1)
        room = std::min(room, (long long)BufferLimit - CharCount);
    if (room <= 0)
        return;
    const int n = int(std::min<long long>(length, room));
    // A fixed-capacity array that refuses the run loses it; the buffer and the count still get it.
    if (Array)
        Array->Append(text, n);
    if (Buffer)
    {
        std::memcpy(Buffer, text, size_t(n));
        Buffer += n;
    }
    CharCount += n;
}

namespace
{
// Puts count copies of c in runs, so that a wide field costs a few calls rather than one per character.
void PutRepeated(tPrintTarget& target, char c, long long count)
{
    if (count <= 0)
        return;
    char run[64];
    std::memset(run, c, sizeof run);
    // Once the target refuses everything (limit reached, count full), the rest of the fill is moot.
    while (count > 0 &&
           !(target.Buffer && target.BufferLimit != -1 && target.CharCount >= target.BufferLimit) &&
           target.CharCount != INT_MAX)
    {
        const int n = int(std::min<long long>(count, sizeof run));
        target.Put(run, n);
        count -= n;
    }
}
} // namespace

void tPrintTarget::PadBefore(int textLength, const tFormatSpec& spec)
{
    if (spec.Flags & tFormatFlag::LeftAlign)
        return;
    PutRepeated(*this, (spec.Flags & tFormatFlag::ZeroPad) ? '0' : ' ', (long long)spec.Width - textLength);
}

void tPrintTarget::PadAfter(int textLength, const tFormatSpec& spec)
{
    if (!(spec.Flags & tFormatFlag::LeftAlign))
        return;
    PutRepeated(*this, ' ', (long long)spec.Width - textLength);
}
