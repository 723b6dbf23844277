// The two values a build may set (for packagers, and for the test build, which must never meet a real
// producer). Each executable compiles this file with its own PELTRAK_BLOCK_NAME and
// PELTRAK_OUTPUT_DIRECTORY; without them the tool uses the producer's block and the fixed directory.
#include "CaptureRun.h"
#include "OutputPath.h"

#ifndef PELTRAK_BLOCK_NAME
#define PELTRAK_BLOCK_NAME "ZV_SHM_MEMORY"
#endif

#ifndef PELTRAK_OUTPUT_DIRECTORY
#ifdef _WIN32
#define PELTRAK_OUTPUT_DIRECTORY "C:\\zorvik\\images\\"
#else
#define PELTRAK_OUTPUT_DIRECTORY "/zorvik/images/"
#endif
#endif

const char* const SharedBlockName = PELTRAK_BLOCK_NAME;
const char* const OutputDirectory = PELTRAK_OUTPUT_DIRECTORY;
