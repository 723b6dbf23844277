// The shared image block: the only channel between the image producer (another process) and the tool.
//
// A named Boost.Interprocess shared memory object of exactly SharedBlockSize bytes (POSIX shared
// memory on Linux, a file in a per-boot folder on Windows). The producer owns the contents; the tool
// trusts whatever the header holds and checks it before reading pixels (see CaptureRun.h).
//
// This library only maps the block and reads or writes its header; it never logs and pulls in neither
// OpenCV nor spdlog, so the tool, the demo producer and the fuzzer share it.
#pragma once

#include <boost/interprocess/mapped_region.hpp>
#include <boost/interprocess/shared_memory_object.hpp>
#include <cstddef>
#include <cstdint>
#include <stdexcept>

// Byte layout. All values little-endian, no padding: the three header values lie at unaligned
// addresses, so they are read byte by byte (ReadBlockInt32), never through a cast pointer.
#pragma pack(push, 1)
struct SharedImageBlock
{
    unsigned char Prefix[459];       // The producer's; the tool never reads it.
    std::int32_t Width;              // Columns.
    std::int32_t Height;             // Rows.
    std::int32_t Channels;           // Bytes per pixel: blue, green, red, then alpha when there are four.
    unsigned char Pixels[135000048]; // Height rows, row 0 first, each Width * Channels bytes, no gap.
};
#pragma pack(pop)

constexpr std::size_t WidthOffset = 459;
constexpr std::size_t HeightOffset = 463;
constexpr std::size_t ChannelsOffset = 467;
constexpr std::size_t PixelOffset = 471;
constexpr std::size_t SharedBlockSize = 135000519;
constexpr std::size_t PixelAreaSize = SharedBlockSize - PixelOffset;

static_assert(offsetof(SharedImageBlock, Width) == WidthOffset, "layout is shared with the producer");
static_assert(offsetof(SharedImageBlock, Height) == HeightOffset, "layout is shared with the producer");
static_assert(offsetof(SharedImageBlock, Channels) == ChannelsOffset, "layout is shared with the producer");
static_assert(offsetof(SharedImageBlock, Pixels) == PixelOffset, "layout is shared with the producer");
static_assert(sizeof(SharedImageBlock) == SharedBlockSize, "layout is shared with the producer");

// The name of the block the tool attaches to, and that the demo producer publishes into unless given
// another; "ZV_SHM_MEMORY" unless the build overrides it. Not defined by this library: each executable
// compiles SharedBlockName.cpp with its own name (peltrak_block_name in Apps/CMakeLists.txt).
extern const char* const SharedBlockName;

// The three header values as the producer wrote them, unchecked.
struct BlockHeader
{
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    std::int32_t Channels = 0;
};

// A block that can be neither used nor replaced. The text names the block, the operation that failed
// (open, map, create, set the size of), the system call and the system's reason.
class SharedBlockError : public std::runtime_error
{
public:
    SharedBlockError(const char* name, const char* operation, const char* call, const std::exception& cause);
};

// Maps the named block and returns its address, which stays valid until the next call or process exit
// (one process-wide mapping, replaced on every call; not safe for concurrent calls).
//
// Prints "shm size = <actual> struct size = <size>" when an existing object could be mapped. In
// read_write mode a missing or wrongly sized object (or one that cannot be mapped at its wrong size)
// is removed and created anew at size bytes, all zero ("create shm_memory ", then "removed : <name>"
// when something was removed); one that exists but cannot be opened, or has the right size but cannot
// be mapped, is left untouched and SharedBlockError is thrown. Any other mode never creates and
// returns null when the object cannot be opened, or the wrongly sized mapping as it is. A failed
// re-creation throws SharedBlockError. A progress line that cannot be written is skipped.
unsigned char* AttachSharedBlock(const char* name, std::size_t size, boost::interprocess::mode_t mode);

// Creates the named block at size bytes, all zero, and maps it read-write. The mapping ends with the
// returned region; the block stays until it is removed. An existing block of that name is never
// replaced: remove it first. Throws SharedBlockError when it cannot be made.
boost::interprocess::mapped_region CreateSharedBlock(const char* name, std::size_t size);

// The named block's size at this moment, or -1 when it cannot be opened. Tells a block that shrank
// under the reader from one that could never be backed.
long long SharedBlockSizeNow(const char* name);

// The header of a block of at least PixelOffset bytes.
BlockHeader ReadBlockHeader(const unsigned char* block);
void WriteBlockHeader(unsigned char* block, const BlockHeader& header);

// The signed little-endian 32-bit value at block + offset, whatever the host's byte order and alignment.
std::int32_t ReadBlockInt32(const unsigned char* block, std::size_t offset);

// Stores value little-endian at block + offset; the producer's side of ReadBlockInt32.
void WriteBlockInt32(unsigned char* block, std::size_t offset, std::int32_t value);
