// The test build of the tool in a hostile or careless environment: another user swapping names in the
// output directory, closed standard descriptors, a reader that went away, too little address space,
// killed captures, file systems without hard links, a producer that shrinks the block mid-read, and
// a block that cannot be created. System calls the machine cannot fail on demand are failed by
// HostileShim.cpp, preloaded into the tool.
#include "CaptureRun.h"
#include "CaptureTestSupport.h"
#include "OutputPath.h"
#include "SharedBlock.h"

#include <algorithm>
#include <boost/interprocess/mapped_region.hpp>
#include <boost/interprocess/shared_memory_object.hpp>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <gtest/gtest.h>
#include <regex>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

namespace bip = boost::interprocess;
namespace fs = std::filesystem;

namespace
{
const std::string SizeLine = "shm size = 135000519 struct size = 135000519";
constexpr uid_t Nobody = 65534;
// The calls a capture's failure may name.
const std::string SystemCall = R"(\b(open|openat|mkdirat|stat|fstat|flock|write|fsync|linkat|renameat2?))";

#if defined(__SANITIZE_ADDRESS__)
constexpr bool AddressSanitizer = true;
#else
constexpr bool AddressSanitizer = false;
#endif

struct RunSetup
{
    std::vector<int> Closed;                    // Descriptors closed before exec.
    bool ReaderGone = false;                    // Standard output is a pipe nobody reads.
    std::vector<std::pair<int, rlim_t>> Limits; // setrlimit before exec.
    std::vector<std::string> Shim;              // Shim switches, "NAME=value"; preloads the shim.
};

// Runs the test build as set up; output is standard output and standard error, or what is left open.
ProcessResult RunToolIn(const RunSetup& setup)
{
    int output[2];
    int gone[2];
    if (pipe(output) != 0 || pipe(gone) != 0)
        return ProcessResult();
    const pid_t child = fork();
    if (child == 0)
    {
        dup2(output[1], 1);
        dup2(output[1], 2);
        if (setup.ReaderGone)
            dup2(gone[1], 1);
        close_range(3, ~0u, 0);
        for (const int fd : setup.Closed)
            close(fd);
        for (const auto& [resource, limit] : setup.Limits)
        {
            const rlimit value{limit, limit};
            setrlimit(resource, &value);
        }
        if (!setup.Shim.empty())
        {
            setenv("LD_PRELOAD", PELTRAK_TEST_SHIM, 1);
            // The sanitizers' runtime insists on coming first; the shim needs none of it.
            setenv("ASAN_OPTIONS", "verify_asan_link_order=0:detect_leaks=0", 1);
        }
        for (const std::string& variable : setup.Shim)
            putenv(const_cast<char*>(variable.c_str()));
        execl(PELTRAK_TEST_TOOL, PELTRAK_TEST_TOOL, static_cast<char*>(nullptr));
        _exit(127);
    }
    close(output[1]);
    close(gone[0]);
    close(gone[1]);
    return CollectProcess(child, output[0]);
}

// Every name under the capture directory, recursively, relative to it.
std::vector<std::string> AllNames()
{
    std::vector<std::string> names;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(CaptureDirectory(), error); it != fs::end(it);
         it.increment(error))
        names.push_back(it->path().lexically_relative(CaptureDirectory()).string());
    std::sort(names.begin(), names.end());
    return names;
}

// What a capture left besides finished captures: AllNames without them, the workspace and its marker.
std::vector<std::string> LeftBehind()
{
    std::vector<std::string> names;
    const std::string marker = WorkspaceName() + "/earlier-leftovers-removed";
    for (const std::string& name : AllNames())
        if (name[0] == '.' && name != WorkspaceName() && name != marker)
            names.push_back(name);
    return names;
}

std::vector<std::string> Captures()
{
    std::vector<std::string> names;
    for (const std::string& name : CapturedFiles())
        if (name[0] != '.')
            names.push_back(name);
    return names;
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

using HostileEnvironment = ToolRunTest;
} // namespace

