#include "config/ConfigDialog.h"

#include <commctrl.h>

#include "app/AppState.h"
#include "app/CounterLock.h"
#include "app/Settings.h"
#include "config/ConfigItems.h"
#include "config/ConfigLayout.h"
#include "config/Shortcuts.h"
#include "optiontree/OptionTree.h"
#include "platform/AygShell.h"
#include "platform/MessageBoxFit.h"
#include "res/resource.h"

namespace {

const WCHAR ConfigAboutText[] =
    L"Tavro ver 1.04\r\n"
    L"\r\n"
    L"Установка\r\n"
    L"Выбери пункт меню \"Создать ярлыки\", созданные ярлыки можно назначить на аппаратные "
    L"кнопки или добавить в лаунчер.";

const DWORD ConfigDialogShellFlags = SHIDIF_DONEBUTTON | SHIDIF_SIZEDLGFULLSCREEN |
                                     SHIDIF_SIPDOWN | SHIDIF_EMPTYMENU | SHIDIF_WANTSCROLLBAR;
const DWORD TabControlStyle = WS_CHILD | WS_VISIBLE | TCS_BOTTOM;
const DWORD OptionTreeStyle = WS_CHILD | WS_CLIPCHILDREN | WS_VSCROLL | WS_TABSTOP;

const int SettingsPage = 0;
const int AboutPage = 1;

const WCHAR ShortcutsCreatedText[] =
    L"Ярлыки созданы.\r\nПовесьте Tavro.lnk на аппаратную кнопку.";

// The dialog's windows, one set per process.
struct ConfigDialogState {
    HWND menuBar;
    HWND tab;
    HWND tree;
    HWND aboutText;
    HWND icon;
    SIZE laidOutFor;  // the dialog's client size the pages were laid out for
};

ConfigDialogState Dialog;

// The handheld's controls take its system font, Tahoma; on this desktop a
// control left alone would take the bold bitmap System font, so the pages
// take the dialog's own Tahoma.
void UseDialogFont(HWND hDlg, HWND control)
{
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(hDlg, WM_GETFONT, 0, 0));
    if (font)
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
}

const UINT_PTR TabPageSubclassId = 1;

// The About text stands on the tab page without a box of its own colour:
// the page's colour is the tab control's to choose.
LRESULT CALLBACK TabPageSubclass(HWND tab, UINT message, WPARAM wParam, LPARAM lParam,
                                 UINT_PTR, DWORD_PTR)
{
    if (message == WM_CTLCOLORSTATIC) {
        HDC dc = reinterpret_cast<HDC>(wParam);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        return reinterpret_cast<LRESULT>(GetStockObject(HOLLOW_BRUSH));
    }
    if (message == WM_NCDESTROY)
        RemoveWindowSubclass(tab, TabPageSubclass, TabPageSubclassId);
    return DefSubclassProc(tab, message, wParam, lParam);
}

void InsertTab(HWND tab, int index, const WCHAR* text)
{
    TCITEMW item = {};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<WCHAR*>(text);
    SendMessageW(tab, TCM_INSERTITEMW, index, reinterpret_cast<LPARAM>(&item));
}

RECT DisplayRect(HWND tab)
{
    RECT display;
    GetClientRect(tab, &display);
    SendMessageW(tab, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&display));
    return display;
}

SIZE ClientSize(HWND hDlg)
{
    RECT client;
    GetClientRect(hDlg, &client);
    SIZE size = {client.right, client.bottom};
    return size;
}

