#include "platform/AygShell.h"

#include <commctrl.h>

#include "platform/ShellDialog.h"

namespace {

const UINT_PTR ShellDialogSubclassId = 0x7A5C;

// WM_NCHITTEST answer for the ok button: a code no system part uses, so the
// default handling never acts on it.
const LRESULT HTOKBUTTON = 0x70;

const COLORREF TitleTopColour = RGB(16, 64, 160);
const COLORREF TitleBottomColour = RGB(4, 28, 96);
const COLORREF TitleTextColour = RGB(255, 255, 255);
const COLORREF OkFaceColour = RGB(255, 255, 255);
const COLORREF OkTextColour = RGB(16, 64, 160);

struct ShellDialog {
    DWORD flags;
    bool okButton;
    bool okPressed;
};

// The dialog's record hangs in a window property as well as in the
// subclass, so that other threads (tests, helpers) can find it: the
// subclass list belongs to the window's own thread.
const WCHAR ShellDialogProperty[] = L"TavroShellDialog";

ShellDialog* ShellDialogOf(HWND hDlg)
{
    return static_cast<ShellDialog*>(GetPropW(hDlg, ShellDialogProperty));
}

int ScaledPixels(int pixelsAt96Dpi)
{
    HDC screen = GetDC(nullptr);
    int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen)
        ReleaseDC(nullptr, screen);
    return MulDiv(pixelsAt96Dpi, dpi > 0 ? dpi : 96, 96);
}

// The title strip in window coordinates (origin at the window's top left).
RECT TitleRect(HWND hDlg)
{
    RECT window;
    GetWindowRect(hDlg, &window);
    RECT title = {0, 0, window.right - window.left, ShellBarHeight()};
    return title;
}

// The ok button within the title strip, in window coordinates.
RECT OkRect(HWND hDlg)
{
    RECT title = TitleRect(hDlg);
    int height = title.bottom - ScaledPixels(6);
    int width = ScaledPixels(30);
    int margin = ScaledPixels(4);
    RECT ok = {title.right - margin - width, (title.bottom - height) / 2, title.right - margin,
               (title.bottom - height) / 2 + height};
    return ok;
}

void DrawOkButton(HDC dc, const RECT& ok, bool pressed, HFONT font)
{
    COLORREF face = pressed ? OkTextColour : OkFaceColour;
    COLORREF text = pressed ? OkFaceColour : OkTextColour;
    HBRUSH brush = CreateSolidBrush(face);
    HPEN pen = CreatePen(PS_SOLID, 1, OkFaceColour);
    HGDIOBJ oldBrush = SelectObject(dc, brush);
    HGDIOBJ oldPen = SelectObject(dc, pen);
    int corner = (ok.bottom - ok.top);
    RoundRect(dc, ok.left, ok.top, ok.right, ok.bottom, corner, corner);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    DeleteObject(pen);
    DeleteObject(brush);

    HGDIOBJ oldFont = SelectObject(dc, font);
    SetTextColor(dc, text);
    RECT label = ok;
    DrawTextW(dc, L"ok", -1, &label, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, oldFont);
}

