// Pictures are written under a scratch name beside their final name and
// renamed over it only once complete, so a failed or short write never
// leaves a truncated picture, nor destroys an older one of the same name.
#pragma once

#include <windows.h>

// finalName with its extension replaced by ".tmp" (same length).
bool ScratchNameFor(const WCHAR* finalName, WCHAR* scratch, size_t capacity);

// Moves the complete scratch file over the final name.
bool CommitScratchFile(const WCHAR* scratch, const WCHAR* finalName);

void DiscardScratchFile(const WCHAR* scratch);
