#include "SharedBlock.h"

#include <boost/interprocess/exceptions.hpp>
#include <cstdint>
#include <iostream>

namespace bip = boost::interprocess;

unsigned char* AttachSharedBlock(const char* name, std::size_t size, bip::mode_t mode)
{
    // Holds the only mapping this process keeps; each call's move assignment releases the previous one.
    static bip::mapped_region SharedRegion;

    try
    {
        bip::shared_memory_object existing(bip::open_only, name, mode);
        SharedRegion = bip::mapped_region(existing, mode);
        std::cout << "shm size = " << static_cast<std::uint64_t>(SharedRegion.get_size())
                  << " struct size = " << static_cast<std::uint64_t>(size) << std::endl;
        // A wrongly sized block is kept as it is for a reader; only a writer may replace it.
        if (SharedRegion.get_size() == size || mode != bip::read_write)
            return static_cast<unsigned char*>(SharedRegion.get_address());
    }
    catch (const bip::interprocess_exception& e)
    {
        std::cout << e.what() << std::endl;
    }

    if (mode != bip::read_write)
        return nullptr;

    std::cout << "create shm_memory " << std::endl;
    if (bip::shared_memory_object::remove(name))
        std::cout << "removed : " << name << std::endl;

    // Failures from here on reach the caller; SharedRegion keeps whatever it held before.
    SharedRegion = CreateSharedBlock(name, size);
    return static_cast<unsigned char*>(SharedRegion.get_address());
}

bip::mapped_region CreateSharedBlock(const char* name, std::size_t size)
{
    bip::shared_memory_object created(bip::create_only, name, bip::read_write);
    created.truncate(static_cast<bip::offset_t>(size));
    return bip::mapped_region(created, bip::read_write);
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
