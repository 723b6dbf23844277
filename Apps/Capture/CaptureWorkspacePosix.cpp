#include "CaptureWorkspace.h"

#include <cerrno>
#include <cstdio>
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
// Names no capture can mistake for an image: the writer chooses its BMP encoder by this extension.
constexpr const char* TemporaryName = "image.dib";
constexpr const char* LeftoverPrefix = ".peltrak-";
constexpr const char* LeftoverSuffix = ".partial";
// A temporary of an earlier version untouched this long belongs to a dead capture: a live one writes
// its whole file in well under a second.
constexpr time_t OldLeftoverAge = 60;
constexpr int NameAttempts = 100;
// Earlier versions' temporaries, plain files in the output directory.
constexpr const char* OldLeftoverSuffix = ".partial.bmp";

// How names are given, from the best the file system allows down; a capture moves on to the next when
// one is unsupported, and never back.
enum class Method
{
    HardLink,
    RenameNoReplace,
    Placeholder,
};
} // namespace

struct CaptureWorkspace::State
{
    int OutputFd = -1;
    int PrivateFd = -1;
    std::string PrivateName;
    bool TemporaryMoved = false;
    Method How = Method::HardLink;

    PublishResult PublishOnce(const std::string& finalName, std::string& errorText);
};

namespace
{
bool EndsWith(const std::string& text, const char* suffix)
{
    const std::size_t length = std::strlen(suffix);
    return text.size() >= length && text.compare(text.size() - length, length, suffix) == 0;
}

bool IsLeftoverName(const std::string& name, const char* suffix)
{
    return name.rfind(LeftoverPrefix, 0) == 0 && EndsWith(name, suffix);
}

std::string ErrorText(const char* what, int error)
{
    return std::string(what) + ": " + std::strerror(error);
}

// Whether path (relative to directoryFd, looked up with fstatat's flags) leads to the file open as fd.
// Another user may have swapped a name for something else since it was opened.
bool SameFile(int fd, int directoryFd, const char* path, int flags)
{
    struct stat own
    {
    };
    struct stat named
    {
    };
    return fstat(fd, &own) == 0 && fstatat(directoryFd, path, &named, flags) == 0 &&
           own.st_dev == named.st_dev && own.st_ino == named.st_ino;
}

// The same for a name inside directoryFd, never following a link.
bool StillNamed(int directoryFd, const std::string& name, int fd)
{
    return SameFile(fd, directoryFd, name.c_str(), AT_SYMLINK_NOFOLLOW);
}

// Twelve characters of [0-9a-z] from the kernel's random pool (the clock and the process id where
// the pool cannot be read: the name is only a hint, mkdirat's EEXIST is the real guard).
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

// Calls visit(name) for every entry of the open directory, without the dot entries. The directory's
// own descriptor stays open and usable.
template <typename Visit> void ForEachEntry(int directoryFd, Visit visit)
{
    const int listFd = dup(directoryFd);
    if (listFd < 0)
        return;
    DIR* list = fdopendir(listFd);
    if (list == nullptr)
    {
        close(listFd);
        return;
    }
    rewinddir(list);
    while (const dirent* entry = readdir(list))
    {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            visit(name);
    }
    closedir(list);
}

// A private directory of a dead capture: its lock is free. Its contents go first, by name inside the
// directory's own descriptor, then the directory, if the name still leads to it.
void RemoveDeadPrivateDirectory(int outputFd, const std::string& name)
{
    const int fd = openat(outputFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return;
    struct stat own
    {
    };
    if (flock(fd, LOCK_EX | LOCK_NB) == 0 && fstat(fd, &own) == 0 && own.st_uid == geteuid())
    {
        ForEachEntry(fd, [fd](const std::string& entry) { unlinkat(fd, entry.c_str(), 0); });
        if (StillNamed(outputFd, name, fd))
            unlinkat(outputFd, name.c_str(), AT_REMOVEDIR);
    }
    close(fd); // Releases the lock.
}

void RemoveLeftovers(int outputFd)
{
    const time_t now = time(nullptr);
    ForEachEntry(outputFd,
                 [outputFd, now](const std::string& name)
                 {
                     if (IsLeftoverName(name, LeftoverSuffix))
                         RemoveDeadPrivateDirectory(outputFd, name);
                     else if (IsLeftoverName(name, OldLeftoverSuffix))
                     {
                         // Only plain files of this user: never a link's target, never someone else's file.
                         struct stat file
                         {
                         };
                         if (fstatat(outputFd, name.c_str(), &file, AT_SYMLINK_NOFOLLOW) == 0 &&
                             S_ISREG(file.st_mode) && file.st_uid == geteuid() &&
                             now - file.st_mtime > OldLeftoverAge)
                             unlinkat(outputFd, name.c_str(), 0);
                     }
                 });
}
} // namespace

CaptureWorkspace::CaptureWorkspace() : Own(std::make_unique<State>()) {}

CaptureWorkspace::~CaptureWorkspace()
{
    State& state = *Own;
    if (state.PrivateFd >= 0)
    {
        if (!state.TemporaryMoved)
            unlinkat(state.PrivateFd, TemporaryName, 0);
        // The name may have been swapped for something else by now; remove only our own directory.
        if (StillNamed(state.OutputFd, state.PrivateName, state.PrivateFd))
            unlinkat(state.OutputFd, state.PrivateName.c_str(), AT_REMOVEDIR);
        close(state.PrivateFd);
    }
    if (state.OutputFd >= 0)
        close(state.OutputFd);
}

bool CaptureWorkspace::Open(const std::string& outputDirectory, std::string& errorText)
{
    State& state = *Own;
    state.OutputFd = open(outputDirectory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (state.OutputFd < 0)
    {
        errorText = ErrorText("the directory cannot be opened", errno);
        return false;
    }
    RemoveLeftovers(state.OutputFd);

    for (int attempt = 0; attempt < NameAttempts; ++attempt)
    {
        const std::string name = LeftoverPrefix + RandomLeaf() + LeftoverSuffix;
        if (mkdirat(state.OutputFd, name.c_str(), 0700) != 0)
        {
            if (errno == EEXIST)
                continue;
            errorText = ErrorText("no private directory can be made in it", errno);
            return false;
        }
        // Between mkdirat and openat another user may have renamed it and put something else there:
        // only a directory of ours with mode 0700 is taken. Another capture's clean-up may have taken
        // its lock first and removed it (it was empty, so nothing was lost): then it has no links.
        const int fd = openat(state.OutputFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        struct stat own
        {
        };
        if (fd >= 0 && flock(fd, LOCK_EX) == 0 && fstat(fd, &own) == 0 && S_ISDIR(own.st_mode) &&
            own.st_uid == geteuid() && (own.st_mode & 07777) == 0700 && own.st_nlink > 0)
        {
            state.PrivateFd = fd;
            state.PrivateName = name;
            break;
        }
        if (fd >= 0)
            close(fd);
    }
    if (state.PrivateFd < 0)
    {
        errorText = "no private directory of this user could be made in it";
        return false;
    }

    // The writer opens by path: this one is resolved by the kernel through the open descriptor.
    // Without /proc it would resolve nowhere, or somewhere else; both are refused.
    const std::string viaDescriptor = "/proc/self/fd/" + std::to_string(state.PrivateFd);
    if (!SameFile(state.PrivateFd, AT_FDCWD, viaDescriptor.c_str(), 0))
    {
        errorText = "/proc is not mounted, so the private directory cannot be reached by its descriptor";
        return false;
    }
    Path = viaDescriptor + "/" + TemporaryName;
    return true;
}

bool CaptureWorkspace::Seal(std::uintmax_t expectedSize, std::string& errorText)
{
    const int fd = openat(Own->PrivateFd, TemporaryName, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
    {
        errorText = ErrorText("the written file cannot be opened", errno);
        return false;
    }
    struct stat file
    {
    };
    bool sealed = false;
    if (fstat(fd, &file) != 0 || !S_ISREG(file.st_mode) || file.st_uid != geteuid() || file.st_nlink != 1)
        errorText = "the written file is not a plain file of this user";
    else if (static_cast<std::uintmax_t>(file.st_size) != expectedSize)
        errorText = "the written file is incomplete: the disk may be full";
    else if (fsync(fd) != 0)
        errorText = ErrorText("the written file cannot be flushed to disk", errno);
    else
        sealed = true;
    close(fd);
    return sealed;
}

PublishResult CaptureWorkspace::Publish(const std::string& finalName, std::string& errorText)
{
    const PublishResult result = Own->PublishOnce(finalName, errorText);
    if (result != PublishResult::Published)
        return result;
    if (fsync(Own->OutputFd) != 0)
    {
        errorText = ErrorText("the file was published but its directory cannot be flushed to disk", errno);
        return PublishResult::Failed;
    }
    return result;
}

PublishResult CaptureWorkspace::State::PublishOnce(const std::string& finalName, std::string& errorText)
{
    const char* target = finalName.c_str();
    if (How == Method::HardLink)
    {
        // Fails with EEXIST instead of replacing, atomically.
        if (linkat(PrivateFd, TemporaryName, OutputFd, target, 0) == 0)
            return PublishResult::Published;
        const int error = errno;
        if (error == EEXIST)
            return PublishResult::TargetExists;
        // File systems without hard links (vfat, exFAT, some network ones).
        if (error != EPERM && error != ENOTSUP && error != EOPNOTSUPP && error != EXDEV && error != ENOSYS)
        {
            errorText = ErrorText("linkat", error);
            return PublishResult::Failed;
        }
        How = Method::RenameNoReplace;
    }
    if (How == Method::RenameNoReplace)
    {
        if (renameat2(PrivateFd, TemporaryName, OutputFd, target, RENAME_NOREPLACE) == 0)
        {
            TemporaryMoved = true;
            return PublishResult::Published;
        }
        const int error = errno;
        if (error == EEXIST)
            return PublishResult::TargetExists;
        if (error != EINVAL && error != ENOSYS && error != ENOTSUP && error != EOPNOTSUPP)
        {
            errorText = ErrorText("renameat2", error);
            return PublishResult::Failed;
        }
        How = Method::Placeholder;
    }
    // The exclusive create claims the name; the rename then replaces only that empty file of ours.
    const int placeholder =
        openat(OutputFd, target, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (placeholder < 0)
    {
        if (errno == EEXIST)
            return PublishResult::TargetExists;
        errorText = ErrorText("the name cannot be claimed", errno);
        return PublishResult::Failed;
    }
    close(placeholder);
    if (renameat(PrivateFd, TemporaryName, OutputFd, target) != 0)
    {
        errorText = ErrorText("renameat", errno);
        unlinkat(OutputFd, target, 0);
        return PublishResult::Failed;
    }
    TemporaryMoved = true;
    return PublishResult::Published;
}
