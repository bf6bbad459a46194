#include "platform/MenuBarTemplate.h"

bool ParseMenuBarTemplate(const WORD* words, size_t wordCount, MenuBarTemplate& result)
{
    result = MenuBarTemplate{};
    if (!words || wordCount < 2)
        return false;
    int count = words[1];
    if (count > MaxMenuBarButtons)
        return false;
    if (wordCount < 2 + static_cast<size_t>(count) * MenuBarWordsPerButton)
        return false;

    result.menuId = words[0];
    result.buttonCount = count;
    for (int i = 0; i < count; ++i) {
        const WORD* record = words + 2 + i * MenuBarWordsPerButton;
        MenuBarButton& button = result.buttons[i];
        button.image = static_cast<short>(record[0]);
        button.command = record[1];
        button.state = static_cast<BYTE>(record[2]);
        button.style = static_cast<BYTE>(record[3]);
        button.labelId = record[4];
        button.popupIndex = record[6] == MenuBarNoPopup ? -1 : record[6];
    }
    return true;
}

RECT MenuBarKeyRect(int barWidth, int barHeight, int count, int index)
{
    RECT key = {0, 0, 0, 0};
    if (count <= 0 || index < 0 || index >= count || barWidth <= 0)
        return key;
    int share = barWidth / count;
    key.left = share * index;
    key.right = index == count - 1 ? barWidth : key.left + share;
    key.bottom = barHeight;
    return key;
}

int MenuBarKeyAt(int barWidth, int count, int x)
{
    for (int i = 0; i < count; ++i) {
        RECT key = MenuBarKeyRect(barWidth, 1, count, i);
        if (x >= key.left && x < key.right)
            return i;
    }
    return -1;
}
