// Loads the plugin named by its argument, which carries its own copy of the libraries, beside the
// libraries the host itself links, and checks that both print the same text. Exit status 0 only when
// they do.
#include "Plugin.h"

#include <cstdio>
#include <cstring>
#include <dlfcn.h>

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: PeltrakPluginHost PLUGIN.so\n");
        return 2;
    }
    void* plugin = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (!plugin)
    {
        std::printf("FAIL dlopen: %s\n", dlerror());
        return 1;
    }
    using tDescribe = int (*)(char*, int);
    const auto describe = reinterpret_cast<tDescribe>(dlsym(plugin, PluginEntryPoint));
    if (!describe)
    {
        std::printf("FAIL dlsym %s: %s\n", PluginEntryPoint, dlerror());
        return 1;
    }
    char fromPlugin[128] = {};
    char fromHost[128] = {};
    const int length = describe(fromPlugin, int(sizeof fromPlugin));
    DescribePlugin(fromHost, int(sizeof fromHost));
    const bool same = std::strcmp(fromPlugin, PluginText) == 0 && std::strcmp(fromHost, PluginText) == 0 &&
                      length == int(std::strlen(PluginText));
    std::printf("%s plugin: %s\n     host:   %s\n", same ? "ok  " : "FAIL", fromPlugin, fromHost);
    dlclose(plugin);
    return same ? 0 : 1;
}
