#include <Foundation/tHashInit.h> // IWYU pragma: keep (this unit owns a copy of the hash initial values)
#include <Foundation/tList.h>

int tSplitString(tList<tStringItem>& parts, const tString& src, char divider)
{
    const int before = parts.Count;
    tString rest(src);
    // Each cut removes at least the divider, so the loop ends; a divider of 0 is never found.
    while (rest.FindChar(divider) >= 0)
    {
        const tString piece = rest.TakeFirstPart(divider);
        parts.Append(new tStringItem(piece));
    }
    if (rest.Chars != &tString::EmptyBuffer && tTextLength(rest.Chars) != 0)
        parts.Append(new tStringItem(rest));
    return parts.Count - before;
}

void tReadVersionText(tVersionNumbers& version, const char* text)
{
    if (version.Read)
        return;

    tList<tStringItem> pieces(OwnsItems);
    {
        const tString whole(text);
        tSplitString(pieces, whole, '.');
    }

    int numbers[3] = {};
    int i = 0;
    for (const tStringItem* piece = pieces.First; piece && i < 3; piece = piece->Next)
        numbers[i++] = tTextToInt(piece->Chars, 10);

    // Stored only once all pieces are read: an allocation that throws leaves the flag clear.
    version.VersionMajor = numbers[0];
    version.VersionMinor = numbers[1];
    version.VersionPatch = numbers[2];
    version.Read = true;
}

// Defined beside the parse so that linking the version links its parser; see tVersionNumbers.
tVersionNumbers FoundationVersion = {};

namespace
{
[[maybe_unused]] const bool FoundationVersionParsed =
    (tReadVersionText(FoundationVersion, FoundationVersionText), true);
} // namespace
