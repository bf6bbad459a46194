// The one wide-name file opener, declared without <windows.h> so that code
// which must not see the Windows headers (libjpeg's users) can call it.
// Winelib's default mode lacks it: defined in platform/winelib/WineCrt.cpp;
// the Windows build has the runtime's own.
#pragma once

#include <stdio.h>

#ifdef __WINE__
// Opens a file named by a Windows path; the mode is as for fopen.
FILE* _wfopen(const wchar_t* fileName, const wchar_t* mode);
#endif
