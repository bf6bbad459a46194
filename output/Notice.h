// The small modal notice that names the picture just written.
#pragma once

#include <windows.h>

// Seconds left before the notice closes itself when AutoClose is on; 6 at
// process start, counted down by the notice's timer and never reset (a
// process shows the notice once).
extern int AutoCloseCountdown;

// How often the countdown steps, in milliseconds: NoticeCountdownStep, one
// second, unless a test has set a shorter step for its process.
const UINT NoticeCountdownStep = 1000;
UINT NoticeTimerPeriod();
void SetNoticeTimerPeriod(UINT milliseconds);

// True when the notice ended by its button or its countdown.
bool ShowCompletionNotice();

// The dialog's own end code: 1 (button or countdown), 2 (IDCANCEL),
// 16 (WM_CLOSE), or -1 when it could not be shown.
INT_PTR RunNoticeDialog();

INT_PTR CALLBACK NoticeDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Draws the program's bitmap `id` at its natural scale into `rect` of `dc`;
// an id of 0 draws nothing.
void DrawBitmapResource(int id, HDC dc, const RECT& rect);
