// The print engine's type handlers: the tables, and one entry point per row that checks what it was
// given and hands the work to the part of the engine that does it (tPrintDetail.h). Every check of
// the engine is here, so that its reports name this file.
#include "tPrintDetail.h"

#include <Foundation/tHashInit.h> // IWYU pragma: keep (this unit owns a copy of the hash initial values)
#include <System/tPrint.h>
#include <algorithm>
#include <cstring>

using namespace tPrintDetail;

// ---------------------------------------------------------------------------------------------------
// Tables
// ---------------------------------------------------------------------------------------------------

const tTypeHandlerEntry TypeHandlerTable[16] = {
    {'b', tTypeCategory::Integral, 4, HandleBase2},       {'o', tTypeCategory::Integral, 4, HandleOctal},
    {'d', tTypeCategory::Integral, 4, HandleDecimal},     {'i', tTypeCategory::Integral, 4, HandleInteger},
    {'u', tTypeCategory::Integral, 4, HandleUnsigned},    {'x', tTypeCategory::Integral, 4, HandleHex},
    {'X', tTypeCategory::Integral, 4, HandleHexUpper},    {'p', tTypeCategory::Integral, 8, HandlePointer},
    {'e', tTypeCategory::Real, 8, HandleExponent},        {'f', tTypeCategory::Real, 8, HandleFixed},
    {'g', tTypeCategory::Real, 8, HandleGeneral},         {'v', tTypeCategory::Compound, 12, HandleVector},
    {'q', tTypeCategory::Compound, 16, HandleQuaternion}, {'m', tTypeCategory::Compound, 64, HandleMatrix},
    {'c', tTypeCategory::Integral, 4, HandleChar},        {'s', tTypeCategory::Integral, 8, HandleString},
};

// Indexed by character code; one line per 16 codes. 'X' (0x58) is the only upper-case conversion.
// clang-format off
const int32_t TypeCharIndex[256] = {
    -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, // 0x00
    -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, // 0x10
    -1, -1, -1, -1, -1, 16, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, // 0x20
    -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, // 0x30
    -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, // 0x40
    -1, -1, -1, -1, -1, -1, -1, -1,  6, -1, -1, -1, -1, -1, -1, -1, // 0x50
    -1, -1,  0, 14,  2,  8,  9, 10, -1,  3, -1, -1, -1, 13, -1,  1, // 0x60
     7, 12, -1, 15, -1,  4, 11, -1,  5, -1, -1, -1, -1, -1, -1, -1, // 0x70
    -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, // 0x80
    -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, // 0x90
    -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, // 0xA0
    -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, // 0xB0
    -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, // 0xC0
    -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, // 0xD0
    -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, // 0xE0
    -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, // 0xF0
};
// clang-format on

const int32_t DefaultPrecision = 4;

// ---------------------------------------------------------------------------------------------------
// Character and text
// ---------------------------------------------------------------------------------------------------

void HandleChar(tPrintTarget& target, const tFormatSpec& /*spec*/, const void* value)
{
    tRequire(value);
    if (!value)
        return;
    uint32_t code;
    std::memcpy(&code, value, sizeof code);
    target.Put(char(code & 0xFF));
}

// A null text is reported and then printed as the empty text: the field is still filled, so the
// columns of whatever the caller prints around it stay where they were.
void HandleString(tPrintTarget& target, const tFormatSpec& spec, const void* value)
{
    tRequire(value);
    if (!value)
        return;
    const char* s;
    std::memcpy(&s, value, sizeof s);
    tRequire(s);
    // With a precision the text need not be terminated, as in C, so it is read no further than that.
    int n = 0;
    if (s && spec.Precision >= 0)
        while (n < spec.Precision && s[n])
            n++;
    else if (s)
        n = tTextLength(s);
    target.PadBefore(n, spec);
    target.Put(s, n);
    target.PadAfter(n, spec);
}

// ---------------------------------------------------------------------------------------------------
// Integers
// ---------------------------------------------------------------------------------------------------

namespace
{
// A rejected size is reported and then prints nothing: there is no sound way to read the argument.
template <const tIntegerRow& Row>
void HandleIntegerRow(tPrintTarget& target, const tFormatSpec& spec, const void* value)
{
    const int bitSize = BitSizeOf(spec.TypeSize);
    const bool nativeInt = (bitSize == 32) || (bitSize == 64);
    const bool wideInt = (bitSize == 128) || (bitSize == 256) || (bitSize == 512);
    tRequire(nativeInt || wideInt);
    if (!nativeInt && !wideInt)
        return;
    tRequire(value);
    if (!value)
        return;
    PrintInteger<Row>(target, spec, value, bitSize);
}

inline bool HoldsValueAndBase(const void* value, int base)
{
    tRequire(value && (base >= 2) && (base <= 36));
    return value && (base >= 2) && (base <= 36);
}

bool HoldsNativeInteger(const void* value, int bitSize, int base)
{
    tRequire((bitSize == 32) || (bitSize == 64));
    return ((bitSize == 32) || (bitSize == 64)) && HoldsValueAndBase(value, base);
}

bool HoldsWideInteger(const void* value, int bitSize, int base)
{
    tRequire((bitSize == 128) || (bitSize == 256) || (bitSize == 512));
    return ((bitSize == 128) || (bitSize == 256) || (bitSize == 512)) && HoldsValueAndBase(value, base);
}
} // namespace

