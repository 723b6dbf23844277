// The assertion report and text-to-integer conversion.
#include <Foundation/tHashInit.h> // IWYU pragma: keep (this unit owns a copy of the hash initial values)
#include <Foundation/tStandard.h>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace
{
const char ReportFormat[] = "Foundation Assert Failed.\n\nExpr: [%s]\nFile: [%s]\nLine: [%d]\nMsg : [%s]\n\n"
                            "Press 'Abort' to abort the program completely.\n"
                            "Press 'Retry' to start debugging.\n"
                            "Press 'Ignore' to try and move past this assert and continue running.\n";
const char ReportTitle[] = "Foundation Assert";
const char NoMessage[] = "None";
const int ReportBufferSize = 4096;

#ifdef _WIN32
tAssertAnswer PlatformPrompt(const char* text, const char* title)
{
    // Abort / Retry / Ignore buttons, stop icon, task-modal, brought to the foreground.
    const UINT style = MB_ABORTRETRYIGNORE | MB_ICONERROR | MB_TASKMODAL | MB_SETFOREGROUND; // 0x12012
    switch (MessageBoxA(nullptr, text, title, style))
    {
    case IDABORT:
        return tAssertAnswer::Abort;
    case IDRETRY:
        return tAssertAnswer::Retry;
    case IDIGNORE:
        return tAssertAnswer::Ignore;
    default:
        return tAssertAnswer::Failed;
    }
}

void DebugTrap()
{
    __debugbreak();
}
#else
void WriteAll(int fd, const char* text)
{
    size_t left = std::strlen(text);
    while (left > 0)
    {
        const ssize_t written = write(fd, text, left);
        if (written <= 0)
            return;
        text += written;
        left -= size_t(written);
    }
}

// Asks on the controlling terminal, not on standard input: the process's own input may be a pipe or
// a file that must not be consumed. The report itself is already on standard output.
tAssertAnswer PlatformPrompt(const char* /*text*/, const char* title)
{
    const int tty = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (tty < 0)
        return tAssertAnswer::Failed;

    tAssertAnswer answer = tAssertAnswer::Failed;
    for (bool asking = true; asking;)
    {
        WriteAll(tty, title);
        WriteAll(tty, ": [A]bort, [R]etry or [I]gnore? ");
        char line[64];
        size_t used = 0;
        char c = 0;
        ssize_t got = 0;
        while ((got = read(tty, &c, 1)) == 1 && c != '\n')
            if (used < sizeof line)
                line[used++] = c;
        if (got != 1 && used == 0)
            break; // End of input (or a read error) with nothing typed: the prompt failed.
        switch (used > 0 ? line[0] : 0)
        {
        case 'a':
        case 'A':
            answer = tAssertAnswer::Abort;
            asking = false;
            break;
        case 'r':
        case 'R':
            answer = tAssertAnswer::Retry;
            asking = false;
            break;
        case 'i':
        case 'I':
            answer = tAssertAnswer::Ignore;
            asking = false;
            break;
        default:
            if (got != 1)
                asking = false; // Unrecognised text cut off by end of input.
            break;
        }
    }
    close(tty);
    return answer;
}

void DebugTrap()
{
    std::raise(SIGTRAP);
}
#endif

std::atomic<tAssertPrompt> CurrentPrompt{&PlatformPrompt};
} // namespace

tAssertPrompt tSetAssertPrompt(tAssertPrompt prompt)
{
    return CurrentPrompt.exchange(prompt ? prompt : &PlatformPrompt);
}

void tAssertFailed(const char* expr, const char* file, int line, const char* message)
{
    // One buffer per report, so that reports on several threads cannot mix; snprintf cuts a report
    // that does not fit and always terminates it.
    char report[ReportBufferSize];
    std::snprintf(report, sizeof report, ReportFormat, expr ? expr : "", file ? file : "", line,
                  message ? message : NoMessage);

    // The console copy comes first so that the report survives even if the prompt never returns.
    std::printf("%s", report);
    std::fflush(stdout);

    switch (CurrentPrompt.load()(report, ReportTitle))
    {
    case tAssertAnswer::Abort:
        std::raise(SIGABRT);
        // A handler returned from the abort signal; end now, without exit-time clean-up.
        std::_Exit(200);
    case tAssertAnswer::Retry:
        DebugTrap();
        return;
    case tAssertAnswer::Ignore:
    case tAssertAnswer::Failed:
        return;
    }
}

int tTextToInt(const char* text, int base)
{
    if (!text || text[0] == 0)
        return 0;

    const int length = tTextLength(text);
    int start = 0;
    base = tTextChooseBase(text, length, base, start);

    // Unsigned arithmetic gives the wrap-around modulo 2^32 without signed overflow.
    uint32_t result = 0;
    uint32_t place = 1;
    for (int i = length - 1; i >= start; i--)
    {
        const char ch = text[i];
        if (ch == '-' && base == 10)
        {
            result = 0u - result;
            continue;
        }
        const int digit = tTextDigitValue(ch);
        if (digit < 0 || digit >= base)
            continue;
        result += uint32_t(digit) * place;
        place *= uint32_t(base);
    }
    return int32_t(result);
}
