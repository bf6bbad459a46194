// The options tree's window: creation and destruction, the records, layout,
// painting, the window procedure and the class. Taps, keys and scrolling
// live in OptionTreeInput.cpp.
#include <stdlib.h>

#include "optiontree/OptionModel.h"
#include "optiontree/OptionTreeState.h"
#include "platform/Gdi.h"
#include "platform/MessageTable.h"
#include "platform/WideCrt.h"
#include "res/resource.h"

void* (*AllocateTreeState)(size_t count, size_t size) = calloc;

namespace {

const COLORREF White = RGB(255, 255, 255);
const COLORREF Black = RGB(0, 0, 0);
const COLORREF Blue = RGB(0, 0, 255);
const COLORREF GroupCaptionCurrent = RGB(255, 64, 64);
const COLORREF GroupCaption = RGB(210, 0, 0);

HINSTANCE ProgramModule()
{
    return GetModuleHandleW(nullptr);
}

// ---- Creation and destruction ----

// The five glyphs, appended to the image list in this order.
int AddGlyph(OptionTreeState* state, int resourceId, int size)
{
    HICON icon = static_cast<HICON>(
        LoadImageW(ProgramModule(), MAKEINTRESOURCEW(resourceId), IMAGE_ICON, size, size, 0));
    const int index = ImageList_ReplaceIcon(state->imageList, -1, icon);
    if (icon)
        DestroyIcon(icon);
    return index;
}

void LoadGlyphs(OptionTreeState* state)
{
    const int cx = GetSystemMetrics(SM_CXSMICON);
    const int cy = GetSystemMetrics(SM_CYSMICON);
    state->imageList = ImageList_Create(cx, cx, ILC_MASK, 5, 10);
    state->indent = state->glyphWidth = cx;
    state->glyphHeight = cy;
    state->glyphCollapsed = AddGlyph(state, IDI_GLYPH_COLLAPSED, cx);
    state->glyphExpanded = AddGlyph(state, IDI_GLYPH_EXPANDED, cx);
    state->glyphUnchecked = AddGlyph(state, IDI_GLYPH_UNCHECKED, cx);
    state->glyphChecked = AddGlyph(state, IDI_GLYPH_CHECKED, cx);
    state->glyphDropDown = AddGlyph(state, IDI_GLYPH_DROPDOWN, cx);
}

void CreateFonts(OptionTreeState* state)
{
    LOGFONTW font;
    HGDIOBJ system = GetStockObject(SYSTEM_FONT);
    if (!system || GetObjectW(system, sizeof font, &font) == 0)
        return;
    // Wine's system font is bold already; the normal copy is made normal so
    // that the bold captions of changed rows stand out, as on the handheld.
    font.lfWeight = FW_NORMAL;
    // The stock font's width stays what it is at 96 dpi while its height
    // follows the dpi: a width of 0 lets the font mapper keep the face's
    // proportions at every dpi.
    font.lfWidth = 0;
    state->fontNormal = CreateFontIndirectW(&font);
    font.lfWeight = FW_BOLD;
    state->fontBold = CreateFontIndirectW(&font);
}

void MeasureRows(OptionTreeState* state)
{
    TEXTMETRICW metrics = {};
    HDC dc = GetDC(state->hwnd);
    {
        GdiSelection bold(dc, state->fontBold);
        GetTextMetricsW(dc, &metrics);
    }
    ReleaseDC(state->hwnd, dc);
    state->textHeight = metrics.tmHeight + 2;
    state->rowHeight =
        state->glyphHeight > state->textHeight ? state->glyphHeight : state->textHeight;
    state->textTop = (state->rowHeight - state->textHeight) / 2;
    state->textBottom = state->textHeight + state->textTop;
}

void FreeState(OptionTreeState* state)
{
    SetWindowLongPtrW(state->hwnd, GWLP_USERDATA, 0);
    if (state->imageList)
        ImageList_Destroy(state->imageList);
    if (state->fontNormal)
        DeleteObject(state->fontNormal);
    if (state->fontBold)
        DeleteObject(state->fontBold);
    free(state);
}

bool OnCreate(HWND hwnd)
{
    auto* state = static_cast<OptionTreeState*>(AllocateTreeState(1, sizeof(OptionTreeState)));
    if (!state)
        return false;
    state->hwnd = hwnd;
    state->current = -1;
    state->minValueWidth = 50;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));

    CreateFonts(state);
    LoadGlyphs(state);

    // Without its editor the control could not read an edit back, and a
    // commit would store an empty text: better not to exist at all.
    state->editor = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | ES_AUTOHSCROLL, 0, 0, 100, 0,
                                    hwnd, nullptr, ProgramModule(), nullptr);
    if (!state->editor) {
        FreeState(state);
        return false;
    }
    SendMessageW(state->editor, WM_SETFONT, reinterpret_cast<WPARAM>(state->fontNormal), TRUE);

    RECT client;
    GetClientRect(hwnd, &client);
    state->clientWidth = client.right;
    state->clientHeight = client.bottom;
    MeasureRows(state);
    return true;
}

