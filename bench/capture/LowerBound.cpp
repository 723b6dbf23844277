// The floor for a capture: maps the block, and writes its BGRA frame as a 24-bit BMP straight from the
// mapping, a few rows at a time, with no full-frame buffer and no image library. Not part of the tool;
// the benchmark uses it to show how far any capture is from the cost of moving the bytes at all.
// With --durable it also flushes the file and then its directory to disk, as the tool does before and
// after publishing, so that the tool can be compared with a floor that keeps the same promise.
//
//   lower-bound [--durable] BLOCK_NAME OUTPUT.bmp
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace
{
constexpr std::size_t PixelOffset = 471;

std::int32_t ReadInt32(const unsigned char* p)
{
    std::uint32_t bits = 0;
    for (int i = 3; i >= 0; --i)
        bits = bits << 8 | p[i];
    return static_cast<std::int32_t>(bits);
}

void PutInt32(unsigned char* p, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<unsigned char>(value >> (8 * i));
}

bool WriteAll(int fd, const unsigned char* data, std::size_t size)
{
    while (size > 0)
    {
        const ssize_t done = write(fd, data, size);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0)
            return false;
        data += done;
        size -= static_cast<std::size_t>(done);
    }
    return true;
}

int Fail(const char* what)
{
    std::fprintf(stderr, "lower-bound: %s: %s\n", what, std::strerror(errno));
    return 1;
}
} // namespace

int main(int argc, char** argv)
{
    const bool durable = argc == 4 && std::strcmp(argv[1], "--durable") == 0;
    if (argc != 3 && !durable)
    {
        std::fprintf(stderr, "usage: lower-bound [--durable] BLOCK_NAME OUTPUT.bmp\n");
        return 2;
    }
    if (durable)
        ++argv;
    const int shm = shm_open(argv[1], O_RDONLY, 0);
    if (shm < 0)
        return Fail("shm_open");
    struct stat info
    {
    };
    if (fstat(shm, &info) != 0)
        return Fail("fstat");
    const std::size_t blockSize = static_cast<std::size_t>(info.st_size);
    void* mapped = mmap(nullptr, blockSize, PROT_READ, MAP_SHARED, shm, 0);
    if (mapped == MAP_FAILED)
        return Fail("mmap");
    close(shm);
    const auto* block = static_cast<const unsigned char*>(mapped);
    if (blockSize < PixelOffset)
        return Fail("block too small");
    const std::int32_t width = ReadInt32(block + 459);
    const std::int32_t height = ReadInt32(block + 463);
    const std::int32_t channels = ReadInt32(block + 467);
    const std::size_t w = static_cast<std::size_t>(width);
    const std::size_t h = static_cast<std::size_t>(height);
    if (width <= 0 || height <= 0 || channels != 4 || w * h * 4 > blockSize - PixelOffset)
    {
        std::fprintf(stderr, "lower-bound: header %d x %d x %d does not fit\n", width, height, channels);
        return 1;
    }
#ifdef MADV_POPULATE_READ
    // One call instead of a fault per few pages; older kernels refuse it and the faults happen anyway.
    const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    madvise(mapped, (PixelOffset + w * h * 4 + page - 1) / page * page, MADV_POPULATE_READ);
#endif

    const std::size_t stride = (w * 3 + 3) / 4 * 4;
    unsigned char header[54] = {'B', 'M'};
    PutInt32(header + 2, static_cast<std::uint32_t>(54 + stride * h));
    PutInt32(header + 10, 54);
    PutInt32(header + 14, 40);
    PutInt32(header + 18, static_cast<std::uint32_t>(width));
    PutInt32(header + 22, static_cast<std::uint32_t>(height)); // Positive: rows bottom-up.
    header[26] = 1;
    header[28] = 24;
    PutInt32(header + 34, static_cast<std::uint32_t>(stride * h));

    const int out = open(argv[2], O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0)
        return Fail("open");
    if (!WriteAll(out, header, sizeof header))
        return Fail("write");
    // About 256 KiB per write: few system calls, and the buffer stays in the cache.
    const std::size_t rowsPerChunk = stride >= (256u << 10) ? 1 : (256u << 10) / stride;
    std::vector<unsigned char> chunk(rowsPerChunk * stride, 0);
    std::size_t row = h;
    while (row > 0)
    {
        const std::size_t rows = row < rowsPerChunk ? row : rowsPerChunk;
        unsigned char* to = chunk.data();
        for (std::size_t i = 0; i < rows; ++i, to += stride)
        {
            const unsigned char* from = block + PixelOffset + (row - 1 - i) * w * 4;
            for (std::size_t x = 0; x < w; ++x)
            {
                to[3 * x] = from[4 * x];
                to[3 * x + 1] = from[4 * x + 1];
                to[3 * x + 2] = from[4 * x + 2];
            }
        }
        if (!WriteAll(out, chunk.data(), rows * stride))
            return Fail("write");
        row -= rows;
    }
    if (durable && fsync(out) != 0)
        return Fail("fsync");
    if (close(out) != 0)
        return Fail("close");
    if (durable)
    {
        const char* slash = std::strrchr(argv[2], '/');
        const std::string directory =
            slash ? std::string(argv[2], std::size_t(slash + 1 - argv[2])) : std::string(".");
        const int dir = open(directory.c_str(), O_RDONLY | O_DIRECTORY);
        if (dir < 0 || fsync(dir) != 0)
            return Fail("fsync of the directory");
        close(dir);
    }
    return 0;
}
