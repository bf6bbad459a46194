// SHCreateMenuBar: the soft keys along the bottom of the screen.
#include <windows.h>
#include <commctrl.h>

#include <stdlib.h>

#include "platform/AygShell.h"
#include "platform/Gdi.h"
#include "platform/MenuBarTemplate.h"
#include "platform/MessageTable.h"
#include "platform/ShellDialog.h"

ShellRecordHeap MenuBarRecords = {calloc, free};

namespace {

const int MaxLabel = 64;

// Posted to the bar when it has been made the active window: by then the
// activation that brought it there has run its course, and the bar can
// hand it on.
const UINT MBM_RETURNACTIVATION = WM_USER + 1;

struct MenuBar {
    HWND owner;
    HMENU menu;  // null when the bar's buttons have no popups to open
    HFONT font;
    COLORREF background;
    bool customBackground;
    int pressed;  // the key held down or whose popup is open; -1 none
    int height;  // the bar's height at the dpi it was made for, as its font
    bool tracking;  // the stylus is down on a key
    MenuBarTemplate layout;
    WCHAR labels[MaxMenuBarButtons][MaxLabel];
};

// The record is SHCreateMenuBar's until the bar window takes it over at
// WM_NCCREATE; from then on it is the window's, freed at WM_NCDESTROY,
// which the window gets even when its creation fails after WM_NCCREATE.
// SHCreateMenuBar frees it only when no window took it.
struct MenuBarHandOver {
    MenuBar* record;  // null once the window has it
};

MenuBar* MenuBarOf(HWND bar)
{
    return reinterpret_cast<MenuBar*>(GetWindowLongPtrW(bar, GWLP_USERDATA));
}

void FreeMenuBar(MenuBar* state)
{
    if (!state)
        return;
    if (state->menu)
        DestroyMenu(state->menu);
    if (state->font)
        DeleteObject(state->font);
    MenuBarRecords.release(state);
}

RECT BarRect()
{
    int height = ShellBarHeight();
    int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    RECT bar = {0, screenHeight - height, screenWidth, screenHeight};
    return bar;
}

void PlaceBar(HWND bar)
{
    RECT area = BarRect();
    SetWindowPos(bar, nullptr, area.left, area.top, area.right - area.left,
                 area.bottom - area.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

// The owner must end where the bar begins.
void KeepOwnerAboveBar(HWND owner)
{
    RECT window;
    if (!GetWindowRect(owner, &window))
        return;
    RECT bar = BarRect();
    if (window.bottom > bar.top && window.top < bar.top)
        SetWindowPos(owner, nullptr, 0, 0, window.right - window.left, bar.top - window.top,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

RECT KeyRect(HWND bar, const MenuBar& state, int index)
{
    RECT client;
    GetClientRect(bar, &client);
    return MenuBarKeyRect(client.right, client.bottom, state.layout.buttonCount, index);
}

// ---- Painting ----

// The bar's measures are the handheld's at 96 dpi and grow with the bar,
// which follows the dpi.
int Scaled(const MenuBar& state, int pixelsAt96Dpi)
{
    return MulDiv(pixelsAt96Dpi, state.height, ShellBarHeightAt96Dpi);
}

// A small triangle pointing up, 7 x 4 pixels at 96 dpi: this key opens a
// menu above the bar.
void DrawPopupMark(HDC dc, const MenuBar& state, int x, int middleY, COLORREF colour)
{
    GdiSelection brush = SelectSolidBrush(dc, colour);
    GdiSelection pen = SelectSolidPen(dc, colour);
    const int half = Scaled(state, 3);
    const int markHeight = Scaled(state, 4);
    const int base = middleY + markHeight / 2;
    POINT mark[3] = {{x, base}, {x + 2 * half, base}, {x + half, base - markHeight + 1}};
    Polygon(dc, mark, 3);
}

void DrawLine(HDC dc, POINT from, POINT to, COLORREF colour)
{
    GdiSelection pen = SelectSolidPen(dc, colour);
    MoveToEx(dc, from.x, from.y, nullptr);
    LineTo(dc, to.x, to.y);
}

void PaintKey(HDC dc, HWND bar, const MenuBar& state, int index)
{
    const MenuBarButton& button = state.layout.buttons[index];
    RECT key = KeyRect(bar, state, index);
    key.top += 1;  // below the bar's top line
    bool pressed = state.pressed == index;
    if (pressed)
        FillSolid(dc, key, ShellColours.accent);
    bool enabled = (button.state & TBSTATE_ENABLED) != 0;
    COLORREF text = pressed ? ShellColours.onAccent
                            : (enabled ? ShellColours.keyLabel : GetSysColor(COLOR_GRAYTEXT));
    SetTextColor(dc, text);

    const WCHAR* label = state.labels[index];
    SIZE extent = {0, 0};
    GetTextExtentPoint32W(dc, label, lstrlenW(label), &extent);
    bool hasPopup = button.popupIndex >= 0;
    int markWidth = hasPopup ? Scaled(state, 10) : 0;
    int x = key.left + (key.right - key.left - extent.cx - markWidth) / 2;
    int middle = (key.top + key.bottom) / 2;
    TextOutW(dc, x, middle - extent.cy / 2, label, lstrlenW(label));
    if (hasPopup)
        DrawPopupMark(dc, state, x + extent.cx + Scaled(state, 4), middle, text);

    if (index > 0)  // a divider between keys
        DrawLine(dc, {key.left, key.top + 4}, {key.left, key.bottom - 4}, ShellColours.barLine);
}

LRESULT OnPaint(HWND bar, MenuBar& state, WPARAM, LPARAM)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(bar, &paint);
    RECT client;
    GetClientRect(bar, &client);
    if (state.customBackground)
        FillSolid(dc, client, state.background);
    else
        FillVerticalGradient(dc, client, ShellColours.barTop, ShellColours.barBottom);
    DrawLine(dc, {0, 0}, {client.right, 0}, ShellColours.barLine);
    {
        GdiSelection font(dc, state.font);
        SetBkMode(dc, TRANSPARENT);
        for (int i = 0; i < state.layout.buttonCount; ++i)
            PaintKey(dc, bar, state, i);
    }
    EndPaint(bar, &paint);
    return 0;
}

// ---- The keys ----

void SetPressed(HWND bar, MenuBar& state, int index)
{
    if (state.pressed == index)
        return;
    state.pressed = index;
    InvalidateRect(bar, nullptr, FALSE);
    UpdateWindow(bar);
}

// The popup opens above its key, against the key's outer edge.
UINT TrackKeyPopup(HWND bar, MenuBar& state, int index, HMENU popup)
{
    RECT key = KeyRect(bar, state, index);
    POINT corner = {key.left, 0};
    UINT align = TPM_LEFTALIGN;
    if (index == state.layout.buttonCount - 1 && state.layout.buttonCount > 1) {
        corner.x = key.right;
        align = TPM_RIGHTALIGN;
    }
    ClientToScreen(bar, &corner);
    // The menu belongs to the owner, which gets WM_ENTERMENULOOP and
    // WM_EXITMENULOOP as on the handheld; the pick comes back here.
    return TrackPopupMenuEx(popup, align | TPM_BOTTOMALIGN | TPM_RETURNCMD,
                            corner.x, corner.y, state.owner, nullptr);
}

void PressKey(HWND bar, MenuBar& state, int index)
{
    const MenuBarButton& button = state.layout.buttons[index];
    if (!(button.state & TBSTATE_ENABLED))
        return;
    HMENU popup = button.popupIndex >= 0 && state.menu
                      ? GetSubMenu(state.menu, button.popupIndex)
                      : nullptr;
    if (!popup) {
        SetPressed(bar, state, -1);
        SendMessageW(state.owner, WM_COMMAND, MAKEWPARAM(button.command, 0), 0);
        return;
    }
    SetPressed(bar, state, index);
    UINT command = TrackKeyPopup(bar, state, index, popup);
    // The owner may have ended with the menu's command; the bar goes with it.
    if (!IsWindow(bar))
        return;
    SetPressed(bar, state, -1);
    if (command != 0)
        SendMessageW(state.owner, WM_COMMAND, MAKEWPARAM(command, 0), 0);
}

// ---- The window procedure ----

LRESULT OnMouseActivate(HWND, MenuBar&, WPARAM, LPARAM)
{
    return MA_NOACTIVATE;  // the dialog stays the active window
}

// WS_EX_NOACTIVATE keeps taps from activating the bar, but not the system
// choosing it as the next window when another one closes (an ownerless
// message box, say). The owner, not the bar, is the window the user works
// in.
LRESULT OnActivate(HWND bar, MenuBar&, WPARAM wParam, LPARAM)
{
    if (LOWORD(wParam) != WA_INACTIVE)
        PostMessageW(bar, MBM_RETURNACTIVATION, 0, 0);
    return 0;
}

LRESULT OnReturnActivation(HWND bar, MenuBar& state, WPARAM, LPARAM)
{
    if (GetActiveWindow() != bar)
        return 0;  // something else has been activated meanwhile
    if (IsWindowVisible(state.owner) && IsWindowEnabled(state.owner))
        SetActiveWindow(state.owner);
    return 0;
}

LRESULT OnLButtonDown(HWND bar, MenuBar& state, WPARAM, LPARAM point)
{
    RECT client;
    GetClientRect(bar, &client);
    int key = MenuBarKeyAt(client.right, state.layout.buttonCount,
                           static_cast<short>(LOWORD(point)));
    if (key >= 0) {
        state.tracking = true;
        SetCapture(bar);
        SetPressed(bar, state, key);
    }
    return 0;
}

// A key is pressed when the stylus lifts on the key it went down on.
LRESULT OnLButtonUp(HWND bar, MenuBar& state, WPARAM, LPARAM point)
{
    int key = state.tracking ? state.pressed : -1;
    state.tracking = false;
    if (GetCapture() == bar)
        ReleaseCapture();
    RECT client;
    GetClientRect(bar, &client);
    POINT p = {static_cast<short>(LOWORD(point)), static_cast<short>(HIWORD(point))};
    if (key >= 0 && PtInRect(&client, p) &&
        MenuBarKeyAt(client.right, state.layout.buttonCount, p.x) == key)
        PressKey(bar, state, key);
    else
        SetPressed(bar, state, -1);
    return 0;
}

LRESULT OnCaptureChanged(HWND bar, MenuBar& state, WPARAM, LPARAM newCapture)
{
    if (state.tracking && reinterpret_cast<HWND>(newCapture) != bar) {
        state.tracking = false;
        SetPressed(bar, state, -1);
    }
    return 0;
}

LRESULT OnDisplayChange(HWND bar, MenuBar& state, WPARAM, LPARAM)
{
    PlaceBar(bar);
    KeepOwnerAboveBar(state.owner);
    return 0;
}

LRESULT OnNcDestroy(HWND bar, MenuBar& state, WPARAM, LPARAM)
{
    SetWindowLongPtrW(bar, GWLP_USERDATA, 0);
    FreeMenuBar(&state);
    return 0;
}

using MenuBarMessageHandler = LRESULT (*)(HWND bar, MenuBar& state, WPARAM wParam, LPARAM lParam);

const MessageEntry<MenuBarMessageHandler> MenuBarMessages[] = {
    {WM_MOUSEACTIVATE, OnMouseActivate},
    {WM_ACTIVATE, OnActivate},
    {MBM_RETURNACTIVATION, OnReturnActivation},
    {WM_PAINT, OnPaint},
    {WM_LBUTTONDOWN, OnLButtonDown},
    {WM_LBUTTONUP, OnLButtonUp},
    {WM_CAPTURECHANGED, OnCaptureChanged},
    {WM_DISPLAYCHANGE, OnDisplayChange},
    {WM_NCDESTROY, OnNcDestroy},
};

// The window takes its record over (see MenuBarHandOver).
void OnNcCreate(HWND bar, const CREATESTRUCTW& create)
{
    auto* handOver = static_cast<MenuBarHandOver*>(create.lpCreateParams);
    if (!handOver)
        return;  // not made by SHCreateMenuBar: a bar without a record does nothing
    SetWindowLongPtrW(bar, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(handOver->record));
    handOver->record = nullptr;
}

LRESULT CALLBACK MenuBarProc(HWND bar, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE)
        OnNcCreate(bar, *reinterpret_cast<const CREATESTRUCTW*>(lParam));
    MenuBar* state = MenuBarOf(bar);
    const MenuBarMessageHandler handler = FindMessageHandler(MenuBarMessages, message);
    if (!state || !handler)
        return DefWindowProcW(bar, message, wParam, lParam);
    return handler(bar, *state, wParam, lParam);
}

// ---- Making the bar ----

bool RegisterMenuBarClass(HINSTANCE instance)
{
    WNDCLASSW existing;
    if (GetClassInfoW(instance, SHELL_MENU_BAR_CLASS, &existing))
        return true;
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = MenuBarProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.lpszClassName = SHELL_MENU_BAR_CLASS;
    return RegisterClassW(&windowClass) != 0;
}

bool LoadLayout(HINSTANCE instance, UINT id, MenuBarTemplate& layout)
{
    HRSRC resource = FindResourceW(instance, MAKEINTRESOURCEW(id), reinterpret_cast<LPCWSTR>(RT_RCDATA));
    if (!resource)
        return false;
    HGLOBAL loaded = LoadResource(instance, resource);
    const WORD* words = loaded ? static_cast<const WORD*>(LockResource(loaded)) : nullptr;
    if (!words)
        return false;
    return ParseMenuBarTemplate(words, SizeofResource(instance, resource) / sizeof(WORD), layout);
}

bool NeedsMenu(const MenuBarTemplate& layout)
{
    for (int i = 0; i < layout.buttonCount; ++i)
        if (layout.buttons[i].popupIndex >= 0)
            return true;
    return false;
}

bool LoadButtons(const SHMENUBARINFO& info, MenuBar& state)
{
    if (!LoadLayout(info.hInstRes, info.nToolBarId, state.layout))
        return false;
    if (NeedsMenu(state.layout)) {
        state.menu = LoadMenuW(info.hInstRes, MAKEINTRESOURCEW(state.layout.menuId));
        if (!state.menu)
            return false;
    }
    for (int i = 0; i < state.layout.buttonCount; ++i)
        LoadStringW(info.hInstRes, state.layout.buttons[i].labelId, state.labels[i], MaxLabel);
    return true;
}

MenuBar* BuildMenuBar(const SHMENUBARINFO& info)
{
    auto* state = static_cast<MenuBar*>(MenuBarRecords.allocate(1, sizeof(MenuBar)));
    if (!state)
        return nullptr;
    state->owner = info.hwndParent;
    state->pressed = -1;
    if (!(info.dwFlags & SHCMBF_EMPTYBAR) && !LoadButtons(info, *state)) {
        FreeMenuBar(state);
        return nullptr;
    }
    state->customBackground = (info.dwFlags & SHCMBF_COLORBK) &&
                              info.cbSize >= SHMENUBARINFO_HANDHELD_SIZE;
    state->background = info.clrBk;
    state->height = ShellBarHeight();
    state->font = CreateShellFont(Scaled(*state, 12));
    return state;
}

struct BarSearch {
    HWND owner;
    HWND found;
};

BOOL CALLBACK MatchBar(HWND window, LPARAM lParam)
{
    auto* search = reinterpret_cast<BarSearch*>(lParam);
    WCHAR className[64];
    if (GetWindow(window, GW_OWNER) == search->owner &&
        GetClassNameW(window, className, ARRAYSIZE(className)) &&
        !lstrcmpW(className, SHELL_MENU_BAR_CLASS)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

HWND FindShellMenuBar(HWND owner)
{
    BarSearch search = {owner, nullptr};
    EnumThreadWindows(GetWindowThreadProcessId(owner, nullptr), MatchBar,
                      reinterpret_cast<LPARAM>(&search));
    return search.found;
}

BOOL SHCreateMenuBar(PSHMENUBARINFO info)
{
    if (!info)
        return FALSE;
    info->hwndMB = nullptr;
    if (info->cbSize != SHMENUBARINFO_HANDHELD_SIZE && info->cbSize != sizeof(SHMENUBARINFO))
        return FALSE;
    if (!IsWindow(info->hwndParent))
        return FALSE;

    HINSTANCE classInstance = GetModuleHandleW(nullptr);
    if (!RegisterMenuBarClass(classInstance))
        return FALSE;
    MenuBarHandOver handOver = {BuildMenuBar(*info)};
    if (!handOver.record)
        return FALSE;

    RECT area = BarRect();
    HWND bar = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, SHELL_MENU_BAR_CLASS, L"",
                               WS_POPUP | WS_CLIPSIBLINGS, area.left, area.top,
                               area.right - area.left, area.bottom - area.top, info->hwndParent,
                               nullptr, classInstance, &handOver);
    if (!bar) {
        FreeMenuBar(handOver.record);  // null when the window took it and has freed it
        return FALSE;
    }
    KeepOwnerAboveBar(info->hwndParent);
    if (!(info->dwFlags & SHCMBF_HIDDEN))
        ShowWindow(bar, SW_SHOWNOACTIVATE);
    info->hwndMB = bar;
    return TRUE;
}
