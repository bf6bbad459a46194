// The small modal notice that names the picture just written.
#pragma once

#include <windows.h>

// True when the notice ended by its button or its countdown.
bool ShowCompletionNotice();