LRESULT OnDestroy(OptionTreeState* state, WPARAM, LPARAM)
{
    CommitEdit(state);
    FreeState(state);
    return 1;
}

// ---- The records ----

// Width of the widest caption with its indentation, in the normal font.
int WidestCaption(OptionTreeState* state)
{
    int widest = 0;
    HDC dc = GetDC(state->hwnd);
    {
        GdiSelection normal(dc, state->fontNormal);
        for (int i = 0; i < state->itemCount; ++i) {
            const OptionItem& item = state->items[i];
            RECT bounds = {0, 0, 0, 0};
            if (item.label && item.label[0])
                DrawTextW(dc, item.label, -1, &bounds, DT_CALCRECT | DT_SINGLELINE);
            const int width = item.level * state->indent + bounds.right;
            if (width > widest)
                widest = width;
        }
    }
    ReleaseDC(state->hwnd, dc);
    return widest;
}

void SetItems(OptionTreeState* state, OptionItem* items, int count)
{
    CommitEdit(state);
    if (!items || count < 0)
        count = 0;
    state->items = count > 0 ? items : nullptr;
    state->itemCount = count;
    state->scrollPos = 0;
    state->current = -1;
    state->activeEditor = nullptr;
    ApplyInitialState(state->items, state->itemCount);
    state->labelColumnWidth = WidestCaption(state) + 20;
    Layout(state, state->clientWidth, state->clientHeight);
}

LRESULT OnSetItems(OptionTreeState* state, WPARAM items, LPARAM count)
{
    SetItems(state, reinterpret_cast<OptionItem*>(items), static_cast<int>(count));
    return 1;
}

}  // namespace

void CommitEdit(OptionTreeState* state)
{
    if (!state || state->current < 0)
        return;
    const int index = state->current;
    ShowWindow(state->editor, SW_HIDE);
    if (state->activeEditor && index < state->itemCount) {
        OptionItem& item = state->items[index];
        if (item.kind == Number) {
            WCHAR text[NumberTextCapacity] = {};
            GetWindowTextW(state->editor, text, NumberTextCapacity);
            StoreNumberText(item, text);
        } else if (item.kind == Text) {
            const int length = GetWindowTextLengthW(state->editor);
            WCHAR* buffer = AllocateText(length > 0 ? length : 0);
            if (buffer) {
                GetWindowTextW(state->editor, buffer, length + 1);
                StoreTextBuffer(item, buffer);
            }
        }
    }
    state->current = -1;
    state->activeEditor = nullptr;
    HDC dc = GetDC(state->hwnd);
    DrawRow(state, dc, index, state->currentTop);
    ReleaseDC(state->hwnd, dc);
}

// ---- Layout ----

