// Whether an open file is the plain file that a folder lists under a name.
// Under Wine a Unix symbolic link is opened as its target, whatever the
// flags, and deleting a link by name removes its target: so what a folder
// holds is judged on the open file, by the name the platform resolves it
// to, before anything is done to it. Win32 alone; the same in both builds.
#pragma once

#include <stddef.h>
#include <windows.h>

// Enough for any name a folder of a picture's length resolves to.
const size_t ResolvedNameCapacity = 1024;

// How many characters of the name of a file are its folder part, up to and
// including its last separator (0 for a bare file name).
size_t FolderPartLength(const WCHAR* file);

// The folder part of the name of a file, its final separator kept ("." for
// a bare file name); false when it does not fit capacity.
bool FolderOfFile(const WCHAR* file, WCHAR* folder, size_t capacity);

// The name the platform resolves folder (with or without its final
// separator) to: drive, links and letter case settled, so that a folder
// reached through another drive or through a link has the name of where
// it is. False when that cannot be told or does not fit capacity.
bool ResolvedFolderName(const WCHAR* folder, WCHAR* resolved, size_t capacity);

// True when file is a plain file that the folder resolvedFolder holds under
// name, and under no other name anywhere: not a folder, not a link (Wine
// resolves one to its target, elsewhere or under another name; Windows,
// opened with FILE_FLAG_OPEN_REPARSE_POINT, shows it as a reparse point),
// not a file with further hard links.
bool IsPlainFileListedAs(HANDLE file, const WCHAR* resolvedFolder, const WCHAR* name);
