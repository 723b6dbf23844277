// Memory for the one large frame a capture handles, and hints that let the kernel map it in few steps.
//
// An 8K frame is about 100 MB; touched page by page, its faults alone cost tens of milliseconds. On
// Linux the destination storage is aligned to and advised for transparent huge pages, and the block's
// pixel area is mapped in one call before the conversion reads it. Elsewhere, or where the kernel
// refuses a hint, both fall back to ordinary memory and ordinary faults: the results never differ.
// Windows takes that plain path on purpose: the block is a file-backed view there whose pages the
// producer has just written (soft faults, which PrefetchVirtualMemory does not remove), and large pages
// need a privilege that an operator's account normally lacks; no gain has been measured that would
// pay for VirtualAlloc-based storage.
#pragma once

#include <cstddef>

// Owns `size` writable bytes (uninitialised) for one image; freed by the destructor. Storage of at
// least one huge page starts on a huge-page boundary and spans whole huge pages; smaller storage is
// mapped in at once on Linux, in one call. Throws std::bad_alloc.
class FrameStorage
{
public:
    explicit FrameStorage(std::size_t size);
    ~FrameStorage();
    FrameStorage(const FrameStorage&) = delete;
    FrameStorage& operator=(const FrameStorage&) = delete;

    unsigned char* Data() const { return Bytes; } // Null when size is 0.
    std::size_t Size() const { return Length; }
    std::size_t Alignment() const { return Align; }

private:
    unsigned char* Bytes = nullptr;
    std::size_t Length = 0;
    std::size_t Align = 0;
    std::size_t Allocated = 0;
};

// Bytes held by all live FrameStorage objects: what the process would lose if one were never freed.
std::size_t FrameStorageBytesInUse();

// Makes the mapping that starts at the page-aligned `address` read-only for its first `size` bytes:
// the capture reads the block and never writes it, and first reads through a read-only shared view
// cost far less than through a writable one (on the measured virtual machine about half). Only a
// hint as well: where it is unsupported or refused, the mapping stays as it was.
void ProtectForReading(void* address, std::size_t size);

// Asks the kernel to map the pages of [address, address + size) for reading now, in one call, instead
// of one fault at a time during the first pass. Only a hint: nothing happens where it is unsupported.
// Returns false when the kernel says the pages cannot be backed (shared memory exhausted): reading
// them would end the process with SIGBUS.
bool PrefaultForReading(const void* address, std::size_t size);
