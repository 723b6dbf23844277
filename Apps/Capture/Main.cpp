// peltrak: captures the image in the shared block into a dated BMP file. Takes no arguments.
#include "CaptureRun.h"
#include "PeltrakVersion.h"
#include "SharedBlock.h"

#include <Foundation/tHashInit.h>
#include <cstdio>
#include <cstdlib>
#include <iostream>
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
