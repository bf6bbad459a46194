// The configuration dialog driven as a handheld's d-pad drives it: real
// key presses and taps through the X server, into the dialog's own message
// loop. The same cases run on a screen without a window manager and under
// one (see tests/CMakeLists.txt).
#include <string>

#include "config/ConfigItems.h"
#include "config/DialogDriver.h"
#include "optiontree/OptionTreeState.h"
#include "platform/AygShell.h"
#include "support/TestSupport.h"

namespace {

class DialogByKeys : public ConfigDialogTest {};

// Index of the tree's current row, -1 for none.
int CurrentRow(HWND tree)
{
    const OptionTreeState* state = OptionTreeStateOf(tree);
    return state ? state->current : -1;
}

int RowIndex(int id)
{
    return static_cast<int>(FindConfigItem(id) - ConfigItems);
}

// Presses keys until the row with this id is current: Down from no
// current row selects the first row.
bool WalkDownTo(HWND tree, int id)
{
    const int target = RowIndex(id);
    for (int row = CurrentRow(tree); row < target; ++row) {
        PressKeys("Down");
        if (!WaitUntil([tree, row] { return CurrentRow(tree) == row + 1; }))
            return false;
    }
    return CurrentRow(tree) == target;
}

// Screen point on the caption of the row at index.
POINT CaptionOf(HWND tree, int index)
{
    const OptionTreeState& state = *OptionTreeStateOf(tree);
    POINT point = {10, RowTop(state, index) + state.rowHeight / 2};
    ClientToScreen(tree, &point);
    return point;
}

// The left part of a window's title strip, as the screen shows it.
std::vector<DWORD> TitleOnScreen(HWND window)
{
    RECT area;
    GetWindowRect(window, &area);
    area.right = area.left + 80;
    area.bottom = area.top + ShellBarHeight();
    return ScreenPixels(area);
}

}  // namespace

TEST_F(DialogByKeys, ReturnOnACheckRowTogglesItAndTheDialogStaysOpen)
{
    bool active = false, reached = false, ticked = false, openAfterReturn = false,
         unticked = false;
    int code = RunConfigDialogDriven([&](HWND dialog) {
        HWND tree = TreeOf(dialog);
        active = TakesRealKeys(dialog);
        reached = WalkDownTo(tree, RowFileType);
        PressKeys("Return");
        ticked = WaitUntil([] { return ItemFlag(*FindConfigItem(RowFileType)) != 0; });
        openAfterReturn = IsWindowVisible(dialog) && SettingsValueNames().empty();
        PressKeys("Return");
        unticked = WaitUntil([] { return !ItemFlag(*FindConfigItem(RowFileType)); });
        // Escape keeps its meaning with a Check row current.
        PressKeys("Escape");
        WaitUntil([dialog] { return !IsWindowVisible(dialog); });
    });
    EXPECT_TRUE(active);
    EXPECT_TRUE(reached);
    EXPECT_TRUE(ticked);
    EXPECT_TRUE(openAfterReturn);
    EXPECT_TRUE(unticked);
    EXPECT_EQ(2, code);
    EXPECT_TRUE(SettingsValueNames().empty());
}

TEST_F(DialogByKeys, ReturnAndEscapeInAnOpenEditorStillMeanOkAndCancel)
{
    std::string typed;
    int code = RunConfigDialogDriven([&](HWND dialog) {
        HWND tree = TreeOf(dialog);
        TakesRealKeys(dialog);
        WalkDownTo(tree, RowWidth);
        HWND editor = EditorOf(tree);
        WaitUntil([editor] { return FocusOfThread(editor) == editor; });
        TypeKeys("200");  // over the selected width
        WaitUntil([editor] { return WindowText(editor) == "200"; });
        typed = WindowText(editor);
        PressKeys("Return");
        WaitUntil([dialog] { return !IsWindowVisible(dialog); });
    });
    EXPECT_EQ("200", typed);
    EXPECT_EQ(1, code);
    EXPECT_EQ(200u, ReadDwordSetting(L"Width"));

    ClearSettingsKey();
    ResetSettingsInMemory();
    code = RunConfigDialogDriven([&](HWND dialog) {
        HWND tree = TreeOf(dialog);
        TakesRealKeys(dialog);
        WalkDownTo(tree, RowQuality);
        HWND editor = EditorOf(tree);
        WaitUntil([editor] { return FocusOfThread(editor) == editor; });
        TypeKeys("5");
        WaitUntil([editor] { return WindowText(editor) == "5"; });
        PressKeys("Escape");
        WaitUntil([dialog] { return !IsWindowVisible(dialog); });
    });
    EXPECT_EQ(2, code);
    EXPECT_TRUE(SettingsValueNames().empty());
}

