// Reads a shell link back through IShellLinkW, as the shell sees it.
#pragma once

#include <windows.h>

#include <string>

struct LinkContents {
    bool loaded = false;
    std::string path;       // UTF-8
    std::string arguments;  // UTF-8
    std::string workingFolder;  // UTF-8
};

LinkContents ReadShellLink(const WCHAR* linkPath);
