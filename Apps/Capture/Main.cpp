// peltrak: captures the image in the shared block into a dated BMP file. Takes no arguments.
#include "CaptureRun.h"
#include "PeltrakVersion.h"

#include <Foundation/tHashInit.h>
#include <boost/interprocess/exceptions.hpp>
#include <spdlogger.h>
#include <string>

namespace
{
// The second of the two start-up parses of the tool's version; see PeltrakVersion.h.
[[maybe_unused]] const bool PeltrakVersionParsed =
    (tReadVersionText(PeltrakVersion, PeltrakVersionText), true);
} // namespace

int main()
{
    try
    {
        return CaptureImage();
    }
    catch (const boost::interprocess::interprocess_exception& e)
    {
        // The block could not be created at all (a stale one that cannot be removed, no permission, no
        // room): unlike a failed capture, nothing can work until someone intervenes, so say so in the
        // exit status.
        Logger::Critical(std::string(e.what()));
        return 1;
    }
}
