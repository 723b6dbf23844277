#include "CaptureWorkspace.h"

#include <process.h>
#include <windows.h>

namespace
{
constexpr const char* WorkspaceName = ".peltrak-workspace\\";
// The writer chooses its BMP encoder by this extension, and no one mistakes it for an image.
constexpr const char* TemporarySuffix = ".dib";
// In the workspace: earlier versions' temporaries in the output directory are gone.
constexpr const char* SweptMarker = "earlier-leftovers-removed";
// What earlier versions left in the output directory itself.
constexpr const char* EarlierTemporaries = ".peltrak-*.partial.image.dib";
constexpr int NameAttempts = 100;
// A temporary untouched this long belongs to a dead capture: a live one writes its whole file in well
// under a second.
constexpr ULONGLONG DeadTemporaryAge = 60ULL * 10000000ULL; // in the file times' 100 ns units

// The call, Windows' text for the error and its number.
std::string CallFailed(const char* call, DWORD error)
{
    char text[512] = {};
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                                  0, text, sizeof text, nullptr);
    while (length > 0 && (text[length - 1] == '\r' || text[length - 1] == '\n' || text[length - 1] == '.'))
        text[--length] = '\0';
    return std::string(call) + ": " + (length > 0 ? text : "unknown error") + " (Windows error " +
           std::to_string(error) + ")";
}

ULONGLONG FileTimeValue(const FILETIME& time)
{
    return (ULONGLONG{time.dwHighDateTime} << 32) | time.dwLowDateTime;
}

// Removes the plain files in directory that match pattern and are untouched for a minute. False when
// one was kept for being more recent, or could not be removed. Deleting by name is safe here:
// DeleteFile removes a link itself, never what it points to, and the directory's access rules decide
// whose files may go.
bool RemoveDeadTemporaries(const std::string& directory, const char* pattern)
{
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA((directory + pattern).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_FILE_NOT_FOUND;
    FILETIME nowTime;
    GetSystemTimeAsFileTime(&nowTime);
    const ULONGLONG now = FileTimeValue(nowTime);
    bool settled = true;
    do
    {
        const ULONGLONG written = FileTimeValue(found.ftLastWriteTime);
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
            continue;
        if (now > written && now - written > DeadTemporaryAge)
            settled = DeleteFileA((directory + found.cFileName).c_str()) && settled;
        else
            settled = false;
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return settled;
}

// Reads the whole output directory, so it runs only until a pass finds nothing left that a running
// capture of an earlier version may still write.
void RemoveEarlierLeftoversOnce(const std::string& outputDirectory, const std::string& workspace)
{
    const std::string marker = workspace + SweptMarker;
    if (GetFileAttributesA(marker.c_str()) != INVALID_FILE_ATTRIBUTES ||
        !RemoveDeadTemporaries(outputDirectory, EarlierTemporaries))
        return;
    const HANDLE file =
        CreateFileA(marker.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
}
} // namespace

struct CaptureWorkspace::State
{
    std::string OutputDirectory;
    std::string Workspace; // Ends with a separator.
};

CaptureWorkspace::CaptureWorkspace() : Own(std::make_unique<State>()) {}

CaptureWorkspace::~CaptureWorkspace()
{
    if (!Path.empty())
        DeleteFileA(Path.c_str());
}

bool CaptureWorkspace::Open(const std::string& outputDirectory, std::string& errorText)
{
    State& state = *Own;
    state.OutputDirectory = outputDirectory;
    state.Workspace = outputDirectory + WorkspaceName;
    if (!CreateDirectoryA(state.Workspace.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
    {
        errorText = "the workspace cannot be made: " + CallFailed("CreateDirectoryA", GetLastError());
        return false;
    }
    // Never through a junction or link: the workspace must lie on the output directory's volume.
    const DWORD attributes = GetFileAttributesA(state.Workspace.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
        (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
    {
        errorText = "\"" + state.Workspace + "\" is not a plain folder: remove it";
        return false;
    }
    RemoveEarlierLeftoversOnce(outputDirectory, state.Workspace);
    RemoveDeadTemporaries(state.Workspace, (std::string("*") + TemporarySuffix).c_str());

    // CREATE_NEW fails on an existing name; the counter moves on to the next one.
    for (int attempt = 0; attempt < NameAttempts; ++attempt)
    {
        const std::string path =
            state.Workspace + std::to_string(_getpid()) + "-" + std::to_string(attempt) + TemporarySuffix;
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
            errorText = "the temporary file cannot be made: " + CallFailed("CreateFileA", error);
            return false;
        }
    }
    errorText =
        "the temporary file cannot be made: no free name in " + std::to_string(NameAttempts) + " tries";
    return false;
}

bool CaptureWorkspace::Seal(std::uintmax_t expectedSize, int writerError, std::string& errorText)
{
    // Opened without following a link, so that what is checked and flushed is the file itself.
    const HANDLE file = CreateFileA(Path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE)
    {
        errorText = "the written file cannot be reopened: " + CallFailed("CreateFileA", GetLastError());
        return false;
    }
    BY_HANDLE_FILE_INFORMATION info;
    bool sealed = false;
    if (!GetFileInformationByHandle(file, &info))
        errorText = "the written file cannot be looked at: " +
                    CallFailed("GetFileInformationByHandle", GetLastError());
    else if ((info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0)
        errorText = "the written file is not a plain file";
    else if (const std::uintmax_t size = (std::uintmax_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
             size != expectedSize)
        errorText = ShortFileReason(size, expectedSize, writerError);
    else if (!FlushFileBuffers(file))
        errorText =
            "the written file cannot be flushed to disk: " + CallFailed("FlushFileBuffers", GetLastError());
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
    errorText = CallFailed("MoveFileExA", error);
    return PublishResult::Failed;
}
