// What a capture leaves when it dies: killed at a random moment, or stopped by a power loss. A capture
// promises a whole image under a final name or none, and only a whole process killed mid-run, or the
// system calls it makes in order, can show that the promise holds.
#include "CaptureTestSupport.h"
#include "SharedBlock.h"
#include "TestSeed.h"

#include <algorithm>
#include <boost/interprocess/mapped_region.hpp>
#include <boost/interprocess/shared_memory_object.hpp>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iostream>
#include <iterator>
#include <map>
#include <random>
#include <regex>
#include <set>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace bip = boost::interprocess;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace
{
// CI's count; PELTRAK_KILL_CAPTURES=1000 asks for the full run. Under the sanitizers a capture takes
// seconds, so that build kills fewer, to stay within the test's time limit.
#if defined(__SANITIZE_ADDRESS__)
constexpr long DefaultKillCaptures = 20;
#else
constexpr long DefaultKillCaptures = 50;
#endif
constexpr Clock::duration NeverKilled = Clock::duration::max();

bool EndsWith(const std::string& text, const std::string& suffix)
{
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

struct KillableRun
{
    int ExitStatus = -1; // -1 unless the tool exited by itself.
    bool Killed = false;
    std::string Output;
    Clock::duration Took{};
};

// Runs the test build and sends it SIGKILL once delay has passed, unless it has ended by then.
KillableRun RunToolKilledAfter(Clock::duration delay)
{
    KillableRun run;
    FILE* output = std::tmpfile();
    if (output == nullptr)
        return run;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fileno(output), 1);
    posix_spawn_file_actions_adddup2(&actions, fileno(output), 2);
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    char* const argv[] = {const_cast<char*>(PELTRAK_TEST_TOOL), nullptr};
    pid_t child = 0;
    const Clock::time_point start = Clock::now();
    if (posix_spawn(&child, PELTRAK_TEST_TOOL, &actions, nullptr, argv, environ) == 0)
    {
        if (delay != NeverKilled)
        {
            std::this_thread::sleep_for(delay);
            // Until it is waited for, a child that has already ended keeps its id: the signal cannot
            // reach another process.
            kill(child, SIGKILL);
        }
        int status = 0;
        while (waitpid(child, &status, 0) < 0 && errno == EINTR)
        {
        }
        run.Took = Clock::now() - start;
        run.Killed = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
        if (WIFEXITED(status))
            run.ExitStatus = WEXITSTATUS(status);
    }
    posix_spawn_file_actions_destroy(&actions);
    std::rewind(output);
    char buffer[4096];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, output)) > 0)
        run.Output.append(buffer, got);
    std::fclose(output);
    return run;
}

bool FileHolds(const std::string& path, const std::string& expected)
{
    std::error_code error;
    if (fs::file_size(path, error) != expected.size() || error)
        return false;
    std::ifstream in(path, std::ios::binary);
    std::vector<char> chunk(1 << 20);
    for (std::size_t at = 0; at < expected.size(); at += chunk.size())
    {
        const std::size_t length = std::min(chunk.size(), expected.size() - at);
        if (!in.read(chunk.data(), static_cast<std::streamsize>(length)) ||
            std::memcmp(chunk.data(), expected.data() + at, length) != 0)
            return false;
    }
    return true;
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The calls in an `strace -f` log, one per entry and without the process id; a call that another
// thread interrupted is joined with its resumption.
std::vector<std::string> TracedCalls(const std::string& path)
{
    static const std::regex entry(R"(^(\d+) +(.*)$)");
    const std::string unfinished = " <unfinished ...>";
    const std::string resumed = " resumed>";
    std::map<std::string, std::string> pending; // By process id.
    std::vector<std::string> calls;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);)
    {
        std::smatch match;
        if (!std::regex_match(line, match, entry))
            continue;
        const std::string process = match[1];
        std::string call = match[2];
        if (EndsWith(call, unfinished))
        {
            pending[process] = call.substr(0, call.size() - unfinished.size());
            continue;
        }
        const std::size_t resumption = call.find(resumed);
        if (call.rfind("<... ", 0) == 0 && resumption != std::string::npos)
        {
            call = pending[process] + call.substr(resumption + resumed.size());
            pending.erase(process);
        }
        calls.push_back(call);
    }
    return calls;
}

