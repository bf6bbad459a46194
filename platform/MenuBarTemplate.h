// The menu-bar resource in the shell's layout (RCDATA of 16-bit words).
#pragma once

#include <windows.h>

#include <stddef.h>

const int MaxMenuBarButtons = 8;
const int MenuBarWordsPerButton = 7;
const WORD MenuBarNoPopup = 0xFFFF;

struct MenuBarButton {
    int image;       // I_IMAGENONE (-2) for a label-only button
    int command;
    BYTE state;      // TBSTATE_*
    BYTE style;      // TBSTYLE_*
    int labelId;     // string resource
    int popupIndex;  // sub-menu of the bar's menu, or -1
};

struct MenuBarTemplate {
    int menuId;
    int buttonCount;
    MenuBarButton buttons[MaxMenuBarButtons];
};

// Reads the words: menu id, button count, then per button its image,
// command, state, style, label string, a reserved word and its popup index
// (0xFFFF: none). False when the words are too few for the count they give
// or the count is beyond MaxMenuBarButtons.
bool ParseMenuBarTemplate(const WORD* words, size_t wordCount, MenuBarTemplate& result);

// Rectangle of button index among count buttons that share a bar of the
// given size in equal parts, the last taking what division leaves over.
RECT MenuBarKeyRect(int barWidth, int barHeight, int count, int index);

// The button under x, or -1.
int MenuBarKeyAt(int barWidth, int count, int x);
