// The tool's own version. Like the foundation's, its text is parsed before main from two units
// (CaptureRun.cpp and Main.cpp) and only the first parse does the work; tVersionNumbers in
// Foundation/tList.h says why the units may start in either order.
#pragma once
#include <Foundation/tList.h>

inline constexpr char PeltrakVersionText[] = "\"PELTRAK_VERSION\" \"1.0.0\"";
extern tVersionNumbers PeltrakVersion;
