// Makes a system call again for as long as it fails with EINTR: a signal that arrived during the call
// says nothing about the file, so it is no failure of the capture.
//
// For the calls POSIX lets a signal interrupt and that are safe to repeat: open, openat, flock and
// fsync. Never for close: on Linux a close that reports EINTR has already released the
// descriptor, and by the next try its number may belong to another file.
#pragma once

#include <cerrno>

template <typename Call> auto RetryInterrupted(Call call) -> decltype(call())
{
    for (;;)
    {
        const auto result = call();
        if (result != -1 || errno != EINTR)
            return result;
    }
}
