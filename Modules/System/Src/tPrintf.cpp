// The C-style driver: arguments come from a va_list, read by each row's Category and the size the
// length modifier names (tPrintf.h); the output goes to the destinations of tPrintDestination.h.
#include "tPrintfDetail.h"

#include <Foundation/tFixInt.h>
#include <System/tPrintDestination.h>
#include <System/tPrintf.h>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>

using namespace tPrintfDetail;
using namespace tPrintDestination;

namespace
{
// The analyser checks these members without their caller and takes Args, which the constructor
// va_copy'd from the caller's started list, for an uninitialised list.
// NOLINTBEGIN(clang-analyzer-valist.Uninitialized)
// The arguments of one call. The va_list is a copy owned by this object, so that a second pass
// (tsnPrintf's count after a cut) can start again from the caller's list.
class tVarArgs
{
public:
    explicit tVarArgs(va_list args) { va_copy(Args, args); }
    ~tVarArgs() { va_end(Args); }
    tVarArgs(const tVarArgs&) = delete;
    tVarArgs& operator=(const tVarArgs&) = delete;

    void TakeWidth(tPrintTarget&, tFormatSpec& spec) { SetWidth(spec, va_arg(Args, int)); }
    void TakePrecision(tPrintTarget&, tFormatSpec& spec) { SetPrecision(spec, va_arg(Args, int)); }
    void TakeField(tPrintTarget& target, const tConversion& conv, tFormatSpec& spec);

private:
    void TakeIntegerField(tPrintTarget& target, const tConversion& conv, tFormatSpec& spec);

    template <typename T>
    void PrintValue(tPrintTarget& target, const tConversion& conv, tFormatSpec& spec, T value)
    {
        spec.TypeSize = int32_t(sizeof value);
        PrintField(target, conv, spec, &value);
    }

    // A native integer at its own width: 4 or 8 bytes on every platform the engine supports.
    template <typename T>
    void PrintNativeValue(tPrintTarget& target, const tConversion& conv, tFormatSpec& spec, T value)
    {
        static_assert(sizeof(T) == 4 || sizeof(T) == 8, "the handlers take 32- and 64-bit integers");
        if (sizeof(T) == 4)
            PrintValue(target, conv, spec, int32_t(value));
        else
            PrintValue(target, conv, spec, int64_t(value));
    }

    va_list Args;
};

void tVarArgs::TakeField(tPrintTarget& target, const tConversion& conv, tFormatSpec& spec)
{
    const tTypeHandlerEntry& entry = TypeHandlerTable[conv.Row];
    switch (entry.Category)
    {
    case tTypeCategory::Real:
        PrintValue(target, conv, spec, va_arg(Args, double));
        return;
    case tTypeCategory::Compound:
        spec.TypeSize = conv.Length == tLengthModifier::Bits ? conv.LengthBits / 8 : int32_t(entry.ArgSize);
        PrintField(target, conv, spec, va_arg(Args, const void*));
        return;
    case tTypeCategory::Integral:
        break;
    }
    switch (entry.TypeChar)
    {
    case 'p':
        PrintValue(target, conv, spec, va_arg(Args, const void*));
        return;
    case 's':
        PrintText(target, spec, va_arg(Args, const char*));
        return;
    case 'c':
        PrintValue(target, conv, spec, va_arg(Args, int));
        return;
    default:
        TakeIntegerField(target, conv, spec);
        return;
    }
}

// Narrow arguments arrive promoted to int; hh, h, w8 and w16 cut them back as C does, keeping the
// sign only for d and i, so that "%hhx" of -1 is "ff". Every other size is read as the type its
// modifier names and passed on at that type's width.
void tVarArgs::TakeIntegerField(tPrintTarget& target, const tConversion& conv, tFormatSpec& spec)
{
    const uint32_t c = TypeHandlerTable[conv.Row].TypeChar;
    const bool signedRow = c == 'd' || c == 'i';
    const int bits = conv.Length == tLengthModifier::Bits ? conv.LengthBits : 0;
    if (conv.Length == tLengthModifier::Char || bits == 8)
    {
        const int v = va_arg(Args, int);
        PrintValue(target, conv, spec,
                   signedRow ? int32_t(static_cast<signed char>(v)) : int32_t(uint8_t(v)));
        return;
    }
    if (conv.Length == tLengthModifier::Short || bits == 16)
    {
        const int v = va_arg(Args, int);
        PrintValue(target, conv, spec, signedRow ? int32_t(static_cast<short>(v)) : int32_t(uint16_t(v)));
        return;
    }
    switch (conv.Length)
    {
    case tLengthModifier::Long:
        PrintNativeValue(target, conv, spec, va_arg(Args, long));
        return;
    case tLengthModifier::LongLong:
        PrintNativeValue(target, conv, spec, va_arg(Args, long long));
        return;
    case tLengthModifier::IntMax:
        PrintNativeValue(target, conv, spec, va_arg(Args, intmax_t));
        return;
    case tLengthModifier::Size:
        PrintNativeValue(target, conv, spec, va_arg(Args, size_t));
        return;
    case tLengthModifier::PtrDiff:
        PrintNativeValue(target, conv, spec, va_arg(Args, ptrdiff_t));
        return;
    default:
        break;
    }
    switch (bits)
    {
    case 64:
        PrintValue(target, conv, spec, va_arg(Args, int64_t));
        return;
    case 128:
        PrintValue(target, conv, spec, va_arg(Args, tWideInt128));
        return;
    case 256:
        PrintValue(target, conv, spec, va_arg(Args, tWideInt256));
        return;
    case 512:
        PrintValue(target, conv, spec, va_arg(Args, tWideInt512));
        return;
    default: // no modifier, w32
        PrintValue(target, conv, spec, va_arg(Args, int32_t));
        return;
    }
}
// NOLINTEND(clang-analyzer-valist.Uninitialized)

// The whole output of a format and its arguments.
int RenderFormat(tPrintTarget& target, const char* format, va_list args)
{
    tRequire(format);
    if (!format)
        return target.CharCount;
    tVarArgs source(args);
    RunFormat(target, format, source);
    return target.CharCount;
}

// A format and its arguments, for the destinations (tPrintDestination.h), which may render twice.
struct tCall
{
    const char* Format;
    va_list* Args;
};

void RenderCall(tPrintTarget& target, const void* context)
{
    const tCall& call = *static_cast<const tCall*>(context);
    RenderFormat(target, call.Format, *call.Args);
}
} // namespace

