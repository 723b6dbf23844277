// Short names for the tFormatFlag bits, for the print tests' tables.
#pragma once
#include <System/tPrint.h>
#include <cstdint>

namespace PrintFlags
{
constexpr uint32_t Plus = tFormatFlag::PlusSign;
constexpr uint32_t Space = tFormatFlag::SpaceSign;
constexpr uint32_t Zero = tFormatFlag::ZeroPad;
constexpr uint32_t Left = tFormatFlag::LeftAlign;
constexpr uint32_t Alt = tFormatFlag::AltStyle;
constexpr uint32_t Comma = tFormatFlag::CommaGroups;
constexpr uint32_t Radix = tFormatFlag::RadixPrefix;
} // namespace PrintFlags
