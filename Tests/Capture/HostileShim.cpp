// Preloaded into the test build of the tool (LD_PRELOAD) to play the environments the machine does
// not offer on demand. Each behaviour is switched on by an environment variable:
//   PELTRAK_SHIM_NO_LINK       link and linkat fail with EPERM, as on vfat and exFAT
//   PELTRAK_SHIM_NO_RENAMEAT2  renameat2 fails with EINVAL, as where RENAME_NOREPLACE is unsupported
//   PELTRAK_SHIM_NO_SHM_CREATE shm_open with O_CREAT fails with EACCES
//   PELTRAK_SHIM_SHRINK=PATH   the first MADV_POPULATE_READ truncates PATH to one page first, as a
//                              producer would mid-read; with PELTRAK_SHIM_SHRINK_QUIET the advice then
//                              claims success, so that the read itself meets the missing pages
//   PELTRAK_SHIM_TRACE=PATH    appends "fsync TARGET", "link NAME", "rename NAME" lines to PATH
//   PELTRAK_SHIM_NO_FSYNC      fsync returns at once, for measuring what it costs
//   PELTRAK_SHIM_KILL_AT_FSYNC the first fsync kills the process (SIGKILL), as a crash mid-capture
// and the fault injection of FaultShim.h, which counts and fails these calls too.
#include "FaultShim.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace
{
bool On(const char* variable)
{
    return std::getenv(variable) != nullptr;
}

void Trace(const std::string& line)
{
    const char* path = std::getenv("PELTRAK_SHIM_TRACE");
    if (path == nullptr)
        return;
    // The shim's own calls are not the tool's: they bypass the counting wrappers.
    const int fd =
        Next<int (*)(const char*, int, ...)>("open")(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    const std::string text = line + "\n";
    [[maybe_unused]] const ssize_t written = write(fd, text.data(), text.size());
    Next<int (*)(int)>("close")(fd);
}
} // namespace

extern "C"
{
    int link(const char* from, const char* to)
    {
        if (On("PELTRAK_SHIM_NO_LINK"))
            return errno = EPERM, -1;
        return Next<int (*)(const char*, const char*)>("link")(from, to);
    }

    int linkat(int fromDirectory, const char* from, int toDirectory, const char* to, int flags)
    {
        if (On("PELTRAK_SHIM_NO_LINK"))
            return errno = EPERM, -1;
        if (FailThisCall("linkat"))
            return -1;
        Trace(std::string("link ") + to);
        return Next<int (*)(int, const char*, int, const char*, int)>("linkat")(fromDirectory, from,
                                                                                toDirectory, to, flags);
    }

    int renameat2(int fromDirectory, const char* from, int toDirectory, const char* to, unsigned int flags)
    {
        if (On("PELTRAK_SHIM_NO_RENAMEAT2"))
            return errno = EINVAL, -1;
        if (FailThisCall("renameat2"))
            return -1;
        Trace(std::string("rename ") + to);
        return Next<int (*)(int, const char*, int, const char*, unsigned int)>("renameat2")(
            fromDirectory, from, toDirectory, to, flags);
    }

    int fsync(int fd)
    {
        char target[4096] = {};
        const std::string descriptorLink = "/proc/self/fd/" + std::to_string(fd);
        if (readlink(descriptorLink.c_str(), target, sizeof target - 1) < 0)
            target[0] = '\0';
        Trace(std::string("fsync ") + target);
        if (On("PELTRAK_SHIM_KILL_AT_FSYNC"))
            raise(SIGKILL);
        if (FailThisCall("fsync"))
            return -1;
        if (On("PELTRAK_SHIM_NO_FSYNC"))
            return 0;
        return Next<int (*)(int)>("fsync")(fd);
    }

    int shm_open(const char* name, int flags, mode_t mode)
    {
        if ((flags & O_CREAT) != 0 && On("PELTRAK_SHIM_NO_SHM_CREATE"))
            return errno = EACCES, -1;
        if (FailThisCall("shm_open"))
            return -1;
        return Next<int (*)(const char*, int, mode_t)>("shm_open")(name, flags, mode);
    }

    int madvise(void* address, size_t length, int advice)
    {
        static bool shrunk = false;
        const char* path = std::getenv("PELTRAK_SHIM_SHRINK");
        if (advice == MADV_POPULATE_READ && path != nullptr && !shrunk)
        {
            shrunk = true;
            [[maybe_unused]] const int truncated = truncate(path, 4096);
            if (On("PELTRAK_SHIM_SHRINK_QUIET"))
                return 0;
        }
        return Next<int (*)(void*, size_t, int)>("madvise")(address, length, advice);
    }
}
