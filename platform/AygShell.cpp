#include "platform/AygShell.h"

#include <commctrl.h>

#include "platform/Gdi.h"
#include "platform/MessageTable.h"
#include "platform/ShellDialog.h"

namespace {

const UINT_PTR ShellDialogSubclassId = 0x7A5C;

// WM_NCHITTEST answer for the ok button: a code no system part uses, so the
// default handling never acts on it.
const LRESULT HTOKBUTTON = 0x70;

// Made by SHInitDialog and handed to the subclass with the window; the
// subclass frees it at WM_NCDESTROY.
struct ShellDialog {
    DWORD flags;
    bool okButton;
    bool okPressed;
    // The screen's dots per inch, read at SHInitDialog: the strip is measured
    // on every hit test, and on this platform the DPI stays what it was when
    // the process started (a change of screen alters its size only).
    int dpi;
};

// The dialog's record hangs in a window property as well as in the
// subclass, so that other threads (tests, helpers) can find it: the
// subclass list belongs to the window's own thread.
const WCHAR ShellDialogProperty[] = L"TavroShellDialog";

ShellDialog* ShellDialogOf(HWND hDlg)
{
    return static_cast<ShellDialog*>(GetPropW(hDlg, ShellDialogProperty));
}

int ScreenDpi()
{
    HDC screen = GetDC(nullptr);
    int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen)
        ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

int ScaledPixels(const ShellDialog& shell, int pixelsAt96Dpi)
{
    return MulDiv(pixelsAt96Dpi, shell.dpi, 96);
}

// The title strip in window coordinates (origin at the window's top left).
RECT TitleRect(HWND hDlg, const ShellDialog& shell)
{
    RECT window;
    GetWindowRect(hDlg, &window);
    RECT title = {0, 0, window.right - window.left, ScaledPixels(shell, ShellBarHeightAt96Dpi)};
    return title;
}

// The ok button within the title strip, in window coordinates.
RECT OkRect(HWND hDlg, const ShellDialog& shell)
{
    RECT title = TitleRect(hDlg, shell);
    int height = title.bottom - ScaledPixels(shell, 6);
    int width = ScaledPixels(shell, 30);
    int margin = ScaledPixels(shell, 4);
    RECT ok = {title.right - margin - width, (title.bottom - height) / 2, title.right - margin,
               (title.bottom - height) / 2 + height};
    return ok;
}

void DrawOkButton(HDC dc, const RECT& ok, bool pressed, int fontHeight)
{
    COLORREF face = pressed ? ShellColours.accent : ShellColours.onAccent;
    COLORREF text = pressed ? ShellColours.onAccent : ShellColours.accent;
    {
        GdiSelection brush = SelectSolidBrush(dc, face);
        GdiSelection pen = SelectSolidPen(dc, ShellColours.onAccent);
        int corner = (ok.bottom - ok.top);
        RoundRect(dc, ok.left, ok.top, ok.right, ok.bottom, corner, corner);
    }
    GdiSelection font(dc, CreateShellFont(fontHeight), GdiSelection::Owned);
    SetTextColor(dc, text);
    RECT area = ok;
    DrawTextW(dc, L"ok", -1, &area, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
}

void DrawTitleText(HWND hDlg, const ShellDialog& shell, HDC dc, const RECT& title)
{
    GdiSelection font(dc, CreateShellFont(ScaledPixels(shell, 13)), GdiSelection::Owned);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, ShellColours.onAccent);
    WCHAR caption[128];
    GetWindowTextW(hDlg, caption, ARRAYSIZE(caption));
    RECT text = title;
    text.left += ScaledPixels(shell, 6);
    if (shell.okButton)
        text.right = OkRect(hDlg, shell).left - ScaledPixels(shell, 4);
    DrawTextW(dc, caption, -1, &text,
              DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
}

void PaintTitle(HWND hDlg, const ShellDialog& shell)
{
    HDC dc = GetWindowDC(hDlg);
    if (!dc)
        return;
    RECT title = TitleRect(hDlg, shell);
    FillVerticalGradient(dc, title, ShellColours.accent, ShellColours.accentDeep);
    DrawTitleText(hDlg, shell, dc, title);
    if (shell.okButton)
        DrawOkButton(dc, OkRect(hDlg, shell), shell.okPressed, ScaledPixels(shell, 12));
    ReleaseDC(hDlg, dc);
}

bool InWindowRect(HWND hDlg, const RECT& windowRelative, POINT screenPoint)
{
    RECT window;
    GetWindowRect(hDlg, &window);
    POINT p = {screenPoint.x - window.left, screenPoint.y - window.top};
    return PtInRect(&windowRelative, p) != FALSE;
}

void SetOkPressed(HWND hDlg, ShellDialog& shell, bool pressed)
{
    if (shell.okPressed == pressed)
        return;
    shell.okPressed = pressed;
    PaintTitle(hDlg, shell);
}

// ---- The subclass procedure ----

// The client area starts below the title strip.
LRESULT OnNcCalcSize(HWND hDlg, ShellDialog& shell, UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = DefSubclassProc(hDlg, message, wParam, lParam);
    RECT& client = wParam ? reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam)->rgrc[0]
                          : *reinterpret_cast<RECT*>(lParam);
    client.top += ScaledPixels(shell, ShellBarHeightAt96Dpi);
    if (client.top > client.bottom)
        client.top = client.bottom;
    return result;
}

// WM_NCPAINT, WM_NCACTIVATE, WM_SETTEXT: the default handling draws the
// frame (and would draw a caption); the title strip goes over it.
LRESULT OnFrameDrawn(HWND hDlg, ShellDialog& shell, UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = DefSubclassProc(hDlg, message, wParam, lParam);
    PaintTitle(hDlg, shell);
    return result;
}

LRESULT OnNcHitTest(HWND hDlg, ShellDialog& shell, UINT message, WPARAM wParam, LPARAM lParam)
{
    POINT p = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    if (shell.okButton && InWindowRect(hDlg, OkRect(hDlg, shell), p))
        return HTOKBUTTON;
    if (InWindowRect(hDlg, TitleRect(hDlg, shell), p))
        return HTBORDER;  // the handheld's dialog does not move
    return DefSubclassProc(hDlg, message, wParam, lParam);
}

// WM_NCLBUTTONDOWN and WM_NCLBUTTONDBLCLK.
LRESULT OnNcLButtonDown(HWND hDlg, ShellDialog& shell, UINT message, WPARAM hit, LPARAM lParam)
{
    if (hit != static_cast<WPARAM>(HTOKBUTTON))
        return DefSubclassProc(hDlg, message, hit, lParam);
    SetOkPressed(hDlg, shell, true);
    return 0;
}

LRESULT OnNcMouseMove(HWND hDlg, ShellDialog& shell, UINT message, WPARAM hit, LPARAM lParam)
{
    if (hit != static_cast<WPARAM>(HTOKBUTTON))
        SetOkPressed(hDlg, shell, false);
    return DefSubclassProc(hDlg, message, hit, lParam);
}

LRESULT OnNcLButtonUp(HWND hDlg, ShellDialog& shell, UINT message, WPARAM hit, LPARAM lParam)
{
    if (hit != static_cast<WPARAM>(HTOKBUTTON) || !shell.okPressed)
        return DefSubclassProc(hDlg, message, hit, lParam);
    SetOkPressed(hDlg, shell, false);
    SendMessageW(hDlg, WM_COMMAND, MAKEWPARAM(IDOK, 0), 0);
    return 0;
}

LRESULT OnDisplayChange(HWND hDlg, ShellDialog& shell, UINT message, WPARAM wParam,
                        LPARAM lParam)
{
    ApplyShellDialogSize(hDlg, shell.flags);
    return DefSubclassProc(hDlg, message, wParam, lParam);
}

LRESULT CALLBACK ShellDialogSubclass(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam,
                                     UINT_PTR, DWORD_PTR data);

// The record goes with the window, after the subclass has let go of it.
LRESULT OnNcDestroy(HWND hDlg, ShellDialog& shell, UINT message, WPARAM wParam, LPARAM lParam)
{
    RemoveWindowSubclass(hDlg, ShellDialogSubclass, ShellDialogSubclassId);
    RemovePropW(hDlg, ShellDialogProperty);
    delete &shell;
    return DefSubclassProc(hDlg, message, wParam, lParam);
}

using ShellDialogMessageHandler = LRESULT (*)(HWND hDlg, ShellDialog& shell, UINT message,
                                              WPARAM wParam, LPARAM lParam);

const MessageEntry<ShellDialogMessageHandler> ShellDialogMessages[] = {
    {WM_NCCALCSIZE, OnNcCalcSize},
    {WM_NCPAINT, OnFrameDrawn},
    {WM_NCACTIVATE, OnFrameDrawn},
    {WM_SETTEXT, OnFrameDrawn},
    {WM_NCHITTEST, OnNcHitTest},
    {WM_NCLBUTTONDOWN, OnNcLButtonDown},
    {WM_NCLBUTTONDBLCLK, OnNcLButtonDown},
    {WM_NCMOUSEMOVE, OnNcMouseMove},
    {WM_NCLBUTTONUP, OnNcLButtonUp},
    {WM_DISPLAYCHANGE, OnDisplayChange},
    {WM_NCDESTROY, OnNcDestroy},
};

// The subclass's data is the dialog's record: this procedure always has it.
LRESULT CALLBACK ShellDialogSubclass(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam,
                                     UINT_PTR, DWORD_PTR data)
{
    const ShellDialogMessageHandler handler = FindMessageHandler(ShellDialogMessages, message);
    if (!handler)
        return DefSubclassProc(hDlg, message, wParam, lParam);
    return handler(hDlg, *reinterpret_cast<ShellDialog*>(data), message, wParam, lParam);
}

// The dialog's record, made and handed to a new subclass on the first
// SHInitDialog; null when the subclass cannot be set.
ShellDialog* AttachShellDialog(HWND hDlg)
{
    if (ShellDialog* shell = ShellDialogOf(hDlg))
        return shell;
    auto* shell = new ShellDialog{};
    if (!SetWindowSubclass(hDlg, ShellDialogSubclass, ShellDialogSubclassId,
                           reinterpret_cast<DWORD_PTR>(shell))) {
        delete shell;
        return nullptr;
    }
    SetPropW(hDlg, ShellDialogProperty, shell);
    return shell;
}

}  // namespace

