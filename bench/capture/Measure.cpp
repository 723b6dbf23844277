// Runs one program as a whole process and prints what it cost: wall time from fork to reaped exit, user
// and system CPU time, peak resident set and the exit status, as
//   wall_us user_us system_us maxrss_kb status
// A separate small process, so that the peak resident set the kernel reports for the child is not
// inflated by the (large) benchmark driver it would otherwise inherit at exec.
#include <cstdio>
#include <ctime>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace
{
long long Microseconds(const timespec& t)
{
    return static_cast<long long>(t.tv_sec) * 1000000 + t.tv_nsec / 1000;
}

long long Microseconds(const timeval& t)
{
    return static_cast<long long>(t.tv_sec) * 1000000 + t.tv_usec;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
    {
        std::fprintf(stderr, "usage: measure PROGRAM [ARG...]\n");
        return 2;
    }
    timespec start{};
    clock_gettime(CLOCK_MONOTONIC, &start);
    const pid_t child = fork();
    if (child < 0)
    {
        std::perror("measure: fork");
        return 2;
    }
    if (child == 0)
    {
        execv(argv[1], argv + 1);
        std::perror("measure: exec");
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (wait4(child, &status, 0, &usage) != child)
    {
        std::perror("measure: wait4");
        return 2;
    }
    timespec end{};
    clock_gettime(CLOCK_MONOTONIC, &end);
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    std::printf("%lld %lld %lld %ld %d\n", Microseconds(end) - Microseconds(start),
                Microseconds(usage.ru_utime), Microseconds(usage.ru_stime), usage.ru_maxrss, code);
    return 0;
}
