#include "FrameMemory.h"

#include <atomic>
#include <cerrno>
#include <new>

#ifdef __linux__
#include <cstdint>
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace
{
// The x86-64 and AArch64 (4 KiB granule) transparent huge page size. Elsewhere it only costs
// alignment.
constexpr std::size_t HugePageSize = std::size_t{2} << 20;

// One capture thread, but the tests may create storage from any thread.
std::atomic<std::size_t> BytesInUse{0};

#ifdef __linux__
// Both hints may fail (advice unknown to an older kernel, huge pages switched off); the memory then
// behaves as it always did, so their results are not looked at.
void AdviseHugePages(void* address, std::size_t size)
{
#ifdef MADV_HUGEPAGE
    madvise(address, size, MADV_HUGEPAGE);
#else
    (void)address;
    (void)size;
#endif
}

// Below a huge page the destination is up to a few hundred ordinary pages, each of which would fault
// on its first write during the conversion; one call maps them all (about 5% of a 640 x 480 capture's
// CPU time, in paired runs). The pages at either end may hold other allocations as well: populating
// changes no byte in them. Only a hint: kernels before 5.14 answer EINVAL and the pages fault in as
// before.
void PopulateForWriting(void* address, std::size_t size)
{
#ifdef MADV_POPULATE_WRITE
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pageSize <= 0)
        return;
    const std::uintptr_t page = static_cast<std::uintptr_t>(pageSize);
    const std::uintptr_t start = reinterpret_cast<std::uintptr_t>(address) / page * page;
    const std::uintptr_t end = reinterpret_cast<std::uintptr_t>(address) + size;
    void* const first = reinterpret_cast<void*>(start); // NOLINT(performance-no-int-to-ptr)
    madvise(first, end - start, MADV_POPULATE_WRITE);
#else
    (void)address;
    (void)size;
#endif
}
#endif
} // namespace

FrameStorage::FrameStorage(std::size_t size) : Length(size)
{
    if (size == 0)
        return;
    // Below one huge page the kernel would not use one anyway.
    Align = size >= HugePageSize ? HugePageSize : alignof(std::max_align_t);
    if (size > static_cast<std::size_t>(-1) - Align)
        throw std::bad_alloc();
    Allocated = (size + Align - 1) / Align * Align;
    Bytes = static_cast<unsigned char*>(::operator new(Allocated, std::align_val_t(Align)));
#ifdef __linux__
    // Before the first touch, so that the first write fault already brings a whole huge page.
    if (Align == HugePageSize)
        AdviseHugePages(Bytes, Allocated);
    else
        PopulateForWriting(Bytes, Allocated);
#endif
    BytesInUse += Allocated;
}

FrameStorage::~FrameStorage()
{
    if (Bytes == nullptr)
        return;
    BytesInUse -= Allocated;
    ::operator delete(Bytes, std::align_val_t(Align));
}

std::size_t FrameStorageBytesInUse()
{
    return BytesInUse;
}

void ProtectForReading(void* address, std::size_t size)
{
#ifdef __linux__
    if (address != nullptr && size != 0)
        mprotect(address, size, PROT_READ);
#else
    (void)address;
    (void)size;
#endif
}

bool PrefaultForReading(const void* address, std::size_t size)
{
#if defined(__linux__) && defined(MADV_POPULATE_READ)
    if (address == nullptr || size == 0)
        return true;
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pageSize <= 0)
        return true;
    // Whole pages from the one that holds the first byte (the block's pixels start mid-page). That page
    // start may lie before the object the caller owns, so it is computed as a number, never by
    // pointer arithmetic, and only the kernel ever sees it as an address.
    const std::uintptr_t page = static_cast<std::uintptr_t>(pageSize);
    const std::uintptr_t start = reinterpret_cast<std::uintptr_t>(address);
    const std::uintptr_t lead = start % page;
    // Linux 5.14 and later; older kernels answer EINVAL and the pages fault in as they are read.
    const int result =
        madvise(reinterpret_cast<void*>(start - lead), size + lead, // NOLINT(performance-no-int-to-ptr)
                MADV_POPULATE_READ);
    // EFAULT and ENOMEM: a page could not be backed, typically a shared-memory file system smaller
    // than the block. Anything else (EINVAL on older kernels) only means the hint was not taken.
    return !(result != 0 && (errno == EFAULT || errno == ENOMEM));
#else
    (void)address;
    (void)size;
    return true;
#endif
}
