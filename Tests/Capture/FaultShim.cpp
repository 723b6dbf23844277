// The shim defines open and openat itself, which the fortified headers define inline.
#undef _FORTIFY_SOURCE
#include "FaultShim.h"

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
// Every name a call is counted under; FaultInjectionTests.cpp knows each one's plausible errors.
constexpr const char* CallNames[] = {
    "open",   "openat",    "fopen",  "mkdirat",   "fstat",    "fstatat",  "stat",
    "fwrite", "fsync",     "linkat", "renameat2", "renameat", "unlinkat", "flock",
    "mmap",   "ftruncate", "close",  "fclose",    "shm_open",
};
constexpr int CallCount = sizeof CallNames / sizeof CallNames[0];

std::atomic<long> Counts[CallCount];
// Set while the tool's main runs.
std::atomic<bool> Armed{false};
// Set once the chosen call has failed.
std::atomic<bool> Fired{false};

struct Fault
{
    int Call = -1;
    long Number = 0;
    int Error = 0;
} Chosen;

int CallIndex(const char* call)
{
    for (int i = 0; i < CallCount; ++i)
        if (std::strcmp(CallNames[i], call) == 0)
            return i;
    return -1;
}

// Reads PELTRAK_SHIM_FAIL before the tool starts; a malformed value chooses nothing.
__attribute__((constructor)) void ReadChosenFault()
{
    const char* text = std::getenv("PELTRAK_SHIM_FAIL");
    if (text == nullptr)
        return;
    const char* colon = std::strchr(text, ':');
    if (colon == nullptr)
        return;
    char name[32] = {};
    if (static_cast<std::size_t>(colon - text) >= sizeof name)
        return;
    std::memcpy(name, text, static_cast<std::size_t>(colon - text));
    long number = 0;
    int error = 0;
    if (std::sscanf(colon + 1, "%ld:%d", &number, &error) != 2)
        return;
    Chosen = {CallIndex(name), number, error};
}

void WriteCounts()
{
    const char* path = std::getenv("PELTRAK_SHIM_COUNT");
    if (path == nullptr)
        return;
    char text[2048];
    std::size_t length = 0;
    for (int i = 0; i < CallCount; ++i)
    {
        const int added =
            std::snprintf(text + length, sizeof text - length, "%s %ld\n", CallNames[i], Counts[i].load());
        if (added < 0 || static_cast<std::size_t>(added) >= sizeof text - length)
            break;
        length += static_cast<std::size_t>(added);
    }
    static const auto realOpen = Next<int (*)(const char*, int, ...)>("open");
    static const auto realWrite = Next<ssize_t (*)(int, const void*, size_t)>("write");
    static const auto realClose = Next<int (*)(int)>("close");
    const int fd = realOpen(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    [[maybe_unused]] const ssize_t written = realWrite(fd, text, length);
    realClose(fd);
}

__attribute__((destructor)) void WriteCountsAtExit()
{
    WriteCounts();
}

using MainFunction = int (*)(int, char**, char**);
MainFunction RealMain = nullptr;

int CountedMain(int argc, char** argv, char** environment)
{
    Armed = true;
    const int status = RealMain(argc, argv, environment);
    Armed = false;
    return status;
}

// The mode argument of open and openat, which is there only when the flags create a file.
mode_t CreationMode(int flags, va_list rest)
{
    return (flags & (O_CREAT | O_TMPFILE)) != 0 ? static_cast<mode_t>(va_arg(rest, int)) : 0;
}

// The standard streams carry the progress lines and the log, not the capture's files.
bool IsStandardStream(const FILE* stream)
{
    return stream == stdout || stream == stderr;
}
} // namespace

bool FailThisCall(const char* call)
{
    if (!Armed)
        return false;
    const int index = CallIndex(call);
    if (index < 0)
        return false;
    const long number = ++Counts[index];
    if (index != Chosen.Call || number != Chosen.Number)
        return false;
    Fired = true;
    errno = Chosen.Error;
    return true;
}

