#include "optiontree/OptionModel.h"

#include <stdlib.h>

#include "platform/WideCrt.h"

OptionTextHeap TextHeap = {calloc, free};

void ApplyInitialState(OptionItem* items, int count)
{
    for (int i = 0; i < count; ++i) {
        OptionItem& item = items[i];
        item.visible = item.level <= 1 ? 1 : 0;
        if (item.kind == Group)
            SetItemFlag(item, item.level <= 0);
    }
}

bool IsExpanded(const OptionItem& group)
{
    return ItemFlag(group);
}

void ToggleGroup(OptionItem* items, int count, int index)
{
    if (!items || index < 0 || index >= count || items[index].kind != Group)
        return;
    OptionItem& group = items[index];
    const bool expanded = !IsExpanded(group);
    SetItemFlag(group, expanded);
    for (int i = index + 1; i < count && items[i].level > group.level; ++i) {
        OptionItem& nested = items[i];
        if (expanded) {
            if (nested.level == group.level + 1)
                nested.visible = 1;
        } else {
            nested.visible = 0;
            if (nested.kind == Group)
                SetItemFlag(nested, false);
        }
    }
}

void ToggleCheck(OptionItem& item)
{
    item.changed = 1;
    SetItemFlag(item, !ItemFlag(item));
}

bool PickChoice(OptionItem& item, int index)
{
    if (index < 0 || index >= item.choiceCount || index == item.value)
        return false;
    item.value = index;
    item.changed = 1;
    return true;
}

const WCHAR* ChoiceText(const OptionItem& item)
{
    if (!item.choices || item.value < 0 || item.value >= item.choiceCount)
        return nullptr;
    return item.choices[item.value];
}

bool StoreNumberText(OptionItem& item, const WCHAR* text)
{
    WCHAR counted[NumberTextCapacity] = {};
    for (int i = 0; text && i < NumberTextCapacity - 1 && text[i]; ++i)
        counted[i] = text[i];
    const int number = static_cast<int>(_wtol(counted));
    if (number == ItemNumber(item))
        return false;
    SetItemNumber(item, number);
    item.changed = 1;
    return true;
}

WCHAR* AllocateText(size_t length)
{
    return static_cast<WCHAR*>(TextHeap.allocate(length + 1, sizeof(WCHAR)));
}

bool StoreTextBuffer(OptionItem& item, WCHAR* buffer)
{
    if (!buffer)
        return false;
    const WCHAR* current = ItemText(item);
    if (current && WideCompare(buffer, current) == 0) {
        TextHeap.release(buffer);
        return false;
    }
    if (item.changed == 1)
        TextHeap.release(const_cast<WCHAR*>(current));
    SetItemText(item, buffer);
    item.changed = 1;
    return true;
}

int NextVisible(const OptionItem* items, int count, int from)
{
    for (int i = from < 0 ? 0 : from + 1; items && i < count; ++i) {
        if (items[i].visible)
            return i;
    }
    return -1;
}

int PreviousVisible(const OptionItem* items, int count, int from)
{
    if (from > count)
        from = count;
    for (int i = from - 1; items && i >= 0; --i) {
        if (items[i].visible)
            return i;
    }
    return -1;
}

int VisibleRank(const OptionItem* items, int count, int index)
{
    int rank = 0;
    for (int i = 0; items && i < index && i < count; ++i)
        rank += items[i].visible ? 1 : 0;
    return rank;
}

int VisibleCount(const OptionItem* items, int count)
{
    return VisibleRank(items, count, count);
}
