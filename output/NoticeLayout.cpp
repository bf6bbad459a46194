#include "output/NoticeLayout.h"

#include <initializer_list>

namespace {

const DWORD TemplateStyle = WS_POPUP | DS_SETFOREGROUND | DS_MODALFRAME;  // 0x80000280
// Dialog units; the window is placed in pixels as soon as it exists.
const WORD TemplateX = 10;
const WORD TemplateY = 10;
const WORD TemplateWidth = 200;
const WORD TemplateHeight = 150;

// The frame NoticeWindowRect's placement allows for on each side.
const int HandheldFrame = 1;

const WCHAR NoticePrefix[] = L"Скриншот снят в: ";
const WCHAR Ellipsis = 0x2026;

void PutWord(BYTE* block, size_t offset, WORD value)
{
    block[offset] = static_cast<BYTE>(value & 0xFF);
    block[offset + 1] = static_cast<BYTE>(value >> 8);
}

void PutDword(BYTE* block, size_t offset, DWORD value)
{
    PutWord(block, offset, static_cast<WORD>(value & 0xFFFF));
    PutWord(block, offset + 2, static_cast<WORD>(value >> 16));
}

bool IsHighSurrogate(WCHAR c)
{
    return c >= 0xD800 && c <= 0xDBFF;
}

}  // namespace

void WriteNoticeTemplate(BYTE* block)
{
    PutDword(block, 0, TemplateStyle);
    PutDword(block, 4, 0);  // extended style
    PutWord(block, 8, 0);   // no controls: the button is made at WM_INITDIALOG
    PutWord(block, 10, TemplateX);
    PutWord(block, 12, TemplateY);
    PutWord(block, 14, TemplateWidth);
    PutWord(block, 16, TemplateHeight);
    PutWord(block, 18, 0);  // no menu
    PutWord(block, 20, 0);  // the standard dialog class
    PutWord(block, 22, 0);  // no title
}

RECT NoticeWindowRect(int bw, int bh, int sw, int sh)
{
    int left = (sw - bw) / 2 - 1;
    int top = (sh - bh) / 2 - 1;
    return {left, top, left + bw, top + bh};
}

RECT NoticeFramedRect(const RECT& place, const RECT& frame)
{
    const int paneLeft = place.left + HandheldFrame;
    const int paneTop = place.top + HandheldFrame;
    return {paneLeft - frame.left, paneTop - frame.top,
            paneLeft + (place.right - place.left) + frame.right,
            paneTop + (place.bottom - place.top) + frame.bottom};
}

RECT NoticeButtonRect(int bw, int bh)
{
    int left = (bw - NoticeButtonWidth) / 2;
    int top = bh - NoticeBottomStrip;
    return {left, top, left + NoticeButtonWidth, top + NoticeButtonHeight};
}

RECT NoticeTextRect(const RECT& client)
{
    return {client.left + NoticeTextMargin, client.top + NoticeTextMargin,
            client.right - NoticeTextMargin, client.bottom - NoticeBottomStrip};
}

void FormatNoticeText(WCHAR* buffer, size_t capacity, const WCHAR* path)
{
    size_t used = 0;
    bool cut = false;
    for (const WCHAR* part : {NoticePrefix, path ? path : L""}) {
        for (; *part; ++part) {
            if (used + 1 >= capacity) {
                cut = true;
                break;
            }
            buffer[used++] = *part;
        }
        if (cut)
            break;
    }
    if (cut) {
        // The last character gives way to the ellipsis; a pair's first
        // half would be left without its second, so it goes as well.
        --used;
        if (used > 0 && IsHighSurrogate(buffer[used - 1]))
            --used;
        buffer[used++] = Ellipsis;
    }
    buffer[used] = 0;
}

void FormatCountdownText(WCHAR* buffer, int seconds)
{
    wsprintfW(buffer, L"OK (%d)", seconds);
}
