#include "config/ConfigItems.h"

#include "app/Settings.h"
#include "platform/WideCrt.h"

OptionItem ConfigItems[ConfigItemCount] = {
    {RowFolder, L"Каталог", 0, Text, 0, 0, nullptr, 0, 0},
    {RowDelay, L"Задержка, сек", 0, Number, 0, 0, nullptr, 0, 0},
    {RowWidth, L"Ширина картинки", 0, Number, 0, 0, nullptr, 0, 0},
    {RowHeight, L"Высота картинки", 0, Number, 0, 0, nullptr, 0, 0},
    {RowFileType, L"Сохранять в jpg", 0, Check, 0, 0, nullptr, 0, 0},
    {RowQuality, L"Качество Jpg", 0, Number, 0, 0, nullptr, 0, 0},
    {RowPlaySound, L"Проиграть звук", 0, Check, 0, 0, nullptr, 0, 0},
    {RowProgress, L"Уведомление", 0, Check, 0, 0, nullptr, 0, 0},
    {RowAutoClose, L"Автозакрытие", 0, Check, 0, 0, nullptr, 0, 0},
};

namespace {

OptionItem& Row(int id)
{
    // All nine ids are in the table; the first row stands in should one
    // ever be missing, so that no lookup dereferences nothing.
    OptionItem* item = FindConfigItem(id);
    return item ? *item : ConfigItems[0];
}

int CheckValue(const OptionItem& item)
{
    return ItemFlag(item) ? 1 : 0;
}

}  // namespace

OptionItem* FindConfigItem(int id)
{
    for (OptionItem& item : ConfigItems)
        if (item.id == id)
            return &item;
    return nullptr;
}

int ConfigTreeItemCount()
{
    int count = 0;
    while (count < ConfigItemCount &&
           !(ConfigItems[count].level == -1 && ConfigItems[count].kind == Group))
        ++count;
    return count;
}

void WriteSettingsToItems()
{
    for (OptionItem& item : ConfigItems) {
        // A row hands the tree a caller's value: a string left from an
        // earlier run in this process must not pass for the tree's own.
        item.changed = 0;
        item.visible = 0;
    }
    SetItemText(Row(RowFolder), AppSettings.Folder);
    SetItemNumber(Row(RowDelay), AppSettings.Delay);
    SetItemNumber(Row(RowWidth), AppSettings.Width);
    SetItemNumber(Row(RowHeight), AppSettings.Height);
    SetItemFlag(Row(RowFileType), AppSettings.FileType != 0);
    SetItemNumber(Row(RowQuality), AppSettings.Quality);
    SetItemFlag(Row(RowPlaySound), AppSettings.PlaySound != 0);
    SetItemFlag(Row(RowProgress), AppSettings.Progress != 0);
    SetItemFlag(Row(RowAutoClose), AppSettings.AutoClose != 0);
}

bool ReadItemsToSettings()
{
    bool folderTaken = true;
    const WCHAR* folder = ItemText(Row(RowFolder));
    if (folder && folder != AppSettings.Folder)
        folderTaken = WideCopy(AppSettings.Folder, MAX_PATH, folder);

    AppSettings.Delay = ItemNumber(Row(RowDelay));
    AppSettings.Width = ItemNumber(Row(RowWidth));
    AppSettings.Height = ItemNumber(Row(RowHeight));
    AppSettings.FileType = CheckValue(Row(RowFileType));
    AppSettings.Quality = ItemNumber(Row(RowQuality));
    AppSettings.PlaySound = CheckValue(Row(RowPlaySound));
    AppSettings.Progress = CheckValue(Row(RowProgress));
    AppSettings.AutoClose = CheckValue(Row(RowAutoClose));
    return folderTaken;
}
