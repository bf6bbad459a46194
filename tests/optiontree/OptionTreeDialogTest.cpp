// The control inside a dialog, whose message loop would take Return for OK
// and the arrow keys for moving the focus: real keys through the X server.
#include "config/DialogDriver.h"
#include "optiontree/OptionModel.h"
#include "optiontree/OptionTreeState.h"
#include "support/TestSupport.h"

namespace {

const WCHAR* const Entries[] = {L"первый", L"второй"};

OptionItem Rows[3];

void GiveRows()
{
    Rows[0] = OptionItem{1, L"Группа", 0, Group, 1, 0, nullptr, 0, 0};
    Rows[1] = OptionItem{2, L"Флажок", 1, Check, 0, 0, nullptr, 0, 0};
    Rows[2] = OptionItem{3, L"Выбор", 1, Choice, 0, 2, Entries, 0, 0};
}

INT_PTR CALLBACK HostDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_INITDIALOG) {
        RegisterOptionTreeClass();
        HWND tree = CreateWindowExW(0, OPTION_TREE_CLASS, L"",
                                    WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP, 0, 0, 220,
                                    200, dialog, nullptr, GetModuleHandleW(nullptr), nullptr);
        SendMessageW(tree, OTM_SETITEMS, reinterpret_cast<WPARAM>(Rows), 3);
        SetFocus(tree);
        return FALSE;
    }
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}

int RunHostDialog()
{
    struct {
        DLGTEMPLATE header;
        WORD menu, windowClass, title;
    } dialog = {};
    dialog.header.style = WS_POPUP | WS_VISIBLE | WS_BORDER;
    dialog.header.cx = 160;
    dialog.header.cy = 150;
    return static_cast<int>(DialogBoxIndirectParamW(GetModuleHandleW(nullptr), &dialog.header,
                                                    nullptr, HostDialogProc, 0));
}

HWND FindHostDialog()
{
    HWND dialog = FindWindowOfThisProcess(L"#32770", L"");
    return dialog && FindWindowExW(dialog, nullptr, OPTION_TREE_CLASS, nullptr) ? dialog : nullptr;
}

int Current(HWND tree)
{
    return OptionTreeStateOf(tree)->current;
}

}  // namespace

TEST(TreeInADialog, ReturnAndSpaceActivateTheCurrentRowAndArrowsMoveIt)
{
    GiveRows();
    bool onGroup = false, folded = false, unfolded = false, onCheck = false, ticked = false,
         onChoice = false, listOpened = false, picked = false, openThroughout = true;
    int code = RunDriven(RunHostDialog, FindHostDialog, [&](HWND dialog) {
        HWND tree = FindWindowExW(dialog, nullptr, OPTION_TREE_CLASS, nullptr);
        TakesRealKeys(dialog);
        // No hot keys here: Down comes as a plain key and still moves the row.
        PressKeys("Down");
        onGroup = WaitUntil([tree] { return Current(tree) == 0; });
        PressKeys("Return");
        folded = WaitUntil([] { return !Rows[1].visible && !Rows[2].visible; });
        PressKeys("Return");
        unfolded = WaitUntil([] { return Rows[1].visible && Rows[2].visible; });
        PressKeys("Down");
        onCheck = WaitUntil([tree] { return Current(tree) == 1; });
        PressKeys("space");
        ticked = WaitUntil([] { return ItemFlag(Rows[1]); });
        PressKeys("Down");
        onChoice = WaitUntil([tree] { return Current(tree) == 2; });
        openThroughout = IsWindowVisible(dialog) != FALSE;
        PressKeys("Return");
        listOpened = WaitForWindow(FindOpenMenu) != nullptr;
        PressKeys("Down Down Return");  // the second entry
        picked = WaitUntil([] { return Rows[2].value == 1; });
        WaitUntil([] { return !FindOpenMenu(); });
        PressKeys("Escape");
        WaitUntil([dialog] { return !IsWindowVisible(dialog); });
    });
    EXPECT_TRUE(onGroup);
    EXPECT_TRUE(folded);
    EXPECT_TRUE(unfolded);
    EXPECT_TRUE(onCheck);
    EXPECT_TRUE(ticked);
    EXPECT_TRUE(onChoice);
    EXPECT_TRUE(openThroughout);
    EXPECT_TRUE(listOpened);
    EXPECT_TRUE(picked);
    EXPECT_EQ(IDCANCEL, code);
}

TEST(TreeInADialog, ReturnWithoutACurrentRowMeansOk)
{
    GiveRows();
    int code = RunDriven(RunHostDialog, FindHostDialog, [](HWND dialog) {
        TakesRealKeys(dialog);
        PressKeys("Return");
        WaitUntil([dialog] { return !IsWindowVisible(dialog); });
    });
    EXPECT_EQ(IDOK, code);
    EXPECT_TRUE(IsExpanded(Rows[0]));
}
