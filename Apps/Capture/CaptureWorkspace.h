// Where a capture writes its file before it is published, and how it is published.
//
// The output directory may be writable by other users, so after it is opened once nothing is done by
// a name inside it that another user could swap. Each user of the tool keeps one workspace there, a
// hidden directory on the same file system (".peltrak-workspace-<uid>" on Linux, ".peltrak-workspace"
// on Windows) that stays between captures. On Linux it is a directory of this user with mode 0700,
// taken only if it is exactly that: another user's directory or a link under that name fails the
// capture, logged with the name to remove. Each capture writes a temporary file of its own there
// ("<random>.dib"), held locked while the capture lives and reached only through descriptors: the
// image writer gets a path that the kernel resolves through the workspace's open descriptor
// (/proc/self/fd/N/...), so a capture fails, logged, where /proc is missing rather than write by a
// swappable name.
//
// Publishing never replaces an existing file: a hard link where the file system has them, else an
// exclusive rename, else an exclusive placeholder renamed over. The file is flushed to disk before it
// is published and the directory after, so a power loss leaves either no file or the whole image.
//
// Cost does not grow with the output directory: a capture reads only its workspace, where it removes
// the temporaries of dead captures (on Linux those whose lock nobody holds; on Windows those untouched
// for a minute). What earlier versions left in the output directory itself (".peltrak-*.partial"
// directories and ".peltrak-*.partial.bmp" files on Linux, ".peltrak-*.partial.image.dib" files on
// Windows) is removed by the first capture that finds no marker file in the workspace; the marker is
// written once no such leftover of this user is left that a running capture may still own. Nothing
// the tool leaves behind ends in ".bmp".
//
// Every failure comes back as a text that names the system call and its error.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

enum class PublishResult
{
    Published,
    TargetExists, // Nothing published; the temporary is still there for another name.
    Failed,       // ErrorText says why; the temporary may be gone.
};

// One capture's temporary. Not copyable; the destructor removes the temporary and releases the lock
// and every descriptor. Failures are returned with a text, never thrown.
class CaptureWorkspace
{
public:
    CaptureWorkspace();
    ~CaptureWorkspace();
    CaptureWorkspace(const CaptureWorkspace&) = delete;
    CaptureWorkspace& operator=(const CaptureWorkspace&) = delete;

    // Opens outputDirectory (which ends with a separator) and the workspace in it, clears dead
    // captures' leftovers and makes the temporary. False, with errorText, when the capture cannot
    // write there.
    bool Open(const std::string& outputDirectory, std::string& errorText);

    // The path the image writer creates the temporary under; it ends in ".dib", which the writer's BMP
    // encoder answers to, so the temporary is written as BMP without looking like an image.
    const std::string& TemporaryPath() const { return Path; }

    // Checks that the written temporary is a plain file of this user with exactly expectedSize bytes
    // (the image writer reports success even on a full disk) and flushes it to disk. writerError is
    // errno as the writer left it, which says why a short file is short.
    bool Seal(std::uintmax_t expectedSize, int writerError, std::string& errorText);

    // Gives the sealed temporary the name finalName (no directory part) in the output directory,
    // never replacing a file there, and flushes the directory.
    PublishResult Publish(const std::string& finalName, std::string& errorText);

private:
    // The platform's descriptors or handles and names: CaptureWorkspacePosix.cpp and
    // CaptureWorkspaceWindows.cpp, one of which the build compiles.
    struct State;
    std::unique_ptr<State> Own;
    std::string Path;
};

// Why a written file of size bytes falls short of expectedSize, for Seal on either platform: the error
// the writer left in errno (writerError) when it left one.
inline std::string ShortFileReason(std::uintmax_t size, std::uintmax_t expectedSize, int writerError)
{
    const std::string sizes = std::to_string(size) + " of " + std::to_string(expectedSize) + " bytes";
    if (writerError == 0)
        return "the written file holds " + sizes;
    return "the image writer could not write the file: write: " + std::string(std::strerror(writerError)) +
           " (" + sizes + " written)";
}
