// The full-screen configuration dialog.
#pragma once

#include <windows.h>

// The dialog's end code: 1 after OK, 2 after Cancel, 16 after closing.
int RunConfigDialog();
