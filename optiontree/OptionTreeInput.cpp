// The options tree's interaction: taps, keys, scrolling, the current row,
// the in-place editor and the Choice popup list.
#include "optiontree/OptionModel.h"
#include "optiontree/OptionTreeState.h"
#include "platform/WideCrt.h"

namespace {

const UINT FirstChoiceCommand = 100;

bool HasItems(const OptionTreeState* state)
{
    return state->items && state->itemCount > 0;
}

// Index of the visible row that y falls on (a y on the line between two
// rows belongs to the upper one) and its top; -1 when none.
int RowAt(const OptionTreeState* state, int y, int& top)
{
    top = -state->scrollPos;
    for (int i = 0; i < state->itemCount; ++i) {
        if (!state->items[i].visible)
            continue;
        if (top <= y && y <= top + state->rowHeight)
            return i;
        top += state->rowHeight;
    }
    return -1;
}

int ScrollPosition(OptionTreeState* state)
{
    SCROLLINFO bar = ScrollInfo(SIF_POS);
    if (!GetScrollInfo(state->hwnd, SB_VERT, &bar))
        return 0;
    return bar.nPos;
}

// Where a scroll-bar code asks the position to go: one pixel a line, the
// page a page.
int WantedScrollPosition(UINT code, const SCROLLINFO& bar)
{
    switch (code) {
    case SB_LINEUP:
        return bar.nPos - 1;
    case SB_LINEDOWN:
        return bar.nPos + 1;
    case SB_PAGEUP:
        return bar.nPos - static_cast<int>(bar.nPage);
    case SB_PAGEDOWN:
        return bar.nPos + static_cast<int>(bar.nPage);
    case SB_THUMBTRACK:
        return bar.nTrackPos;
    case SB_TOP:
        return bar.nMin;
    case SB_BOTTOM:
        return bar.nMax;
    default:  // SB_THUMBPOSITION, SB_ENDSCROLL
        return bar.nPos;
    }
}

void OpenEditor(OptionTreeState* state, int top, WPARAM keyFlags, int clickX, int clickY)
{
    HWND editor = state->editor;
    const int valueX = ValueX(*state);
    const int editTop = top + state->textTop + 1;
    MoveWindow(editor, valueX, editTop, state->clientWidth - valueX, state->textHeight - 1, FALSE);
    ShowWindow(editor, SW_SHOW);
    UpdateWindow(editor);
    SetFocus(editor);
    if (valueX < clickX && clickX < state->clientWidth) {
        // The same tap again, on the editor, puts the caret where it was.
        const LPARAM where = MAKELPARAM(clickX - valueX, clickY - editTop);
        SendMessageW(editor, WM_LBUTTONDOWN, keyFlags, where);
        SendMessageW(editor, WM_LBUTTONUP, keyFlags, where);
    } else {
        SendMessageW(editor, EM_SETSEL, 0, -1);
    }
}

// The Choice popup list; applies the pick to the current record.
void PickFromList(OptionTreeState* state)
{
    HWND hwnd = state->hwnd;
    OptionItem* items = state->items;
    const int index = state->current;
    const OptionItem& item = items[index];
    HMENU menu = CreatePopupMenu();
    if (!menu)
        return;
    for (int i = 0; item.choices && i < item.choiceCount; ++i) {
        const WCHAR* entry = item.choices[i] ? item.choices[i] : L"";
        AppendMenuW(menu, i == item.value ? MF_CHECKED : MF_STRING, FirstChoiceCommand + i, entry);
    }
    POINT corner = {ValueX(*state), state->currentTop + state->textBottom};
    ClientToScreen(hwnd, &corner);
    const UINT command = TrackMenuWithoutNavKeys(menu, TPM_RETURNCMD, corner.x, corner.y, hwnd);
    DestroyMenu(menu);
    // The menu ran its own message loop: the control may have been given
    // other records, or destroyed, while it was open.
    if (!IsWindow(hwnd) || OptionTreeStateOf(hwnd) != state || state->items != items ||
        state->current != index)
        return;
    if (command != 0)
        PickChoice(items[index], static_cast<int>(command - FirstChoiceCommand));
}

// A key press read through a message loop has its character queued behind
// it. The Choice list's menu loop would read that Return or Space as a pick
// of its (still unhighlighted) entry and close again at once.
void DropTypedCharacter(HWND hwnd, WCHAR character)
{
    MSG typed;
    if (PeekMessageW(&typed, hwnd, WM_CHAR, WM_CHAR, PM_NOREMOVE) && typed.wParam == character)
        PeekMessageW(&typed, hwnd, WM_CHAR, WM_CHAR, PM_REMOVE);
}

}  // namespace

