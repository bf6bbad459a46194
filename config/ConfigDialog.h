// The full-screen configuration dialog.
#pragma once

#include <windows.h>

// Hands ConfigItems to the options tree. wParam and lParam 0; result TRUE.
const UINT CFGM_FILLTREE = WM_USER + 1;

// End codes.
const int ConfigEndOk = IDOK;        // 1: settings stored
const int ConfigEndCancel = IDCANCEL;  // 2: nothing stored
const int ConfigEndClosed = 16;      // WM_CLOSE: nothing stored

// Runs dialog 106 of AppInstance modally; the dialog's end code, or -1 when
// the template cannot be found.
int RunConfigDialog();

INT_PTR CALLBACK ConfigDialogProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam);