TEST_F(DialogByKeys, AfterATapOnACaptionSpaceAndReturnReachTheRow)
{
    bool current = false, treeFocused = false, ticked = false, unticked = false,
         editorFocused = false;
    int code = RunConfigDialogDriven([&](HWND dialog) {
        HWND tree = TreeOf(dialog);
        TakesRealKeys(dialog);
        const int sound = RowIndex(RowPlaySound);
        ClickScreen(CaptionOf(tree, sound));
        current = WaitUntil([tree, sound] { return CurrentRow(tree) == sound; });
        treeFocused = WaitUntil([tree] { return FocusOfThread(tree) == tree; });
        PressKeys("space");
        ticked = WaitUntil([] { return ItemFlag(*FindConfigItem(RowPlaySound)) != 0; });
        PressKeys("Return");
        unticked = WaitUntil([] { return !ItemFlag(*FindConfigItem(RowPlaySound)); });
        // On a row with an editor the editor takes the focus instead.
        ClickScreen(CaptionOf(tree, RowIndex(RowQuality)));
        HWND editor = EditorOf(tree);
        editorFocused = WaitUntil([editor] { return FocusOfThread(editor) == editor; });
        SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_TRUE(current);
    EXPECT_TRUE(treeFocused);
    EXPECT_TRUE(ticked);
    EXPECT_TRUE(unticked);
    EXPECT_TRUE(editorFocused);
    EXPECT_EQ(2, code);
}

TEST_F(DialogByKeys, AfterTheShortcutMessageTheNavKeysWorkAgain)
{
    RemoveShortcuts();
    bool boxShown = false, captionDrawn = false, boxClosed = false, dialogActiveAgain = false,
         keysHeld = false, downMoved = false, downAgain = false, upMoved = false;
    RunConfigDialogDriven([&](HWND dialog) {
        HWND tree = TreeOf(dialog);
        TakesRealKeys(dialog);
        ClickMenuBarKey(dialog, 1);
        if (!WaitForWindow(FindOpenMenu))
            return;
        PressKeys("Down Return");  // "Создать ярлыки"
        HWND box = WaitForWindow([dialog] { return FindMessageBox(dialog); });
        boxShown = box != nullptr;
        if (!box)
            return;
        // The box's caption stands in a title strip like the dialog's own.
        captionDrawn = WaitUntil([box, dialog] { return TitleOnScreen(box) == TitleOnScreen(dialog); });
        PressKeys("Return");  // the action button closes the box
        boxClosed = WaitUntil([box] { return !IsWindow(box); });

        dialogActiveAgain = TakesRealKeys(dialog);
        keysHeld = WaitUntil([] { return HotKeyHeld(VK_UP) && HotKeyHeld(VK_DOWN); });
        PressKeys("Down");
        downMoved = WaitUntil([tree] { return CurrentRow(tree) == 0; });
        PressKeys("Down");
        downAgain = WaitUntil([tree] { return CurrentRow(tree) == 1; });
        PressKeys("Up");
        upMoved = WaitUntil([tree] { return CurrentRow(tree) == 0; });
        SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    RemoveShortcuts();
    EXPECT_TRUE(boxShown);
    EXPECT_TRUE(captionDrawn);
    EXPECT_TRUE(boxClosed);
    EXPECT_TRUE(dialogActiveAgain);
    EXPECT_TRUE(keysHeld);
    EXPECT_TRUE(downMoved);
    EXPECT_TRUE(downAgain);
    EXPECT_TRUE(upMoved);
}
