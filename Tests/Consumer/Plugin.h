// What the plugin prints, and the name of the entry point the host looks up.
#pragma once

inline constexpr char PluginEntryPoint[] = "PeltrakPluginDescribe";
inline constexpr char PluginText[] = "plugin: 1,267,650,600,228,229,401,496,703,205,376 +6.022e+23";

// Prints PluginText into text (snprintf's contract) and returns its length.
int DescribePlugin(char* text, int size);
