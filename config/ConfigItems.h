// The dialog's nine option rows and how they meet the settings.
#pragma once

#include "optiontree/OptionItem.h"

const int ConfigItemCount = 9;

// Row ids; rows are always found by id, never by position.
enum ConfigItemId {
    RowFolder = 1,
    RowWidth = 2,
    RowHeight = 3,
    RowFileType = 4,
    RowQuality = 5,
    RowPlaySound = 6,
    RowProgress = 7,
    RowAutoClose = 8,
    RowDelay = 9,
};

// In display order. The options tree edits the values inside.
extern OptionItem ConfigItems[ConfigItemCount];

// The first of the nine rows with this id, or null.
OptionItem* FindConfigItem(int id);

// The rows handed to the tree: those before the first record with level -1
// and kind Group, at most nine.
int ConfigTreeItemCount();

// Writes AppSettings into the rows (the folder row points at the Folder
// setting's own text) and clears their changed and visible flags.
void WriteSettingsToItems();

// Reads the rows back into AppSettings. A folder text that does not fit the
// Folder setting (more than 259 characters) is refused whole: Folder keeps
// what it held, since a cut-off name would be some other folder. Returns
// false when it was refused.
bool ReadItemsToSettings();
