// The record rules of the options tree: initial state, folding, toggling,
// picking and storing edited values. No window in here, so every rule can
// be exercised on a plain array.
#pragma once

#include <stddef.h>

#include "optiontree/OptionItem.h"

// The editor's text for a Number is read into this many units (terminator
// included), so only its first NumberTextCapacity - 1 characters count.
const int NumberTextCapacity = 30;

// Where the control's own Text values come from. calloc and free; a test may
// put counting functions here. Whatever the control allocates is released
// with the matching release, and only the control's own allocations are.
struct OptionTextHeap {
    void* (*allocate)(size_t count, size_t size);
    void (*release)(void* block);
};
extern OptionTextHeap TextHeap;

// Visible flags and Group flags by level; changed flags and values kept.
void ApplyInitialState(OptionItem* items, int count);

// Whether the Group at index is unfolded, read from the low byte.
bool IsExpanded(const OptionItem& group);

// Folds or unfolds the Group at index and shows or hides the rows nested
// under it. Does nothing for an index outside the array or a non-Group.
void ToggleGroup(OptionItem* items, int count, int index);

// The user toggled a Check: changed, then the flag inverted.
void ToggleCheck(OptionItem& item);

// The user picked entry index of a Choice (or nothing, index < 0). True when
// the record changed.
bool PickChoice(OptionItem& item, int index);

// Whether a Choice's value names one of its entries; its text or null.
const WCHAR* ChoiceText(const OptionItem& item);

// Stores an edited Number from the editor's text, of which only the first
// NumberTextCapacity - 1 characters count. True when the record changed.
bool StoreNumberText(OptionItem& item, const WCHAR* text);

// A zero-filled buffer of length + 1 units from TextHeap; null when out of
// memory.
WCHAR* AllocateText(size_t length);

// Stores an edited Text given as a buffer from AllocateText, which this
// takes over: kept as the new value when it differs from the current one
// (the previous value released only if the control allocated it), released
// otherwise. True when the record changed.
bool StoreTextBuffer(OptionItem& item, WCHAR* buffer);

// Index of the next / previous visible record after / before from (from may
// be -1 for "before the first"); -1 when there is none.
int NextVisible(const OptionItem* items, int count, int from);
int PreviousVisible(const OptionItem* items, int count, int from);

// How many visible records come before index.
int VisibleRank(const OptionItem* items, int count, int index);
int VisibleCount(const OptionItem* items, int count);
