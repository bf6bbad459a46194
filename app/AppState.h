// The process-wide state the two modes share with the notice and the
// configuration side, besides the settings: set once by the start-up or the
// capture run, read by whoever shows a window. Lives until exit.
#pragma once

#include <windows.h>

#include "app/DibImage.h"

// The program's module, source of all resources; set first thing by WinMain.
extern HINSTANCE AppInstance;

// The darkened 200 x 90 screen region behind the completion notice, filled
// by the capture run; empty from process start until then.
extern DibImage NoticeBackground;
