// Stand-in for the handheld shell's SHCreateShortcut: a shortcut file that
// this platform's shell opens by starting a command line.
#pragma once

#include <windows.h>

// Writes the shortcut file `shortcutPath` so that opening it starts
// `target`: a program path, in double quotes when it holds spaces, then
// optional arguments after white space. Written as a shell link, which
// Wine's shell starts like any other, in the root of the system drive (the
// handheld's "\\"). An existing file of that name is
// replaced. FALSE when the target is empty or malformed (an opening quote
// without its closing one) or the link cannot be written.
BOOL SHCreateShortcut(LPWSTR shortcutPath, LPWSTR target);

// The two halves of a shortcut target. The fields hold MAX_PATH characters.
struct ShortcutCommand {
    WCHAR program[MAX_PATH];
    WCHAR arguments[MAX_PATH];
};

// Splits a target as SHCreateShortcut reads it; false when it is empty,
// malformed or a half does not fit its field.
bool SplitShortcutTarget(const WCHAR* target, ShortcutCommand& command);
