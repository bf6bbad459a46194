// The program's exit actions (static objects' destructors and what it
// registered with atexit) run while the system's DLLs are still loaded.
#pragma once

#ifdef __WINE__
// Runs the exit actions registered so far, in reverse order of their
// registration, each once; the entry point calls it last, just before it
// returns. Windows' C runtime runs them itself before ExitProcess; a
// winelib program's run only in the host's exit(), which Wine 10 calls
// once every DLL has been detached, and then a bitmap freed in a
// destructor takes the process down (it is killed on its way out).
void RunExitActionsNow();
#else
inline void RunExitActionsNow() {}
#endif
