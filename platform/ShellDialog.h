// What the title strip of SHInitDialog and the menu bar of SHCreateMenuBar
// know of each other. Internal to the shell layer.
#pragma once

#include <windows.h>

#include <stddef.h>

// The dialog's window rectangle for the SHIDIF_ size flags: the screen, less
// the menu bar along its bottom when the dialog has or expects one.
RECT ShellDialogRect(DWORD flags, bool hasMenuBar);

// Sizes hDlg as its flags ask (nothing when they ask for no size).
void ApplyShellDialogSize(HWND hDlg, DWORD flags);

// The menu bar that SHCreateMenuBar made for owner, or null.
HWND FindShellMenuBar(HWND owner);

// The bold Tahoma of the title strip and the soft keys.
HFONT CreateShellFont(int pixelHeight);

// Shades area from top's colour on its first line to bottom's on its last.
void FillVerticalGradient(HDC dc, const RECT& area, COLORREF top, COLORREF bottom);

// Where the menu bars' records come from and go: calloc and free, unless a
// test counts them.
struct ShellRecordHeap {
    void* (*allocate)(size_t count, size_t size);
    void (*release)(void* block);
};
extern ShellRecordHeap MenuBarRecords;
