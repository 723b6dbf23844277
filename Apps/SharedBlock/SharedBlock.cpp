#include "SharedBlock.h"

#include <boost/interprocess/exceptions.hpp>
#include <cerrno>
#include <cstdint>
#include <iostream>
#include <string>

namespace bip = boost::interprocess;

namespace
{
// A progress line that cannot be written (standard output closed, or a pipe nobody reads) is lost on
// its own: the stream is made usable again so that later lines and the log still try.
void PrintLine(const std::string& text)
{
    std::cout << text << std::endl;
    std::cout.clear();
}

std::string Quoted(const char* name)
{
    return std::string("\"") + name + "\"";
}
} // namespace

SharedBlockError::SharedBlockError(const char* name, const char* operation, const char* call,
                                   const std::exception& cause)
    : std::runtime_error("could not " + std::string(operation) + " the shared block " + Quoted(name) + ": " +
                         call + ": " + cause.what())
{
}

unsigned char* AttachSharedBlock(const char* name, std::size_t size, bip::mode_t mode)
{
    // Holds the only mapping this process keeps; each call's move assignment releases the previous one.
    static bip::mapped_region SharedRegion;

    // Whether the block exists, and whether it has the right size: a writer replaces only a block that
    // is missing or wrongly sized, never one it merely cannot open or map (the producer's frame).
    bool opened = false;
    bool rightSize = false;
    try
    {
        bip::shared_memory_object existing(bip::open_only, name, mode);
        opened = true;
        bip::offset_t existingSize = 0;
        const bool sized = existing.get_size(existingSize);
        rightSize = sized && static_cast<std::uint64_t>(existingSize) == size;
        // With the size known, the mapping asks the system for nothing but the mapping itself, so a
        // failure here is the mmap's.
        SharedRegion =
            bip::mapped_region(existing, mode, 0, sized ? static_cast<std::size_t>(existingSize) : 0);
        PrintLine("shm size = " + std::to_string(static_cast<std::uint64_t>(SharedRegion.get_size())) +
                  " struct size = " + std::to_string(static_cast<std::uint64_t>(size)));
        // A wrongly sized block is kept as it is for a reader; only a writer may replace it.
        if (SharedRegion.get_size() == size || mode != bip::read_write)
            return static_cast<unsigned char*>(SharedRegion.get_address());
    }
    catch (const bip::interprocess_exception& e)
    {
        if (mode == bip::read_write && !opened && e.get_native_error() != ENOENT)
            throw SharedBlockError(name, "open", "shm_open", e);
        if (mode == bip::read_write && rightSize)
            throw SharedBlockError(name, "map", "mmap", e);
        PrintLine(e.what());
    }

    if (mode != bip::read_write)
        return nullptr;

    PrintLine("create shm_memory ");
    if (bip::shared_memory_object::remove(name))
        PrintLine(std::string("removed : ") + name);

    // Failures from here on reach the caller; SharedRegion keeps whatever it held before.
    SharedRegion = CreateSharedBlock(name, size);
    return static_cast<unsigned char*>(SharedRegion.get_address());
}

bip::mapped_region CreateSharedBlock(const char* name, std::size_t size)
{
    const char* step = "create";
    const char* call = "shm_open";
    try
    {
        bip::shared_memory_object created(bip::create_only, name, bip::read_write);
        step = "set the size of";
        call = "ftruncate";
        created.truncate(static_cast<bip::offset_t>(size));
        step = "map";
        call = "mmap";
        return bip::mapped_region(created, bip::read_write, 0, size);
    }
    catch (const bip::interprocess_exception& e)
    {
        throw SharedBlockError(name, step, call, e);
    }
}

long long SharedBlockSizeNow(const char* name)
{
    try
    {
        const bip::shared_memory_object block(bip::open_only, name, bip::read_only);
        bip::offset_t size = 0;
        return block.get_size(size) ? static_cast<long long>(size) : -1;
    }
    catch (const bip::interprocess_exception&)
    {
        return -1;
    }
}

std::int32_t ReadBlockInt32(const unsigned char* block, std::size_t offset)
{
    const unsigned char* p = block + offset;
    const std::uint32_t bits = static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
                               static_cast<std::uint32_t>(p[2]) << 16 |
                               static_cast<std::uint32_t>(p[3]) << 24;
    // Two's-complement reinterpretation without relying on an out-of-range conversion.
    return bits <= 0x7FFFFFFFu ? static_cast<std::int32_t>(bits)
                               : static_cast<std::int32_t>(bits - 0x80000000u) - 0x7FFFFFFF - 1;
}

void WriteBlockInt32(unsigned char* block, std::size_t offset, std::int32_t value)
{
    const std::uint32_t bits = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i)
        block[offset + static_cast<std::size_t>(i)] = static_cast<unsigned char>(bits >> (8 * i));
}

BlockHeader ReadBlockHeader(const unsigned char* block)
{
    BlockHeader header;
    header.Width = ReadBlockInt32(block, WidthOffset);
    header.Height = ReadBlockInt32(block, HeightOffset);
    header.Channels = ReadBlockInt32(block, ChannelsOffset);
    return header;
}

void WriteBlockHeader(unsigned char* block, const BlockHeader& header)
{
    WriteBlockInt32(block, WidthOffset, header.Width);
    WriteBlockInt32(block, HeightOffset, header.Height);
    WriteBlockInt32(block, ChannelsOffset, header.Channels);
}