TEST_F(HostileEnvironment, AnotherUserSwappingNamesNeverRedirectsTheWrite)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root, to run the swapper as another user";
    // The output directory belongs to the other user, who watches it and, the moment anything of ours
    // appears, moves it aside and leaves a link in its place: to a file of root's outside the
    // directory, or to a directory of its own.
    char victimDirectory[] = "/tmp/peltrak-victim-XXXXXX";
    char strangerDirectory[] = "/tmp/peltrak-stranger-XXXXXX";
    ASSERT_NE(mkdtemp(victimDirectory), nullptr);
    ASSERT_NE(mkdtemp(strangerDirectory), nullptr);
    const std::string victim = std::string(victimDirectory) + "/victim";
    std::ofstream(victim) << "root's own file";
    ASSERT_EQ(chown(strangerDirectory, Nobody, Nobody), 0);
    ASSERT_EQ(chown(CaptureDirectory().c_str(), Nobody, Nobody), 0);
    Publish({"pattern", "64", "48", "4"});

    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t swapper = fork();
    if (swapper == 0)
    {
        // The directory is reached before the other user takes over: the checkout may lie under a
        // directory that only its owner can enter, and the other user needs only the directory itself.
        const int watch = inotify_init1(0);
        const int directory = open(CaptureDirectory().c_str(), O_RDONLY | O_DIRECTORY);
        if (watch < 0 || inotify_add_watch(watch, CaptureDirectory().c_str(), IN_CREATE) < 0 || directory < 0)
            _exit(1);
        if (setgroups(0, nullptr) != 0 || setresgid(Nobody, Nobody, Nobody) != 0 ||
            setresuid(Nobody, Nobody, Nobody) != 0)
            _exit(1);
        [[maybe_unused]] const ssize_t told = write(ready[1], "r", 1);
        alignas(inotify_event) char events[4096];
        int stolen = 0;
        for (;;)
        {
            const ssize_t length = read(watch, events, sizeof events);
            for (ssize_t at = 0; at < length;)
            {
                const auto* event = reinterpret_cast<const inotify_event*>(events + at);
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
                const char* name = event->name;
                if (event->len == 0 || std::strncmp(name, ".peltrak-", 9) != 0)
                    continue;
                char aside[64];
                std::snprintf(aside, sizeof aside, ".stolen-%d", stolen++);
                if (renameat(directory, name, directory, aside) == 0)
                {
                    // A lost race is no failure: the test checks that no write is ever redirected.
                    [[maybe_unused]] const int linked = symlinkat(
                        (event->mask & IN_ISDIR) != 0 ? strangerDirectory : victim.c_str(), directory, name);
                }
            }
        }
    }
    close(ready[1]);
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1) << "the swapper did not start";
    close(ready[0]);

    int captured = 0;
    for (int run = 0; run < 10; ++run)
    {
        const ProcessResult result = RunToolIn(RunSetup());
        EXPECT_EQ(result.ExitStatus, 0) << result.Output;
        if (ParseConsole(result.Output).Entries.empty())
            ++captured;
    }
    kill(swapper, SIGKILL);
    waitpid(swapper, nullptr, 0);

    EXPECT_EQ(ReadFile(victim), "root's own file");
    EXPECT_TRUE(fs::is_empty(strangerDirectory));
    const std::vector<std::string> captures = Captures();
    EXPECT_EQ(static_cast<int>(captures.size()), captured);
    for (const std::string& name : captures)
        ExpectPatternFile(name, 64, 48);
    std::cout << captured << " of 10 captures completed under the swapper\n";
    fs::remove_all(victimDirectory);
    fs::remove_all(strangerDirectory);
}

TEST_F(HostileEnvironment, ClosedStandardDescriptorsNeverReachTheBlock)
{
    for (const std::vector<int>& closed : {std::vector<int>{0}, {1}, {2}, {0, 1, 2}})
    {
        SCOPED_TRACE(testing::Message() << closed.size() << " closed, first " << closed[0]);
        ResetCaptureDirectory();
        Publish({"pattern", "4", "3", "4"});
        {
            bip::shared_memory_object object(bip::open_only, TestBlockName().c_str(), bip::read_write);
            bip::mapped_region region(object, bip::read_write);
            std::memset(region.get_address(), 0xA5, WidthOffset);
        }
        const ProcessResult run = RunToolIn({closed, false, {}, {}});
        EXPECT_EQ(run.ExitStatus, 0) << run.Output;
        EXPECT_EQ(Captures().size(), 1u);

        bip::shared_memory_object object(bip::open_only, TestBlockName().c_str(), bip::read_only);
        bip::mapped_region region(object, bip::read_only);
        const auto* prefix = static_cast<const unsigned char*>(region.get_address());
        EXPECT_EQ(std::count(prefix, prefix + WidthOffset, 0xA5), static_cast<long>(WidthOffset));
    }
}

TEST_F(HostileEnvironment, ReaderThatWentAwayDoesNotStopTheCapture)
{
    Publish({"pattern", "4", "3", "4"});
    const ProcessResult run = RunToolIn({{}, true, {}, {}});
    EXPECT_EQ(run.ExitStatus, 0) << run.Output;
    ASSERT_EQ(Captures().size(), 1u);
    ExpectPatternFile(Captures()[0], 4, 3);
}