LRESULT OnClick(OptionTreeState* state, WPARAM keyFlags, LPARAM point)
{
    const int x = LOWORD(point);
    const int y = HIWORD(point);
    if (!HasItems(state))
        return 0;
    int top;
    const int hit = RowAt(state, y, top);
    if (hit < 0)
        return 0;
    if (hit != state->current) {
        CommitEdit(state);
        Select(state, hit, top, keyFlags, x, y);
    }
    // The keys that follow a tap (Return, Space) are meant for the row:
    // the focus comes here unless the editor took it.
    if (!state->activeEditor && GetFocus() != state->hwnd)
        SetFocus(state->hwnd);
    const OptionItem& item = state->items[hit];
    if (item.kind == Group) {
        const int offset = x - item.level * state->indent;
        if (0 <= offset && offset < state->glyphWidth)
            Activate(state);
    } else if (ValueX(*state) < x && x < state->clientWidth) {
        Activate(state);
    }
    return 0;
}

void Select(OptionTreeState* state, int index, int top, WPARAM keyFlags, int clickX, int clickY)
{
    const OptionItem& item = state->items[index];
    HWND editor = nullptr;
    if (item.kind == Number) {
        WCHAR digits[33];
        SetWindowTextW(state->editor, _itow(ItemNumber(item), digits, 10));
        editor = state->editor;
    } else if (item.kind == Text) {
        SetWindowTextW(state->editor, ItemText(item) ? ItemText(item) : L"");
        editor = state->editor;
    }
    state->currentTop = top;
    state->current = index;
    state->activeEditor = editor;
    InvalidateRow(state, top);
    if (editor)
        OpenEditor(state, top, keyFlags, clickX, clickY);

    int wanted;
    if (top + state->rowHeight > state->clientHeight)
        wanted = state->scrollPos + state->rowHeight;
    else if (top < 0)
        wanted = state->scrollPos - state->rowHeight;
    else
        return;
    ScrollTo(state, wanted, false);
    InvalidateRect(state->hwnd, nullptr, FALSE);
}

void ScrollTo(OptionTreeState* state, SCROLLINFO bar, BOOL redrawBar, bool movePixels)
{
    bar.fMask |= SIF_POS;
    SetScrollInfo(state->hwnd, SB_VERT, &bar, redrawBar);
    const int position = ScrollPosition(state);  // as the bar clamped it
    const int old = state->scrollPos;
    state->scrollPos = position;
    if (position != old)
        ScrollBy(state, old - position, movePixels);
}

void ScrollTo(OptionTreeState* state, int position, bool movePixels)
{
    SCROLLINFO bar = ScrollInfo(SIF_POS);
    bar.nPos = position;
    ScrollTo(state, bar, TRUE, movePixels);
}

