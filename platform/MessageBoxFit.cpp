#include "platform/MessageBoxFit.h"

#include <commctrl.h>

#include "platform/AygShell.h"
#include "platform/Gdi.h"

namespace {

const int MinimumMargin = 8;

bool HasClass(HWND window, const WCHAR* name)
{
    WCHAR className[32];
    return GetClassNameW(window, className, ARRAYSIZE(className)) && !lstrcmpiW(className, name);
}

RECT ChildRect(HWND child)
{
    RECT rect;
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// The message text: the box's static control with the longest text.
HWND FindMessageText(HWND box)
{
    HWND best = nullptr;
    int bestLength = 0;
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (!HasClass(child, L"Static"))
            continue;
        int length = GetWindowTextLengthW(child);
        if (length > bestLength) {
            best = child;
            bestLength = length;
        }
    }
    return best;
}

int WrappedTextHeight(HWND text, int width)
{
    int length = GetWindowTextLengthW(text);
    WCHAR* buffer = new WCHAR[length + 1];
    GetWindowTextW(text, buffer, length + 1);
    HDC dc = GetDC(text);
    RECT area = {0, 0, width, 0};
    {
        GdiSelection font(dc, reinterpret_cast<HFONT>(SendMessageW(text, WM_GETFONT, 0, 0)));
        DrawTextW(dc, buffer, -1, &area,
                  DT_LEFT | DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX | DT_CALCRECT);
    }
    ReleaseDC(text, dc);
    delete[] buffer;
    return area.bottom;
}

// The lowest edge of the box's statics other than the text (its icon).
int OtherStaticsBottom(HWND box, HWND text)
{
    int bottom = 0;
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (child == text || !HasClass(child, L"Static") || !IsWindowVisible(child))
            continue;
        RECT rect = ChildRect(child);
        bottom = rect.bottom > bottom ? rect.bottom : bottom;
    }
    return bottom;
}

// Moves the buttons down by dy and centres them as a group across width.
void PlaceButtons(HWND box, int dy, int clientWidth)
{
    int left = clientWidth, right = 0;
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (!HasClass(child, L"Button"))
            continue;
        RECT button = ChildRect(child);
        left = button.left < left ? button.left : left;
        right = button.right > right ? button.right : right;
    }
    if (right <= left)
        return;
    int dx = (clientWidth - (right - left)) / 2 - left;
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (!HasClass(child, L"Button"))
            continue;
        RECT button = ChildRect(child);
        SetWindowPos(child, nullptr, button.left + dx, button.top + dy, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

// The handheld shows a box's caption in the shell's title strip. A desktop
// caption is left to the window manager, and on a screen without one the
// box would have none at all; the strip is drawn by this program, with or
// without one. A thin border stays to set the box off from what it covers.
void GiveTitleStrip(HWND box)
{
    RECT client;
    GetClientRect(box, &client);
    SHINITDLGINFO shell = {SHIDIM_FLAGS, box, 0};
    if (!SHInitDialog(&shell))
        return;
    SetWindowLongPtrW(box, GWL_STYLE, GetWindowLongPtrW(box, GWL_STYLE) | WS_BORDER);
    SetWindowPos(box, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    // The box laid its contents out for its client area: keep it that size.
    RECT window, now;
    GetWindowRect(box, &window);
    GetClientRect(box, &now);
    SetWindowPos(box, nullptr, 0, 0, window.right - window.left + client.right - now.right,
                 window.bottom - window.top + client.bottom - now.bottom,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

HHOOK ActiveHook = nullptr;
const UINT_PTR FitSubclassId = 0x7A5D;

// The box is fitted as it is first shown: by then it has laid itself out.
LRESULT CALLBACK FitWhenShown(HWND box, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                              DWORD_PTR)
{
    LRESULT result = DefSubclassProc(box, message, wParam, lParam);
    if ((message == WM_SHOWWINDOW && wParam) || message == WM_NCDESTROY) {
        RemoveWindowSubclass(box, FitWhenShown, FitSubclassId);
        if (message == WM_SHOWWINDOW) {
            GiveTitleStrip(box);
            FitMessageBoxToScreen(box);
        }
    }
    return result;
}

// Boxes created while the hook lives are fitted; windows that existed
// before (the dialog that asked) are left alone.
LRESULT CALLBACK WatchNewBoxes(int code, WPARAM wParam, LPARAM lParam)
{
    HWND window = reinterpret_cast<HWND>(wParam);
    if (code == HCBT_CREATEWND && HasClass(window, L"#32770"))
        SetWindowSubclass(window, FitWhenShown, FitSubclassId, 0);
    return CallNextHookEx(ActiveHook, code, wParam, lParam);
}

}  // namespace

void FitMessageBoxToScreen(HWND box)
{
    int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    RECT window, client;
    if (!GetWindowRect(box, &window) || !GetClientRect(box, &client))
        return;
    int width = window.right - window.left;
    int height = window.bottom - window.top;
    int frameWidth = width - client.right;

    HWND text = FindMessageText(box);
    if (width > screenWidth && text) {
        RECT textRect = ChildRect(text);
        int rightMargin = client.right - textRect.right;
        if (rightMargin < MinimumMargin)
            rightMargin = MinimumMargin;
        int newClientWidth = screenWidth - frameWidth;
        int textWidth = newClientWidth - textRect.left - rightMargin;
        if (textWidth > 0) {
            int textHeight = WrappedTextHeight(text, textWidth);
            int oldTextHeight = textRect.bottom - textRect.top;
            if (textHeight < oldTextHeight)
                textHeight = oldTextHeight;
            int otherBottom = OtherStaticsBottom(box, text);
            int oldContent = textRect.bottom > otherBottom ? textRect.bottom : otherBottom;
            int newTextBottom = textRect.top + textHeight;
            int newContent = newTextBottom > otherBottom ? newTextBottom : otherBottom;
            int dy = newContent - oldContent;
            SetWindowPos(text, nullptr, 0, 0, textWidth, textHeight,
                         SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
            PlaceButtons(box, dy, newClientWidth);
            width = screenWidth;
            height += dy;
        }
    }
    int x = (screenWidth - width) / 2;
    int y = (screenHeight - height) / 2;
    SetWindowPos(box, nullptr, x > 0 ? x : 0, y > 0 ? y : 0, width, height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

ScreenFittedMessageBoxes::ScreenFittedMessageBoxes()
    : hook_(SetWindowsHookExW(WH_CBT, WatchNewBoxes, nullptr, GetCurrentThreadId()))
{
    ActiveHook = hook_;
}

ScreenFittedMessageBoxes::~ScreenFittedMessageBoxes()
{
    if (hook_)
        UnhookWindowsHookEx(hook_);
    ActiveHook = nullptr;
}
