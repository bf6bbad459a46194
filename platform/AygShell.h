// Stand-ins for the handheld shell functions (aygshell) this platform lacks,
// under the handheld's names, built on ordinary Win32 windows.
//
// The handheld's screen has the shell's title bar at the top (the active
// window's caption and its ok button) and the menu bar with the soft keys at
// the bottom. Here a desktop caption would be drawn by a window manager that
// may not be running (Xvfb has none) and never has an ok button, so
// SHInitDialog draws the title strip itself, in the dialog's non-client area,
// and SHCreateMenuBar puts the soft keys in a window of their own below the
// dialog. The dialog's client area excludes both, as on the handheld.
#pragma once

#include <windows.h>

// ---- SHInitDialog ----

struct SHINITDLGINFO {
    DWORD dwMask;
    HWND hDlg;
    DWORD dwFlags;
};
typedef SHINITDLGINFO* PSHINITDLGINFO;

const DWORD SHIDIM_FLAGS = 0x0001;

const DWORD SHIDIF_DONEBUTTON = 0x0001;          // ok button in the title bar
// Both sizes fill the screen above the menu bar (the handheld's SIZEDLG
// also leaves out a raised input panel, and there is none here).
const DWORD SHIDIF_SIZEDLG = 0x0002;
const DWORD SHIDIF_SIZEDLGFULLSCREEN = 0x0004;
const DWORD SHIDIF_SIPDOWN = 0x0008;             // lower the input panel
const DWORD SHIDIF_FULLSCREENNOMENUBAR = 0x0010; // full screen, no room for a menu bar
const DWORD SHIDIF_EMPTYMENU = 0x0020;           // a menu bar will be there
const DWORD SHIDIF_WANTSCROLLBAR = 0x0040;       // scroll a dialog taller than the screen

// The dialog-template extended style that asks for the ok button as well.
// Wine gives this bit no meaning of its own: it stays in the window's
// extended style and only this layer reads it.
const DWORD WS_EX_CAPTIONOKBTN = 0x80000000;

// Turns hDlg into a handheld full-screen dialog: the title strip with the
// caption and, when asked for, the ok button (a tap sends WM_COMMAND IDOK);
// the size the flags ask for, kept on a change of screen size. There is no
// input panel to lower, and a dialog that fits the screen needs no scroll
// bar. FALSE for a missing record or window.
BOOL SHInitDialog(PSHINITDLGINFO info);

// ---- SHCreateMenuBar ----

// The record as the program fills it. On the handheld (32 bits) it is 36
// bytes long and callers write cbSize = 36; here handles are 64 bits wide
// and the record is larger. The fields keep the handheld's names, order and
// meaning; SHCreateMenuBar takes cbSize 36 (the handheld's count, which every
// caller written for it uses) or sizeof(SHMENUBARINFO), and refuses others.
struct SHMENUBARINFO {
    DWORD cbSize;
    HWND hwndParent;
    DWORD dwFlags;
    UINT nToolBarId;     // menu-bar resource (RCDATA) and menu of this id
    HINSTANCE hInstRes;
    int nBmpId;          // button images: this layer draws labels only
    int cBmpImages;
    HWND hwndMB;         // out: the bar
    COLORREF clrBk;      // with SHCMBF_COLORBK
};
typedef SHMENUBARINFO* PSHMENUBARINFO;

const DWORD SHMENUBARINFO_HANDHELD_SIZE = 36;

const DWORD SHCMBF_EMPTYBAR = 0x0001;   // a bar without buttons
const DWORD SHCMBF_HIDDEN = 0x0002;     // created hidden
const DWORD SHCMBF_COLORBK = 0x0020;    // clrBk is the background

// Builds the menu bar from resource nToolBarId of hInstRes (RCDATA in the
// shell's layout: menu id, button count, then seven words per button: image,
// command, state, style, label string, 0, popup index or 0xFFFF) as a window
// along the bottom of the screen, owned by hwndParent, which is made to end
// above it. A tap on a button without a popup sends hwndParent WM_COMMAND
// with its command; a button with a popup opens that popup of menu
// nToolBarId (hwndParent gets WM_ENTERMENULOOP and WM_EXITMENULOOP) and sends
// the picked command. The bar lives until destroyed or until its owner is.
// FALSE, hwndMB null, when the record or the resources are unusable.
BOOL SHCreateMenuBar(PSHMENUBARINFO info);

// ---- SHInitExtraControls ----

// The handheld's extra control classes are not used by this program.
BOOL SHInitExtraControls();

// ---- Geometry of this layer, for the windows that live beside it ----

// Height in pixels of the title strip and of the menu bar: 26 at 96 dpi,
// the handheld's own.
int ShellBarHeight();
const int ShellBarHeightAt96Dpi = 26;

// The ok button's rectangle in screen coordinates; empty when hDlg has none.
RECT ShellOkButtonRect(HWND hDlg);

// The window class of the menu bar.
#define SHELL_MENU_BAR_CLASS L"TavroShellMenuBar"
