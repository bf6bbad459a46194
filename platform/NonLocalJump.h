// The recovery point that a C library's error hook jumps back to, past the
// library's own frames (libjpeg's error_exit must never return into it).
// Free of <windows.h>, like its users.
//
// In the winelib build the name that glibc's setjmp expands to, _setjmp, is
// also exported by Wine's ntdll for Windows programs (Wine 10 and later),
// and the link takes that one: a function with another calling convention
// and a frame argument, which writes through whatever the argument register
// holds. glibc's own entry, reached under its POSIX name sigsetjmp, is not
// taken over. The signal mask is left alone, as _setjmp leaves it.
#pragma once

#include <setjmp.h>

#if defined(__WINE__) && defined(__GLIBC__)
typedef sigjmp_buf RecoveryPoint;
#define SET_RECOVERY_POINT(point) sigsetjmp((point), 0)
#define JUMP_TO_RECOVERY_POINT(point, value) siglongjmp((point), (value))
#else
typedef jmp_buf RecoveryPoint;
#define SET_RECOVERY_POINT(point) setjmp(point)
#define JUMP_TO_RECOVERY_POINT(point, value) longjmp((point), (value))
#endif