void ScrollBy(OptionTreeState* state, int delta, bool movePixels)
{
    HWND hwnd = state->hwnd;
    RECT strip;
    GetClientRect(hwnd, &strip);
    if (movePixels)
        ScrollWindowEx(hwnd, 0, delta, nullptr, nullptr, nullptr, &strip, SW_INVALIDATE);
    // A few pixels more than the uncovered strip, towards the content.
    if (delta < 0)
        strip.top = strip.bottom + delta - 5;
    else
        strip.bottom = strip.top + delta + 5;

    if (state->current >= 0) {
        state->currentTop += delta;
        if (state->activeEditor) {
            HWND editor = state->activeEditor;
            const bool wasShown = (GetWindowLongW(editor, GWL_STYLE) & WS_VISIBLE) != 0;
            const bool show =
                -state->rowHeight <= state->currentTop && state->currentTop <= state->clientHeight;
            SetWindowPos(editor, nullptr, ValueX(*state), state->currentTop, 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE |
                             (show ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
            if (show && !wasShown)
                SetFocus(editor);
        }
        InvalidateRect(hwnd, &strip, FALSE);
    }
    InvalidateRect(hwnd, movePixels ? &strip : nullptr, FALSE);
    UpdateWindow(hwnd);
}

LRESULT OnVScroll(OptionTreeState* state, WPARAM code, LPARAM)
{
    SCROLLINFO bar = ScrollInfo(SIF_ALL);
    if (GetScrollInfo(state->hwnd, SB_VERT, &bar))
        ScrollTo(state, WantedScrollPosition(LOWORD(code), bar), true);
    return 0;
}

void OnKey(OptionTreeState* state, UINT key)
{
    if (!HasItems(state))
        return;
    if (key == VK_RETURN || key == VK_SPACE) {
        if (state->current >= 0) {
            DropTypedCharacter(state->hwnd, key == VK_RETURN ? L'\r' : L' ');
            Activate(state);
        }
        return;
    }
    if (key != VK_UP && key != VK_DOWN)
        return;
    int target;
    if (state->current < 0)
        target = NextVisible(state->items, state->itemCount, -1);
    else if (key == VK_UP)
        target = PreviousVisible(state->items, state->itemCount, state->current);
    else
        target = NextVisible(state->items, state->itemCount, state->current);
    if (target < 0)
        return;
    const int top = RowTop(*state, target);
    CommitEdit(state);
    Select(state, target, top, 0, 0, top);
}

LRESULT OnKeyDown(OptionTreeState* state, WPARAM key, LPARAM)
{
    OnKey(state, static_cast<UINT>(key));
    return 0;
}

// Up and Down, registered as hot keys: the key is in the high word.
LRESULT OnHotKey(OptionTreeState* state, WPARAM, LPARAM keys)
{
    OnKey(state, HIWORD(keys));
    return 0;
}

LRESULT OnGetDlgCode(OptionTreeState* state, WPARAM, LPARAM lParam)
{
    const auto* message = reinterpret_cast<const MSG*>(lParam);
    // Up and Down move the current row, not the focus, also when they come
    // as plain keys rather than as hot keys.
    UINT code = DLGC_WANTARROWS;
    // Return (the d-pad's action button) and Space activate a row that has
    // no editor; with the editor open, or with no current row, Return keeps
    // its dialog meaning of OK.
    if (message && message->message == WM_KEYDOWN &&
        (message->wParam == VK_RETURN || message->wParam == VK_SPACE) && HasItems(state) &&
        state->current >= 0 && !state->activeEditor)
        code |= DLGC_WANTMESSAGE;
    return code;
}

void Activate(OptionTreeState* state)
{
    if (state->current < 0 || !HasItems(state))
        return;
    OptionItem& item = state->items[state->current];
    switch (item.kind) {
    case Group:
        ToggleGroup(state->items, state->itemCount, state->current);
        Layout(state, state->clientWidth, state->clientHeight);
        break;
    case Check:
        ToggleCheck(item);
        break;
    case Choice: {
        HWND hwnd = state->hwnd;
        PickFromList(state);
        if (!IsWindow(hwnd) || OptionTreeStateOf(hwnd) != state)
            return;
        break;
    }
    default:
        return;
    }
    if (state->current >= 0)
        InvalidateRow(state, state->currentTop);
}

void EnableNavKeys(HWND control)
{
    RegisterHotKey(control, NavKeyUpId, 0, VK_UP);
    RegisterHotKey(control, NavKeyDownId, 0, VK_DOWN);
}

void DisableNavKeys(HWND control)
{
    UnregisterHotKey(control, NavKeyUpId);
    UnregisterHotKey(control, NavKeyDownId);
}

UINT TrackMenuWithoutNavKeys(HMENU menu, UINT flags, int x, int y, HWND control)
{
    DisableNavKeys(control);
    const UINT result = TrackPopupMenuEx(menu, flags, x, y, control, nullptr);
    EnableNavKeys(control);
    return result;
}