TEST_F(HostileEnvironment, BlockThatCannotBeMappedIsReportedAndKept)
{
    // Below the block's own size, so that no mapping of it fits, yet room to start: the lean build
    // starts in a few megabytes, Debian's shared OpenCV needs about a hundred more.
#ifdef PELTRAK_OPENCV_LEAN
    const rlim_t addressSpace = rlim_t{100000} * 1024;
#else
    const rlim_t addressSpace = rlim_t{250000} * 1024;
#endif
    if (AddressSanitizer)
        GTEST_SKIP() << "AddressSanitizer reserves far more address space than the limit allows";
    Publish({"pattern", "4", "3", "4"});
    const ProcessResult run = RunToolIn({{}, false, {{RLIMIT_AS, addressSpace}}, {}});
    EXPECT_EQ(run.ExitStatus, 1) << run.Output;
    const ConsoleOutput console = ParseConsole(run.Output);
    EXPECT_EQ(console.PlainLines, std::vector<std::string>()) << run.Output;
    ASSERT_EQ(console.Entries.size(), 2u) << run.Output;
    EXPECT_NE(console.Entries[0].Text.find("could not map the shared block \"" + TestBlockName() + "\""),
              std::string::npos)
        << console.Entries[0].Text;

    bip::shared_memory_object object(bip::open_only, TestBlockName().c_str(), bip::read_only);
    bip::mapped_region region(object, bip::read_only);
    const BlockHeader header = ReadBlockHeader(static_cast<const unsigned char*>(region.get_address()));
    EXPECT_EQ(header.Width, 4);
    EXPECT_EQ(header.Channels, 4);
}

TEST_F(HostileEnvironment, DeadCapturesTemporariesAreRemovedAndLiveOnesKept)
{
    Publish({"pattern", "640", "480", "4"});
    // Killed with the file written but not yet published: what it leaves must not look like an image.
    const ProcessResult killed = RunToolIn({{}, false, {}, {"PELTRAK_SHIM_KILL_AT_FSYNC=1"}});
    EXPECT_EQ(killed.ExitStatus, -1) << killed.Output;
    const std::vector<std::string> dead = WorkspaceLeftovers();
    ASSERT_EQ(dead.size(), 1u) << "the killed capture's temporary";
    EXPECT_EQ(Captures(), std::vector<std::string>());
    for (const std::string& name : AllNames())
        EXPECT_FALSE(name.size() >= 4 && name.compare(name.size() - 4, 4, ".bmp") == 0) << name;

    // A live capture's temporary: its lock is held.
    const std::string live = CaptureDirectory() + "/" + WorkspaceName() + "/live.dib";
    std::ofstream(live) << "being written";
    const int liveFd = open(live.c_str(), O_RDONLY);
    ASSERT_EQ(flock(liveFd, LOCK_EX), 0);
    const ProcessResult run = RunToolIn(RunSetup());
    close(liveFd);
    EXPECT_EQ(run.ExitStatus, 0) << run.Output;
    ASSERT_EQ(Captures().size(), 1u);
    ExpectPatternFile(Captures()[0], 640, 480);
    EXPECT_EQ(WorkspaceLeftovers(), std::vector<std::string>{"live.dib"});
}

