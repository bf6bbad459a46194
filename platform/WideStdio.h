// The one wide-name file opener, declared without <windows.h> so that code
// which must not see the Windows headers (libjpeg's users) can call it.
// Defined in platform/WideCrt.cpp.
#pragma once

#include <stdio.h>

// Opens a file named by a Windows path; the mode is as for fopen.
FILE* _wfopen(const wchar_t* fileName, const wchar_t* mode);
