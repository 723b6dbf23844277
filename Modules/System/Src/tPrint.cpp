// The print engine's type handlers.
#include <System/tPrint.h>
#include <algorithm>
#include <cstring>

// ---------------------------------------------------------------------------------------------------
// Print target and fills
// ---------------------------------------------------------------------------------------------------

void tPrintTarget::Put(char c)
{
    if (Buffer && BufferLimit != -1 && CharCount >= BufferLimit)
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
    int n = length;
    if (Buffer && BufferLimit != -1)
    {
        if (CharCount >= BufferLimit)
            return;
        n = std::min(n, BufferLimit - CharCount);
    }
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
    char run[64];
    std::memset(run, c, sizeof run);
    while (count > 0)
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
