// The print engine's type handlers.
#include <System/tPrint.h>
