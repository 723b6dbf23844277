// How the type-safe driver (tFormat.h) sees its arguments: each one's kind, deduced from its type, and
// a small record that holds it for the call. tFormatter<T>, which prints a type of the program's own
// through %s, is declared here.
#pragma once
#include <Foundation/tFixInt.h>
#include <Foundation/tString.h>
#include <System/tFormatParse.h>
#include <System/tPrint.h>
#include <System/tVector.h>
#include <cstddef>
#include <string>
#include <string_view>
#include <type_traits>

// The base of the unspecialized tFormatter, by which the driver tells that a type has none.
struct tNoFormatter
{
};

// Specialize for a type of your own, and %s prints it:
//
//     template <> struct tFormatter<tPoint2>
//     {
//         static void Write(tPrintTarget& target, const tPoint2& p)
//         {
//             tFormat(target, T_FMT("(%d, %d)"), p.X, p.Y);
//         }
//     };
//
// Write appends the value's text to target. The conversion's width, '-' and '0' fill around that text
// and its precision cuts it, as for any other text; with a width or a precision Write runs twice, once
// to measure, and must print the same text both times. The types tFormat prints itself (numbers, texts,
// pointers, tVector.h) ignore a specialization.
template <typename T> struct tFormatter : tNoFormatter
{
};

namespace tFormatDetail
{
enum class tArgKind : uint8_t
{
    Unsupported,
    Integer,
    WideInteger,
    Real,
    Text,      // terminated: const char*, char*, a char array, tString
    SizedText, // not necessarily terminated: std::string, std::string_view
    Pointer,
    Vector,
    Quaternion,
    Matrix,
    User, // a type with a tFormatter
};

using tWriteFunction = void (*)(tPrintTarget& target, const void* object);

// One argument, type-erased: its kind, the TypeSize the handler gets, and where its value is.
// Integers, reals, texts and pointers are held by value; the others are referred to.
struct tFormatArg
{
    tArgKind Kind = tArgKind::Unsupported;
    int32_t Size = 0;
    union
    {
        int32_t Int32;
        int64_t Int64;
        double Real;
        const void* Address;
    } Value = {0};
    union
    {
        size_t Length;        // SizedText
        tWriteFunction Write; // User: tFormatter<T>::Write on the object at Value.Address
    } Extra = {0};
};

template <typename T> constexpr bool IsOneOf()
{
    return false;
}
template <typename T, typename tFirst, typename... tRest> constexpr bool IsOneOf()
{
    return std::is_same<T, tFirst>::value || IsOneOf<T, tRest...>();
}

template <typename T> constexpr tArgKind KindOf()
{
    using tPointee = std::remove_cv_t<std::remove_pointer_t<std::decay_t<T>>>;
    if (std::is_integral<T>::value)
        return tArgKind::Integer;
    if (std::is_same<T, float>::value || std::is_same<T, double>::value)
        return tArgKind::Real;
    if (IsOneOf<T, tWideInt128, tWideInt256, tWideInt512>())
        return tArgKind::WideInteger;
    if (std::is_same<T, tString>::value ||
        (std::is_pointer<std::decay_t<T>>::value && std::is_same<tPointee, char>::value))
        return tArgKind::Text;
    if (IsOneOf<T, std::string, std::string_view>())
        return tArgKind::SizedText;
    if (std::is_null_pointer<T>::value ||
        (std::is_pointer<std::decay_t<T>>::value && !std::is_function<tPointee>::value))
        return tArgKind::Pointer;
    if (IsOneOf<T, tVector2, tVector3, tVector4>())
        return tArgKind::Vector;
    if (std::is_same<T, tQuaternion>::value)
        return tArgKind::Quaternion;
    if (IsOneOf<T, tMatrix2, tMatrix4>())
        return tArgKind::Matrix;
    if (!std::is_base_of<tNoFormatter, tFormatter<T>>::value)
        return tArgKind::User;
    return tArgKind::Unsupported;
}

// Whether a conversion's row may print an argument of this kind; '*' takes an Integer.
constexpr bool RowAccepts(int32_t row, tArgKind kind)
{
    switch (row)
    {
    case tTypeRow::Pointer:
        return kind == tArgKind::Pointer || kind == tArgKind::Text;
    case tTypeRow::Exponent:
    case tTypeRow::Fixed:
    case tTypeRow::General:
        return kind == tArgKind::Real;
    case tTypeRow::Vector:
        return kind == tArgKind::Vector;
    case tTypeRow::Quaternion:
        return kind == tArgKind::Quaternion;
    case tTypeRow::Matrix:
        return kind == tArgKind::Matrix;
    case tTypeRow::Char:
        return kind == tArgKind::Integer;
    case tTypeRow::String:
        return kind == tArgKind::Text || kind == tArgKind::SizedText || kind == tArgKind::User;
    default: // b o d i u x X
        return kind == tArgKind::Integer || kind == tArgKind::WideInteger;
    }
}

// Where a handler finds the value: in the record itself for what it holds by value, at the caller's
// object otherwise.
inline const void* HandlerValue(const tFormatArg& arg)
{
    switch (arg.Kind)
    {
    case tArgKind::WideInteger:
    case tArgKind::Vector:
    case tArgKind::Quaternion:
    case tArgKind::Matrix:
        return arg.Value.Address;
    default:
        return &arg.Value;
    }
}

template <typename T> void WriteWithFormatter(tPrintTarget& target, const void* object)
{
    tFormatter<T>::Write(target, *static_cast<const T*>(object));
}

template <typename T> tFormatArg MakeArg(const T& value)
{
    constexpr tArgKind kind = KindOf<T>();
    static_assert(kind != tArgKind::Unsupported,
                  "tFormat cannot print an argument of this type; a type of the program's own needs a "
                  "tFormatter (tFormatArg.h)");
    tFormatArg arg;
    arg.Kind = kind;
    if constexpr (kind == tArgKind::Integer)
    {
        if constexpr (sizeof(T) <= 4)
        {
            arg.Size = 4;
            // Narrow types widen as C promotes them; a 32-bit unsigned keeps its bits.
            arg.Value.Int32 =
                static_cast<int32_t>(std::conditional_t<std::is_signed<T>::value, int32_t, uint32_t>(value));
        }
        else
        {
            arg.Size = 8;
            arg.Value.Int64 = static_cast<int64_t>(value);
        }
    }
    else if constexpr (kind == tArgKind::Real)
    {
        arg.Size = 8;
        arg.Value.Real = value;
    }
    else if constexpr (kind == tArgKind::Text)
    {
        arg.Size = int32_t(sizeof(void*));
        if constexpr (std::is_same<T, tString>::value)
            arg.Value.Address = value.Chars;
        else
            arg.Value.Address = static_cast<const char*>(value);
    }
    else if constexpr (kind == tArgKind::SizedText)
    {
        arg.Value.Address = value.data();
        arg.Extra.Length = value.size();
    }
    else if constexpr (kind == tArgKind::Pointer)
    {
        arg.Size = int32_t(sizeof(void*));
        arg.Value.Address = static_cast<const void*>(value);
    }
    else if constexpr (kind == tArgKind::User)
    {
        arg.Value.Address = &value;
        arg.Extra.Write = &WriteWithFormatter<T>;
    }
    else
    {
        arg.Size = int32_t(sizeof(T));
        arg.Value.Address = &value;
    }
    return arg;
}
} // namespace tFormatDetail
