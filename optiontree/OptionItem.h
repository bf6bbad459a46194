// One row of the options tree. The array belongs to the caller; the control
// edits the values inside it and the caller reads them back by id.
#pragma once

#include <windows.h>

enum OptionKind : unsigned int {
    Group = 0,
    Check = 1,
    Number = 3,
    Text = 5,
    Choice = 7,
};

struct OptionItem {
    int id;
    const WCHAR* label;
    int level;
    unsigned int kind;  // an OptionKind; other values show only the caption
    // Number: the signed 32-bit number. Group, Check: the flag in the low
    // byte, the other bits the caller's. Text: the string's address, which
    // on this 64-bit platform needs the full pointer width.
    INT_PTR value;
    int choiceCount;
    const WCHAR* const* choices;
    BYTE changed;
    BYTE visible;
};

inline int ItemNumber(const OptionItem& item)
{
    return static_cast<int>(item.value);
}

inline void SetItemNumber(OptionItem& item, int number)
{
    item.value = number;
}

inline bool ItemFlag(const OptionItem& item)
{
    return (item.value & 0xFF) != 0;
}

inline void SetItemFlag(OptionItem& item, bool on)
{
    item.value = (item.value & ~static_cast<INT_PTR>(0xFF)) | (on ? 1 : 0);
}

inline const WCHAR* ItemText(const OptionItem& item)
{
    return reinterpret_cast<const WCHAR*>(item.value);
}

inline void SetItemText(OptionItem& item, const WCHAR* text)
{
    item.value = reinterpret_cast<INT_PTR>(text);
}