TEST_F(HostileEnvironment, EarlierVersionsLeftoversAreRemovedOnce)
{
    // Earlier versions wrote beside the captures: private directories (a dead one, and a live one whose
    // lock is held), temporaries (old, recent, and a link with such a name) and the link's target.
    const std::string directory = CaptureDirectory() + "/";
    for (const char* name : {".peltrak-dead.partial", ".peltrak-live.partial"})
    {
        ASSERT_TRUE(fs::create_directory(directory + name));
        std::ofstream(directory + name + "/image.dib") << "written";
    }
    const int live = open((directory + ".peltrak-live.partial").c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_EQ(flock(live, LOCK_EX), 0);
    const timespec longAgo[2] = {{time(nullptr) - 120, 0}, {time(nullptr) - 120, 0}};
    for (const char* name : {".peltrak-old.partial.bmp", ".peltrak-recent.partial.bmp", "target"})
        std::ofstream(directory + name) << name;
    ASSERT_EQ(utimensat(AT_FDCWD, (directory + ".peltrak-old.partial.bmp").c_str(), longAgo, 0), 0);
    fs::create_symlink(directory + "target", directory + ".peltrak-link.partial.bmp");
    ASSERT_EQ(
        utimensat(AT_FDCWD, (directory + ".peltrak-link.partial.bmp").c_str(), longAgo, AT_SYMLINK_NOFOLLOW),
        0);
    Publish({"pattern", "4", "3", "4"});
    const std::string marker = directory + WorkspaceName() + "/earlier-leftovers-removed";

    // The dead ones go; what may still be written is kept, and so the next capture looks again.
    EXPECT_EQ(RunToolIn(RunSetup()).ExitStatus, 0);
    EXPECT_EQ(LeftBehind(),
              (std::vector<std::string>{".peltrak-link.partial.bmp", ".peltrak-live.partial",
                                        ".peltrak-live.partial/image.dib", ".peltrak-recent.partial.bmp"}));
    EXPECT_FALSE(fs::exists(marker));

    // [link, target] once the live capture has ended and the recent file has aged.
    close(live);
    ASSERT_EQ(utimensat(AT_FDCWD, (directory + ".peltrak-recent.partial.bmp").c_str(), longAgo, 0), 0);
    EXPECT_EQ(RunToolIn(RunSetup()).ExitStatus, 0);
    EXPECT_TRUE(fs::exists(marker));
    EXPECT_EQ(LeftBehind(), std::vector<std::string>{".peltrak-link.partial.bmp"});
    EXPECT_EQ(ReadFile(directory + "target"), "target");

    // From now on the output directory is not read: a leftover that appears later stays.
    ASSERT_TRUE(fs::create_directory(directory + ".peltrak-later.partial"));
    EXPECT_EQ(RunToolIn(RunSetup()).ExitStatus, 0);
    EXPECT_EQ(Captures().size(), 3u + 1u) << "three captures and the link's target";
    EXPECT_EQ(LeftBehind(),
              (std::vector<std::string>{".peltrak-later.partial", ".peltrak-link.partial.bmp"}));
}

TEST_F(HostileEnvironment, ResourceLimitsEndInALoggedFailureThatNamesTheCall)
{
    // Descriptors run out at each step that opens one in turn (the workspace, which is then made but
    // cannot be opened and so is removed at once; the temporary; the writer's own open), and a file
    // size limit stops the writer, whose signal would otherwise end the tool without a word.
    const struct
    {
        int Resource;
        rlim_t Limit;
        int Error;
        bool WorkspaceLeft;
    } cases[] = {
        {RLIMIT_NOFILE, 4, EMFILE, false},
        {RLIMIT_NOFILE, 5, EMFILE, true},
        {RLIMIT_NOFILE, 6, EMFILE, true},
        {RLIMIT_FSIZE, 65536, EFBIG, true},
    };
    Publish({"pattern", "640", "480", "4"});
    for (const auto& c : cases)
    {
        SCOPED_TRACE(testing::Message() << "resource " << c.Resource << ", limit " << c.Limit);
        // The sanitizers' runtime checks memory through a pipe of its own, at any moment, and fails
        // the process where the limit leaves no two descriptors free: the plain build tests these.
        if (AddressSanitizer && c.Resource == RLIMIT_NOFILE)
            continue;
        ResetCaptureDirectory();
        const ProcessResult run = RunToolIn({{}, false, {{c.Resource, c.Limit}}, {}});
        EXPECT_EQ(run.ExitStatus, 0) << run.Output;
        const ConsoleOutput console = ParseConsole(run.Output);
        ASSERT_EQ(console.Entries.size(), 2u) << run.Output;
        EXPECT_TRUE(std::regex_search(console.Entries[0].Text,
                                      std::regex(SystemCall + ": " + std::strerror(c.Error))))
            << console.Entries[0].Text;
        EXPECT_EQ(Captures(), std::vector<std::string>());
        EXPECT_EQ(LeftBehind(), std::vector<std::string>());
        EXPECT_EQ(fs::exists(CaptureDirectory() + "/" + WorkspaceName()), c.WorkspaceLeft);
    }
}

TEST_F(HostileEnvironment, FileSystemsWithoutHardLinksNeverReplaceACapture)
{
    const std::vector<std::string> modes[] = {
        {"PELTRAK_SHIM_NO_LINK=1"},
        {"PELTRAK_SHIM_NO_LINK=1", "PELTRAK_SHIM_NO_RENAMEAT2=1"},
    };
    Publish({"pattern", "4", "3", "4"});
    for (const std::vector<std::string>& shim : modes)
    {
        SCOPED_TRACE(shim.back());
        ResetCaptureDirectory();
        // Earlier captures under every name the run could choose first.
        const std::time_t now = std::time(nullptr);
        for (std::time_t t = now; t < now + 5; ++t)
        {
            const std::tm* local = std::localtime(&t);
            std::ofstream(MakeOutputPath(OutputFileName, *local)) << "earlier capture";
        }
        const ProcessResult run = RunToolIn({{}, false, {}, shim});
        EXPECT_EQ(run.ExitStatus, 0) << run.Output;
        EXPECT_EQ(ParseConsole(run.Output).Entries.size(), 0u) << run.Output;
        int published = 0;
        for (const std::string& name : Captures())
            if (ReadFile(CaptureDirectory() + "/" + name) != "earlier capture")
            {
                ExpectPatternFile(name, 4, 3);
                EXPECT_NE(name.find("-2_"), std::string::npos) << name;
                ++published;
            }
        EXPECT_EQ(published, 1);
        EXPECT_EQ(LeftBehind(), std::vector<std::string>());
    }
}

TEST_F(HostileEnvironment, FileIsOnDiskBeforeItIsPublishedAndItsNameAfter)
{
    Publish({"pattern", "4", "3", "4"});
    const std::string trace = CaptureDirectory() + "-trace";
    fs::remove(trace);
    const ProcessResult run = RunToolIn({{}, false, {}, {"PELTRAK_SHIM_TRACE=" + trace}});
    EXPECT_EQ(run.ExitStatus, 0) << run.Output;
    const std::vector<std::string> captures = Captures();
    ASSERT_EQ(captures.size(), 1u);
    std::vector<std::string> calls;
    std::ifstream in(trace);
    for (std::string line; std::getline(in, line);)
        calls.push_back(line);
    fs::remove(trace);
    ASSERT_EQ(calls.size(), 3u) << run.Output;
    EXPECT_TRUE(std::regex_match(calls[0], std::regex("fsync " + CaptureDirectory() + "/" + WorkspaceName() +
                                                      R"(/[0-9a-z]{12}\.dib)")))
        << calls[0];
    EXPECT_EQ(calls[1], "link " + captures[0]);
    EXPECT_EQ(calls[2], "fsync " + CaptureDirectory());
}

TEST_F(HostileEnvironment, BlockThatShrinksWhileReadIsNamedInTheLog)
{
    // Shrunk before the pages are mapped in, the pre-read finds them missing and the capture fails,
    // logged; shrunk unnoticed, the read itself meets them and the tool ends with one critical line.
    const struct
    {
        bool Quiet;
        int ExitStatus;
        std::size_t Entries;
    } cases[] = {{false, 0, 2}, {true, 1, 1}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.Quiet ? "unnoticed" : "noticed");
        ResetCaptureDirectory();
        RemoveTestBlock();
        Publish({"pattern", "640", "480", "4"});
        std::vector<std::string> shim{"PELTRAK_SHIM_SHRINK=/dev/shm/" + TestBlockName()};
        if (c.Quiet)
            shim.emplace_back("PELTRAK_SHIM_SHRINK_QUIET=1");
        const ProcessResult run = RunToolIn({{}, false, {}, shim});
        EXPECT_EQ(run.ExitStatus, c.ExitStatus) << run.Output;
        const ConsoleOutput console = ParseConsole(run.Output);
        EXPECT_EQ(console.PlainLines, std::vector<std::string>{SizeLine}) << run.Output;
        ASSERT_EQ(console.Entries.size(), c.Entries) << run.Output;
        EXPECT_EQ(console.Entries[0].Level, "critical");
        EXPECT_NE(console.Entries[0].Text.find("\"" + TestBlockName() + "\" shrank while it was read"),
                  std::string::npos)
            << console.Entries[0].Text;
        EXPECT_EQ(Captures(), std::vector<std::string>());
    }
}

TEST_F(HostileEnvironment, BlockThatCannotBeCreatedIsNamedWithTheOperation)
{
    const ProcessResult run = RunToolIn({{}, false, {}, {"PELTRAK_SHIM_NO_SHM_CREATE=1"}});
    EXPECT_EQ(run.ExitStatus, 1) << run.Output;
    const ConsoleOutput console = ParseConsole(run.Output);
    EXPECT_EQ(console.PlainLines, (std::vector<std::string>{std::strerror(ENOENT), "create shm_memory "}));
    ASSERT_EQ(console.Entries.size(), 2u) << run.Output;
    EXPECT_EQ(console.Entries[0].Text, "could not create the shared block \"" + TestBlockName() +
                                           "\": shm_open: " + std::strerror(EACCES));
}
