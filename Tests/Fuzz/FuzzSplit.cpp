// TakeFirstPart and tSplitString with a fuzzed text and divider: whatever the divider (0 and the codes
// 0x80 to 0xFF included, whose reports are ignored), the pieces joined with the divider give back the
// text, and no piece contains the divider. Input: the divider byte, then the text.
#include "FuzzSupport.h"

#include <Foundation/tList.h>
#include <Foundation/tString.h>
#include <cstdint>
#include <cstring>
#include <string>

FUZZ_INITIALIZE_QUIETLY()

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const char divider = char(data[0]);
    const std::string text = FuzzCText(data + 1, size - 1);
    const bool occurs = divider != 0 && text.find(divider) != std::string::npos;

    // One cut.
    tString whole(text.c_str());
    const tString part = whole.TakeFirstPart(divider);
    FUZZ_CHECK(part.Chars != nullptr && whole.Chars != nullptr);
    if (occurs)
    {
        FUZZ_CHECK(std::string(part.Chars) + divider + whole.Chars == text);
        FUZZ_CHECK(std::string(part.Chars).find(divider) == std::string::npos);
    }
    else
    {
        FUZZ_CHECK(part.Chars == text);
        FUZZ_CHECK(whole.Chars == &tString::EmptyBuffer);
    }

    // The whole split, into a list that already holds an item.
    tList<tStringItem> parts(OwnsItems);
    parts.Append(new tStringItem(tString("before")));
    const int added = tSplitString(parts, tString(text.c_str()), divider);
    FUZZ_CHECK(added == parts.Count - 1);

    std::string joined;
    int seen = 0;
    for (const tStringItem* item = parts.First->Next; item; item = item->Next, seen++)
    {
        FUZZ_CHECK(divider == 0 || std::strchr(item->Chars, divider) == nullptr);
        if (seen > 0)
            joined += divider;
        joined += item->Chars;
    }
    FUZZ_CHECK(seen == added);
    // A trailing divider leaves no empty last piece, so the text may carry one divider more.
    FUZZ_CHECK(joined == text || (occurs && joined + divider == text));
    return 0;
}