struct Frame
{
    int Width;
    int Height;
    std::string Block; // The start of the block as the producer leaves it for this frame.
    std::string Image; // The BMP that every capture of the frame writes.
    Clock::duration RunTime{};
};

// The capture directory between captures: the images published so far, each unchanged since it
// appeared, and in the workspace nothing but the temporaries of killed captures.
class CaptureLedger
{
public:
    // Checks the directory after a capture of frame. NewImage then says whether it published one.
    void Check(const Frame& frame)
    {
        NewImage = false;
        std::size_t seen = 0;
        for (const std::string& name : CapturedFiles())
        {
            SCOPED_TRACE(name);
            const std::string path = CaptureDirectory() + "/" + name;
            struct stat file
            {
            };
            ASSERT_EQ(lstat(path.c_str(), &file), 0);
            ASSERT_TRUE(EndsWith(name, ".bmp") && S_ISREG(file.st_mode))
                << "only images and the workspace belong in the output directory";
            ++seen;
            const auto known = Images.find(name);
            if (known == Images.end())
            {
                ASSERT_FALSE(NewImage) << "one capture published two images";
                ASSERT_TRUE(FileHolds(path, frame.Image)) << "a partial or wrong image under a final name";
                Images.emplace(name, Image{&frame, file.st_ino, file.st_size, file.st_mtim});
                NewImage = true;
                continue;
            }
            const Image& image = known->second;
            // A write changes the time, a replacement the inode; the bytes are compared at the end.
            ASSERT_TRUE(image.Inode == file.st_ino && image.Size == file.st_size &&
                        image.Modified.tv_sec == file.st_mtim.tv_sec &&
                        image.Modified.tv_nsec == file.st_mtim.tv_nsec)
                << "an earlier image changed";
        }
        ASSERT_EQ(seen, Images.size()) << "an earlier image is gone";

        std::set<std::string> temporaries;
        for (const std::string& name : WorkspaceLeftovers())
        {
            ASSERT_FALSE(EndsWith(name, ".bmp")) << name << ": an image name in the workspace";
            temporaries.insert(name);
        }
        for (const std::string& name : Temporaries)
            LeftoversRemoved += temporaries.count(name) == 0 ? 1 : 0;
        Temporaries = std::move(temporaries);
    }

    void CheckEveryImage() const
    {
        for (const auto& [name, image] : Images)
            ASSERT_TRUE(FileHolds(CaptureDirectory() + "/" + name, image.Of->Image)) << name << " changed";
    }

    std::size_t Leftovers() const { return Temporaries.size(); }

    bool NewImage = false;
    int LeftoversRemoved = 0;

private:
    struct Image
    {
        const Frame* Of;
        ino_t Inode;
        off_t Size;
        timespec Modified;
    };
    std::map<std::string, Image> Images;
    std::set<std::string> Temporaries;
};

// Each test leaves the directory empty: the 8K images take 100 MB each.
using CrashSafety = ToolRunTest;
} // namespace

