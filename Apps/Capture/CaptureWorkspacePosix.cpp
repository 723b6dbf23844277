#include "CaptureWorkspace.h"
#include "RetryInterrupted.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

namespace
{
constexpr const char* WorkspacePrefix = ".peltrak-workspace-"; // Then the user's id.
// The writer chooses its BMP encoder by this extension, and no one mistakes it for an image.
constexpr const char* TemporarySuffix = ".dib";
// In the workspace: earlier versions' leftovers in the output directory are gone.
constexpr const char* SweptMarker = "earlier-leftovers-removed";
constexpr int NameAttempts = 100;

// What earlier versions left in the output directory itself: private directories, and before them
// plain temporary files. A temporary file untouched this long belongs to a dead capture: a live one
// writes its whole file in well under a second.
constexpr const char* EarlierPrefix = ".peltrak-";
constexpr const char* EarlierDirectorySuffix = ".partial";
constexpr const char* EarlierFileSuffix = ".partial.bmp";
constexpr time_t EarlierFileAge = 60;

// How names are given, from the best the file system allows down; a capture moves on to the next when
// one is unsupported, and never back.
enum class Method
{
    HardLink,
    RenameNoReplace,
    Placeholder,
};

// Owns one open descriptor, closed when it goes.
class Descriptor
{
public:
    explicit Descriptor(int fd = -1) : Fd(fd) {}
    ~Descriptor() { Reset(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    int Get() const { return Fd; }
    bool IsOpen() const { return Fd >= 0; }
    int Release()
    {
        const int fd = Fd;
        Fd = -1;
        return fd;
    }
    void Reset(int fd = -1)
    {
        if (Fd >= 0)
            close(Fd);
        Fd = fd;
    }

private:
    int Fd;
};
} // namespace

struct CaptureWorkspace::State
{
    Descriptor Output;
    Descriptor Workspace;
    Descriptor Temporary; // Locked while the capture lives.
    std::string TemporaryName;
    bool TemporaryMoved = false;
    Method How = Method::HardLink;

