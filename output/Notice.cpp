#include "output/Notice.h"

#include "app/AppState.h"
#include "app/Settings.h"
#include "output/NoticeLayout.h"
#include "platform/Gdi.h"
#include "res/resource.h"

int AutoCloseCountdown = NoticeCountdownStart;

namespace {

const int CloseResult = 16;
UINT TimerPeriod = NoticeCountdownStep;
const LONG TextHeight = 15;
const LONG TextWeight = FW_BOLD;
const WCHAR TextFace[] = L"Tahoma Regular";
const COLORREF TextColour = 0x00FFFFFF;
const COLORREF OutlineColour = 0x00B1B1B1;

// Made for one paint and deleted after it.
HFONT CreateNoticeFont()
{
    LOGFONTW font = {};
    font.lfHeight = TextHeight;
    font.lfWeight = TextWeight;
    lstrcpynW(font.lfFaceName, TextFace, LF_FACESIZE);
    return CreateFontIndirectW(&font);
}

void DrawTextInFont(HDC dc, const WCHAR* text, RECT rect, UINT format)
{
    GdiSelection font(dc, CreateNoticeFont(), GdiSelection::Owned);
    SetBkMode(dc, TRANSPARENT);
    DrawTextW(dc, text, -1, &rect, format);
}

// How far the window's outer rectangle reaches beyond its client area on
// each side: whatever frame the platform gives the template's style.
RECT MeasureFrame(HWND window)
{
    RECT outer = {}, client = {};
    GetWindowRect(window, &outer);
    GetClientRect(window, &client);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
    return {client.left - outer.left, client.top - outer.top, outer.right - client.right,
            outer.bottom - client.bottom};
}

INT_PTR OnInitDialog(HWND notice)
{
    int bw = NoticeBackground.width;
    int bh = NoticeBackground.height;
    RECT place = NoticeWindowRect(bw, bh, GetSystemMetrics(SM_CXSCREEN),
                                  GetSystemMetrics(SM_CYSCREEN));
    place = NoticeFramedRect(place, MeasureFrame(notice));
    SetWindowPos(notice, nullptr, place.left, place.top, place.right - place.left,
                 place.bottom - place.top, 0);

    RECT button = NoticeButtonRect(bw, bh);
    CreateWindowExW(0, L"BUTTON", L"OK", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, button.left,
                    button.top, button.right - button.left, button.bottom - button.top, notice,
                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(NoticeButtonId)),
                    GetModuleHandleW(nullptr), nullptr);

    if (AppSettings.AutoClose != 0)
        SetTimer(notice, NoticeButtonId, TimerPeriod, nullptr);
    return TRUE;
}

// The answer is FALSE, as to every message the notice only reacts to.
INT_PTR OnPaint(HWND notice)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(notice, &paint);
    if (!dc)
        return FALSE;
    NoticeBackground.DrawTo(dc, 0, 0);

    RECT client;
    GetClientRect(notice, &client);
    WCHAR text[NoticeTextCapacity];
    FormatNoticeText(text, NoticeTextCapacity, OutputPath);
    SetTextColor(dc, TextColour);
    DrawTextInFont(dc, text, NoticeTextRect(client), DT_WORDBREAK);
    EndPaint(notice, &paint);
    return FALSE;
}

void DrawButton(const DRAWITEMSTRUCT& item)
{
    HDC dc = item.hDC;
    if (GdiSelection outline = SelectSolidPen(dc, OutlineColour))
        Rectangle(dc, item.rcItem.left, item.rcItem.top, item.rcItem.right, item.rcItem.bottom);
    DrawBitmapResource(IDB_NOTICE_BUTTON, dc, item.rcItem);

    // The text colour is the one the button's device context comes with.
    WCHAR text[NoticeTextCapacity];
    GetWindowTextW(item.hwndItem, text, NoticeTextCapacity);
    DrawTextInFont(dc, text, item.rcItem, DT_CENTER | DT_VCENTER);
}

INT_PTR OnTimer(HWND notice)
{
    AutoCloseCountdown -= 1;
    if (AutoCloseCountdown > 0) {
        WCHAR text[32];
        FormatCountdownText(text, AutoCloseCountdown);
        SetDlgItemTextW(notice, NoticeButtonId, text);
    } else {
        PostMessageW(notice, WM_COMMAND, IDOK, 0);
    }
    return FALSE;
}

INT_PTR OnDrawItem(const DRAWITEMSTRUCT* item)
{
    if (item && item->CtlID == static_cast<UINT>(NoticeButtonId))
        DrawButton(*item);
    return FALSE;
}

INT_PTR OnCommand(HWND notice, int id)
{
    if (id != IDOK && id != IDCANCEL)
        return FALSE;
    EndDialog(notice, id);
    return TRUE;
}

INT_PTR OnClose(HWND notice)
{
    KillTimer(notice, NoticeButtonId);
    EndDialog(notice, CloseResult);
    return TRUE;
}

}  // namespace

UINT NoticeTimerPeriod()
{
    return TimerPeriod;
}

void SetNoticeTimerPeriod(UINT milliseconds)
{
    TimerPeriod = milliseconds;
}

INT_PTR CALLBACK NoticeDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(window);
    case WM_PAINT:
        return OnPaint(window);
    case WM_DRAWITEM:
        return OnDrawItem(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
    case WM_COMMAND:
        return OnCommand(window, LOWORD(wParam));
    case WM_TIMER:
        return OnTimer(window);
    case WM_CLOSE:
        return OnClose(window);
    case WM_SIZE:
        return TRUE;
    default:
        return FALSE;
    }
}

// The bitmap is loaded for each paint and deleted right after it: a notice
// paints its button a few times at most, and nothing outlives the paint.
// Every object made here (memory context, bitmap) is released on every path.
void DrawBitmapResource(int id, HDC dc, const RECT& rect)
{
    if (id == 0)
        return;
    HBITMAP bitmap = LoadBitmapW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id));
    if (!bitmap)
        return;
    HDC memory = CreateCompatibleDC(dc);
    if (memory) {
        {
            GdiSelection face(memory, bitmap);
            BitBlt(dc, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                   memory, 0, 0, SRCCOPY);
        }
        DeleteDC(memory);
    }
    DeleteObject(bitmap);
}

INT_PTR RunNoticeDialog()
{
    HLOCAL block = LocalAlloc(LMEM_FIXED | LMEM_ZEROINIT, NoticeTemplateSize);
    if (!block)
        return -1;
    WriteNoticeTemplate(static_cast<BYTE*>(block));
    INT_PTR result = DialogBoxIndirectParamW(GetModuleHandleW(nullptr),
                                             static_cast<LPCDLGTEMPLATEW>(block), nullptr,
                                             NoticeDialogProc, 0);
    LocalFree(block);
    return result;
}

bool ShowCompletionNotice()
{
    return RunNoticeDialog() == IDOK;
}
