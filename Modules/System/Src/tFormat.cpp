// The run-time half of the type-safe front end: arguments come from the packed array that tFormat.h
// builds, so each one's kind is known and a mismatch is caught before the handler reads anything.
#include "tPrintfDetail.h"

#include <System/tFormat.h>
#include <algorithm>
#include <climits>

using namespace tPrintfDetail;
using namespace tFormatDetail;

namespace
{
const char* KindName(tArgKind kind)
{
    switch (kind)
    {
    case tArgKind::Integer:
        return "int";
    case tArgKind::WideInteger:
        return "wide int";
    case tArgKind::Real:
        return "double";
    case tArgKind::Text:
    case tArgKind::SizedText:
        return "string";
    case tArgKind::Pointer:
        return "pointer";
    case tArgKind::Vector:
        return "vector";
    case tArgKind::Quaternion:
        return "quaternion";
    case tArgKind::Matrix:
        return "matrix";
    case tArgKind::User:
        return "object";
    default:
        return "?";
    }
}

// "%!" + the conversion character + "(" + what was found + ")".
void PutMarker(tPrintTarget& target, char conversion, const char* found)
{
    target.Put("%!", 2);
    target.Put(conversion);
    target.Put('(');
    target.Put(found, tTextLength(found));
    target.Put(')');
}

long long IntegerOf(const tFormatArg& arg)
{
    return arg.Size == 8 ? arg.Value.Int64 : arg.Value.Int32;
}

// std::string and std::string_view: exactly their characters, as many as the precision allows.
void PrintSizedText(tPrintTarget& target, const tFormatSpec& spec, const char* text, size_t length)
{
    const size_t shown = spec.Precision >= 0 ? std::min(length, size_t(spec.Precision)) : length;
    const int n = int(std::min<size_t>(shown, INT_MAX));
    target.PadBefore(n, spec);
    target.Put(text, n);
    target.PadAfter(n, spec);
}

// The first length characters that write prints, into target.
void PutCut(tPrintTarget& target, int length, tWriteFunction write, const void* object)
{
    if (!target.Buffer && !target.Array)
    {
        target.CharCount = int(std::min<long long>((long long)target.CharCount + length, INT_MAX));
        return; // only counting: the text itself is not needed
    }
    if (target.Buffer && !target.Array)
    {
        // The caller's buffer, with a limit where the cut falls: no copy and no allocation.
        tPrintTarget window = target;
        const int end = target.CharCount + length;
        window.BufferLimit = target.BufferLimit == -1 ? end : std::min(target.BufferLimit, end);
        write(window, object);
        target.Buffer = window.Buffer;
        target.CharCount = window.CharCount;
        return;
    }
    tArray<char> aside(length, 0);
    tPrintTarget cut;
    cut.Array = &aside;
    cut.ArrayRule = tArrayRule::Prefix;
    write(cut, object);
    target.Put(aside.GetStorage(), aside.GetCount());
}

// A type with a tFormatter: its text is measured first when a width or a precision applies to it.
void PrintUser(tPrintTarget& target, const tFormatSpec& spec, tWriteFunction write, const void* object)
{
    if (spec.Width == 0 && spec.Precision < 0)
    {
        write(target, object);
        return;
    }
    tPrintTarget counting;
    write(counting, object);
    const int length = counting.CharCount;
    const int shown = spec.Precision >= 0 ? std::min(length, spec.Precision) : length;
    target.PadBefore(shown, spec);
    if (shown == length)
        write(target, object);
    else
        PutCut(target, shown, write, object);
    target.PadAfter(shown, spec);
}

// One field from an argument that its row accepts.
void PrintArgument(tPrintTarget& target, const tConversion& conv, tFormatSpec& spec, const tFormatArg& arg)
{
    spec.TypeSize = arg.Size;
    switch (arg.Kind)
    {
    case tArgKind::Integer:
        if (conv.Row == tTypeRow::Char)
        {
            // c reads four bytes whatever the integer's size.
            const int32_t code = int32_t(IntegerOf(arg));
            PrintField(target, conv, spec, &code);
            return;
        }
        break;
    case tArgKind::Text:
        if (conv.Row == tTypeRow::String)
        {
            PrintText(target, spec, static_cast<const char*>(arg.Value.Address));
            return;
        }
        break;
    case tArgKind::SizedText:
        PrintSizedText(target, spec, static_cast<const char*>(arg.Value.Address), arg.Extra.Length);
        return;
    case tArgKind::User:
        PrintUser(target, spec, arg.Extra.Write, arg.Value.Address);
        return;
    default:
        break;
    }
    PrintField(target, conv, spec, HandlerValue(arg));
}

// Checked is true for a T_FMT literal, whose arguments were matched at compile time: the walk then
// takes them without looking.
template <bool Checked> class tArgSource
{
public:
    tArgSource(const tFormatArg* args, int count) : Args(args), Count(count) {}

    void TakeWidth(tPrintTarget& target, tFormatSpec& spec)
    {
        if (const tFormatArg* arg = TakeStarArgument(target))
            SetWidth(spec, IntegerOf(*arg));
    }

    void TakePrecision(tPrintTarget& target, tFormatSpec& spec)
    {
        if (const tFormatArg* arg = TakeStarArgument(target))
            SetPrecision(spec, IntegerOf(*arg));
    }

    void TakeField(tPrintTarget& target, const tConversion& conv, tFormatSpec& spec)
    {
        const tFormatArg* arg = Take();
        if (!Checked && !arg)
        {
            PutMarker(target, ConversionChar(conv), "missing");
            return;
        }
        if (!Checked && !RowAccepts(conv.Row, arg->Kind))
        {
            PutMarker(target, ConversionChar(conv), KindName(arg->Kind));
            return;
        }
        PrintArgument(target, conv, spec, *arg);
    }

    int Used() const { return Next; }

private:
    const tFormatArg* Take() { return Checked || Next < Count ? &Args[Next++] : nullptr; }

    // The integer of a '*'. One that is missing or not an integer prints its marker and leaves the spec
    // as the format wrote it.
    const tFormatArg* TakeStarArgument(tPrintTarget& target)
    {
        const tFormatArg* arg = Take();
        if (!Checked && !arg)
            PutMarker(target, '*', "missing");
        else if (!Checked && arg->Kind != tArgKind::Integer)
        {
            PutMarker(target, '*', KindName(arg->Kind));
            return nullptr;
        }
        return arg;
    }

    const tFormatArg* Args;
    int Count;
    int Next = 0;
};
} // namespace

void tFormatDetail::RunChecked(tPrintTarget& target, const char* format, const tFormatArg* args, int count)
{
    tRequire(format);
    if (!format)
        return;
    tArgSource<false> source(args, count);
    RunFormat(target, format, source);
    if (source.Used() < count)
        target.Put("%!(extra)", 9);
}

void tFormatDetail::RunLiteralConversion(tPrintTarget& target, const tConversion& conv,
                                         const tFormatArg* args)
{
    tArgSource<true> source(args, 0); // the count is never consulted when checked
    RunField(target, conv, source);
}