int ShellBarHeight()
{
    return MulDiv(ShellBarHeightAt96Dpi, ScreenDpi(), 96);
}

RECT ShellOkButtonRect(HWND hDlg)
{
    RECT none = {0, 0, 0, 0};
    ShellDialog* shell = ShellDialogOf(hDlg);
    if (!shell || !shell->okButton)
        return none;
    RECT ok = OkRect(hDlg, *shell);
    RECT window;
    GetWindowRect(hDlg, &window);
    OffsetRect(&ok, window.left, window.top);
    return ok;
}

RECT ShellDialogRect(DWORD flags, bool hasMenuBar)
{
    RECT screen = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    bool reserveBar = hasMenuBar || (flags & SHIDIF_EMPTYMENU);
    if (reserveBar && !(flags & SHIDIF_FULLSCREENNOMENUBAR))
        screen.bottom -= ShellBarHeight();
    return screen;
}

void ApplyShellDialogSize(HWND hDlg, DWORD flags)
{
    if (!(flags & (SHIDIF_SIZEDLG | SHIDIF_SIZEDLGFULLSCREEN | SHIDIF_FULLSCREENNOMENUBAR)))
        return;
    RECT area = ShellDialogRect(flags, FindShellMenuBar(hDlg) != nullptr);
    SetWindowPos(hDlg, nullptr, area.left, area.top, area.right - area.left,
                 area.bottom - area.top, SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

BOOL SHInitDialog(PSHINITDLGINFO info)
{
    if (!info || !IsWindow(info->hDlg))
        return FALSE;
    if (!(info->dwMask & SHIDIM_FLAGS))
        return TRUE;
    HWND hDlg = info->hDlg;
    ShellDialog* shell = AttachShellDialog(hDlg);
    if (!shell)
        return FALSE;
    shell->flags = info->dwFlags;
    shell->dpi = ScreenDpi();
    LONG_PTR exStyle = GetWindowLongPtrW(hDlg, GWL_EXSTYLE);
    shell->okButton = (info->dwFlags & SHIDIF_DONEBUTTON) ||
                      (static_cast<DWORD>(exStyle) & WS_EX_CAPTIONOKBTN);

    // The title strip replaces the desktop caption and its frame.
    LONG_PTR style = GetWindowLongPtrW(hDlg, GWL_STYLE);
    SetWindowLongPtrW(hDlg, GWL_STYLE, style & ~static_cast<LONG_PTR>(WS_CAPTION | WS_THICKFRAME));
    SetWindowLongPtrW(hDlg, GWL_EXSTYLE,
                      exStyle & ~static_cast<LONG_PTR>(WS_EX_WINDOWEDGE | WS_EX_DLGMODALFRAME));

    if (info->dwFlags & (SHIDIF_SIZEDLG | SHIDIF_SIZEDLGFULLSCREEN | SHIDIF_FULLSCREENNOMENUBAR))
        ApplyShellDialogSize(hDlg, info->dwFlags);
    else
        SetWindowPos(hDlg, nullptr, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    return TRUE;
}

BOOL SHInitExtraControls()
{
    return TRUE;
}

HFONT CreateShellFont(int pixelHeight)
{
    return CreateFontW(-pixelHeight, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                       DEFAULT_PITCH | FF_SWISS, L"Tahoma");
}
