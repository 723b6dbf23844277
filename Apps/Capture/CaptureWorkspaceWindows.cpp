#include "CaptureWorkspace.h"

#include <process.h>
#include <windows.h>

namespace
{
// Names no capture can mistake for an image: the writer chooses its BMP encoder by this extension.
constexpr const char* TemporaryName = "image.dib";
constexpr const char* LeftoverPrefix = ".peltrak-";
constexpr const char* LeftoverSuffix = ".partial";
} // namespace

struct CaptureWorkspace::State
{
    std::string OutputDirectory;
};

CaptureWorkspace::CaptureWorkspace() : Own(std::make_unique<State>()) {}

CaptureWorkspace::~CaptureWorkspace()
{
    if (!Path.empty())
        DeleteFileA(Path.c_str());
}

namespace
{
// A temporary untouched this long belongs to a dead capture: a live one writes its whole file in well
// under a second.
constexpr ULONGLONG DeadTemporaryAge = 60ULL * 10000000ULL; // in the file times' 100 ns units

ULONGLONG FileTimeValue(const FILETIME& time)
{
    return (ULONGLONG{time.dwHighDateTime} << 32) | time.dwLowDateTime;
}

// Deleting by name is safe here: DeleteFile removes a link itself, never what it points to, and the
// directory's access rules decide whose files may go.
void RemoveDeadTemporaries(const std::string& outputDirectory)
{
    WIN32_FIND_DATAA found;
    const std::string pattern = outputDirectory + LeftoverPrefix + "*" + LeftoverSuffix + "." + TemporaryName;
    const HANDLE search = FindFirstFileA(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    FILETIME nowTime;
    GetSystemTimeAsFileTime(&nowTime);
    const ULONGLONG now = FileTimeValue(nowTime);
    do
    {
        const ULONGLONG written = FileTimeValue(found.ftLastWriteTime);
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && now > written &&
            now - written > DeadTemporaryAge)
            DeleteFileA((outputDirectory + found.cFileName).c_str());
    } while (FindNextFileA(search, &found));
    FindClose(search);
}
} // namespace

bool CaptureWorkspace::Open(const std::string& outputDirectory, std::string& errorText)
{
    Own->OutputDirectory = outputDirectory;
    RemoveDeadTemporaries(outputDirectory);
    // CREATE_NEW fails on an existing name; the counter moves on to the next one.
    for (int attempt = 0; attempt < 100; ++attempt)
    {
        const std::string path = outputDirectory + LeftoverPrefix + std::to_string(_getpid()) + "-" +
                                 std::to_string(attempt) + LeftoverSuffix + "." + TemporaryName;
        const HANDLE file =
            CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE)
        {
            CloseHandle(file);
            Path = path;
            return true;
        }
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)
        {
            errorText =
                "no temporary file can be made in its directory: Windows error " + std::to_string(error);
            return false;
        }
    }
    errorText = "no temporary file can be made in its directory: no free name";
    return false;
}

bool CaptureWorkspace::Seal(std::uintmax_t expectedSize, std::string& errorText)
{
    // Opened without following a link, so that what is checked and flushed is the file itself.
    const HANDLE file = CreateFileA(Path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE)
    {
        errorText = "the written file cannot be reopened: Windows error " + std::to_string(GetLastError());
        return false;
    }
    BY_HANDLE_FILE_INFORMATION info;
    bool sealed = false;
    if (!GetFileInformationByHandle(file, &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0)
        errorText = "the written file is not a plain file";
    else if (((std::uintmax_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow) != expectedSize)
        errorText = "the written file is incomplete: the disk may be full";
    else if (!FlushFileBuffers(file))
        errorText =
            "the written file cannot be flushed to disk: Windows error " + std::to_string(GetLastError());
    else
        sealed = true;
    CloseHandle(file);
    return sealed;
}

PublishResult CaptureWorkspace::Publish(const std::string& finalName, std::string& errorText)
{
    // Without MOVEFILE_REPLACE_EXISTING the move fails when the target exists.
    const std::string target = Own->OutputDirectory + finalName;
    if (MoveFileExA(Path.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH))
    {
        Path.clear();
        return PublishResult::Published;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS)
        return PublishResult::TargetExists;
    errorText = "Windows error " + std::to_string(error);
    return PublishResult::Failed;
}
