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

std::string CreateTemporaryImageFile(const std::string& directory, std::string& errorText)
{
    // CREATE_NEW fails on an existing name; the counter moves on to the next one.
    for (int attempt = 0; attempt < 100; ++attempt)
    {
        const std::string path = directory + ".peltrak-" + std::to_string(_getpid()) + "-" +
                                 std::to_string(attempt) + ".partial.bmp";
        const HANDLE file =
            CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE)
        {
            CloseHandle(file);
            return path;
        }
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)
        {
            errorText = "Windows error " + std::to_string(error);
            return std::string();
        }
    }
    errorText = "no free temporary name";
    return std::string();
}

#else
#include <cstdlib>
#include <sys/stat.h>
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

std::string CreateTemporaryImageFile(const std::string& directory, std::string& errorText)
{
    // mkstemps opens with O_CREAT | O_EXCL under a random name: it never follows a link someone left
    // there and never shares a file with another writer.
    std::string path = directory + ".peltrak-XXXXXX.partial.bmp";
    const int file = mkstemps(path.data(), int(std::strlen(".partial.bmp")));
    if (file < 0)
    {
        errorText = std::strerror(errno);
        return std::string();
    }
    // mkstemps makes the file private (0600); give it the permissions a plainly created file gets, so
    // that readers of the output directory can open the image.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(file, 0666 & ~mask);
    close(file);
    return path;
}
#endif
