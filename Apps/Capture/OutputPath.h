// Where a capture goes: a name made of the local date and time in the build's output directory.
#pragma once

#include <ctime>
#include <string>

// Ends with the path separator; never created by the tool. Defined per executable at link time (see
// CaptureRun.h).
extern const char* const OutputDirectory;

// OutputDirectory + "0" + month + day + "_" + hour + "_" + minute + "_" + second + "_" + fileName, at
// the current local time. No number is padded and the year takes no part, so names repeat (yearly,
// and for pairs such as 21 January and 1 December); SaveImage resolves such collisions.
std::string MakeOutputPath(std::string fileName);

// The same at a given local time; a copyNumber of 2 or more goes right after the seconds as "-2",
// "-3", ... to tell apart captures that would otherwise share a name.
std::string MakeOutputPath(const std::string& fileName, const std::tm& localTime, int copyNumber = 1);

// The calendar form of now in the local time zone. Throws std::runtime_error when there is none.
std::tm LocalTimeNow();
