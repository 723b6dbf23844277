// The output directory a build may set (for packagers, and for the test builds, which must never write
// into the real one). Each executable compiles this file with its own PELTRAK_OUTPUT_DIRECTORY; without
// it the tool uses the platform's fixed directory. The block name is set beside it, in
// SharedBlockName.cpp.
#include "OutputPath.h"

#ifndef PELTRAK_OUTPUT_DIRECTORY
#ifdef _WIN32
#define PELTRAK_OUTPUT_DIRECTORY "C:\\zorvik\\images\\"
#else
#define PELTRAK_OUTPUT_DIRECTORY "/zorvik/images/"
#endif
#endif

const char* const OutputDirectory = PELTRAK_OUTPUT_DIRECTORY;
