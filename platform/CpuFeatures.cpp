#include "platform/CpuFeatures.h"

bool CpuHasSsse3()
{
#if defined(__x86_64__) || defined(__i386__)
    // The runtime fills in the processor's features from a constructor;
    // asking first makes the answer right even for a caller that runs
    // during static initialisation, before that constructor.
    __builtin_cpu_init();
    return __builtin_cpu_supports("ssse3");
#else
    return false;
#endif
}
