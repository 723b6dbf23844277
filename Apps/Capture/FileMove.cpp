#include "FileMove.h"

#include <cerrno>
#include <cstring>

#ifdef _WIN32
#include <process.h>
#include <windows.h>

MoveResult MoveWithoutReplacing(const std::string& from, const std::string& to, std::string& errorText)
{
    // Without MOVEFILE_REPLACE_EXISTING the move fails when the target exists.
    if (MoveFileExA(from.c_str(), to.c_str(), 0))
        return MoveResult::Moved;
    const DWORD error = GetLastError();
    if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS)
        return MoveResult::TargetExists;
    errorText = "Windows error " + std::to_string(error);
    return MoveResult::Failed;
}

long CurrentProcessId()
{
    return static_cast<long>(_getpid());
}

#else
#include <unistd.h>

MoveResult MoveWithoutReplacing(const std::string& from, const std::string& to, std::string& errorText)
{
    // A hard link fails with EEXIST instead of replacing, atomically; rename() would replace.
    if (link(from.c_str(), to.c_str()) == 0)
    {
        unlink(from.c_str());
        return MoveResult::Moved;
    }
    const int error = errno;
    if (error == EEXIST)
        return MoveResult::TargetExists;
    errorText = std::strerror(error);
    return MoveResult::Failed;
}

long CurrentProcessId()
{
    return static_cast<long>(getpid());
}
#endif