TEST_F(CrashSafety, KilledCapturesLeaveWholeImagesOrNoneAndTheNextClearsUp)
{
    long captures = DefaultKillCaptures;
    if (const char* count = std::getenv("PELTRAK_KILL_CAPTURES"))
    {
        char* end = nullptr;
        captures = std::strtol(count, &end, 10);
        ASSERT_TRUE(*count != '\0' && *end == '\0' && captures > 0 && captures <= 1000000)
            << "PELTRAK_KILL_CAPTURES=" << count << ": give a count of captures";
    }
    const std::uint32_t seed = TestSeed();
    SCOPED_TRACE(SeedTrace(seed));

    // Frames alternate by rewriting the start of the block, which the small frame covers with its
    // header and pixels: publishing an 8K frame anew for every capture would take longer than the
    // capture.
    Frame frames[] = {{640, 480, {}, {}, {}}, {7680, 4320, {}, {}, {}}};
    const std::size_t switched = PixelOffset + std::size_t{640} * 480 * 4;
    for (Frame& frame : frames)
    {
        ASSERT_NO_FATAL_FAILURE(
            Publish({"pattern", std::to_string(frame.Width), std::to_string(frame.Height), "4"}));
        const bip::shared_memory_object object(bip::open_only, TestBlockName().c_str(), bip::read_only);
        const bip::mapped_region region(object, bip::read_only, 0, switched);
        frame.Block.assign(static_cast<const char*>(region.get_address()), switched);
    }
    const bip::shared_memory_object object(bip::open_only, TestBlockName().c_str(), bip::read_write);
    const bip::mapped_region region(object, bip::read_write, 0, switched);
    const auto show = [&region](const Frame& frame)
    { std::memcpy(region.get_address(), frame.Block.data(), frame.Block.size()); };

    // Each frame's run time, the shorter of two whole captures (the first also warms the caches). Their
    // images must agree; the small one's pixels are checked here, the 8K one's, which take long to
    // check under the sanitizers, by EndToEnd.EightKFrame.
    for (Frame& frame : frames)
    {
        SCOPED_TRACE(testing::Message() << frame.Width << " x " << frame.Height);
        ResetCaptureDirectory();
        show(frame);
        frame.RunTime = NeverKilled;
        for (int run = 0; run < 2; ++run)
        {
            const KillableRun whole = RunToolKilledAfter(NeverKilled);
            ASSERT_EQ(whole.ExitStatus, 0) << whole.Output;
            ASSERT_TRUE(ParseConsole(whole.Output).Entries.empty()) << whole.Output;
            frame.RunTime = std::min(frame.RunTime, whole.Took);
        }
        const std::vector<std::string> images = CapturedFiles();
        ASSERT_EQ(images.size(), 2u);
        if (&frame == &frames[0])
        {
            ASSERT_NO_FATAL_FAILURE(ExpectPatternFile(images[0], frame.Width, frame.Height));
        }
        frame.Image = ReadFile(CaptureDirectory() + "/" + images[0]);
        ASSERT_TRUE(FileHolds(CaptureDirectory() + "/" + images[1], frame.Image));
    }
    ResetCaptureDirectory();

    std::mt19937_64 random(seed);
    CaptureLedger ledger;
    long killedBefore = 0;
    long killedAfter = 0;
    long ended = 0;
    for (long capture = 0; capture < captures; ++capture)
    {
        const Frame& frame = frames[capture % 2];
        show(frame);
        const Clock::duration delay(
            std::uniform_int_distribution<Clock::rep>(0, frame.RunTime.count())(random));
        SCOPED_TRACE(testing::Message()
                     << "capture " << capture << " of " << frame.Width << " x " << frame.Height
                     << ", killed after "
                     << std::chrono::duration_cast<std::chrono::microseconds>(delay).count() << " us");
        const KillableRun run = RunToolKilledAfter(delay);
        ASSERT_NO_FATAL_FAILURE(ledger.Check(frame));
        if (run.Killed)
        {
            ++(ledger.NewImage ? killedAfter : killedBefore);
            continue;
        }
        ASSERT_EQ(run.ExitStatus, 0) << run.Output;
        ASSERT_TRUE(ledger.NewImage) << "a capture ended without an image:\n" << run.Output;
        ++ended;
    }

    // The next whole capture clears what the killed ones left.
    const int removedBeforeLast = ledger.LeftoversRemoved;
    show(frames[0]);
    const KillableRun last = RunToolKilledAfter(NeverKilled);
    ASSERT_EQ(last.ExitStatus, 0) << last.Output;
    EXPECT_TRUE(ParseConsole(last.Output).Entries.empty()) << last.Output;
    ASSERT_NO_FATAL_FAILURE(ledger.Check(frames[0]));
    EXPECT_TRUE(ledger.NewImage);
    EXPECT_EQ(ledger.Leftovers(), 0u) << "temporaries left in the workspace";
    ASSERT_NO_FATAL_FAILURE(ledger.CheckEveryImage());

    const auto milliseconds = [](Clock::duration d)
    { return std::chrono::duration_cast<std::chrono::milliseconds>(d).count(); };
    std::cout << captures << " captures killed at random (" << SeedTrace(seed) << "; whole runs take "
              << milliseconds(frames[0].RunTime) << " ms at 640 x 480, " << milliseconds(frames[1].RunTime)
              << " ms at 8K): " << killedBefore << " killed before publishing, " << killedAfter << " after, "
              << ended << " ended first; " << ledger.LeftoversRemoved
              << " temporaries of killed captures removed, " << ledger.LeftoversRemoved - removedBeforeLast
              << " of them by the next whole capture\n";
}

