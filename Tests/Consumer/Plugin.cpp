// The one function of the plugin. The host compiles the same source into itself, so that it can
// compare the plugin's text, printed by the plugin's own copy of the libraries, with its own.
#include "Plugin.h"

#include <Foundation/tFixInt.h>
#include <Foundation/tString.h>
#include <System/tFormat.h>
#include <System/tPrintf.h>

int DescribePlugin(char* text, int size)
{
    tString name("plugin");
    const tWideInt128 value = tWideInt128::FromText("1267650600228229401496703205376", 10); // 2^100
    char wide[64];
    tFormat(wide, T_FMT("%,d"), value);
    return tsnPrintf(text, size, "%s: %s %+.3e", name.Chars, wide, 6.02214076e23);
}

#ifndef PELTRAK_PLUGIN_HOST
extern "C" __attribute__((visibility("default"))) int PeltrakPluginDescribe(char* text, int size)
{
    return DescribePlugin(text, size);
}
#endif
