// The block name a build may set (for packagers, and for the test builds, which must never meet a real
// producer). Each executable compiles this file with its own PELTRAK_BLOCK_NAME; without it the
// executable uses the producer's block.
#include "SharedBlock.h"

#ifndef PELTRAK_BLOCK_NAME
#define PELTRAK_BLOCK_NAME "ZV_SHM_MEMORY"
#endif

const char* const SharedBlockName = PELTRAK_BLOCK_NAME;