TEST_F(CrashSafety, FileIsFlushedThenLinkedThenItsDirectoryFlushed)
{
    // What survives a power loss is what reached the disk in order: the image before its name, the name
    // after. Read from the system calls themselves, so that no library in between can reorder them.
    ASSERT_NO_FATAL_FAILURE(Publish({"pattern", "64", "48", "4"}));
    const std::string trace = CaptureDirectory() + "-strace";
    fs::remove(trace);
    // LeakSanitizer inspects the process through ptrace, which a traced process cannot use.
    const char* sanitizerOptions = std::getenv("ASAN_OPTIONS");
    const std::string sanitizer = std::string("ASAN_OPTIONS=") +
                                  (sanitizerOptions != nullptr ? sanitizerOptions : "") + ":detect_leaks=0";
    const ProcessResult run =
        RunProgram("/usr/bin/env", {sanitizer, "strace", "-f", "-y", "-qq", "-o", trace, "-e",
                                    "trace=fsync,fdatasync,sync,syncfs,link,linkat,rename,renameat,renameat2",
                                    PELTRAK_TEST_TOOL});
    if (run.ExitStatus != 0 && run.Output.find("PTRACE_") != std::string::npos &&
        run.Output.find(std::strerror(EPERM)) != std::string::npos)
        GTEST_SKIP() << "strace cannot trace here, ptrace is not permitted:\n" << run.Output;
    ASSERT_NE(run.ExitStatus, 127) << "strace is missing (scripts/setup.sh installs it):\n" << run.Output;
    ASSERT_EQ(run.ExitStatus, 0) << run.Output;
    const std::vector<std::string> captures = CapturedFiles();
    ASSERT_EQ(captures.size(), 1u) << run.Output;

    const std::vector<std::string> calls = TracedCalls(trace);
    std::string log;
    for (const std::string& call : calls)
        log += call + "\n";
    SCOPED_TRACE(log);
    fs::remove(trace);
    // With -y every descriptor is followed by the path it leads to: NUMBER<PATH>.
    static const std::regex flushCall(R"(fsync\((\d+)<([^>]*)>\) += 0)");
    static const std::regex linkCall(
        R"re(linkat\((\d+)<([^>]*)>, "([^"]*)", (\d+)<([^>]*)>, "([^"]*)", 0\) += 0)re");
    static const std::regex namingCall(R"((link|linkat|rename|renameat|renameat2)\(.*)");

    // One call gives the image its name: a hard link, from the workspace into the output directory.
    std::size_t link = calls.size();
    std::smatch linked;
    for (std::size_t i = 0; i < calls.size(); ++i)
        if (std::regex_match(calls[i], namingCall))
        {
            ASSERT_EQ(link, calls.size()) << "more than one call names a file";
            ASSERT_TRUE(std::regex_match(calls[i], linked, linkCall)) << calls[i];
            link = i;
        }
    ASSERT_LT(link, calls.size()) << "no call names the image";
    const std::string file = linked[2].str() + "/" + linked[3].str();
    const std::string directoryFd = linked[4];
    const std::string directory = linked[5];
    EXPECT_EQ(directory, fs::canonical(CaptureDirectory()).string());
    EXPECT_EQ(linked[6].str(), captures[0]);

    std::smatch flushed;
    bool fileFlushedBefore = false;
    for (std::size_t i = 0; i < link; ++i)
        fileFlushedBefore |= std::regex_match(calls[i], flushed, flushCall) && flushed[2] == file;
    bool directoryFlushedAfter = false;
    for (std::size_t i = link + 1; i < calls.size(); ++i)
        directoryFlushedAfter |= std::regex_match(calls[i], flushed, flushCall) &&
                                 flushed[1] == directoryFd && flushed[2] == directory;
    EXPECT_TRUE(fileFlushedBefore) << "the linked file " << file << " was not flushed before its link";
    EXPECT_TRUE(directoryFlushedAfter) << "the directory " << directory << " was not flushed after the link";
}
