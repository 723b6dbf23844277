// The assertion report: its exact text, the console copy before the prompt, and what each answer does.
#include "RecordingPrompt.h"

#include <Foundation/tStandard.h>
#include <gtest/gtest.h>
#include <string>

namespace
{
const char ExpectedCopyReport[] = "Foundation Assert Failed.\n"
                                  "\n"
                                  "Expr: [dst && src]\n"
                                  "File: [some/dir/file.h]\n"
                                  "Line: [61]\n"
                                  "Msg : [None]\n"
                                  "\n"
                                  "Press 'Abort' to abort the program completely.\n"
                                  "Press 'Retry' to start debugging.\n"
                                  "Press 'Ignore' to try and move past this assert and continue running.\n";

tAssertAnswer AnswerFailed(const char*, const char*)
{
    return tAssertAnswer::Failed;
}
} // namespace

TEST(AssertReport, ExactTextWithNullMessage)
{
    RecordingPrompt prompt;
    tAssertFailed("dst && src", "some/dir/file.h", 61, nullptr);
    ASSERT_EQ(RecordingPrompt::Reports().size(), 1u);
    EXPECT_EQ(RecordingPrompt::Reports()[0], ExpectedCopyReport);
}

TEST(AssertReport, GivenMessageIsShown)
{
    RecordingPrompt prompt;
    tAssertFailed("x", "f", -3, "out of room");
    EXPECT_EQ(RecordingPrompt::LastField("Msg "), "out of room");
    EXPECT_EQ(RecordingPrompt::LastField("Line"), "-3");
}

TEST(AssertReport, LongReportIsCutToTheBufferAndTerminated)
{
    RecordingPrompt prompt;
    const std::string longExpr(5000, 'e');
    tAssertFailed(longExpr.c_str(), "f", 1, nullptr);
    ASSERT_EQ(RecordingPrompt::Reports().size(), 1u);
    const std::string& report = RecordingPrompt::Reports()[0];
    EXPECT_EQ(report.size(), 4095u);
    EXPECT_EQ(report.substr(0, 33), "Foundation Assert Failed.\n\nExpr: ");
    EXPECT_EQ(report.back(), 'e');
}

TEST(AssertReport, IgnoreAndFailedPromptCarryOnAfterTheCheck)
{
    const tAssertAnswer answers[] = {tAssertAnswer::Ignore, tAssertAnswer::Failed};
    for (tAssertAnswer answer : answers)
    {
        RecordingPrompt prompt;
        if (answer == tAssertAnswer::Failed)
            tSetAssertPrompt(&AnswerFailed);
        int after = 0;
        tRequire(after == 1);
        after = 2;
        EXPECT_EQ(after, 2);
    }
}

TEST(AssertReport, CheckEvaluatesItsConditionOnceAndNamesItsOwnFileAndLine)
{
    RecordingPrompt prompt;
    int evaluated = 0;
    const int line = __LINE__ + 1;
    tRequire(++evaluated == 0);
    EXPECT_EQ(evaluated, 1);
    EXPECT_EQ(RecordingPrompt::LastField("Expr"), "++evaluated == 0");
    EXPECT_EQ(RecordingPrompt::LastField("Line"), std::to_string(line));
    EXPECT_EQ(RecordingPrompt::LastField("File"), __FILE__);

    // A passing check reports nothing and still evaluates once.
    tRequire(++evaluated == 2);
    EXPECT_EQ(evaluated, 2);
    EXPECT_EQ(RecordingPrompt::Reports().size(), 1u);
}