void Layout(OptionTreeState* state, int width, int height)
{
    state->clientWidth = width;
    state->clientHeight = height;
    const int total = state->rowHeight * VisibleCount(state->items, state->itemCount);
    // The position is kept where it was, as far as the new range allows, so
    // that the bar and scrollPos always agree.
    SCROLLINFO bar = ScrollInfo(SIF_RANGE | SIF_PAGE | SIF_DISABLENOSCROLL);
    bar.nMin = 0;
    bar.nMax = total;
    bar.nPage = height > 0 ? height : 0;
    bar.nPos = state->scrollPos;
    ScrollTo(state, bar, FALSE, false);
    if (state->activeEditor) {
        // A resize moves the value column; the editor keeps its row.
        RECT place;
        GetWindowRect(state->editor, &place);
        MapWindowPoints(nullptr, state->hwnd, reinterpret_cast<POINT*>(&place), 2);
        const int valueX = ValueX(*state);
        SetWindowPos(state->editor, nullptr, valueX, place.top, state->clientWidth - valueX,
                     place.bottom - place.top, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    InvalidateRect(state->hwnd, nullptr, FALSE);
    UpdateWindow(state->hwnd);
}

int RowTop(const OptionTreeState& state, int index)
{
    return VisibleRank(state.items, state.itemCount, index) * state.rowHeight - state.scrollPos;
}

void InvalidateRow(OptionTreeState* state, int top)
{
    RECT row = {0, top, state->clientWidth, top + state->rowHeight};
    InvalidateRect(state->hwnd, &row, FALSE);
}

namespace {

LRESULT OnSize(OptionTreeState* state, WPARAM, LPARAM size)
{
    Layout(state, LOWORD(size), HIWORD(size));
    return 0;
}

// ---- Painting ----

void DrawGlyph(OptionTreeState* state, HDC dc, int glyph, int x, UINT style)
{
    ImageList_Draw(state->imageList, glyph, dc, x, MidY(*state) - state->glyphHeight / 2, style);
}

void DrawGroupRow(OptionTreeState* state, HDC dc, const OptionItem& item, bool current)
{
    const int x0 = item.level * state->indent;
    const int right = ValueRight(*state);
    const int midY = MidY(*state);
    SetTextColor(dc, current ? GroupCaptionCurrent : GroupCaption);
    GdiSelection bold(dc, state->fontBold);
    {
        GdiSelection rule = SelectSolidPen(dc, current ? Blue : Black);
        for (int offset = -2; offset <= 2; offset += 2) {
            MoveToEx(dc, x0 + state->indent, midY + offset, nullptr);
            LineTo(dc, right, midY + offset);
        }
    }
    DrawGlyph(state, dc, IsExpanded(item) ? state->glyphExpanded : state->glyphCollapsed, x0,
              ILD_TRANSPARENT);
    // Opaque on the white the row was filled with (the fill left it the
    // background colour), so the caption interrupts the rule where it stands.
    RECT caption = {x0, 0, right - 5, state->rowHeight};
    DrawTextW(dc, item.label ? item.label : L"", -1, &caption,
              DT_RIGHT | DT_VCENTER | DT_SINGLELINE);
}

void DrawValueText(OptionTreeState* state, HDC dc, const WCHAR* text)
{
    RECT value = {ValueX(*state), 0, ValueRight(*state), state->rowHeight};
    if (text)
        DrawTextW(dc, text, -1, &value, DT_VCENTER | DT_SINGLELINE);
}

void DrawUnderline(OptionTreeState* state, HDC dc)
{
    // Where the text band fills the whole row the line would fall one pixel
    // below it; it stays on the row's last line instead.
    int y = MidY(*state) + state->textHeight / 2;
    if (y > state->rowHeight - 1)
        y = state->rowHeight - 1;
    MoveToEx(dc, ValueX(*state), y, nullptr);
    LineTo(dc, ValueRight(*state), y);
}

void DrawValue(OptionTreeState* state, HDC dc, const OptionItem& item)
{
    GdiSelection font(dc, state->fontNormal);
    SetTextColor(dc, Black);
    switch (item.kind) {
    case Check:
        DrawGlyph(state, dc, ItemFlag(item) ? state->glyphChecked : state->glyphUnchecked,
                  ValueX(*state), ILD_NORMAL);
        break;
    case Number: {
        WCHAR digits[33];
        DrawValueText(state, dc, _itow(ItemNumber(item), digits, 10));
        DrawUnderline(state, dc);
        break;
    }
    case Text:
        DrawValueText(state, dc, ItemText(item));
        DrawUnderline(state, dc);
        break;
    case Choice:
        DrawValueText(state, dc, ChoiceText(item));
        DrawGlyph(state, dc, state->glyphDropDown, ValueRight(*state) - state->glyphWidth,
                  ILD_TRANSPARENT);
        DrawUnderline(state, dc);
        break;
    default:
        break;
    }
}

void DrawValueRow(OptionTreeState* state, HDC dc, const OptionItem& item, bool current)
{
    {
        GdiSelection font(dc, item.changed == 1 ? state->fontBold : state->fontNormal);
        SetTextColor(dc, current ? Blue : Black);
        RECT caption = {item.level * state->indent, 0, ValueX(*state) - 3, state->rowHeight};
        DrawTextW(dc, item.label ? item.label : L"", -1, &caption, DT_VCENTER | DT_SINGLELINE);
    }
    DrawValue(state, dc, item);
}

}  // namespace

int DrawRow(OptionTreeState* state, HDC dc, int index, int y)
{
    if (!state->items || index < 0 || index >= state->itemCount)
        return 0;
    const OptionItem& item = state->items[index];
    if (state->clientWidth <= 0 || state->rowHeight <= 0)
        return item.visible ? state->rowHeight : 0;
    HDC memory = CreateCompatibleDC(dc);
    {
        GdiSelection bitmap(
            memory, CreateCompatibleBitmap(dc, state->clientWidth, state->rowHeight),
            GdiSelection::Owned);
        RECT row = {0, 0, state->clientWidth, state->rowHeight};
        FillSolid(memory, row, White);
        const bool current = index == state->current;
        if (item.visible && item.kind == Group)
            DrawGroupRow(state, memory, item, current);
        else if (item.visible)
            DrawValueRow(state, memory, item, current);
        BitBlt(dc, 0, y, state->clientWidth, state->rowHeight, memory, 0, 0, SRCCOPY);
    }
    DeleteDC(memory);
    return item.visible ? state->rowHeight : 0;
}

namespace {

void Paint(OptionTreeState* state)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(state->hwnd, &paint);
    if (!dc)
        return;
    RECT client = {0, 0, state->clientWidth, state->clientHeight};
    if (!state->items || state->itemCount <= 0) {
        FillSolid(dc, client, White);
        EndPaint(state->hwnd, &paint);
        return;
    }
    int y = -state->scrollPos;
    for (int i = 0; i < state->itemCount; ++i) {
        if (!state->items[i].visible)
            continue;
        if (y + state->rowHeight > paint.rcPaint.top && y < paint.rcPaint.bottom)
            DrawRow(state, dc, i, y);
        y += state->rowHeight;
    }
    if (y < state->clientHeight) {
        RECT below = {0, y, state->clientWidth, state->clientHeight};
        FillSolid(dc, below, White);
    }
    EndPaint(state->hwnd, &paint);
}

LRESULT OnPaint(OptionTreeState* state, WPARAM, LPARAM)
{
    Paint(state);
    return 0;
}

// ---- The window procedure ----

// An open editor stays open when the focus leaves the control.
LRESULT OnFocusChange(OptionTreeState*, WPARAM, LPARAM)
{
    return 0;
}

using TreeMessageHandler = LRESULT (*)(OptionTreeState* state, WPARAM wParam, LPARAM lParam);

const MessageEntry<TreeMessageHandler> TreeMessages[] = {
    {WM_DESTROY, OnDestroy},
    {WM_SIZE, OnSize},
    {WM_ACTIVATE, OnFocusChange},
    {WM_KILLFOCUS, OnFocusChange},
    {WM_PAINT, OnPaint},
    {WM_KEYDOWN, OnKeyDown},
    {WM_VSCROLL, OnVScroll},
    {WM_LBUTTONDOWN, OnClick},
    {WM_GETDLGCODE, OnGetDlgCode},
    {WM_HOTKEY, OnHotKey},
    {OTM_SETITEMS, OnSetItems},
};

// Without its state (creation failed, or destruction has run) the control
// does nothing: a message it handles is answered with 0, WM_DESTROY with 1.
LRESULT AnswerWithoutState(HWND hwnd, UINT message)
{
    if (message == WM_PAINT)
        ValidateRect(hwnd, nullptr);  // or it would be asked again and again
    return message == WM_DESTROY ? 1 : 0;
}

LRESULT CALLBACK OptionTreeProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CREATE)
        return OnCreate(hwnd) ? 0 : -1;
    const TreeMessageHandler handler = FindMessageHandler(TreeMessages, message);
    if (!handler)
        return DefWindowProcW(hwnd, message, wParam, lParam);
    // Only the control's own windows come here: the slot is read without the
    // class check that OptionTreeStateOf makes for any window a caller has.
    auto* state = reinterpret_cast<OptionTreeState*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!state)
        return AnswerWithoutState(hwnd, message);
    return handler(state, wParam, lParam);
}

}  // namespace

OptionTreeState* OptionTreeStateOf(HWND control)
{
    WCHAR className[32];
    if (!control || !GetClassNameW(control, className, 32) ||
        lstrcmpiW(className, OPTION_TREE_CLASS) != 0)
        return nullptr;
    return reinterpret_cast<OptionTreeState*>(GetWindowLongPtrW(control, GWLP_USERDATA));
}

// ---- The class ----

bool RegisterOptionTreeClass()
{
    WNDCLASSW windowClass = {};
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = OptionTreeProc;
    windowClass.hInstance = ProgramModule();
    windowClass.lpszClassName = OPTION_TREE_CLASS;
    return RegisterClassW(&windowClass) != 0;
}