void PlaceChild(HWND child, const RECT& place)
{
    SetWindowPos(child, nullptr, place.left, place.top, place.right - place.left,
                 place.bottom - place.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

// The tab control over the whole client area, and the pages in its display
// rectangle as ComputeConfigLayout places them.
void LayOutPages(HWND hDlg)
{
    Dialog.laidOutFor = ClientSize(hDlg);
    const RECT client = {0, 0, Dialog.laidOutFor.cx, Dialog.laidOutFor.cy};
    PlaceChild(Dialog.tab, client);
    RECT icon = {};
    GetWindowRect(Dialog.icon, &icon);
    SIZE iconSize = {icon.right - icon.left, icon.bottom - icon.top};
    ConfigPageLayout layout = ComputeConfigLayout(DisplayRect(Dialog.tab), iconSize);
    PlaceChild(Dialog.aboutText, layout.aboutText);
    SetWindowPos(Dialog.icon, nullptr, layout.icon.x, layout.icon.y, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    PlaceChild(Dialog.tree, layout.tree);
}

void CreateMenuBar(HWND hDlg)
{
    SHMENUBARINFO bar = {};
    bar.cbSize = SHMENUBARINFO_HANDHELD_SIZE;
    bar.hwndParent = hDlg;
    bar.dwFlags = 0;
    bar.nToolBarId = IDM_CONFIG_MENU;
    bar.hInstRes = AppInstance;
    bar.nBmpId = 0;
    bar.cBmpImages = 0;
    Dialog.menuBar = SHCreateMenuBar(&bar) ? bar.hwndMB : nullptr;
}

// The tab control with its two pages, the icon hidden until its page is
// chosen. Made without a size: LayOutPages places them, at set-up and on a
// change of size.
void CreatePages(HWND hDlg)
{
    Dialog.tab = CreateWindowExW(0, WC_TABCONTROLW, L"", TabControlStyle, 0, 0, 0, 0, hDlg,
                                 nullptr, AppInstance, nullptr);
    UseDialogFont(hDlg, Dialog.tab);
    SetWindowSubclass(Dialog.tab, TabPageSubclass, TabPageSubclassId, 0);
    InsertTab(Dialog.tab, SettingsPage, L"Настройки");
    InsertTab(Dialog.tab, AboutPage, L"О программе");

    Dialog.icon = GetDlgItem(hDlg, IDC_CONFIG_ICON);
    ShowWindow(Dialog.icon, SW_HIDE);

    Dialog.aboutText = CreateWindowExW(0, L"static", ConfigAboutText, WS_CHILD, 0, 0, 0, 0,
                                       Dialog.tab, nullptr, AppInstance, nullptr);
    UseDialogFont(hDlg, Dialog.aboutText);

    RegisterOptionTreeClass();
    Dialog.tree = CreateWindowExW(0, OPTION_TREE_CLASS, L"", OptionTreeStyle, 0, 0, 0, 0,
                                  Dialog.tab, nullptr, AppInstance, nullptr);
}

BOOL OnInitDialog(HWND hDlg)
{
    Dialog = ConfigDialogState{};

    SHINITDLGINFO shell = {SHIDIM_FLAGS, hDlg, ConfigDialogShellFlags};
    SHInitDialog(&shell);
    CreateMenuBar(hDlg);

    SetSettingDefaults();
    LoadSettings();
    WriteSettingsToItems();

    CreatePages(hDlg);
    LayOutPages(hDlg);
    ShowWindow(Dialog.tree, SW_SHOW);

    SendMessageW(hDlg, CFGM_FILLTREE, 0, 0);
    PostMessageW(hDlg, WM_SIZE, 0, 0);
    if (Dialog.tree)
        EnableNavKeys(Dialog.tree);
    return TRUE;
}

// The pages are laid out at set-up; should the screen change size (a
// handheld turned on its side), the shell layer resizes the dialog and the
// pages follow here, by the same rules.
BOOL OnSize(HWND hDlg)
{
    if (!Dialog.tab || GetParent(Dialog.tab) != hDlg)
        return FALSE;
    SIZE size = ClientSize(hDlg);
    if (size.cx == Dialog.laidOutFor.cx && size.cy == Dialog.laidOutFor.cy)
        return FALSE;
    LayOutPages(hDlg);
    InvalidateRect(hDlg, nullptr, TRUE);
    return FALSE;  // the default handling has its turn as well
}

BOOL OnFillTree(HWND hDlg)
{
    SendMessageW(Dialog.tree, OTM_SETITEMS, reinterpret_cast<WPARAM>(ConfigItems),
                 ConfigTreeItemCount());
    SendMessageW(hDlg, WM_SIZE, 0, 0);
    if (Dialog.tree)  // a null window would invalidate every window there is
        InvalidateRect(Dialog.tree, nullptr, FALSE);
    return TRUE;
}

void SwitchPage()
{
    LRESULT page = SendMessageW(Dialog.tab, TCM_GETCURSEL, 0, 0);
    ShowWindow(Dialog.tree, page == SettingsPage ? SW_SHOW : SW_HIDE);
    ShowWindow(Dialog.aboutText, page == AboutPage ? SW_SHOW : SW_HIDE);
    ShowWindow(Dialog.icon, page == AboutPage ? SW_SHOW : SW_HIDE);
}

BOOL OnNotify(const NMHDR* header)
{
    if (header && header->hwndFrom == Dialog.tab &&
        header->code == static_cast<UINT>(TCN_SELCHANGE))
        SwitchPage();
    return FALSE;
}

void OnOk(HWND hDlg)
{
    if (OptionTreeState* tree = Dialog.tree ? OptionTreeStateOf(Dialog.tree) : nullptr)
        CommitEdit(tree);
    ReadItemsToSettings();
    {
        // Captures taken while the dialog was open have moved the counter
        // on: it is stored as it stands now, not as it was loaded.
        CounterLock lock;
        if (lock.Held()) {
            ReloadCounter();
            SaveSettings(false);
            RecordStoredCounter();
        } else {
            SaveSettingsExceptCounter();
        }
    }
    EndDialog(hDlg, ConfigEndOk);
}

void OnCreateShortcuts()
{
    if (CreateShortcuts(false)) {
        ScreenFittedMessageBoxes fitted;
        MessageBoxW(nullptr, ShortcutsCreatedText, L"Tavro", MB_OK | MB_ICONINFORMATION);
    }
}

BOOL OnCommand(HWND hDlg, WORD command)
{
    switch (command) {
    case IDOK:
        OnOk(hDlg);
        return TRUE;
    case IDCANCEL:
        EndDialog(hDlg, ConfigEndCancel);
        return TRUE;
    case IDC_CREATE_SHORTCUTS:
        OnCreateShortcuts();
        return TRUE;
    default:  // IDC_SOFTKEY_MENU too: the bar opens its menu itself
        return FALSE;
    }
}

void SetNavKeys(bool enabled)
{
    if (!Dialog.tree)
        return;
    if (enabled)
        EnableNavKeys(Dialog.tree);
    else
        DisableNavKeys(Dialog.tree);
}

BOOL OnActivate(WORD activation)
{
    SetNavKeys(activation == WA_ACTIVE || activation == WA_CLICKACTIVE);
    return TRUE;
}

// The soft-key menu's loop: Up and Down are the menu's while it is open.
BOOL OnMenuLoop(bool entering)
{
    SetNavKeys(!entering);
    return TRUE;
}

// The icon stands on the tab page, which is window-coloured, not on a
// square of dialog colour.
INT_PTR OnCtlColorStatic(HDC dc, HWND control)
{
    if (control != Dialog.icon || !Dialog.icon)
        return FALSE;
    SetBkColor(dc, GetSysColor(COLOR_WINDOW));
    return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_WINDOW));
}

BOOL OnClose(HWND hDlg)
{
    if (Dialog.menuBar) {
        DestroyWindow(Dialog.menuBar);
        Dialog.menuBar = nullptr;
    }
    EndDialog(hDlg, ConfigEndClosed);
    return TRUE;
}

}  // namespace

