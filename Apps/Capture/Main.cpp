// peltrak: captures the image in the shared block into a dated BMP file. Takes no arguments.
#include "CaptureRun.h"
#include "PeltrakVersion.h"
#include "SharedBlock.h"

#include <Foundation/tHashInit.h> // IWYU pragma: keep (this unit owns a copy of the hash initial values)
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <opencv2/core/utils/logger.hpp>
#include <spdlogger.h>
#include <string>

#ifdef __linux__
#include <fcntl.h>
#include <unistd.h>

namespace
{
// A descriptor 0, 1 or 2 that the caller left closed would be handed to the next file the tool opens
// (the block, with "peltrak >&-"), and the progress lines and log would be written into it. So each
// closed one is given /dev/null before anything else is opened: this runs before every initialiser
// of the tool's own units and of the libraries linked into it statically (101 is the earliest
// priority a program may use); only shared libraries' initialisers run earlier, and they keep no
// files open. In main it would come after all of those.
__attribute__((constructor(101))) void OpenStandardDescriptors()
{
    for (int fd = 0; fd <= 2; ++fd)
        if (fcntl(fd, F_GETFD) < 0)
        {
            const int opened = open("/dev/null", O_RDWR);
            // open returns the lowest free descriptor, which is this one; anything else is not ours.
            if (opened >= 0 && opened != fd)
                close(opened);
        }
}
} // namespace
#endif

namespace
{
// One of the two start-up parses of the tool's version; see PeltrakVersion.h.
[[maybe_unused]] const bool PeltrakVersionParsed =
    (tReadVersionText(PeltrakVersion, PeltrakVersionText), true);
} // namespace

int main()
{
    // OpenCV's default level, fixed: the tool reads no environment, so OPENCV_LOG_LEVEL must not add
    // lines to its output. Its warnings and errors still go to standard error.
    cv::utils::logging::setLogLevel(cv::utils::logging::LOG_LEVEL_WARNING);
#ifndef _WIN32
    // The capture is the job: a reader that went away makes the progress lines fail, not the tool.
    std::signal(SIGPIPE, SIG_IGN);
    // A file size limit (ulimit -f) below the image would end the tool mid-write with no word and
    // its temporary left behind; ignored, the write fails with EFBIG and the capture is logged.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    int status = 0;
    try
    {
        status = CaptureImage();
    }
    catch (const SharedBlockError& e)
    {
        // The block can be neither used nor re-created (no permission, no address space, no room): unlike
        // a failed capture, nothing can work until someone intervenes, so say so in the exit status.
        Logger::Critical(std::string(e.what()));
        return 1;
    }
#ifdef PELTRAK_FULL_TEARDOWN
    return status;
#else
    // The capture is over: its file is complete, closed and in place, and nothing the process still
    // holds outlives it (the kernel releases the block's mapping and the memory either way). Running
    // the destructors and finalisers of every loaded library (image codecs, thread pool) would only
    // add time, so the process ends here once standard output is flushed. Builds with the sanitizers
    // keep the full teardown, so that their leak check still sees the whole run.
    std::cout.flush();
    std::fflush(nullptr);
    std::_Exit(status);
#endif
}
