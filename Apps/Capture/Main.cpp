// peltrak: captures the image in the shared block into a dated BMP file. Takes no arguments.
#include "CaptureRun.h"
#include "PeltrakVersion.h"

#include <Foundation/tHashInit.h> // IWYU pragma: keep (this unit owns a copy of the hash initial values)
#include <boost/interprocess/exceptions.hpp>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <opencv2/core/utils/logger.hpp>
#include <spdlogger.h>
#include <string>

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
    int status = 0;
    try
    {
        status = CaptureImage();
    }
    catch (const boost::interprocess::interprocess_exception& e)
    {
        // The block could not be created at all (a stale one that cannot be removed, no permission, no
        // room): unlike a failed capture, nothing can work until someone intervenes, so say so in the
        // exit status.
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