INT_PTR CALLBACK ConfigDialogProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(hDlg);
    case CFGM_FILLTREE:
        return OnFillTree(hDlg);
    case WM_SIZE:
        return OnSize(hDlg);
    case WM_NOTIFY:
        return OnNotify(reinterpret_cast<const NMHDR*>(lParam));
    case WM_COMMAND:
        return OnCommand(hDlg, LOWORD(wParam));
    case WM_ACTIVATE:
        return OnActivate(LOWORD(wParam));
    case WM_ENTERMENULOOP:
    case WM_EXITMENULOOP:
        return OnMenuLoop(message == WM_ENTERMENULOOP);
    case WM_CTLCOLORSTATIC:
        return OnCtlColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_CLOSE:
        return OnClose(hDlg);
    }
    return FALSE;
}

int RunConfigDialog()
{
    HRSRC resource = FindResourceW(AppInstance, MAKEINTRESOURCEW(IDD_CONFIG),
                                   MAKEINTRESOURCEW(5));  // RT_DIALOG
    HGLOBAL dialogTemplate = resource ? LoadResource(AppInstance, resource) : nullptr;
    if (!dialogTemplate)
        return -1;
    return static_cast<int>(DialogBoxIndirectParamW(
        AppInstance, static_cast<LPCDLGTEMPLATEW>(dialogTemplate), nullptr, ConfigDialogProc, 0));
}
