#include "platform/WideCrt.h"

#include <string.h>

size_t WideLength(const WCHAR* text)
{
    size_t length = 0;
    while (text[length])
        ++length;
    return length;
}

int WideCompare(const WCHAR* a, const WCHAR* b)
{
    while (*a && *a == *b) {
        ++a;
        ++b;
    }
    return static_cast<int>(static_cast<unsigned short>(*a)) -
           static_cast<int>(static_cast<unsigned short>(*b));
}

bool WideCopy(WCHAR* field, size_t capacity, const WCHAR* source)
{
    size_t length = WideLength(source);
    if (length >= capacity)
        return false;
    memcpy(field, source, (length + 1) * sizeof(WCHAR));
    return true;
}

bool WideAppend(WCHAR* field, size_t capacity, const WCHAR* source)
{
    size_t used = WideLength(field);
    if (used >= capacity)
        return false;
    return WideCopy(field + used, capacity - used, source);
}