    // Makes, locks and looks at (made) a temporary file of this capture's own.
    bool MakeTemporary(struct stat& made, std::string& errorText);
    PublishResult PublishOnce(const char* target, std::string& errorText);
};

namespace
{
std::string CallFailed(const char* call, int error)
{
    return std::string(call) + ": " + std::strerror(error);
}

bool EndsWith(const char* text, const char* suffix)
{
    const std::size_t length = std::strlen(text);
    const std::size_t suffixLength = std::strlen(suffix);
    return length >= suffixLength && std::strcmp(text + length - suffixLength, suffix) == 0;
}

bool IsEarlierLeftover(const char* name, const char* suffix)
{
    return std::strncmp(name, EarlierPrefix, std::strlen(EarlierPrefix)) == 0 && EndsWith(name, suffix);
}

bool SameInode(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Whether name in directoryFd still leads to the file open as fd, without following a link: another
// user may have swapped the name for something else since it was opened.
bool StillNamed(int directoryFd, const char* name, int fd)
{
    struct stat own
    {
    };
    struct stat named
    {
    };
    return fstat(fd, &own) == 0 && fstatat(directoryFd, name, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
           SameInode(own, named);
}

int OpenAt(int directoryFd, const char* name, int flags, mode_t mode = 0)
{
    return RetryInterrupted([=] { return openat(directoryFd, name, flags, mode); });
}

int OpenDirectoryAt(int directoryFd, const char* name)
{
    return OpenAt(directoryFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

// Takes the lock on fd without waiting when wait is false.
bool Lock(int fd, bool wait)
{
    return RetryInterrupted([=] { return flock(fd, LOCK_EX | (wait ? 0 : LOCK_NB)); }) == 0;
}

bool FlushToDisk(int fd)
{
    return RetryInterrupted([=] { return fsync(fd); }) == 0;
}

// Twelve characters of [0-9a-z] from the kernel's random pool (the clock and the process id where
// the pool cannot be read: the name is only a hint, O_EXCL is the real guard).
std::string RandomLeaf()
{
    unsigned char bytes[12] = {};
    if (getrandom(bytes, sizeof bytes, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bytes))
    {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        const unsigned long long seed =
            static_cast<unsigned long long>(now.tv_nsec) ^ (static_cast<unsigned long long>(getpid()) << 32);
        for (std::size_t i = 0; i < sizeof bytes; ++i)
            bytes[i] = static_cast<unsigned char>(seed >> (i * 5 % 64));
    }
    static const char alphabet[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    std::string leaf;
    for (const unsigned char byte : bytes)
        leaf += alphabet[byte % 36];
    return leaf;
}

// Calls visit(name) for every entry of the open directory but the dot entries; the directory's own
// descriptor is left as it was. False when the directory could not be read to its end.
template <typename Visit> bool ForEachEntry(int directoryFd, Visit visit)
{
    const int listFd = OpenAt(directoryFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listFd < 0)
        return false;
    DIR* list = fdopendir(listFd);
    if (list == nullptr)
    {
        close(listFd);
        return false;
    }
    errno = 0;
    while (const dirent* entry = readdir(list))
    {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            visit(static_cast<const char*>(entry->d_name));
        errno = 0;
    }
    const bool complete = errno == 0;
    closedir(list);
    return complete;
}

// Removes the directory name in directoryFd if it is an empty directory of this user, so that what a
// capture made is undone and nothing another user put there is touched.
void RemoveOwnEmptyDirectory(int directoryFd, const char* name)
{
    struct stat named
    {
    };
    if (fstatat(directoryFd, name, &named, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(named.st_mode) &&
        named.st_uid == geteuid())
        unlinkat(directoryFd, name, AT_REMOVEDIR);
}

// An earlier version's private directory, removed with what it holds once its lock is free. False
// while a capture may still own it: its lock is held, or it could not be looked at.
bool RemoveDeadPrivateDirectory(int outputFd, const char* name)
{
    const Descriptor fd(OpenDirectoryAt(outputFd, name));
    if (!fd.IsOpen())
        return errno == ENOENT || errno == ENOTDIR || errno == ELOOP || errno == EACCES;
    struct stat own
    {
    };
    if (fstat(fd.Get(), &own) != 0)
        return false;
    if (own.st_uid != geteuid())
        return true; // Never ours to remove.
    if (!Lock(fd.Get(), false))
        return false;
    ForEachEntry(fd.Get(), [&fd](const char* entry) { unlinkat(fd.Get(), entry, 0); });
    if (StillNamed(outputFd, name, fd.Get()))
        unlinkat(outputFd, name, AT_REMOVEDIR);
    return true;
}

// An earlier version's temporary file. Only plain files of this user: never a link's target, never
// someone else's file. False while it is too recent to belong to a dead capture.
bool RemoveDeadEarlierFile(int outputFd, const char* name, time_t now)
{
    struct stat file
    {
    };
    if (fstatat(outputFd, name, &file, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(file.st_mode) ||
        file.st_uid != geteuid())
        return true;
    if (now - file.st_mtime <= EarlierFileAge)
        return false;
    unlinkat(outputFd, name, 0);
    return true;
}

// Reads the whole output directory, so it runs until it finds nothing left that a running capture of
// an earlier version may still own. True then.
bool RemoveEarlierLeftovers(int outputFd)
{
    const time_t now = time(nullptr);
    bool settled = true;
    const bool listed = ForEachEntry(outputFd,
                                     [outputFd, now, &settled](const char* name)
                                     {
                                         if (IsEarlierLeftover(name, EarlierDirectorySuffix))
                                             settled = RemoveDeadPrivateDirectory(outputFd, name) && settled;
                                         else if (IsEarlierLeftover(name, EarlierFileSuffix))
                                             settled = RemoveDeadEarlierFile(outputFd, name, now) && settled;
                                     });
    return listed && settled;
}

// Once per output directory and user: the marker in the workspace says that it is done, so a capture
// looks the output directory through only while there is something to clear.
void RemoveEarlierLeftoversOnce(int outputFd, int workspaceFd)
{
    struct stat marker
    {
    };
    if (fstatat(workspaceFd, SweptMarker, &marker, AT_SYMLINK_NOFOLLOW) == 0 ||
        !RemoveEarlierLeftovers(outputFd))
        return;
    const Descriptor created( // An empty file: its name is the mark.
        OpenAt(workspaceFd, SweptMarker, O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0600));
}

// The temporaries of dead captures: their lock is free.
void RemoveDeadTemporaries(int workspaceFd)
{
    ForEachEntry(workspaceFd,
                 [workspaceFd](const char* name)
                 {
                     if (!EndsWith(name, TemporarySuffix))
                         return;
                     const Descriptor fd(
                         OpenAt(workspaceFd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
                     if (fd.IsOpen() && Lock(fd.Get(), false) && StillNamed(workspaceFd, name, fd.Get()))
                         unlinkat(workspaceFd, name, 0);
                 });
}

// This user's workspace in the output directory, made when missing. Taken only as a directory of
// this user that no one else can enter; a directory made here but not opened is removed at once.
int OpenWorkspace(int outputFd, const std::string& name, std::string& errorText)
{
    Descriptor fd(OpenDirectoryAt(outputFd, name.c_str()));
    if (!fd.IsOpen() && errno == ENOENT)
    {
        const bool made = mkdirat(outputFd, name.c_str(), 0700) == 0;
        if (!made && errno != EEXIST)
        {
            errorText = "the workspace \"" + name + "\" cannot be made: " + CallFailed("mkdirat", errno);
            return -1;
        }
        fd.Reset(OpenDirectoryAt(outputFd, name.c_str()));
        const int error = errno;
        if (!fd.IsOpen() && made)
            RemoveOwnEmptyDirectory(outputFd, name.c_str());
        errno = error;
    }
    struct stat own
    {
    };
    if (!fd.IsOpen() || fstat(fd.Get(), &own) != 0)
    {
        const bool notDirectory = errno == ELOOP || errno == ENOTDIR;
        errorText = "the workspace \"" + name +
                    "\" cannot be opened: " + CallFailed(fd.IsOpen() ? "fstat" : "openat", errno) +
                    (notDirectory ? " (something other than a directory has its name: remove it)" : "");
        return -1;
    }
    if (own.st_uid != geteuid() || (own.st_mode & 07777) != 0700)
    {
        errorText = "the workspace \"" + name +
                    "\" is not a directory of this user with mode 0700, as someone else made or changed it; "
                    "remove it";
        return -1;
    }
    return fd.Release();
}
} // namespace

CaptureWorkspace::CaptureWorkspace() : Own(std::make_unique<State>()) {}

CaptureWorkspace::~CaptureWorkspace()
{
    State& state = *Own;
    // The workspace is this user's alone, so the name still leads to the temporary.
    if (state.Temporary.IsOpen() && !state.TemporaryMoved)
        unlinkat(state.Workspace.Get(), state.TemporaryName.c_str(), 0);
}

bool CaptureWorkspace::Open(const std::string& outputDirectory, std::string& errorText)
{
    State& state = *Own;
    state.Output.Reset(
        RetryInterrupted([&] { return open(outputDirectory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); }));
    if (!state.Output.IsOpen())
    {
        errorText = "the output directory cannot be opened: " + CallFailed("open", errno);
        return false;
    }
    const std::string workspaceName = WorkspacePrefix + std::to_string(geteuid());
    state.Workspace.Reset(OpenWorkspace(state.Output.Get(), workspaceName, errorText));
    if (!state.Workspace.IsOpen())
        return false;
    RemoveEarlierLeftoversOnce(state.Output.Get(), state.Workspace.Get());
    RemoveDeadTemporaries(state.Workspace.Get());
    struct stat made
    {
    };
    if (!state.MakeTemporary(made, errorText))
        return false;

    // The writer opens by path: this one is resolved by the kernel through the workspace's open
    // descriptor. Without /proc it would resolve nowhere, or somewhere else; both are refused.
    std::string viaDescriptor =
        "/proc/self/fd/" + std::to_string(state.Workspace.Get()) + "/" + state.TemporaryName;
    struct stat reached
    {
    };
    if (stat(viaDescriptor.c_str(), &reached) != 0)
    {
        errorText =
            "the temporary file cannot be reached by its directory's descriptor (is /proc mounted?): " +
            CallFailed("stat", errno);
        return false;
    }
    if (!SameInode(made, reached))
    {
        errorText = viaDescriptor + " leads to another file: /proc is not the kernel's";
        return false;
    }
    Path = std::move(viaDescriptor);
    return true;
}

bool CaptureWorkspace::State::MakeTemporary(struct stat& made, std::string& errorText)
{
    for (int attempt = 0; attempt < NameAttempts; ++attempt)
    {
        std::string name = RandomLeaf() + TemporarySuffix;
        // Created for the writer, which reopens it by path: 0666, so that the published image gets the
        // permissions of any file made under the umask. No one else can enter the workspace.
        Descriptor fd(OpenAt(Workspace.Get(), name.c_str(),
                             O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
        if (!fd.IsOpen())
        {
            if (errno == EEXIST)
                continue;
            errorText = "the temporary file cannot be made: " + CallFailed("openat", errno);
            return false;
        }
        // Another capture's clean-up may have taken the lock between the create and the lock and
        // removed the file: then it has no links, and its name is as good as taken.
        const bool locked = Lock(fd.Get(), true);
        if (!locked || fstat(fd.Get(), &made) != 0)
        {
            errorText =
                "the temporary file cannot be locked: " + CallFailed(locked ? "fstat" : "flock", errno);
            unlinkat(Workspace.Get(), name.c_str(), 0);
            return false;
        }
        if (made.st_nlink == 0)
            continue;
        Temporary.Reset(fd.Release());
        TemporaryName = std::move(name);
        return true;
    }
    errorText =
        "the temporary file cannot be made: no free name in " + std::to_string(NameAttempts) + " tries";
    return false;
}

bool CaptureWorkspace::Seal(std::uintmax_t expectedSize, int writerError, std::string& errorText)
{
    State& state = *Own;
    struct stat file
    {
    };
    if (fstat(state.Temporary.Get(), &file) != 0)
    {
        errorText = "the written file cannot be looked at: " + CallFailed("fstat", errno);
        return false;
    }
    if (!S_ISREG(file.st_mode) || file.st_uid != geteuid() || file.st_nlink != 1)
    {
        errorText = "the written file is not a plain file of this user";
        return false;
    }
    if (static_cast<std::uintmax_t>(file.st_size) != expectedSize)
    {
        errorText = ShortFileReason(static_cast<std::uintmax_t>(file.st_size), expectedSize, writerError);
        return false;
    }
    if (!FlushToDisk(state.Temporary.Get()))
    {
        errorText = "the written file cannot be flushed to disk: " + CallFailed("fsync", errno);
        return false;
    }
    return true;
}

PublishResult CaptureWorkspace::Publish(const std::string& finalName, std::string& errorText)
{
    const PublishResult result = Own->PublishOnce(finalName.c_str(), errorText);
    if (result != PublishResult::Published)
        return result;
    if (!FlushToDisk(Own->Output.Get()))
    {
        errorText = "the file was published but its directory cannot be flushed to disk: " +
                    CallFailed("fsync", errno);
        return PublishResult::Failed;
    }
    return result;
}

PublishResult CaptureWorkspace::State::PublishOnce(const char* target, std::string& errorText)
{
    const char* temporary = TemporaryName.c_str();
    if (How == Method::HardLink)
    {
        // Fails with EEXIST instead of replacing, atomically.
        if (linkat(Workspace.Get(), temporary, Output.Get(), target, 0) == 0)
            return PublishResult::Published;
        const int error = errno;
        if (error == EEXIST)
            return PublishResult::TargetExists;
        // File systems without hard links (vfat, exFAT, some network ones).
        if (error != EPERM && error != ENOTSUP && error != EOPNOTSUPP && error != EXDEV && error != ENOSYS)
        {
            errorText = CallFailed("linkat", error);
            return PublishResult::Failed;
        }
        How = Method::RenameNoReplace;
    }
    if (How == Method::RenameNoReplace)
    {
        if (renameat2(Workspace.Get(), temporary, Output.Get(), target, RENAME_NOREPLACE) == 0)
        {
            TemporaryMoved = true;
            return PublishResult::Published;
        }
        const int error = errno;
        if (error == EEXIST)
            return PublishResult::TargetExists;
        if (error != EINVAL && error != ENOSYS && error != ENOTSUP && error != EOPNOTSUPP)
        {
            errorText = CallFailed("renameat2", error);
            return PublishResult::Failed;
        }
        How = Method::Placeholder;
    }
    // The exclusive create claims the name; the rename then replaces only that empty file of ours.
    const Descriptor placeholder(
        OpenAt(Output.Get(), target, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!placeholder.IsOpen())
    {
        if (errno == EEXIST)
            return PublishResult::TargetExists;
        errorText = "the name cannot be claimed: " + CallFailed("openat", errno);
        return PublishResult::Failed;
    }
    if (renameat(Workspace.Get(), temporary, Output.Get(), target) != 0)
    {
        errorText = CallFailed("renameat", errno);
        // Only the placeholder goes: another user may have put something else under the name since.
        if (StillNamed(Output.Get(), target, placeholder.Get()))
            unlinkat(Output.Get(), target, 0);
        return PublishResult::Failed;
    }
    TemporaryMoved = true;
    return PublishResult::Published;
}
