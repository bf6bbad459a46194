// Wine's mapping of a Windows path onto a Unix one, as each build reaches
// it: the winelib build links it, the Windows program looks it up at run
// time. Within the platform layer only.
#pragma once

#include <windows.h>

typedef char*(CDECL* UnixNameOf)(LPCWSTR dosName);

// The mapping, or null where there is none (Windows itself). What it
// returns is a UTF-8 path on the process heap, or null when the parent
// folder does not exist.
UnixNameOf WineUnixNameOf();
