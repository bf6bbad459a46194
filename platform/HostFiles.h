// Files as the host sees them. Wine maps every Windows path onto a Unix
// one; where a Windows call costs much more than the host's own (a rename
// takes a small fraction of MoveFileExW's time), the program goes straight
// to the host through these.
#pragma once

#include <stddef.h>
#include <windows.h>

// Unix path of a Windows path (UTF-8), or an empty string when Wine cannot
// map it (its parent folder does not exist) or it does not fit capacity.
bool UnixPathOf(const WCHAR* windowsPath, char* unixPath, size_t capacity);

// The host's rename: moves `from` over `to`, replacing a file there in one
// step. False when either name cannot be mapped or the host refuses.
bool HostRename(const WCHAR* from, const WCHAR* to);