void PaintTitle(HWND hDlg, const ShellDialog& shell)
{
    HDC dc = GetWindowDC(hDlg);
    if (!dc)
        return;
    RECT title = TitleRect(hDlg);
    FillVerticalGradient(dc, title, TitleTopColour, TitleBottomColour);

    HFONT font = CreateShellFont(ScaledPixels(13));
    HGDIOBJ oldFont = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, TitleTextColour);
    WCHAR caption[128];
    GetWindowTextW(hDlg, caption, ARRAYSIZE(caption));
    RECT text = title;
    text.left += ScaledPixels(6);
    if (shell.okButton)
        text.right = OkRect(hDlg).left - ScaledPixels(4);
    DrawTextW(dc, caption, -1, &text,
              DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    SelectObject(dc, oldFont);

    if (shell.okButton) {
        HFONT okFont = CreateShellFont(ScaledPixels(12));
        DrawOkButton(dc, OkRect(hDlg), shell.okPressed, okFont);
        DeleteObject(okFont);
    }
    DeleteObject(font);
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

LRESULT CALLBACK ShellDialogSubclass(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam,
                                     UINT_PTR, DWORD_PTR data)
{
    ShellDialog& shell = *reinterpret_cast<ShellDialog*>(data);
    switch (message) {
    case WM_NCCALCSIZE: {
        LRESULT result = DefSubclassProc(hDlg, message, wParam, lParam);
        RECT& client = wParam ? reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam)->rgrc[0]
                              : *reinterpret_cast<RECT*>(lParam);
        client.top += ShellBarHeight();
        if (client.top > client.bottom)
            client.top = client.bottom;
        return result;
    }
    case WM_NCPAINT:
    case WM_NCACTIVATE:
    case WM_SETTEXT: {
        // The default handling draws the frame (and would draw a caption);
        // the title strip goes over it.
        LRESULT result = DefSubclassProc(hDlg, message, wParam, lParam);
        PaintTitle(hDlg, shell);
        return result;
    }
    case WM_NCHITTEST: {
        POINT p = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        if (shell.okButton && InWindowRect(hDlg, OkRect(hDlg), p))
            return HTOKBUTTON;
        if (InWindowRect(hDlg, TitleRect(hDlg), p))
            return HTBORDER;  // the handheld's dialog does not move
        break;
    }
    case WM_NCLBUTTONDOWN:
    case WM_NCLBUTTONDBLCLK:
        if (wParam == static_cast<WPARAM>(HTOKBUTTON)) {
            SetOkPressed(hDlg, shell, true);
            return 0;
        }
        break;
    case WM_NCMOUSEMOVE:
        if (wParam != static_cast<WPARAM>(HTOKBUTTON))
            SetOkPressed(hDlg, shell, false);
        break;
    case WM_NCLBUTTONUP:
        if (wParam == static_cast<WPARAM>(HTOKBUTTON) && shell.okPressed) {
            SetOkPressed(hDlg, shell, false);
            SendMessageW(hDlg, WM_COMMAND, MAKEWPARAM(IDOK, 0), 0);
            return 0;
        }
        break;
    case WM_DISPLAYCHANGE:
        ApplyShellDialogSize(hDlg, shell.flags);
        break;
    case WM_NCDESTROY:
        RemoveWindowSubclass(hDlg, ShellDialogSubclass, ShellDialogSubclassId);
        RemovePropW(hDlg, ShellDialogProperty);
        delete &shell;
        return DefSubclassProc(hDlg, message, wParam, lParam);
    }
    return DefSubclassProc(hDlg, message, wParam, lParam);
}

}  // namespace

int ShellBarHeight()
{
    return ScaledPixels(26);
}

RECT ShellOkButtonRect(HWND hDlg)
{
    RECT none = {0, 0, 0, 0};
    ShellDialog* shell = ShellDialogOf(hDlg);
    if (!shell || !shell->okButton)
        return none;
    RECT ok = OkRect(hDlg);
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

    ShellDialog* shell = ShellDialogOf(hDlg);
    if (!shell) {
        shell = new ShellDialog{};
        if (!SetWindowSubclass(hDlg, ShellDialogSubclass, ShellDialogSubclassId,
                               reinterpret_cast<DWORD_PTR>(shell))) {
            delete shell;
            return FALSE;
        }
        SetPropW(hDlg, ShellDialogProperty, shell);
    }
    shell->flags = info->dwFlags;
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

void FillVerticalGradient(HDC dc, const RECT& area, COLORREF top, COLORREF bottom)
{
    int height = area.bottom - area.top;
    for (int y = 0; y < height; ++y) {
        int span = height > 1 ? height - 1 : 1;
        COLORREF colour = RGB(GetRValue(top) + (GetRValue(bottom) - GetRValue(top)) * y / span,
                              GetGValue(top) + (GetGValue(bottom) - GetGValue(top)) * y / span,
                              GetBValue(top) + (GetBValue(bottom) - GetBValue(top)) * y / span);
        HBRUSH brush = CreateSolidBrush(colour);
        RECT line = {area.left, area.top + y, area.right, area.top + y + 1};
        FillRect(dc, &line, brush);
        DeleteObject(brush);
    }
}