// va_list is an array type on some ABIs; a copy gives every form an object whose address can be taken.
#define T_PRINTF_CALL(destination, format, args)                                                             \
    va_list argsCopy;                                                                                        \
    va_copy(argsCopy, args);                                                                                 \
    const tCall call = {format, &argsCopy};                                                                  \
    auto result = destination;                                                                               \
    va_end(argsCopy);                                                                                        \
    return result

int tvsPrintf(char* dest, const char* format, va_list args)
{
    T_PRINTF_CALL(PrintUnbounded(dest, &RenderCall, &call), format, args);
}

int tvsnPrintf(char* dest, int size, const char* format, va_list args)
{
    T_PRINTF_CALL(PrintBounded(dest, size > 0 ? size_t(size) : 0, &RenderCall, &call), format, args);
}

int tvPrintf(const char* format, va_list args)
{
    return tvfPrintf(stdout, format, args);
}

int tvfPrintf(FILE* file, const char* format, va_list args)
{
    T_PRINTF_CALL(PrintToFile(file, &RenderCall, &call), format, args);
}

int tvaPrintf(tArray<char>& dest, const char* format, va_list args)
{
    T_PRINTF_CALL(PrintAppended(dest, &RenderCall, &call), format, args);
}

tString tvStringPrintf(const tString& head, const char* format, va_list args)
{
    T_PRINTF_CALL(PrintToNewString(head, &RenderCall, &call), format, args);
}

// The variadic forms, each a thin wrapper over its va_list form.
#define T_PRINTF_FORWARD(call)                                                                               \
    va_list args;                                                                                            \
    va_start(args, format);                                                                                  \
    auto result = call;                                                                                      \
    va_end(args);                                                                                            \
    return result

int tsPrintf(char* dest, const char* format, ...)
{
    T_PRINTF_FORWARD(tvsPrintf(dest, format, args));
}

int tsnPrintf(char* dest, int size, const char* format, ...)
{
    T_PRINTF_FORWARD(tvsnPrintf(dest, size, format, args));
}

int tPrintf(const char* format, ...)
{
    T_PRINTF_FORWARD(tvPrintf(format, args));
}

int tfPrintf(FILE* file, const char* format, ...)
{
    T_PRINTF_FORWARD(tvfPrintf(file, format, args));
}

int taPrintf(tArray<char>& dest, const char* format, ...)
{
    T_PRINTF_FORWARD(tvaPrintf(dest, format, args));
}

tString tStringPrintf(const tString& head, const char* format, ...)
{
    T_PRINTF_FORWARD(tvStringPrintf(head, format, args));
}
