// Where a capture writes its file before it is published, and how it is published.
//
// The output directory may be writable by other users, so after it is opened once nothing is done by
// a name inside it that another user could swap: the capture works in a private directory (mode
// 0700, owned by the tool's user, named ".peltrak-XXXXXXXXXXXX.partial") that it makes there, holds
// locked while it lives, and reaches only through descriptors. The image writer gets a path that the
// kernel resolves through the private directory's open descriptor (/proc/self/fd/N/...), so a capture
// fails, logged, where /proc is missing rather than write by a swappable name.
//
// Publishing never replaces an existing file: a hard link where the file system has them, else an
// exclusive rename, else an exclusive placeholder renamed over. The file is flushed to disk before it
// is published and the directory after, so a power loss leaves either no file or the whole image.
//
// Opening also removes what dead captures left behind: private directories whose lock nobody holds,
// and the temporaries of earlier versions (".peltrak-*.partial.bmp", plain files untouched for a
// minute). Nothing the tool leaves behind ends in ".bmp".
//
// On Windows the temporary is a plain file in the output directory, made exclusively, checked without
// following links, flushed, and moved into place without replacing; dead captures' temporaries older
// than a minute are removed.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

enum class PublishResult
{
    Published,
    TargetExists, // Nothing published; the temporary is still there for another name.
    Failed,       // ErrorText says why; the temporary may be gone.
};

// One capture's temporary. Not copyable; the destructor removes the temporary and the private
// directory and releases the lock. Failures are returned with a text, never thrown.
class CaptureWorkspace
{
public:
    CaptureWorkspace();
    ~CaptureWorkspace();
    CaptureWorkspace(const CaptureWorkspace&) = delete;
    CaptureWorkspace& operator=(const CaptureWorkspace&) = delete;

    // Opens outputDirectory (which ends with a separator), clears dead captures' leftovers there and
    // makes the private directory. False, with errorText, when the capture cannot write there.
    bool Open(const std::string& outputDirectory, std::string& errorText);

    // The path the image writer creates the temporary under; it ends in ".dib", which the writer's BMP
    // encoder answers to, so the temporary is written as BMP without looking like an image.
    const std::string& TemporaryPath() const { return Path; }

    // Checks that the written temporary is a plain file of this user with exactly expectedSize bytes
    // (the image writer reports success even on a full disk) and flushes it to disk.
    bool Seal(std::uintmax_t expectedSize, std::string& errorText);

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
