// The MS C runtime's wide functions that winelib's default mode lacks; the
// Windows build has the runtime's own.
#include <limits.h>

#include "platform/ExitActions.h"
#include "platform/HostFiles.h"
#include "platform/WideCrt.h"

FILE* _wfopen(const WCHAR* fileName, const WCHAR* mode)
{
    char unixPath[4096];
    char narrowMode[16];
    if (!fileName || !mode || !UnixPathOf(fileName, unixPath, sizeof unixPath))
        return nullptr;
    size_t i = 0;
    for (; mode[i] && i + 1 < sizeof narrowMode; ++i) {
        if (mode[i] > 0x7F)
            return nullptr;
        narrowMode[i] = static_cast<char>(mode[i]);
    }
    narrowMode[i] = 0;
    return fopen(unixPath, narrowMode);
}

static bool IsCrtSpace(WCHAR c)
{
    return c == L' ' || (c >= L'\t' && c <= L'\r');
}

long _wtol(const WCHAR* text)
{
    if (!text)
        return 0;
    while (IsCrtSpace(*text))
        ++text;
    bool negative = false;
    if (*text == L'-' || *text == L'+')
        negative = *text++ == L'-';
    long long magnitude = 0;
    const long long limit = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
    for (; *text >= L'0' && *text <= L'9'; ++text) {
        magnitude = magnitude * 10 + (*text - L'0');
        if (magnitude > limit)
            return negative ? INT_MIN : INT_MAX;
    }
    return static_cast<long>(negative ? -magnitude : magnitude);
}

WCHAR* _itow(int value, WCHAR* buffer, int radix)
{
    if (!buffer)
        return buffer;
    if (radix < 2 || radix > 36) {
        buffer[0] = 0;
        return buffer;
    }
    bool negative = radix == 10 && value < 0;
    // Other radixes show the two's-complement bits, as the MS CRT does.
    unsigned int rest = negative ? 0u - static_cast<unsigned int>(value)
                                 : static_cast<unsigned int>(value);
    WCHAR digits[33];
    int count = 0;
    do {
        unsigned int digit = rest % radix;
        digits[count++] = static_cast<WCHAR>(digit < 10 ? L'0' + digit : L'a' + digit - 10);
        rest /= radix;
    } while (rest);
    int out = 0;
    if (negative)
        buffer[out++] = L'-';
    while (count)
        buffer[out++] = digits[--count];
    buffer[out] = 0;
    return buffer;
}

extern "C" void __cxa_finalize(void* module);
extern "C" void* __dso_handle;

void RunExitActionsNow()
{
    // What the module's own finalisation runs: every action this module
    // registered, once; the host's exit() later finds them done.
    __cxa_finalize(&__dso_handle);
}
