// Stand-ins for the handheld shell functions (aygshell) this platform lacks.
#pragma once

#include <windows.h>

BOOL SHInitExtraControls();