void HandleBase2(tPrintTarget& target, const tFormatSpec& spec, const void* value)
{
    HandleIntegerRow<Base2Row>(target, spec, value);
}

void HandleOctal(tPrintTarget& target, const tFormatSpec& spec, const void* value)
{
    HandleIntegerRow<OctalRow>(target, spec, value);
}

void HandleDecimal(tPrintTarget& target, const tFormatSpec& spec, const void* value)
{
    HandleIntegerRow<DecimalRow>(target, spec, value);
}

void HandleInteger(tPrintTarget& target, const tFormatSpec& spec, const void* value)
{
    HandleIntegerRow<DecimalRow>(target, spec, value);
}

void HandleUnsigned(tPrintTarget& target, const tFormatSpec& spec, const void* value)
{
    HandleIntegerRow<UnsignedRow>(target, spec, value);
}

void HandleHex(tPrintTarget& target, const tFormatSpec& spec, const void* value)
{
    HandleIntegerRow<HexRow>(target, spec, value);
}

void HandleHexUpper(tPrintTarget& target, const tFormatSpec& spec, const void* value)
{
    HandleIntegerRow<HexUpperRow>(target, spec, value);
}

// Always "0x" and zero-filled to the pointer's full digit count unless the caller gives a width.
void HandlePointer(tPrintTarget& target, const tFormatSpec& spec, const void* value)
{
    tFormatSpec copy = spec;
    copy.Flags |= tFormatFlag::ZeroPad;
    if (spec.Width == 0)
        copy.Width = int(std::min<long long>(2LL * spec.TypeSize + 2, MaxFill));

    // The conversion reports a size other than 4 or 8 bytes, or a null value; the pointer then prints
    // nothing, not even its fill.
    const int bitSize = BitSizeOf(spec.TypeSize);
    if (!HoldsNativeInteger(value, bitSize, 16))
        return;
    PrintInteger<PointerRow>(target, copy, value, bitSize);
}

void WriteNativeInteger(tArray<char>& out, const tFormatSpec& spec, const void* value, bool treatAsUnsigned,
                        int bitSize, bool upperCase, int base, bool forcePrefix)
{
    if (HoldsNativeInteger(value, bitSize, base))
        AppendIntegerText(out, spec, value, bitSize, {treatAsUnsigned, base, upperCase, 0, 0, forcePrefix});
}

void WriteWideInteger(tArray<char>& out, const tFormatSpec& spec, const void* value, bool treatAsUnsigned,
                      int bitSize, bool upperCase, int base, bool forcePrefix)
{
    if (HoldsWideInteger(value, bitSize, base))
        AppendIntegerText(out, spec, value, bitSize, {treatAsUnsigned, base, upperCase, 0, 0, forcePrefix});
}

// ---------------------------------------------------------------------------------------------------
// Reals, vectors, quaternions and matrices
// ---------------------------------------------------------------------------------------------------

void HandleFixed(tPrintTarget& target, const tFormatSpec& spec, const void* value)
{
    if (value)
        PrintFixed(target, spec, ReadDouble(value));
}

void HandleExponent(tPrintTarget& target, const tFormatSpec& spec, const void* value)
{
    if (value)
        PrintExponent(target, spec, ReadDouble(value));
}

void HandleGeneral(tPrintTarget& target, const tFormatSpec& spec, const void* value)
{
    if (value)
        PrintGeneral(target, spec, ReadDouble(value));
}

void HandleVector(tPrintTarget& target, const tFormatSpec& spec, const void* value)
{
    const int numComponents = spec.TypeSize / 4;
    tRequire((numComponents >= 2) && (numComponents <= 4));
    // After the report, only the components that TypeSize says the argument holds are read.
    if (!value)
        return;
    WriteFloatComponents(target, spec, static_cast<const float*>(value),
                         numComponents > 0 ? numComponents : 0);
}

void HandleQuaternion(tPrintTarget& target, const tFormatSpec& spec, const void* value)
{
    if (value)
        PrintQuaternion(target, spec, static_cast<const float*>(value));
}

void HandleMatrix(tPrintTarget& target, const tFormatSpec& spec, const void* value)
{
    const bool is4x4 = spec.TypeSize == 64;
    const bool is2x2 = spec.TypeSize == 16;
    tRequire(is4x4 || is2x2);
    // After the report a matrix is printed as 2x2, and only if the argument holds the four floats.
    if (!value || (!is4x4 && spec.TypeSize < 16))
        return;
    PrintMatrix(target, spec, static_cast<const float*>(value), is4x4 ? 4 : 2);
}