// The console redirection, the signals and the terminal below are those of POSIX systems.
#ifndef _WIN32
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace
{
// Sends standard output to a temporary file for the life of the object, so that a prompt can look
// at what had reached the console by the time it was asked.
class CapturedStdout
{
public:
    CapturedStdout()
    {
        std::fflush(stdout);
        File = std::tmpfile();
        Saved = dup(STDOUT_FILENO);
        dup2(fileno(File), STDOUT_FILENO);
    }
    ~CapturedStdout()
    {
        std::fflush(stdout);
        dup2(Saved, STDOUT_FILENO);
        close(Saved);
        std::fclose(File);
    }
    CapturedStdout(const CapturedStdout&) = delete;
    CapturedStdout& operator=(const CapturedStdout&) = delete;

    // What has reached the file, without flushing anything on the way.
    static std::string Written()
    {
        std::string text;
        char buffer[512];
        for (off_t at = 0;;)
        {
            const ssize_t got = pread(STDOUT_FILENO, buffer, sizeof buffer, at);
            if (got <= 0)
                return text;
            text.append(buffer, std::size_t(got));
            at += got;
        }
    }

private:
    FILE* File;
    int Saved;
};

std::string ConsoleAtPrompt;
std::string TitleAtPrompt;
std::string TextAtPrompt;

tAssertAnswer PeekingPrompt(const char* text, const char* title)
{
    ConsoleAtPrompt = CapturedStdout::Written();
    TextAtPrompt = text;
    TitleAtPrompt = title;
    return tAssertAnswer::Ignore;
}

tAssertAnswer AnswerAbort(const char*, const char*)
{
    return tAssertAnswer::Abort;
}

tAssertAnswer AnswerRetry(const char*, const char*)
{
    return tAssertAnswer::Retry;
}

volatile std::sig_atomic_t TrapsSeen = 0;
void CountTrap(int)
{
    TrapsSeen = TrapsSeen + 1;
}
void ReturnFromAbort(int) {}
} // namespace

TEST(AssertReport, ConsoleGetsTheSameTextBeforeThePrompt)
{
    tAssertPrompt previous = tSetAssertPrompt(&PeekingPrompt);
    {
        CapturedStdout console;
        tAssertFailed("dst && src", "some/dir/file.h", 61, nullptr);
        EXPECT_EQ(CapturedStdout::Written(), ExpectedCopyReport); // no newline of its own
    }
    tSetAssertPrompt(previous);
    EXPECT_EQ(ConsoleAtPrompt, ExpectedCopyReport);
    EXPECT_EQ(TextAtPrompt, ExpectedCopyReport);
    EXPECT_EQ(TitleAtPrompt, "Foundation Assert");
}

TEST(AssertReport, RetryRaisesTheDebugTrapAndReturnsWhenResumed)
{
    struct sigaction trap = {}, previousTrap = {};
    trap.sa_handler = &CountTrap;
    sigemptyset(&trap.sa_mask);
    ASSERT_EQ(sigaction(SIGTRAP, &trap, &previousTrap), 0);
    tAssertPrompt previous = tSetAssertPrompt(&AnswerRetry);
    TrapsSeen = 0;
    {
        CapturedStdout console; // keeps the report out of the test log
        tAssertFailed("x", "f", 1, nullptr);
    }
    tSetAssertPrompt(previous);
    sigaction(SIGTRAP, &previousTrap, nullptr);
    EXPECT_EQ(TrapsSeen, 1);
}

TEST(AssertReportDeathTest, AbortEndsTheProcessWithTheAbortSignal)
{
    EXPECT_EXIT(
        {
            tSetAssertPrompt(&AnswerAbort);
            tAssertFailed("x", "f", 1, nullptr);
            std::_Exit(0);
        },
        testing::KilledBySignal(SIGABRT), "");
}

TEST(AssertReportDeathTest, AbortWhoseSignalReturnsEndsWithStatus200)
{
    EXPECT_EXIT(
        {
            std::signal(SIGABRT, &ReturnFromAbort);
            tSetAssertPrompt(&AnswerAbort);
            tAssertFailed("x", "f", 1, nullptr);
            std::_Exit(0);
        },
        testing::ExitedWithCode(200), "");
}

TEST(AssertReportDeathTest, DefaultPromptWithoutTerminalCarriesOn)
{
    // A new session has no controlling terminal, so the platform prompt cannot ask and the report
    // returns; status 7 proves the caller went on.
    EXPECT_EXIT(
        {
            if (setsid() < 0)
                std::_Exit(8);
            tSetAssertPrompt(nullptr);
            tAssertFailed("x", "f", 1, nullptr);
            std::_Exit(7);
        },
        testing::ExitedWithCode(7), "");
}
#endif
