// The JPEG writer's last step before its file takes its name, declared
// without <windows.h> for the compressor, which must not see the Windows
// headers (libjpeg's `boolean`).
#pragma once

#include <stdio.h>

// Sends what the stream holds to the disk: the runtime's buffer to the
// system, then the system's to the medium, so that a power cut after the
// file is renamed finds it whole. False when either step fails.
bool FlushStreamToDisk(FILE* stream);
