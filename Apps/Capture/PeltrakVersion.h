// The tool's own version, parsed from its version text before main runs. Two units of the tool hand
// the text to tReadVersionText (CaptureRun.cpp and Main.cpp); whichever runs first does the work, and
// the numbers are an aggregate without a constructor, so they are zero until then whatever the order.
#pragma once
#include <Foundation/tList.h>

inline constexpr char PeltrakVersionText[] = "\"PELTRAK_VERSION\" \"1.0.0\"";
extern tVersionNumbers PeltrakVersion;
