// The two launch shortcuts in the Start menu's Programs folder.
#pragma once

#include <windows.h>

// True when "Tavro.lnk" is missing; unless checkOnly, then also creates
// both shortcuts for this program.
bool CreateShortcuts(bool checkOnly);

// The same for the program at programPath, for a setup program that places
// the shortcuts of the program beside it.
bool CreateShortcutsFor(const WCHAR* programPath, bool checkOnly);

// The same in a given Programs folder. An empty or missing folder counts as
// a folder without the main shortcut: true, and nothing is created. When a
// shortcut's file name or its target would not fit in MAX_PATH characters,
// neither shortcut is created (true all the same), so a long path never
// leaves a main shortcut without its configuration twin.
bool CreateShortcutsIn(const WCHAR* programsFolder, const WCHAR* programPath, bool checkOnly);

// The main shortcut's file name, with its leading backslash.
extern const WCHAR MainShortcutName[];
