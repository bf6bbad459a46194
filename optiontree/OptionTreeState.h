// The options tree's per-window state and the operations its window and
// input halves share. Private to the control.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "optiontree/OptionTree.h"

struct OptionTreeState {
    HWND hwnd;
    HWND editor;  // the single in-place editor, hidden while unused
    HIMAGELIST imageList;
    int glyphCollapsed;
    int glyphExpanded;
    int glyphUnchecked;
    int glyphChecked;
    int glyphDropDown;
    OptionItem* items;
    int itemCount;
    int current;  // index of the current record, -1 for none
    int currentTop;
    HWND activeEditor;  // editor while a Number or Text row is current
    int scrollPos;
    int minValueWidth;
    HFONT fontNormal;
    HFONT fontBold;
    int clientWidth;
    int clientHeight;
    int labelColumnWidth;
    int indent;
    int glyphWidth;
    int glyphHeight;
    int textHeight;
    int rowHeight;
    int textTop;
    int textBottom;
};

// Pixel geometry shared by painting and hit testing.
inline int ValueX(const OptionTreeState& state)
{
    const int limit = state.clientWidth - state.minValueWidth;
    return state.labelColumnWidth < limit ? state.labelColumnWidth : limit;
}

inline int ValueRight(const OptionTreeState& state)
{
    return state.clientWidth - state.indent;
}

inline int MidY(const OptionTreeState& state)
{
    return state.rowHeight / 2;
}

// A SCROLLINFO asking for (or setting) the fields in mask.
inline SCROLLINFO ScrollInfo(UINT mask)
{
    SCROLLINFO bar = {};
    bar.cbSize = sizeof bar;
    bar.fMask = mask;
    return bar;
}

// Client y of the top edge of the visible record at index.
int RowTop(const OptionTreeState& state, int index);

// Window side, in OptionTreeWindow.cpp.
void Layout(OptionTreeState* state, int width, int height);
int DrawRow(OptionTreeState* state, HDC dc, int index, int y);
void InvalidateRow(OptionTreeState* state, int top);

// Interaction, in OptionTreeInput.cpp. The OnXxx functions taking the
// message's parameters are the window procedure's handlers.
LRESULT OnClick(OptionTreeState* state, WPARAM keyFlags, LPARAM point);  // WM_LBUTTONDOWN
LRESULT OnKeyDown(OptionTreeState* state, WPARAM key, LPARAM);
LRESULT OnHotKey(OptionTreeState* state, WPARAM, LPARAM keys);
LRESULT OnVScroll(OptionTreeState* state, WPARAM code, LPARAM);
LRESULT OnGetDlgCode(OptionTreeState* state, WPARAM, LPARAM message);
void OnKey(OptionTreeState* state, UINT key);  // WM_KEYDOWN and WM_HOTKEY
void Select(OptionTreeState* state, int index, int top, WPARAM keyFlags, int clickX, int clickY);
// Every change of the scroll position goes through ScrollTo, so that the
// bar and scrollPos never disagree: the bar takes the wanted position
// (bar.nPos, with whatever else bar sets) and clamps it, scrollPos becomes
// what the bar holds, and when that moved, ScrollBy moves the content by
// the difference.
void ScrollTo(OptionTreeState* state, SCROLLINFO bar, BOOL redrawBar, bool movePixels);
void ScrollTo(OptionTreeState* state, int position, bool movePixels);  // the bar redrawn
void ScrollBy(OptionTreeState* state, int delta, bool movePixels);
void Activate(OptionTreeState* state);

// Where the state record comes from: calloc, unless a test makes it fail.
extern void* (*AllocateTreeState)(size_t count, size_t size);
