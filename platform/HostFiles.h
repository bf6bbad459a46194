// Files as the host sees them: the few file operations whose best form
// differs between the two builds. The winelib build runs on Wine's mapping
// of Windows paths onto Unix ones and goes straight to the host where a
// Windows call costs much more than the host's own (a rename takes a small
// fraction of MoveFileExW's time there); the Windows build uses Win32 and
// its C runtime alone.
#pragma once

#include <stddef.h>
#include <stdio.h>
#include <windows.h>

// Unix path of a Windows path (UTF-8), or an empty string when Wine cannot
// map it (its parent folder does not exist) or it does not fit capacity.
// The Windows program asks Wine at run time; on Windows itself there is no
// Unix path: false.
bool UnixPathOf(const WCHAR* windowsPath, char* unixPath, size_t capacity);

// Where a file is on disk, for a person to find it (UTF-8): its Unix path
// with the prefix's drive links resolved where the host can, else its
// Windows path.
void PlaceOnDisk(const WCHAR* windowsPath, char* place, size_t capacity);

// Moves the closed file `from` over `to` in one step, replacing a file
// there, so that a reader of `to` finds the old file or the new one and
// never neither; then sends the folder's entries to the disk, where the
// host can, so that the new name outlives a power cut. False when the host
// refuses the move.
bool ReplaceInOneStep(const WCHAR* from, const WCHAR* to);

// A file-size limit makes writes fail as a full medium does, instead of
// ending the process. Called before each file is written, as whatever the
// process did in between may have restored the default. The Windows
// program cannot do this (Windows has no such limit; under Wine the Unix
// signal is as the process inherited it, which ./tavro sets to ignored).
void LetFileSizeLimitFailWrites();

// Creates the file `name` anew, never opening whatever stands under that
// name (a file, a link, dangling or not, a FIFO, a folder), and returns it
// as a binary stdio stream for writing. Null when nothing was made; then
// `taken` says whether the reason is something under the name.
FILE* CreateNewStream(const WCHAR* name, bool& taken);
