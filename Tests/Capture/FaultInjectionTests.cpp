// Every failure a capture's system calls can meet, one at a time: a counting run finds how often the
// capture makes each call (FaultShim.h), then every (call, N, errno) case fails the N-th call with
// errno, and the capture must either come out whole or report the call and the error, never leave a
// wrong file, never touch an earlier capture, and leave the next capture nothing to trip over.
//
// Most of a capture's time is spent waiting for the disk to flush, so where it may mount (as root) the cases
// run on two workers per core (786 cases in about 11 seconds on two busy cores; 35 seconds on one worker).
// The tool's output directory is built in: each worker gives it a directory of its own, bind-mounted over it
// in a private mount namespace.
#include "CaptureRun.h"
#include "CaptureTestSupport.h"
#include "OutputPath.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <mutex>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace
{
#if defined(__SANITIZE_ADDRESS__)
constexpr bool AddressSanitizer = true;
#else
constexpr bool AddressSanitizer = false;
#endif

// The errors each counted call can plausibly return. EINTR only where POSIX lets the call return it
// and the capture's own code makes the call (the image writer's stdio calls are OpenCV's).
const std::map<std::string, std::vector<int>> PlausibleErrors = {
    {"open", {EACCES, EDQUOT, EINTR, EIO, EMFILE, ENFILE, ENOMEM, ENOSPC, EPERM, EROFS}},
    {"openat", {EACCES, EDQUOT, EINTR, EIO, EMFILE, ENFILE, ENOMEM, ENOSPC, EPERM, EROFS}},
    {"fopen", {EACCES, EDQUOT, EIO, EMFILE, ENFILE, ENOMEM, ENOSPC, EPERM, EROFS}},
    {"shm_open", {EACCES, EMFILE, ENFILE, ENOMEM, EPERM}},
    {"mkdirat", {EACCES, EDQUOT, EIO, ENOMEM, ENOSPC, EPERM, EROFS}},
    {"fstat", {EIO, ENOMEM}},
    {"fstatat", {EACCES, EIO, ENOMEM}},
    {"stat", {EACCES, EIO, ENOMEM}},
    {"fwrite", {EDQUOT, EIO, ENOSPC}},
    {"fsync", {EDQUOT, EINTR, EIO, ENOSPC, EROFS}},
    {"linkat", {EACCES, EDQUOT, EIO, ENOMEM, ENOSPC, EPERM, EROFS}},
    {"renameat2", {EACCES, EDQUOT, EIO, ENOMEM, ENOSPC, EPERM, EROFS}},
    {"renameat", {EACCES, EDQUOT, EIO, ENOMEM, ENOSPC, EPERM, EROFS}},
    {"unlinkat", {EACCES, EIO, ENOMEM, EPERM, EROFS}},
    {"flock", {EINTR, ENOMEM}},
    {"mmap", {EACCES, ENFILE, ENOMEM, EPERM}},
    {"ftruncate", {EIO, EPERM, EROFS}},
    {"close", {EDQUOT, EINTR, EIO, ENOSPC}},
    {"fclose", {EDQUOT, EINTR, EIO, ENOSPC}},
};

// The name a failure report gives the call: the image writer's stdio calls fail in open and write.
std::string ReportedName(const std::string& call)
{
    if (call == "fopen")
        return "open";
    if (call == "fwrite")
        return "write";
    return call;
}

// Faults a capture must shrug off: an interrupted call is made again, and a close that reports an
// error has still closed, after the file is safe on disk (or before anything was written).
bool Harmless(const std::string& call, int error)
{
    return error == EINTR || call == "close" || call == "fclose";
}

// Where a capture runs: each takes its own path through the calls.
struct Scenario
{
    const char* Name;
    bool Fresh;                    // The first capture in an output directory: it makes the workspace.
    std::vector<std::string> Shim; // How the file system publishes (HostileShim.cpp), in every run.
    // The sanitizer build runs a capture some twenty times slower, so there only the common setting
    // is tried, each call and each N with one of its errors.
    bool Sanitized;
};

const Scenario Scenarios[] = {
    {"first capture", true, {}, false},
    {"directory in use", false, {}, true},
    {"no hard links", false, {"PELTRAK_SHIM_NO_LINK=1"}, false},
    {"no hard links, no renameat2", false, {"PELTRAK_SHIM_NO_LINK=1", "PELTRAK_SHIM_NO_RENAMEAT2=1"}, false},
};

struct Case
{
    std::string Call;
    long Number;
    int Error;
    const Scenario* Where;
};

std::string Describe(const Case& c)
{
    return std::string(c.Where->Name) + ", " + c.Call + " #" + std::to_string(c.Number) + " " +
           std::strerror(c.Error);
}

// In a private mount namespace, puts directory over target. Only system calls: it runs between fork
// and exec, where other threads may hold the allocator's locks.
bool EnterOwnDirectory(const char* directory, const char* target)
{
    return unshare(CLONE_NEWNS) == 0 && mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
           mount(directory, target, nullptr, MS_BIND, nullptr) == 0;
}

// Whether this process may give the tool a directory of its own (root, and mounts allowed).
bool CanRemount()
{
    if (geteuid() != 0)
        return false;
    const std::string target = CaptureDirectory();
    const pid_t child = fork();
    if (child == 0)
        _exit(EnterOwnDirectory(target.c_str(), target.c_str()) ? 0 : 1);
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Runs the test build with the given environment, with directory as its output directory when
// remount is set, and collects what it prints.
ProcessResult RunIn(const std::string& directory, bool remount, const std::vector<std::string>& environment)
{
    std::vector<char*> envp;
    for (const std::string& entry : environment)
        envp.push_back(const_cast<char*>(entry.c_str()));
    envp.push_back(nullptr);
    const std::string target = CaptureDirectory();
    int output[2];
    if (pipe2(output, O_CLOEXEC) != 0)
        return ProcessResult();
    const pid_t child = fork();
    if (child == 0)
    {
        dup2(output[1], 1);
        dup2(output[1], 2);
        if (remount && !EnterOwnDirectory(directory.c_str(), target.c_str()))
            _exit(126);
        char* const argv[] = {const_cast<char*>(PELTRAK_TEST_TOOL), nullptr};
        execve(PELTRAK_TEST_TOOL, argv, envp.data());
        _exit(127);
    }
    close(output[1]);
    return CollectProcess(child, output[0]);
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> Names(const std::string& directory)
{
    std::vector<std::string> names;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(directory, error))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// One output directory, its earlier captures and its runs of the tool.
class Worker
{
public:
    Worker(std::string directory, bool remount) : Directory(std::move(directory)), Remount(remount)
    {
        fs::remove_all(Directory);
        fs::create_directories(Directory);
    }
    ~Worker()
    {
        std::error_code error;
        fs::remove_all(Directory, error);
    }

    // Earlier captures under every name a capture may choose first until some seconds from now, so
    // that each run meets a taken name (and the calls come in the same order in every run).
    void KeepNamesTaken()
    {
        const std::time_t now = std::time(nullptr);
        if (TakenUntil == 0)
            TakenUntil = now - 2;
        for (; TakenUntil < now + 5; ++TakenUntil)
        {
            std::tm local{};
            localtime_r(&TakenUntil, &local);
            const std::string path = MakeOutputPath(OutputFileName, local);
            const std::string name = path.substr(path.rfind('/') + 1);
            Earlier[name] = "earlier capture " + name;
            std::ofstream(Directory + "/" + name) << Earlier[name];
        }
    }

    void Prepare(bool fresh)
    {
        KeepNamesTaken();
        const std::string workspace = Directory + "/" + WorkspaceName();
        if (fresh)
            fs::remove_all(workspace);
        else if (fs::is_directory(workspace)) // A dead capture's temporary: no one holds its lock.
            std::ofstream(workspace + "/000000000000.dib") << "partly written";
    }

    ProcessResult Run(const std::vector<std::string>& shim)
    {
        // The sanitizers' runtime insists on coming first, and the shim needs none of it; their leak
        // check would double the time of every run, and the other capture tests make it.
        std::vector<std::string> environment{"PATH=/usr/bin:/bin",
                                             "ASAN_OPTIONS=verify_asan_link_order=0:detect_leaks=0"};
        if (!shim.empty())
            environment.emplace_back(std::string("LD_PRELOAD=") + PELTRAK_TEST_SHIM);
        environment.insert(environment.end(), shim.begin(), shim.end());
        if (const char* zone = std::getenv("TZ"))
            environment.emplace_back(std::string("TZ=") + zone);
        return RunIn(Directory, Remount, environment);
    }

    // Names in the output directory that are neither earlier captures nor the workspace.
    std::vector<std::string> NewNames() const
    {
        std::vector<std::string> names;
        for (const std::string& name : Names(Directory))
            if (Earlier.count(name) == 0 && name != WorkspaceName())
                names.push_back(name);
        return names;
    }

    std::vector<std::string> Temporaries() const
    {
        std::vector<std::string> names;
        for (const std::string& name : Names(Directory + "/" + WorkspaceName()))
            if (name != "earlier-leftovers-removed")
                names.push_back(name);
        return names;
    }

    // Problems with what a run left: a final name that is not the whole image, a touched earlier
    // capture. Removes the new captures, so the next run starts alike.
    void CheckAndClear(const std::string& expected, std::vector<std::string>& problems, int& published)
    {
        published = 0;
        for (const std::string& name : NewNames())
        {
            const std::string path = Directory + "/" + name;
            if (name[0] == '.' || fs::is_symlink(path) || ReadFile(path) != expected)
                problems.push_back("\"" + name + "\" is not the complete image");
            else
                ++published;
            fs::remove(path);
        }
        for (const auto& [name, content] : Earlier)
            if (ReadFile(Directory + "/" + name) != content)
                problems.push_back("the earlier capture \"" + name + "\" was changed");
    }

    const std::string Directory;

private:
    const bool Remount;
    std::time_t TakenUntil = 0;
    std::map<std::string, std::string> Earlier;
};

std::map<std::string, long> ReadCounts(const std::string& path)
{
    std::map<std::string, long> counts;
    std::ifstream in(path);
    std::string call;
    long count = 0;
    while (in >> call >> count)
        counts[call] = count;
    return counts;
}

// Every problem of one case, empty when it came out right.
std::vector<std::string> TryCase(Worker& worker, const Case& c, const std::string& expected)
{
    std::vector<std::string> problems;
    worker.Prepare(c.Where->Fresh);
    std::vector<std::string> shim = c.Where->Shim;
    shim.push_back("PELTRAK_SHIM_FAIL=" + c.Call + ":" + std::to_string(c.Number) + ":" +
                   std::to_string(c.Error));
    const ProcessResult run = worker.Run(shim);
    const ConsoleOutput console = ParseConsole(run.Output);
    int published = 0;
    worker.CheckAndClear(expected, problems, published);

    const bool reported = !console.Entries.empty();
    const std::string named = ReportedName(c.Call) + ": " + std::strerror(c.Error);
    const bool blockFailure =
        reported && console.Entries[0].Text.find("the shared block") != std::string::npos;
    if (run.ExitStatus != 0 && !(run.ExitStatus == 1 && blockFailure))
        problems.push_back("exit status " + std::to_string(run.ExitStatus));
    if (Harmless(c.Call, c.Error) && (reported || published != 1))
        problems.push_back("a harmless fault was not shrugged off");
    if (reported && console.Entries[0].Text.find(named) == std::string::npos)
        problems.push_back("the report does not name \"" + named + "\"");
    if (!reported && published != 1)
        problems.push_back("nothing was published, and nothing reported");

    const ProcessResult next = worker.Run(c.Where->Shim);
    worker.CheckAndClear(expected, problems, published);
    if (next.ExitStatus != 0 || !ParseConsole(next.Output).Entries.empty() || published != 1)
        problems.push_back("the next capture failed: " + next.Output);
    if (!worker.Temporaries().empty())
        problems.push_back("the next capture left " + worker.Temporaries().front());
    if (!problems.empty())
        problems.insert(problems.begin(), Describe(c) + ":\n" + run.Output);
    return problems;
}
} // namespace

TEST(FaultInjection, EveryFailingCallIsSurvivedOrReported)
{
    RemoveTestBlock();
    Publish({"pattern", "64", "48", "4"});
    fs::create_directories(CaptureDirectory());
    const bool remount = CanRemount();
    const unsigned workerCount = remount ? std::max(4u, 2 * std::thread::hardware_concurrency()) : 1;
    std::vector<std::unique_ptr<Worker>> workers;
    for (unsigned i = 0; i < workerCount; ++i)
        workers.push_back(std::make_unique<Worker>(
            remount ? CaptureDirectory() + "-faults-" + std::to_string(i) : CaptureDirectory(), remount));

    // One counting run in each scenario.
    std::vector<Case> cases;
    std::string expected;
    const std::string countPath = workers[0]->Directory + "-counts";
    for (const Scenario& scenario : Scenarios)
    {
        if (AddressSanitizer && !scenario.Sanitized)
            continue;
        workers[0]->Prepare(scenario.Fresh);
        std::vector<std::string> shim = scenario.Shim;
        shim.push_back("PELTRAK_SHIM_COUNT=" + countPath);
        const ProcessResult run = workers[0]->Run(shim);
        ASSERT_EQ(run.ExitStatus, 0) << run.Output;
        ASSERT_EQ(ParseConsole(run.Output).Entries.size(), 0u) << run.Output;
        const std::vector<std::string> made = workers[0]->NewNames();
        ASSERT_EQ(made.size(), 1u);
        const Bmp bmp = ReadBmp(workers[0]->Directory + "/" + made[0]);
        ASSERT_TRUE(bmp.Valid) << bmp.Error;
        ASSERT_EQ(bmp.Width, 64);
        expected = ReadFile(workers[0]->Directory + "/" + made[0]);
        fs::remove(workers[0]->Directory + "/" + made[0]);
        for (const auto& [call, count] : ReadCounts(countPath))
            for (long n = 1; n <= count; ++n)
            {
                const std::vector<int>& errors = PlausibleErrors.at(call);
                for (std::size_t e = 0; e < errors.size(); ++e)
                    if (!AddressSanitizer || e == static_cast<std::size_t>(n) % errors.size())
                        cases.push_back({call, n, errors[e], &scenario});
            }
    }
    fs::remove(countPath);
    for (const std::unique_ptr<Worker>& worker : workers) // Each with its workspace, as in use.
    {
        std::vector<std::string> problems;
        int published = 0;
        worker->KeepNamesTaken();
        worker->Run({});
        worker->CheckAndClear(expected, problems, published);
        ASSERT_EQ(published, 1) << (problems.empty() ? "" : problems[0]);
    }

    std::atomic<std::size_t> nextCase{0};
    std::mutex lock;
    std::vector<std::string> problems;
    std::vector<std::thread> threads;
    for (const std::unique_ptr<Worker>& worker : workers)
        threads.emplace_back(
            [&, w = worker.get()]
            {
                for (std::size_t i = nextCase++; i < cases.size(); i = nextCase++)
                {
                    const std::vector<std::string> found = TryCase(*w, cases[i], expected);
                    const std::lock_guard<std::mutex> hold(lock);
                    problems.insert(problems.end(), found.begin(), found.end());
                }
            });
    for (std::thread& thread : threads)
        thread.join();
    for (std::size_t i = 0; i < problems.size() && i < 40; ++i)
        ADD_FAILURE() << problems[i];
    std::cout << cases.size() << " (call, N, errno) cases tried\n";
    RemoveTestBlock();
}
