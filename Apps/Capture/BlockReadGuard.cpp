#include "BlockReadGuard.h"

#ifdef __linux__
#include <chrono>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <unistd.h>

namespace
{
char Line[512];
std::size_t LineLength = 0;
struct sigaction Previous;

extern "C" void OnBlockShrunk(int)
{
    // Only async-signal-safe calls: the line is ready, and no destructor or buffered stream runs.
    const char* rest = Line;
    std::size_t left = LineLength;
    while (left > 0)
    {
        const ssize_t written = write(STDOUT_FILENO, rest, left);
        if (written <= 0)
            break;
        rest += written;
        left -= static_cast<std::size_t>(written);
    }
    _exit(1);
}
} // namespace

BlockReadGuard::BlockReadGuard(const char* blockName)
{
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const long long milliseconds =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm local{};
    char stamp[32] = "0000-00-00 00:00:00";
    if (localtime_r(&seconds, &local) != nullptr)
        std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    const int length = std::snprintf(Line, sizeof Line,
                                     "[%s.%03lld] [critical] [BlockReadGuard.cpp:%d] the shared block \"%s\" "
                                     "shrank while it was read; the capture is abandoned\n",
                                     stamp, milliseconds, __LINE__, blockName);
    LineLength = length < 0 ? 0 : static_cast<std::size_t>(length);
    if (LineLength >= sizeof Line) // A very long name: cut, but still one whole line.
    {
        LineLength = sizeof Line - 1;
        Line[LineLength - 1] = '\n';
    }

    struct sigaction action
    {
    };
    action.sa_handler = OnBlockShrunk;
    sigemptyset(&action.sa_mask);
    sigaction(SIGBUS, &action, &Previous);
}

BlockReadGuard::~BlockReadGuard()
{
    sigaction(SIGBUS, &Previous, nullptr);
}

#else
BlockReadGuard::BlockReadGuard(const char*) {}
BlockReadGuard::~BlockReadGuard() {}
#endif
