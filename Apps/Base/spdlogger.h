// The tool's one way to report a failed capture: a critical log entry with the failure's text, then a
// second critical entry with the stack trace of the caller.
//
// Both entries go through spdlog's process-wide default logger, which this header never configures:
// spdlog creates it on first use with its colour console sink on standard output, its default
// pattern and its default level (which lets critical through). Leaving it alone keeps the console
// layout that operators already know, and means a test sees exactly what the tool prints.
//
// Each entry carries this header's path, a fixed line and the function name "Logger::Critical" as
// its source location. The lines are pinned (the message on line 55, the trace on line 57) because
// log readers filter on them, so the two calls below must stay on those lines; formatting is
// switched off around them.
//
// The message is handed to spdlog as a plain text view, never as a format string: an exception text
// may contain braces, and they are logged as they stand.
//
// The stack trace is rendered by StackTraceText.h: named from the executable's debug information on
// Linux, as module and offset on Windows where no name is known. In the tool the trace is the stack
// of the capture run's exception handler, not of the place where the exception was raised.
//
// Cost: rendering the trace reads debug information and can take tens of milliseconds; that is fine
// for an operation that runs at most once per capture. Nothing is thrown to the caller: failures
// inside spdlog go to its own error handler.
#pragma once

#include <StackTraceText.h>
#include <spdlog/spdlog.h>
#include <string>

class Logger
{
public:
    Logger() = delete;

    // Logs message verbatim, then the current stack trace; both at critical level. The caller keeps
    // ownership of message. Throws nothing of its own; a sink that cannot write is spdlog's concern,
    // not the caller's. Called at most once per capture, on the main thread, so no lock is taken here
    // (spdlog serialises console writes itself).
    static void Critical(const std::string& message);

private:
    static void Log(const spdlog::source_loc& where, const std::string& text)
    {
        spdlog::default_logger_raw()->log(where, spdlog::level::critical,
                                          spdlog::string_view_t(text.data(), text.size()));
    }
};

// The stack is captured only after the message is on the console, so a failure while rendering the
// trace still leaves the message behind. An empty trace (no frame captured) is still logged, as an
// empty entry, so that every call leaves exactly two entries.
// clang-format off
inline void Logger::Critical(const std::string& message)
{
    Log(spdlog::source_loc{__FILE__, __LINE__, "Logger::Critical"}, message);
    const std::string trace = StackTraceText(boost::stacktrace::stacktrace());
    Log(spdlog::source_loc{__FILE__, __LINE__, "Logger::Critical"}, trace);
}
// clang-format on
