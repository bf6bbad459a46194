// The options tree control (window class OPT_TREE_CTRL): what its callers use.
#pragma once

#include <windows.h>

#include "optiontree/OptionItem.h"

#define OPTION_TREE_CLASS L"OPT_TREE_CTRL"

// wParam: the first OptionItem, lParam: the count. Result 1.
const UINT OTM_SETITEMS = WM_USER + 1;

const int NavKeyUpId = 101;
const int NavKeyDownId = 102;

struct OptionTreeState;

// Registers the window class; false when it could not be (for example
// because it already is).
bool RegisterOptionTreeClass();

// The control's state, from its window's user-data slot; null when none
// (also for a window that is not an options tree).
OptionTreeState* OptionTreeStateOf(HWND control);

// Stores what the in-place editor holds into the current row.
void CommitEdit(OptionTreeState* state);

// The Up and Down keys as hot keys on the control's window.
void EnableNavKeys(HWND control);
void DisableNavKeys(HWND control);
UINT TrackMenuWithoutNavKeys(HMENU menu, UINT flags, int x, int y, HWND control);
