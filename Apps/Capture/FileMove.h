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

// Distinguishes the temporary files of two tools writing into the same directory at once.
long CurrentProcessId();
