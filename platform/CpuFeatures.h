// What the processor offers beyond the baseline the program is built for.
// Asked at run time, so that one program runs on every processor of its
// family and takes the vector code only where it can execute.
#pragma once

// True when the processor executes SSSE3 instructions; always false where
// the program is not built for x86.
bool CpuHasSsse3();