// The wrapped calls: each counts itself and fails when chosen, else does what it always does.
extern "C"
{
    int __libc_start_main(MainFunction main, int argc, char** argv, void (*init)(), void (*fini)(),
                          void (*rtldFini)(), void* stackEnd)
    {
        RealMain = main;
        return Next<int (*)(MainFunction, int, char**, void (*)(), void (*)(), void (*)(), void*)>(
            "__libc_start_main")(CountedMain, argc, argv, init, fini, rtldFini, stackEnd);
    }

    void _Exit(int status)
    {
        WriteCounts();
        Next<void (*)(int)>("_Exit")(status);
        std::abort(); // Not reached; tells the compiler so.
    }

    void _exit(int status)
    {
        WriteCounts();
        Next<void (*)(int)>("_exit")(status);
        std::abort();
    }

    int open(const char* path, int flags, ...)
    {
        va_list rest;
        va_start(rest, flags);
        const mode_t mode = CreationMode(flags, rest);
        va_end(rest);
        // The stack trace would read the executable's debug information, hundreds of milliseconds per
        // fault; without it the trace is all addresses and the report's message the same.
        if (Fired && std::strcmp(path, "/proc/self/exe") == 0)
            return errno = ENOENT, -1;
        if (FailThisCall("open"))
            return -1;
        static const auto real = Next<int (*)(const char*, int, ...)>("open");
        return real(path, flags, mode);
    }

    int openat(int directory, const char* path, int flags, ...)
    {
        va_list rest;
        va_start(rest, flags);
        const mode_t mode = CreationMode(flags, rest);
        va_end(rest);
        if (FailThisCall("openat"))
            return -1;
        static const auto real = Next<int (*)(int, const char*, int, ...)>("openat");
        return real(directory, path, flags, mode);
    }

    FILE* fopen(const char* path, const char* mode)
    {
        if (FailThisCall("fopen"))
            return nullptr;
        static const auto real = Next<FILE* (*)(const char*, const char*)>("fopen");
        return real(path, mode);
    }

    FILE* fopen64(const char* path, const char* mode)
    {
        if (FailThisCall("fopen"))
            return nullptr;
        static const auto real = Next<FILE* (*)(const char*, const char*)>("fopen64");
        return real(path, mode);
    }

    size_t fwrite(const void* data, size_t size, size_t count, FILE* stream)
    {
        if (!IsStandardStream(stream) && FailThisCall("fwrite"))
            return 0;
        static const auto real = Next<size_t (*)(const void*, size_t, size_t, FILE*)>("fwrite");
        return real(data, size, count, stream);
    }

    int fclose(FILE* stream)
    {
        const bool fail = !IsStandardStream(stream) && FailThisCall("fclose");
        const int error = errno;
        static const auto real = Next<int (*)(FILE*)>("fclose");
        const int result = real(stream);
        if (!fail)
            return result;
        errno = error;
        return EOF;
    }

    int close(int fd)
    {
        const bool fail = FailThisCall("close");
        const int error = errno;
        static const auto real = Next<int (*)(int)>("close");
        const int result = real(fd);
        if (!fail)
            return result;
        errno = error;
        return -1;
    }

    int mkdirat(int directory, const char* path, mode_t mode)
    {
        if (FailThisCall("mkdirat"))
            return -1;
        static const auto real = Next<int (*)(int, const char*, mode_t)>("mkdirat");
        return real(directory, path, mode);
    }

    int fstat(int fd, struct stat* status)
    {
        if (FailThisCall("fstat"))
            return -1;
        static const auto real = Next<int (*)(int, struct stat*)>("fstat");
        return real(fd, status);
    }

    int fstatat(int directory, const char* path, struct stat* status, int flags)
    {
        if (FailThisCall("fstatat"))
            return -1;
        static const auto real = Next<int (*)(int, const char*, struct stat*, int)>("fstatat");
        return real(directory, path, status, flags);
    }

    int stat(const char* path, struct stat* status)
    {
        if (FailThisCall("stat"))
            return -1;
        static const auto real = Next<int (*)(const char*, struct stat*)>("stat");
        return real(path, status);
    }

    int lstat(const char* path, struct stat* status)
    {
        if (FailThisCall("stat"))
            return -1;
        static const auto real = Next<int (*)(const char*, struct stat*)>("lstat");
        return real(path, status);
    }

    int renameat(int fromDirectory, const char* from, int toDirectory, const char* to)
    {
        if (FailThisCall("renameat"))
            return -1;
        static const auto real = Next<int (*)(int, const char*, int, const char*)>("renameat");
        return real(fromDirectory, from, toDirectory, to);
    }

    int unlinkat(int directory, const char* path, int flags)
    {
        if (FailThisCall("unlinkat"))
            return -1;
        static const auto real = Next<int (*)(int, const char*, int)>("unlinkat");
        return real(directory, path, flags);
    }

    int flock(int fd, int operation)
    {
        if (FailThisCall("flock"))
            return -1;
        static const auto real = Next<int (*)(int, int)>("flock");
        return real(fd, operation);
    }

    void* mmap(void* address, size_t length, int protection, int flags, int fd, off_t offset)
    {
        if (FailThisCall("mmap"))
            return MAP_FAILED;
        static const auto real = Next<void* (*)(void*, size_t, int, int, int, off_t)>("mmap");
        return real(address, length, protection, flags, fd, offset);
    }

    int ftruncate(int fd, off_t length)
    {
        if (FailThisCall("ftruncate"))
            return -1;
        static const auto real = Next<int (*)(int, off_t)>("ftruncate");
        return real(fd, length);
    }
}
