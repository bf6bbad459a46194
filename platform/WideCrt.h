// The handful of MS C runtime wide-string functions the program relies on.
// In winelib's default mode wchar_t is 2 bytes (-fshort-wchar) but glibc's
// wcs* functions walk 4-byte units, so none of them may be called; these are
// written for UTF-16 and follow the MS CRT's documented behaviour. The
// Windows build has the runtime itself, and takes _wtol and _itow from it.
#pragma once

#include <stddef.h>
#include <stdio.h>
#include <windows.h>

#include "platform/WideStdio.h"  // _wfopen

#ifdef __WINE__
// Optional leading white space, an optional sign, decimal digits up to the
// first other character; 0 without digits. Saturates at the 32-bit limits
// as the MS CRT does.
long _wtol(const WCHAR* text);

// Writes value in the given radix (2..36) with a leading minus for negative
// decimal values, like the MS CRT. buffer must hold 33 characters.
WCHAR* _itow(int value, WCHAR* buffer, int radix);
#else
#include <stdlib.h>
#endif

// UTF-16 counterparts of wcslen and wcscmp (ordinal, code unit by unit).
size_t WideLength(const WCHAR* text);
int WideCompare(const WCHAR* a, const WCHAR* b);

// Copies source into a field of capacity characters (terminator included).
// Copies nothing and returns false when the text does not fit, so that a
// path is never silently cut into a different one.
bool WideCopy(WCHAR* field, size_t capacity, const WCHAR* source);

// Appends source to the text in a field of capacity characters; on overflow
// leaves the field unchanged and returns false.
bool WideAppend(WCHAR* field, size_t capacity, const WCHAR* source);
