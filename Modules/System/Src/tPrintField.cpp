// The field printing that both drivers share (tPrintfDetail.h): the checks a driver makes before a
// handler sees a value, so that no format or argument value reaches a handler's report.
#include "tPrintfDetail.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace
{
// What glibc prints for a null %s: "(null)", or nothing when the precision would cut it.
const char* NullText(const tFormatSpec& spec)
{
    const int nullTextLength = 6;
    return spec.Precision < 0 || spec.Precision >= nullTextLength ? "(null)" : "";
}

void RaiseCase(char* text, const char* end)
{
    for (; text < end; text++)
        if (*text >= 'a' && *text <= 'z')
            *text = char(*text - 'a' + 'A');
}

// E F G: the handlers know lower case only, so the letters of "e+05", "inf" and "nan(...)" are raised
// where the handler put them. Digits and fill do not change, so nothing moves and the count stands;
// and nothing is rendered aside, so no field needs memory of its own.
void PrintUpperCase(tPrintTarget& target, tTypeHandler handler, const tFormatSpec& spec, const void* value)
{
    char* const bufferStart = target.Buffer;
    const int arrayStart = target.Array ? target.Array->GetCount() : 0;
    handler(target, spec, value);
    if (target.Buffer)
        RaiseCase(bufferStart, target.Buffer);
    if (target.Array)
        RaiseCase(target.Array->GetStorage() + arrayStart,
                  target.Array->GetStorage() + target.Array->GetCount());
}
} // namespace

void tPrintfDetail::PrintField(tPrintTarget& target, const tConversion& conv, const tFormatSpec& spec,
                               const void* value)
{
    // Nothing here reaches a handler's report: the parse refuses every size that a handler does not
    // take, texts go through PrintText, and a null v, q or m prints nothing, unreported.
    const tTypeHandler handler = TypeHandlerTable[conv.Row].Handler;
    if (conv.UpperCase)
        PrintUpperCase(target, handler, spec, value);
    else
        handler(target, spec, value);
}

void tPrintfDetail::PrintText(tPrintTarget& target, const tFormatSpec& spec, const char* text)
{
    // A null text often comes from data rather than from a mistake of the program, so it prints instead
    // of reaching the handler's report.
    if (!text)
        text = NullText(spec);
    if (spec.Width == 0 && spec.Precision < 0)
        PutLiteral(target, text, std::strlen(text)); // the field is the text itself
    else
        HandleString(target, spec, &text);
}
