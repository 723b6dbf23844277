// Moving a finished file into place without ever replacing another file.
#pragma once

#include <string>

enum class MoveResult
{
    Moved,
    TargetExists, // Nothing moved; the source is still there.
    Failed,       // Nothing moved; ErrorText says why.
};

// Atomic where the file system allows it: a concurrent writer of the same target either wins or sees
// TargetExists, never a replaced file.
MoveResult MoveWithoutReplacing(const std::string& from, const std::string& to, std::string& errorText);

// Creates an empty file under a name no other file has, in directory (which ends with a separator),
// ending in ".bmp" so that the image writer keeps choosing BMP, and returns its path. The file is made
// exclusively, so an existing file or link of that name is never reused or followed, and two tools
// writing into one directory at once (even with equal process ids) never share it. Returns the empty
// text, with errorText set, when no file can be made there.
std::string CreateTemporaryImageFile(const std::string& directory, std::string& errorText);
