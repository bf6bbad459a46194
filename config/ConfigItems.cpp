#include "config/ConfigItems.h"

#include "app/Settings.h"
#include "platform/WideCrt.h"

OptionItem ConfigItems[ConfigItemCount] = {
    {FolderItem, L"Каталог", 0, Text, 0, 0, nullptr, 0, 0},
    {DelayItem, L"Задержка, сек", 0, Number, 0, 0, nullptr, 0, 0},
    {WidthItem, L"Ширина картинки", 0, Number, 0, 0, nullptr, 0, 0},
    {HeightItem, L"Высота картинки", 0, Number, 0, 0, nullptr, 0, 0},
    {FileTypeItem, L"Сохранять в jpg", 0, Check, 0, 0, nullptr, 0, 0},
    {QualityItem, L"Качество Jpg", 0, Number, 0, 0, nullptr, 0, 0},
    {PlaySoundItem, L"Проиграть звук", 0, Check, 0, 0, nullptr, 0, 0},
    {ProgressItem, L"Уведомление", 0, Check, 0, 0, nullptr, 0, 0},
    {AutoCloseItem, L"Автозакрытие", 0, Check, 0, 0, nullptr, 0, 0},
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
    SetItemText(Row(FolderItem), AppSettings.Folder);
    SetItemNumber(Row(DelayItem), AppSettings.Delay);
    SetItemNumber(Row(WidthItem), AppSettings.Width);
    SetItemNumber(Row(HeightItem), AppSettings.Height);
    SetItemFlag(Row(FileTypeItem), AppSettings.FileType != 0);
    SetItemNumber(Row(QualityItem), AppSettings.Quality);
    SetItemFlag(Row(PlaySoundItem), AppSettings.PlaySound != 0);
    SetItemFlag(Row(ProgressItem), AppSettings.Progress != 0);
    SetItemFlag(Row(AutoCloseItem), AppSettings.AutoClose != 0);
}

bool ReadItemsToSettings()
{
    bool folderTaken = true;
    const WCHAR* folder = ItemText(Row(FolderItem));
    if (folder && folder != AppSettings.Folder)
        folderTaken = WideCopy(AppSettings.Folder, MAX_PATH, folder);

    AppSettings.Delay = ItemNumber(Row(DelayItem));
    AppSettings.Width = ItemNumber(Row(WidthItem));
    AppSettings.Height = ItemNumber(Row(HeightItem));
    AppSettings.FileType = CheckValue(Row(FileTypeItem));
    AppSettings.Quality = ItemNumber(Row(QualityItem));
    AppSettings.PlaySound = CheckValue(Row(PlaySoundItem));
    AppSettings.Progress = CheckValue(Row(ProgressItem));
    AppSettings.AutoClose = CheckValue(Row(AutoCloseItem));
    return folderTaken;
}
