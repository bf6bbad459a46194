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

// The shell's colours, one set for the title strip and the menu bar.
struct ShellPalette {
    COLORREF accent;      // the title strip's top, the ok button's label, a pressed key
    COLORREF accentDeep;  // the title strip's bottom
    COLORREF onAccent;    // the title, the ok button's face, a pressed key's label
    COLORREF barTop;      // the menu bar's shading, top to bottom
    COLORREF barBottom;
    COLORREF barLine;     // the menu bar's top edge and the dividers between its keys
    COLORREF keyLabel;
};

constexpr ShellPalette ShellColours = {
    RGB(16, 64, 160), RGB(4, 28, 96), RGB(255, 255, 255),
    RGB(232, 236, 244), RGB(200, 208, 224), RGB(120, 130, 150), RGB(0, 0, 0),
};

// Where the menu bars' records come from and go: calloc and free, unless a
// test counts them.
struct ShellRecordHeap {
    void* (*allocate)(size_t count, size_t size);
    void (*release)(void* block);
};
extern ShellRecordHeap MenuBarRecords;
