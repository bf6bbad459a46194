// The control as a user meets it: a real window under X, driven with the
// messages that taps, keys and the scroll bar produce.
#include "support/TestSupport.h"

#include <stdlib.h>

#include <functional>
#include <vector>

#include "optiontree/OptionModel.h"
#include "optiontree/OptionTreeState.h"

namespace {

const int TreeWidth = 220;
const int TreeHeight = 200;

class TreeWindow : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        RegisterOptionTreeClass();
        WNDCLASSW host = {};
        host.lpfnWndProc = DefWindowProcW;
        host.hInstance = GetModuleHandleW(nullptr);
        host.lpszClassName = L"TreeTestHost";
        host.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
        RegisterClassW(&host);
        // One host for all the tests: destroying a top-level window costs
        // Wine two seconds here.
        host_ = CreateWindowExW(WS_EX_TOPMOST, L"TreeTestHost", L"", WS_POPUP | WS_VISIBLE, 0, 0,
                                240, 320, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    }
    void SetUp() override
    {
        ASSERT_NE(nullptr, host_);
        tree_ = CreateWindowExW(0, OPTION_TREE_CLASS, L"",
                                WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_VSCROLL | WS_TABSTOP,
                                0, 0, TreeWidth, TreeHeight, host_, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(nullptr, tree_);
        state_ = OptionTreeStateOf(tree_);
        ASSERT_NE(nullptr, state_);
        SetForegroundWindow(host_);
        PumpPendingMessages();
    }
    void TearDown() override
    {
        // The records were the test body's and have gone with it: the tree
        // lets go of them here, or its destruction would store an edit
        // still open into freed memory and draw from it.
        if (OptionTreeState* state = OptionTreeStateOf(tree_)) {
            state->items = nullptr;
            state->itemCount = 0;
            state->current = -1;
            state->activeEditor = nullptr;
        }
        DestroyWindow(tree_);
        PumpPendingMessages();
    }

    void Give(OptionItem* items, int count)
    {
        EXPECT_EQ(1, SendMessageW(tree_, OTM_SETITEMS, reinterpret_cast<WPARAM>(items), count));
        PumpPendingMessages();
    }
    void Tap(int x, int y)
    {
        SendMessageW(tree_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
        SendMessageW(tree_, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    }
    void Key(UINT key) { SendMessageW(tree_, WM_KEYDOWN, key, 0); }
    void HotKey(UINT key)
    {
        SendMessageW(tree_, WM_HOTKEY, key == VK_UP ? NavKeyUpId : NavKeyDownId,
                     MAKELPARAM(0, key));
    }
    int Row() const { return state_->rowHeight; }
    int ValueColumn() const { return ValueX(*state_); }
    // Middle of the k-th visible row, scrolled as the tree is.
    int RowMiddle(int k) const { return k * Row() - state_->scrollPos + Row() / 2; }
    bool EditorShown() const { return (GetWindowLongW(state_->editor, GWL_STYLE) & WS_VISIBLE) != 0; }
    std::string EditorText() const
    {
        WCHAR text[256] = {};
        GetWindowTextW(state_->editor, text, 256);
        return Utf8(text);
    }
    COLORREF Pixel(int x, int y) const
    {
        HDC dc = GetDC(tree_);
        COLORREF colour = GetPixel(dc, x, y);
        ReleaseDC(tree_, dc);
        return colour;
    }

    static HWND host_;
    HWND tree_ = nullptr;
    OptionTreeState* state_ = nullptr;
};

HWND TreeWindow::host_;

OptionItem Record(const WCHAR* label, int level, unsigned int kind, INT_PTR value = 0)
{
    OptionItem item = {};
    item.label = label;
    item.level = level;
    item.kind = kind;
    item.value = value;
    return item;
}

}  // namespace

namespace {

const WCHAR* const Sizes[] = {L"Small", L"Medium", L"Large"};

// Every kind of row: 8 of the 9 records visible, "Deep" under the folded
// "Sub" Group hidden.
std::vector<OptionItem> Sample()
{
    std::vector<OptionItem> items = {
        Record(L"Folder", 0, Text, reinterpret_cast<INT_PTR>(L"\\Temp")),  // 0
        Record(L"Delay", 0, Number, 5),                                      // 1
        Record(L"Sound", 0, Check, 1),                                       // 2
        Record(L"Size", 0, Choice, 1),                                       // 3
        Record(L"Group", 0, Group),                                          // 4
        Record(L"Inner", 1, Check),                                          // 5
        Record(L"Sub", 1, Group),                                            // 6
        Record(L"Deep", 2, Number, 42),                                      // 7 hidden
        Record(L"Last", 0, Text, reinterpret_cast<INT_PTR>(L"end")),        // 8
    };
    items[3].choiceCount = 3;
    items[3].choices = Sizes;
    return items;
}

// Numbered Check rows, more than the control can show at once.
std::vector<OptionItem> Many(int count)
{
    std::vector<OptionItem> items;
    for (int i = 0; i < count; ++i)
        items.push_back(Record(L"Row", 0, i == 0 ? Number : Check, i));
    return items;
}

struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<DWORD> bits;  // top-down, 0x00RRGGBB
    DWORD At(int x, int y) const { return bits[y * width + x]; }
};

bool IsBlue(DWORD p) { return p == 0x0000FF; }
bool IsWhite(DWORD p) { return p == 0xFFFFFF; }
bool IsDark(DWORD p) { return ((p >> 16) & 0xFF) < 128 && ((p >> 8) & 0xFF) < 128 && (p & 0xFF) < 128; }

}  // namespace

// A copy of the control's client area as the window shows it.
static Pixels Grab(HWND window, int width, int height)
{
    Pixels pixels;
    pixels.width = width;
    pixels.height = height;
    HDC dc = GetDC(window);
    pixels.bits = DcPixels(dc, RECT{0, 0, width, height});
    ReleaseDC(window, dc);
    return pixels;
}

static int Count(const Pixels& pixels, RECT area, bool (*test)(DWORD))
{
    int count = 0;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            count += test(pixels.At(x, y)) ? 1 : 0;
    return count;
}

class Tree : public TreeWindow {
protected:
    Pixels Shot()
    {
        PumpPendingMessages();  // the paints
        return Grab(tree_, state_->clientWidth, state_->clientHeight);
    }
    RECT CaptionArea(int k, int level = 0) const
    {
        RECT area = {level * state_->indent, k * Row() - state_->scrollPos, ValueColumn() - 3,
                     (k + 1) * Row() - state_->scrollPos};
        return area;
    }
    SCROLLINFO Bar() const
    {
        SCROLLINFO bar = {};
        bar.cbSize = sizeof bar;
        bar.fMask = SIF_ALL;
        GetScrollInfo(tree_, SB_VERT, &bar);
        return bar;
    }
    bool BarDisabled() const
    {
        SCROLLBARINFO info = {};
        info.cbSize = sizeof info;
        GetScrollBarInfo(tree_, OBJID_VSCROLL, &info);
        return (info.rgstate[0] & STATE_SYSTEM_UNAVAILABLE) != 0;
    }
    void Scroll(UINT code) { SendMessageW(tree_, WM_VSCROLL, code, 0); }
    std::pair<int, int> Selection() const
    {
        DWORD start = 0, end = 0;
        SendMessageW(state_->editor, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                     reinterpret_cast<LPARAM>(&end));
        return {static_cast<int>(start), static_cast<int>(end)};
    }
    void Type(const WCHAR* text) { SetWindowTextW(state_->editor, text); }
    RECT EditorPlace() const
    {
        RECT place;
        GetWindowRect(state_->editor, &place);
        MapWindowPoints(nullptr, tree_, reinterpret_cast<POINT*>(&place), 2);
        return place;
    }
};

// ---- Records in, state and scroll bar ----

TEST_F(Tree, EmptyControlIsWhiteWithDisabledBarAndIgnoresInput)
{
    Give(nullptr, 0);
    Pixels shot = Shot();
    RECT all = {0, 0, shot.width, shot.height};
    EXPECT_EQ(shot.width * shot.height, Count(shot, all, IsWhite));
    EXPECT_TRUE(BarDisabled());
    Tap(10, 5);
    Tap(ValueColumn() + 5, 5);
    Key(VK_DOWN);
    HotKey(VK_DOWN);
    Key(VK_RETURN);
    EXPECT_EQ(-1, state_->current);
    CommitEdit(state_);
    CommitEdit(nullptr);
    EXPECT_FALSE(EditorShown());

    // Records given and then taken away again leave the same white control.
    std::vector<OptionItem> items = Sample();
    Give(items.data(), static_cast<int>(items.size()));
    Tap(ValueColumn() + 5, RowMiddle(1));
    EXPECT_TRUE(EditorShown());
    Give(items.data(), 0);
    EXPECT_FALSE(EditorShown());
    shot = Shot();
    EXPECT_EQ(shot.width * shot.height, Count(shot, all, IsWhite));
    EXPECT_TRUE(BarDisabled());
}

TEST_F(Tree, SetItemsAppliesInitialStateAndStoresTheOpenEditFirst)
{
    std::vector<OptionItem> first = Sample();
    for (OptionItem& item : first)
        item.visible = 0;
    first[2].changed = 1;
    Give(first.data(), static_cast<int>(first.size()));
    EXPECT_EQ(1, first[0].visible);
    EXPECT_EQ(0, first[7].visible);
    EXPECT_EQ(1, first[4].value);  // top Group unfolded
    EXPECT_EQ(0, first[6].value);  // Group one level down folded
    EXPECT_EQ(1, first[2].changed);

    Tap(ValueColumn() + 5, RowMiddle(1));
    Type(L"77");
    std::vector<OptionItem> second = Sample();
    Give(second.data(), static_cast<int>(second.size()));
    EXPECT_EQ(77, ItemNumber(first[1]));
    EXPECT_EQ(1, first[1].changed);
    EXPECT_EQ(-1, state_->current);
    EXPECT_EQ(0, state_->scrollPos);
    EXPECT_EQ(5, ItemNumber(second[1]));
}

TEST_F(Tree, ScrollBarRangeIsTheVisibleRowsAndPageTheClientHeight)
{
    std::vector<OptionItem> items = Sample();
    Give(items.data(), static_cast<int>(items.size()));
    EXPECT_TRUE(BarDisabled());
    std::vector<OptionItem> many = Many(30);
    Give(many.data(), 30);
    SCROLLINFO bar = Bar();
    EXPECT_EQ(0, bar.nMin);
    EXPECT_EQ(30 * Row(), bar.nMax);
    EXPECT_EQ(static_cast<UINT>(TreeHeight), bar.nPage);
    EXPECT_EQ(0, bar.nPos);
    EXPECT_FALSE(BarDisabled());
}

TEST_F(Tree, CreationFailsWithoutState)
{
    void* (*saved)(size_t, size_t) = AllocateTreeState;
    AllocateTreeState = [](size_t, size_t) -> void* { return nullptr; };
    HWND failed = CreateWindowExW(0, OPTION_TREE_CLASS, L"", WS_CHILD | WS_VSCROLL, 0, 0, 100,
                                  100, host_, nullptr, GetModuleHandleW(nullptr), nullptr);
    AllocateTreeState = saved;
    EXPECT_EQ(nullptr, failed);
    EXPECT_EQ(nullptr, OptionTreeStateOf(host_));  // not a tree at all
}

TEST_F(Tree, WithoutStateHandledMessagesDoNothingAndTheRestGoToTheDefault)
{
    std::vector<OptionItem> items = Sample();
    Give(items.data(), static_cast<int>(items.size()));
    const LONG_PTR saved = SetWindowLongPtrW(tree_, GWLP_USERDATA, 0);
    ASSERT_EQ(reinterpret_cast<LONG_PTR>(state_), saved);

    std::vector<OptionItem> other = Sample();
    EXPECT_EQ(0, SendMessageW(tree_, OTM_SETITEMS, reinterpret_cast<WPARAM>(other.data()),
                              static_cast<LPARAM>(other.size())));
    EXPECT_EQ(0, SendMessageW(tree_, WM_LBUTTONDOWN, MK_LBUTTON,
                              MAKELPARAM(ValueColumn() + 5, RowMiddle(2))));
    EXPECT_EQ(0, SendMessageW(tree_, WM_KEYDOWN, VK_DOWN, 0));
    EXPECT_EQ(0, SendMessageW(tree_, WM_HOTKEY, NavKeyDownId, MAKELPARAM(0, VK_DOWN)));
    EXPECT_EQ(0, SendMessageW(tree_, WM_VSCROLL, SB_LINEDOWN, 0));
    EXPECT_EQ(0, SendMessageW(tree_, WM_SIZE, 0, MAKELPARAM(50, 50)));
    EXPECT_EQ(0, SendMessageW(tree_, WM_GETDLGCODE, 0, 0));
    EXPECT_EQ(1, SendMessageW(tree_, WM_DESTROY, 0, 0));
    InvalidateRect(tree_, nullptr, FALSE);
    EXPECT_EQ(0, SendMessageW(tree_, WM_PAINT, 0, 0));
    EXPECT_EQ(FALSE, GetUpdateRect(tree_, nullptr, FALSE));  // validated, not asked again
    // Not the control's: the default procedure keeps the window's text.
    EXPECT_EQ(TRUE, SendMessageW(tree_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"text")));
    EXPECT_EQ(4, SendMessageW(tree_, WM_GETTEXTLENGTH, 0, 0));

    SetWindowLongPtrW(tree_, GWLP_USERDATA, saved);
    EXPECT_EQ(items.data(), state_->items);  // none of it reached the state
    EXPECT_EQ(-1, state_->current);
    EXPECT_EQ(0, state_->scrollPos);
    EXPECT_EQ(TreeWidth - GetSystemMetrics(SM_CXVSCROLL), state_->clientWidth);
    EXPECT_EQ(1, items[2].value);
}

TEST_F(Tree, DestructionStoresTheOpenEdit)
{
    std::vector<OptionItem> items = Sample();
    Give(items.data(), static_cast<int>(items.size()));
    Tap(ValueColumn() + 5, RowMiddle(0));
    Type(L"\\Storage Card");
    DestroyWindow(tree_);
    EXPECT_EQ("\\Storage Card", Utf8(ItemText(items[0])));
    EXPECT_EQ(1, items[0].changed);
    free(const_cast<WCHAR*>(ItemText(items[0])));
    EXPECT_EQ(nullptr, OptionTreeStateOf(tree_));
}

// ---- Taps ----

TEST_F(Tree, TapOnTheLineBetweenRowsHitsTheUpperRowBelowTheLastNothing)
{
    std::vector<OptionItem> items = Sample();
    Give(items.data(), static_cast<int>(items.size()));
    Tap(10, Row());  // the line between rows 0 and 1
    EXPECT_EQ(0, state_->current);
    Tap(10, Row() + 1);
    EXPECT_EQ(1, state_->current);
    EXPECT_TRUE(EditorShown());
    Type(L"9");
    Tap(10, 8 * Row() + 3);  // below the last (8th visible) row
    EXPECT_EQ(1, state_->current);
    EXPECT_TRUE(EditorShown());
    EXPECT_EQ("9", EditorText());
    EXPECT_EQ(5, ItemNumber(items[1]));
    // The last visible row is "Last", after the hidden "Deep".
    Tap(10, RowMiddle(7));
    EXPECT_EQ(8, state_->current);
    EXPECT_EQ(9, ItemNumber(items[1]));
}

TEST_F(Tree, GroupCaptionSelectsTriangleToggles)
{
    std::vector<OptionItem> items = Sample();
    Give(items.data(), static_cast<int>(items.size()));
    Tap(state_->clientWidth / 2, RowMiddle(4));  // on the rule and caption
    EXPECT_EQ(4, state_->current);
    EXPECT_EQ(1, items[4].value);
    Tap(state_->glyphWidth - 1, RowMiddle(4));  // the triangle
    EXPECT_EQ(0, items[4].value);
    EXPECT_EQ(0, items[5].visible);
    EXPECT_EQ(0, items[4].changed);
    EXPECT_EQ(6 * Row(), Bar().nMax);
    // The nested Group's triangle sits one indent further in.
    Tap(state_->glyphWidth, RowMiddle(4));
    EXPECT_EQ(0, items[4].value);
    Key(VK_SPACE);
    EXPECT_EQ(1, items[5].visible);
    Tap(state_->indent + 2, RowMiddle(6));
    EXPECT_EQ(6, state_->current);
    EXPECT_EQ(1, items[6].value);
    EXPECT_EQ(1, items[7].visible);
    EXPECT_EQ(9 * Row(), Bar().nMax);
}

TEST_F(Tree, CheckBoxTapSelectsAndTogglesThenTogglesBack)
{
    std::vector<OptionItem> items = Sample();
    Give(items.data(), static_cast<int>(items.size()));
    Tap(10, RowMiddle(2));  // caption: selects only
    EXPECT_EQ(2, state_->current);
    EXPECT_EQ(1, items[2].value);
    Tap(ValueColumn() + 4, RowMiddle(5));
    EXPECT_EQ(5, state_->current);
    EXPECT_EQ(1, items[5].value);
    EXPECT_EQ(1, items[5].changed);
    Tap(ValueColumn() + 4, RowMiddle(5));
    EXPECT_EQ(0, items[5].value);
    EXPECT_EQ(1, items[5].changed);
    Tap(ValueColumn(), RowMiddle(5));  // on the column's edge: not inside it
    EXPECT_EQ(0, items[5].value);
}

TEST_F(Tree, NumberAndTextEditorSelectsAllOrPutsTheCaretAtTheTap)
{
    std::vector<OptionItem> items = Sample();
    Give(items.data(), static_cast<int>(items.size()));
    Tap(10, RowMiddle(0));
    EXPECT_TRUE(EditorShown());
    EXPECT_EQ("\\Temp", EditorText());
    EXPECT_EQ(std::make_pair(0, 5), Selection());
    EXPECT_EQ(state_->editor, GetFocus());
    RECT place = EditorPlace();
    EXPECT_EQ(ValueColumn(), place.left);
    EXPECT_EQ(state_->textTop + 1, place.top);
    EXPECT_EQ(state_->clientWidth, place.right);
    EXPECT_EQ(state_->textHeight - 1, place.bottom - place.top);

    // A tap between the third and fourth characters of "end".
    Tap(10, RowMiddle(7));
    EXPECT_EQ("end", EditorText());
    LRESULT third = SendMessageW(state_->editor, EM_POSFROMCHAR, 2, 0);
    LRESULT fourth = SendMessageW(state_->editor, EM_POSFROMCHAR, 3, 0);
    (void)fourth;
    const int x = ValueColumn() + static_cast<short>(LOWORD(third)) + 1;
    Tap(10, RowMiddle(1));
    Tap(x, RowMiddle(7));
    EXPECT_EQ(8, state_->current);
    std::pair<int, int> caret = Selection();
    EXPECT_EQ(caret.first, caret.second);
    EXPECT_TRUE(caret.first == 2 || caret.first == 3) << caret.first;
    // Far right of the value column: after the last character.
    Tap(10, RowMiddle(1));
    Tap(state_->clientWidth - 2, RowMiddle(7));
    EXPECT_EQ(std::make_pair(3, 3), Selection());
    // On the current row a second tap changes nothing.
    Type(L"edited");
    SendMessageW(state_->editor, EM_SETSEL, 1, 1);
    Tap(ValueColumn() + 2, RowMiddle(7));
    EXPECT_EQ("edited", EditorText());
    EXPECT_EQ(std::make_pair(1, 1), Selection());
    EXPECT_EQ("end", Utf8(ItemText(items[8])));
}

TEST_F(Tree, CommitEditStoresWhatTheEditorHolds)
{
    std::vector<OptionItem> items = Sample();
    Give(items.data(), static_cast<int>(items.size()));
    Tap(ValueColumn() + 5, RowMiddle(1));
    Type(L"12abc");
    CommitEdit(OptionTreeStateOf(tree_));
    EXPECT_EQ(12, ItemNumber(items[1]));
    EXPECT_EQ(1, items[1].changed);
    EXPECT_EQ(-1, state_->current);
    EXPECT_FALSE(EditorShown());

    Tap(ValueColumn() + 5, RowMiddle(1));
    EXPECT_EQ("12", EditorText());
    Type(L"99999999999999999999999999999999999999");
    CommitEdit(state_);
    EXPECT_EQ(2147483647, ItemNumber(items[1]));

    const WCHAR* callers = ItemText(items[0]);
    Tap(ValueColumn() + 5, RowMiddle(0));
    CommitEdit(state_);  // unchanged text: nothing stored
    EXPECT_EQ(callers, ItemText(items[0]));
    EXPECT_EQ(0, items[0].changed);
    Tap(ValueColumn() + 5, RowMiddle(0));
    Type(L"");
    CommitEdit(state_);
    EXPECT_EQ("", Utf8(ItemText(items[0])));
    EXPECT_EQ(1, items[0].changed);
    EXPECT_EQ("\\Temp", Utf8(callers));
    Tap(ValueColumn() + 5, RowMiddle(0));
    std::u16string longText(5000, u'x');
    Type(W(longText));
    CommitEdit(state_);  // the control's own first string is freed here
    EXPECT_EQ(longText, U16(ItemText(items[0])));
    free(const_cast<WCHAR*>(ItemText(items[0])));
    // A Check row current: committing stores nothing.
    Tap(10, RowMiddle(2));
    CommitEdit(state_);
    EXPECT_EQ(1, items[2].value);
    EXPECT_EQ(0, items[2].changed);
}

// ---- Keys ----

TEST_F(Tree, UpAndDownSkipHiddenRowsAndStopAtTheEnds)
{
    std::vector<OptionItem> items = Sample();
    Give(items.data(), static_cast<int>(items.size()));
    HotKey(VK_UP);  // no current row: the first
    EXPECT_EQ(0, state_->current);
    Key(VK_UP);  // first row: nothing happens
    EXPECT_EQ(0, state_->current);
    EXPECT_TRUE(EditorShown());
    std::vector<int> seen;
    for (int i = 0; i < 9; ++i) {
        HotKey(VK_DOWN);
        seen.push_back(state_->current);
    }
    EXPECT_EQ((std::vector<int>{1, 2, 3, 4, 5, 6, 8, 8, 8}), seen);
    Key(VK_UP);
    EXPECT_EQ(6, state_->current);

    CommitEdit(state_);
    Key(VK_DOWN);
    EXPECT_EQ(0, state_->current);
    Key(VK_LEFT);
    Key(VK_ESCAPE);
    EXPECT_EQ(0, state_->current);
}

TEST_F(Tree, UpAndDownStoreTheEditAndSelectAllOfTheNext)
{
    std::vector<OptionItem> items = Sample();
    Give(items.data(), static_cast<int>(items.size()));
    Tap(state_->clientWidth - 2, RowMiddle(0));
    Type(L"\\Edited");
    HotKey(VK_DOWN);
    EXPECT_EQ("\\Edited", Utf8(ItemText(items[0])));
    EXPECT_EQ(1, state_->current);
    EXPECT_EQ("5", EditorText());
    EXPECT_EQ(std::make_pair(0, 1), Selection());
    Type(L" -5");
    HotKey(VK_UP);
    EXPECT_EQ(-5, ItemNumber(items[1]));
    EXPECT_EQ(0, state_->current);
    EXPECT_EQ(std::make_pair(0, 7), Selection());
    // Up on the first row commits nothing.
    Type(L"kept open");
    HotKey(VK_UP);
    EXPECT_EQ("\\Edited", Utf8(ItemText(items[0])));
    EXPECT_EQ("kept open", EditorText());
    free(const_cast<WCHAR*>(ItemText(items[0])));
    SetItemText(items[0], L"");
    items[0].changed = 0;
}

TEST_F(Tree, ReturnAndSpaceActivateTheCurrentRow)
{
    std::vector<OptionItem> items = Sample();
    Give(items.data(), static_cast<int>(items.size()));
    Key(VK_RETURN);  // no current row
    Tap(10, RowMiddle(2));
    Key(VK_RETURN);
    EXPECT_EQ(0, items[2].value);
    Key(VK_SPACE);
    EXPECT_EQ(1, items[2].value);
    Tap(state_->clientWidth / 2, RowMiddle(4));
    Key(VK_RETURN);
    EXPECT_EQ(0, items[4].value);
    Tap(10, RowMiddle(1));
    Key(VK_RETURN);  // Number: nothing
    EXPECT_EQ(1, state_->current);
    EXPECT_TRUE(EditorShown());
}

TEST_F(Tree, RealHotKeysReachTheControlWhileTheEditorHasTheFocus)
{
    std::vector<OptionItem> items = Sample();
    Give(items.data(), static_cast<int>(items.size()));
    EnableNavKeys(tree_);
    Tap(ValueColumn() + 5, RowMiddle(1));
    ASSERT_EQ(state_->editor, GetFocus());
    Type(L"31");
    INPUT keys[2] = {};
    keys[0].type = keys[1].type = INPUT_KEYBOARD;
    keys[0].ki.wVk = keys[1].ki.wVk = VK_DOWN;
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, keys, sizeof(INPUT));
    PumpMessagesUntil([this] { return state_->current == 2; }, 2000);
    DisableNavKeys(tree_);
    EXPECT_EQ(2, state_->current);
    EXPECT_EQ(31, ItemNumber(items[1]));
    // Unregistered, the same key goes to the editor as an ordinary key.
    Tap(ValueColumn() + 5, RowMiddle(1));
    SendInput(2, keys, sizeof(INPUT));
    PumpPendingMessages();  // the key was queued as it was sent
    EXPECT_EQ(1, state_->current);
}

// ---- Scrolling ----

TEST_F(Tree, ScrollBarMovesByOnePixelPerArrowAndAPagePerPageStep)
{
    std::vector<OptionItem> items = Many(30);
    Give(items.data(), 30);
    const Pixels before = Shot();
    Scroll(SB_LINEDOWN);
    EXPECT_EQ(1, state_->scrollPos);
    EXPECT_EQ(1, Bar().nPos);
    const Pixels after = Shot();
    // Content moved up by one pixel: every line is the next line of before.
    int same = 0;
    for (int y = 0; y + 1 < before.height; ++y)
        for (int x = 0; x < before.width; ++x)
            same += after.At(x, y) == before.At(x, y + 1) ? 1 : 0;
    EXPECT_EQ(before.width * (before.height - 1), same);

    Scroll(SB_LINEUP);
    Scroll(SB_LINEUP);
    EXPECT_EQ(0, state_->scrollPos);
    Scroll(SB_PAGEDOWN);
    EXPECT_EQ(TreeHeight, state_->scrollPos);
    Scroll(SB_PAGEDOWN);
    Scroll(SB_PAGEDOWN);
    const int last = 30 * Row() - TreeHeight + 1;  // range 0..total, page = height
    EXPECT_EQ(last, state_->scrollPos);
    Scroll(SB_PAGEUP);
    EXPECT_EQ(last - TreeHeight, state_->scrollPos);
    Scroll(SB_TOP);
    EXPECT_EQ(0, state_->scrollPos);
    Scroll(SB_BOTTOM);
    EXPECT_EQ(last, state_->scrollPos);
    Scroll(SB_ENDSCROLL);
    Scroll(SB_THUMBPOSITION);
    EXPECT_EQ(last, state_->scrollPos);
    EXPECT_EQ(last, Bar().nPos);

    // A scrolled picture equals one painted from scratch at that position.
    const Pixels scrolled = Shot();
    InvalidateRect(tree_, nullptr, FALSE);
    const Pixels repainted = Shot();
    EXPECT_TRUE(scrolled.bits == repainted.bits);
    // Taps go to the rows as they are now.
    Tap(10, 1);
    EXPECT_EQ(last / Row(), state_->current);
}

TEST_F(Tree, ThumbDragScrollsWhileTracking)
{
    std::vector<OptionItem> items = Many(30);
    Give(items.data(), 30);
    SCROLLBARINFO info = {};
        info.cbSize = sizeof info;
    ASSERT_TRUE(GetScrollBarInfo(tree_, OBJID_VSCROLL, &info));
    const int x = (info.rcScrollBar.left + info.rcScrollBar.right) / 2;
    const int y = info.rcScrollBar.top + (info.xyThumbTop + info.xyThumbBottom) / 2;
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    auto mouse = [&](int mx, int my, DWORD flags) {
        INPUT input = {};
        input.type = INPUT_MOUSE;
        input.mi.dx = (mx * 65536 + screenWidth / 2) / screenWidth;
        input.mi.dy = (my * 65536 + screenHeight / 2) / screenHeight;
        input.mi.dwFlags = flags | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE;
        SendInput(1, &input, sizeof input);
    };
    // The scroll bar tracks the drag in a loop of its own, so the whole
    // gesture is queued before any of it is handled.
    mouse(x, y, 0);
    mouse(x, y, MOUSEEVENTF_LEFTDOWN);
    mouse(x, y + 20, 0);
    mouse(x, y + 40, 0);
    mouse(x, y + 40, MOUSEEVENTF_LEFTUP);
    PumpMessagesUntil([this] { return state_->scrollPos > 40; }, 2000);
    EXPECT_GT(state_->scrollPos, 40);
    EXPECT_EQ(Bar().nPos, state_->scrollPos);
}

TEST_F(Tree, SelectingARowPastTheEdgeScrollsByOneRow)
{
    std::vector<OptionItem> items = Many(30);
    Give(items.data(), 30);
    const int partial = TreeHeight / Row();  // sticks out below the bottom
    ASSERT_GT((partial + 1) * Row(), TreeHeight);
    Tap(10, TreeHeight - 1);
    EXPECT_EQ(partial, state_->current);
    EXPECT_EQ(Row(), state_->scrollPos);
    EXPECT_EQ(Row(), Bar().nPos);
    EXPECT_EQ(partial * Row() - Row(), state_->currentTop);

    // The Number row 0 is above the top edge now: Up to it comes back.
    for (int i = partial; i > 1; --i)
        Key(VK_UP);
    EXPECT_EQ(1, state_->current);
    EXPECT_EQ(Row(), state_->scrollPos);
    Key(VK_UP);
    EXPECT_EQ(0, state_->current);
    EXPECT_EQ(0, state_->scrollPos);
    EXPECT_EQ(0, state_->currentTop);
    EXPECT_TRUE(EditorShown());
    // The editor follows its row to the row's top edge.
    EXPECT_EQ(0, EditorPlace().top);
    EXPECT_EQ(ValueColumn(), EditorPlace().left);

    // Down to the edge: the editor opens at the row's new place.
    CommitEdit(state_);
    Give(items.data(), 30);
    for (int i = 0; i <= partial; ++i)
        Key(VK_DOWN);
    EXPECT_EQ(partial, state_->current);
    EXPECT_EQ(Row(), state_->scrollPos);
}

TEST_F(Tree, EditorHidesWithItsRowAndReturnsWithTheFocus)
{
    std::vector<OptionItem> items = Many(30);
    Give(items.data(), 30);
    Tap(ValueColumn() + 5, RowMiddle(0));
    ASSERT_TRUE(EditorShown());
    Scroll(SB_LINEDOWN);
    EXPECT_TRUE(EditorShown());
    EXPECT_EQ(-1, EditorPlace().top);
    Scroll(SB_PAGEDOWN);
    EXPECT_FALSE(EditorShown());
    SetFocus(tree_);
    Type(L"123");
    Scroll(SB_PAGEUP);
    EXPECT_TRUE(EditorShown());
    EXPECT_EQ(state_->editor, GetFocus());
    EXPECT_EQ(-1, state_->currentTop);
    // Just out of view: the row's top at -rowHeight still counts as shown.
    Scroll(SB_TOP);
    for (int i = 0; i < Row(); ++i)
        Scroll(SB_LINEDOWN);
    EXPECT_TRUE(EditorShown());
    Scroll(SB_LINEDOWN);
    EXPECT_FALSE(EditorShown());
    EXPECT_EQ(0, ItemNumber(items[0]));
    CommitEdit(state_);
    EXPECT_EQ(123, ItemNumber(items[0]));
}

TEST_F(Tree, LayoutKeepsTheScrollPositionWithinTheNewRange)
{
    std::vector<OptionItem> items = Many(30);
    items.insert(items.begin(), Record(L"Top", 0, Group));
    for (size_t i = 1; i < items.size(); ++i)
        items[i].level = 1;
    items.push_back(Record(L"After", 0, Number, 3));
    Give(items.data(), static_cast<int>(items.size()));
    Tap(ValueColumn() + 5, RowMiddle(31));  // the Number after the Group: scrolls
    Scroll(SB_BOTTOM);
    const int bottom = state_->scrollPos;
    ASSERT_GT(bottom, 0);
    const int top = state_->currentTop;
    // Taller: the range shrinks, the position is clamped, the row follows.
    SetWindowPos(tree_, nullptr, 0, 0, TreeWidth, TreeHeight + 60, SWP_NOZORDER | SWP_NOMOVE);
    PumpPendingMessages();
    EXPECT_EQ(bottom - 60, state_->scrollPos);
    EXPECT_EQ(Bar().nPos, state_->scrollPos);
    EXPECT_EQ(top + 60, state_->currentTop);
    EXPECT_EQ(top + 60, EditorPlace().top);

    // Fold the Group while scrolled: everything fits, back to the top, the
    // current row with it.
    Scroll(SB_TOP);
    for (int i = 0; i < 10; ++i)
        Scroll(SB_LINEDOWN);
    Tap(state_->glyphWidth / 2, 2);
    EXPECT_EQ(0, state_->current);
    EXPECT_EQ(0, state_->scrollPos);
    EXPECT_EQ(0, Bar().nPos);
    EXPECT_EQ(0, state_->currentTop);
    Key(VK_DOWN);
    EXPECT_EQ(31, state_->current);
    EXPECT_EQ(Row(), state_->currentTop);
    EXPECT_EQ(Row() + state_->textTop + 1, EditorPlace().top);
    // Narrower: the value column stays at least 50 pixels wide.
    SetWindowPos(tree_, nullptr, 0, 0, 80, TreeHeight, SWP_NOZORDER | SWP_NOMOVE);
    PumpPendingMessages();
    EXPECT_EQ(state_->clientWidth - 50, ValueColumn());
    EXPECT_EQ(ValueColumn(), EditorPlace().left);
    EXPECT_EQ(state_->clientWidth, EditorPlace().right);
}

// ---- The Choice popup list ----

namespace {

// Drives the modal popup menu from a thread timer, which the menu's own
// message loop dispatches: once the menu window is up it records what the
// menu shows and posts the keys.
struct MenuDriver {
    static std::vector<UINT> keys;
    static std::vector<UINT> states;
    static std::vector<std::string> texts;
    static RECT place;
    static bool shown;
    static bool upKeyFree;
    static HWND probe;
    static int ticks;
    static std::function<void()> meanwhile;  // runs while the list is open

    static void Start(HWND probeWindow, std::vector<UINT> toPost,
                      std::function<void()> action = nullptr)
    {
        keys = toPost;
        meanwhile = action;
        states.clear();
        texts.clear();
        shown = upKeyFree = false;
        probe = probeWindow;
        ticks = 0;
        SetTimer(nullptr, 0, 10, Tick);
    }

    static void CALLBACK Tick(HWND, UINT, UINT_PTR id, DWORD)
    {
        HWND menuWindow = FindWindowW(L"#32768", nullptr);
        if (++ticks > 300) {  // never hang the test run
            KillTimer(nullptr, id);
            EndMenu();
            return;
        }
        if (!menuWindow || !IsWindowVisible(menuWindow))
            return;
        KillTimer(nullptr, id);
        shown = true;
        GetWindowRect(menuWindow, &place);
        HMENU menu = reinterpret_cast<HMENU>(SendMessageW(menuWindow, MN_GETHMENU, 0, 0));
        for (int i = 0; i < GetMenuItemCount(menu); ++i) {
            states.push_back(GetMenuState(menu, i, MF_BYPOSITION));
            WCHAR text[64] = {};
            GetMenuStringW(menu, i, text, 64, MF_BYPOSITION);
            texts.push_back(Utf8(text));
        }
        // With the list open, Up and Down are not the control's hot keys.
        upKeyFree = RegisterHotKey(probe, NavKeyUpId, 0, VK_UP) != 0;
        if (upKeyFree)
            UnregisterHotKey(probe, NavKeyUpId);
        if (meanwhile)
            meanwhile();
        for (UINT key : keys)
            PostMessageW(menuWindow, WM_KEYDOWN, key, 0);
    }
};
std::function<void()> MenuDriver::meanwhile;
std::vector<UINT> MenuDriver::keys;
std::vector<UINT> MenuDriver::states;
std::vector<std::string> MenuDriver::texts;
RECT MenuDriver::place;
bool MenuDriver::shown;
bool MenuDriver::upKeyFree;
HWND MenuDriver::probe;
int MenuDriver::ticks;

}  // namespace

class ChoiceList : public Tree {
protected:
    // Both hot keys are registered on the control (and are taken off it).
    bool NavKeysRegistered()
    {
        const bool up = UnregisterHotKey(tree_, NavKeyUpId) != 0;
        const bool down = UnregisterHotKey(tree_, NavKeyDownId) != 0;
        return up && down;
    }
    void Open(std::vector<UINT> keys, std::function<void()> meanwhile = nullptr)
    {
        MenuDriver::Start(host_, keys, meanwhile);
        Tap(ValueColumn() + 5, RowMiddle(3));
        PumpPendingMessages();
    }
};

TEST_F(ChoiceList, PickSetsTheValueWithTheCurrentEntryChecked)
{
    std::vector<OptionItem> items = Sample();
    Give(items.data(), static_cast<int>(items.size()));
    Open({VK_DOWN, VK_DOWN, VK_DOWN, VK_RETURN});
    ASSERT_TRUE(MenuDriver::shown);
    EXPECT_EQ((std::vector<std::string>{"Small", "Medium", "Large"}), MenuDriver::texts);
    ASSERT_EQ(3u, MenuDriver::states.size());
    EXPECT_FALSE(MenuDriver::states[0] & MF_CHECKED);
    EXPECT_TRUE(MenuDriver::states[1] & MF_CHECKED);
    EXPECT_FALSE(MenuDriver::states[2] & MF_CHECKED);
    EXPECT_EQ(ValueColumn(), MenuDriver::place.left);
    EXPECT_EQ(3 * Row() + state_->textBottom, MenuDriver::place.top);
    EXPECT_TRUE(MenuDriver::upKeyFree);
    EXPECT_EQ(2, items[3].value);
    EXPECT_EQ(1, items[3].changed);
    EXPECT_EQ(3, state_->current);
    EXPECT_TRUE(NavKeysRegistered());
}

TEST_F(ChoiceList, ClosedWithoutAPickOrOnTheSameEntryChangesNothing)
{
    std::vector<OptionItem> items = Sample();
    Give(items.data(), static_cast<int>(items.size()));
    Open({VK_ESCAPE});
    ASSERT_TRUE(MenuDriver::shown);
    EXPECT_EQ(1, items[3].value);
    EXPECT_EQ(0, items[3].changed);
    EXPECT_TRUE(NavKeysRegistered());

    // Return on the current Choice row opens the list again.
    MenuDriver::Start(host_, {VK_DOWN, VK_DOWN, VK_RETURN});
    Key(VK_RETURN);
    PumpPendingMessages();
    ASSERT_TRUE(MenuDriver::shown);
    EXPECT_EQ(1, items[3].value);
    EXPECT_EQ(0, items[3].changed);
    EXPECT_TRUE(NavKeysRegistered());
}

TEST_F(ChoiceList, ValueOutsideTheEntriesChecksNoneAndAnyPickSetsIt)
{
    std::vector<OptionItem> items = Sample();
    items[3].value = 7;
    Give(items.data(), static_cast<int>(items.size()));
    Open({VK_DOWN, VK_RETURN});
    ASSERT_TRUE(MenuDriver::shown);
    ASSERT_EQ(3u, MenuDriver::states.size());
    for (UINT state : MenuDriver::states)
        EXPECT_FALSE(state & MF_CHECKED);
    EXPECT_EQ(0, items[3].value);
    EXPECT_EQ(1, items[3].changed);
    EXPECT_TRUE(NavKeysRegistered());
}

TEST_F(ChoiceList, RecordsReplacedOrControlDestroyedWhileOpenTakeNoPick)
{
    std::vector<OptionItem> items = Sample();
    std::vector<OptionItem> others = Sample();
    Give(items.data(), static_cast<int>(items.size()));
    Open({VK_DOWN, VK_RETURN}, [&] {
        SendMessageW(tree_, OTM_SETITEMS, reinterpret_cast<WPARAM>(others.data()),
                     static_cast<LPARAM>(others.size()));
    });
    ASSERT_TRUE(MenuDriver::shown);
    EXPECT_EQ(1, items[3].value);
    EXPECT_EQ(1, others[3].value);
    EXPECT_EQ(0, others[3].changed);
    EXPECT_EQ(-1, state_->current);

    Open({}, [&] {
        DestroyWindow(tree_);
        EndMenu();
    });
    ASSERT_TRUE(MenuDriver::shown);
    EXPECT_FALSE(IsWindow(tree_));
    EXPECT_EQ(1, others[3].value);
}

// ---- Painting ----

namespace {

bool IsGroupCaption(DWORD p) { return p == 0xD20000; }
bool IsCurrentGroupCaption(DWORD p) { return p == 0xFF4040; }
bool IsTeal(DWORD p) { return p == 0x008080; }
bool IsGreen(DWORD p) { return p == 0x008000; }
bool IsBlack(DWORD p) { return p == 0; }
bool IsMagenta(DWORD p) { return p == 0xFF00FF; }

}  // namespace

class Painting : public Tree {
protected:
    void Smear(RECT area)
    {
        HDC dc = GetDC(tree_);
        HBRUSH brush = CreateSolidBrush(RGB(255, 0, 255));
        FillRect(dc, &area, brush);
        DeleteObject(brush);
        ReleaseDC(tree_, dc);
    }
    RECT RowArea(int k, int left, int right) const
    {
        RECT area = {left, k * Row(), right, (k + 1) * Row()};
        return area;
    }
    RECT All() const
    {
        RECT area = {0, 0, state_->clientWidth, state_->clientHeight};
        return area;
    }
};

TEST_F(Painting, CaptionColoursFollowTheCurrentRow)
{
    std::vector<OptionItem> items = Sample();
    Give(items.data(), static_cast<int>(items.size()));
    Pixels shot = Shot();
    EXPECT_EQ(0, Count(shot, All(), IsBlue));
    EXPECT_GT(Count(shot, CaptionArea(1), IsDark), 10);
    EXPECT_GT(Count(shot, RowArea(4, 0, state_->clientWidth), IsGroupCaption), 10);

    Tap(10, RowMiddle(1));
    shot = Shot();
    EXPECT_GT(Count(shot, CaptionArea(1), IsBlue), 10);
    EXPECT_EQ(0, Count(shot, CaptionArea(1), IsDark));
    EXPECT_EQ(0, Count(shot, CaptionArea(2), IsBlue));

    Tap(state_->clientWidth / 2, RowMiddle(4));
    shot = Shot();
    EXPECT_EQ(0, Count(shot, CaptionArea(1), IsBlue));  // committed, drawn again
    RECT group = RowArea(4, 0, state_->clientWidth);
    EXPECT_GT(Count(shot, group, IsCurrentGroupCaption), 10);
    EXPECT_EQ(0, Count(shot, group, IsGroupCaption));
    // The triple rule turns blue on the current Group.
    const int ruleX = 2 * state_->indent + 2;
    const int mid = 4 * Row() + Row() / 2;
    EXPECT_TRUE(IsBlue(shot.At(ruleX, mid - 2)));
    EXPECT_TRUE(IsBlue(shot.At(ruleX, mid)));
    EXPECT_TRUE(IsBlue(shot.At(ruleX, mid + 2)));
    EXPECT_TRUE(IsWhite(shot.At(ruleX, mid + 1)));
    const int subMid = 6 * Row() + Row() / 2;
    EXPECT_TRUE(IsBlack(shot.At(2 * state_->indent + 2, subMid)));
}

TEST_F(Painting, GlyphsUnderlinesAndValues)
{
    std::vector<OptionItem> items = Sample();
    items[5].value = 0;
    Give(items.data(), static_cast<int>(items.size()));
    const Pixels shot = Shot();
    const int valueX = ValueColumn();
    const int right = state_->clientWidth - state_->indent;
    const int glyphTop = Row() / 2 - state_->glyphHeight / 2;
    // Check boxes: teal frame; the checked one has a green tick.
    EXPECT_TRUE(IsTeal(shot.At(valueX + 1, 2 * Row() + glyphTop + 1)));
    EXPECT_GT(Count(shot, RowArea(2, valueX, valueX + 16), IsGreen), 10);
    EXPECT_TRUE(IsTeal(shot.At(valueX + 1, 5 * Row() + glyphTop + 1)));
    EXPECT_EQ(0, Count(shot, RowArea(5, valueX, valueX + 16), IsGreen));
    // Underlines under Number, Text and Choice values, none under Checks.
    int underline = Row() / 2 + state_->textHeight / 2;
    if (underline > Row() - 1)
        underline = Row() - 1;
    for (int k : {0, 1, 3, 7}) {
        RECT line = {valueX, k * Row() + underline, right, k * Row() + underline + 1};
        EXPECT_EQ(right - valueX, Count(shot, line, IsBlack)) << k;
    }
    RECT noLine = {valueX + 20, 2 * Row() + underline, right, 2 * Row() + underline + 1};
    EXPECT_EQ(0, Count(shot, noLine, IsBlack));
    // The drop-down arrow at the right end of the Choice row; the triangles.
    EXPECT_GT(Count(shot, RowArea(3, right - state_->glyphWidth, right), IsBlack),
              right - state_->glyphWidth > 0 ? 16 : 0);
    EXPECT_GE(Count(shot, RowArea(4, 0, state_->glyphWidth), IsBlack), 25);  // 9+7+5+3+1
    RECT subTriangle = RowArea(6, state_->indent, 2 * state_->indent);
    EXPECT_GE(Count(shot, subTriangle, IsBlack), 25);
    // Values: the number "5" and the texts.
    EXPECT_GT(Count(shot, RowArea(1, valueX, valueX + 20), IsDark), 10);
    EXPECT_GT(Count(shot, RowArea(0, valueX, valueX + 40), IsDark), 20);
}

TEST_F(Painting, ChoiceOutsideItsEntriesShowsNoText)
{
    std::vector<OptionItem> items = Sample();
    Give(items.data(), static_cast<int>(items.size()));
    const int valueX = ValueColumn();
    const int arrow = state_->clientWidth - state_->indent - state_->glyphWidth;
    RECT text = {valueX, 3 * Row(), arrow, 3 * Row() + Row() / 2 + 4};
    EXPECT_GT(Count(Shot(), text, IsDark), 10);
    items[3].value = -1;
    InvalidateRect(tree_, nullptr, FALSE);
    EXPECT_EQ(0, Count(Shot(), text, IsDark));
    items[3].value = 3;
    InvalidateRect(tree_, nullptr, FALSE);
    EXPECT_EQ(0, Count(Shot(), text, IsDark));
}

TEST_F(Painting, ChangedCaptionsAreBold)
{
    std::vector<OptionItem> items = Sample();
    Give(items.data(), static_cast<int>(items.size()));
    const int normal = Count(Shot(), CaptionArea(2), IsDark);
    Tap(ValueColumn() + 4, RowMiddle(2));  // toggles: changed
    Tap(10, RowMiddle(0));
    const int bold = Count(Shot(), CaptionArea(2), IsDark);
    EXPECT_GT(bold, normal);
}

TEST_F(Painting, WhiteBelowTheLastRowAndNoBackgroundErase)
{
    std::vector<OptionItem> items = Sample();
    Give(items.data(), static_cast<int>(items.size()));
    Smear(All());
    InvalidateRect(tree_, nullptr, FALSE);
    const Pixels shot = Shot();
    EXPECT_EQ(0, Count(shot, All(), IsMagenta));
    RECT below = {0, 8 * Row(), state_->clientWidth, state_->clientHeight};
    const int area = (below.right - below.left) * (below.bottom - below.top);
    EXPECT_EQ(area, Count(shot, below, IsWhite));
}

TEST_F(Painting, HiddenRowsTakeNoSpaceAndPartialRepaintsMatchAFullOne)
{
    std::vector<OptionItem> items = Sample();
    items[7].label = L"D";  // no wider than the shown captions
    Give(items.data(), static_cast<int>(items.size()));
    const Pixels full = Shot();

    // The same list without the hidden record paints the same picture.
    std::vector<OptionItem> without = Sample();
    without.erase(without.begin() + 7);
    Give(without.data(), static_cast<int>(without.size()));
    EXPECT_TRUE(full.bits == Shot().bits);

    Give(items.data(), static_cast<int>(items.size()));
    // Repaint only a band starting inside the row after the hidden record.
    RECT band = {0, 7 * Row() + 3, state_->clientWidth, state_->clientHeight - 20};
    Smear(band);
    InvalidateRect(tree_, &band, FALSE);
    const Pixels partial = Shot();
    EXPECT_EQ(0, Count(partial, All(), IsMagenta));
    EXPECT_TRUE(full.bits == partial.bits);
    // And a band covering only the rows above it leaves the rest alone.
    RECT top = {0, 0, state_->clientWidth, 2 * Row()};
    Smear(top);
    InvalidateRect(tree_, &top, FALSE);
    EXPECT_TRUE(full.bits == Shot().bits);
}

TEST_F(Painting, NarrowControlClipsCaptionsBeforeTheValueColumn)
{
    std::vector<OptionItem> items = Sample();
    items[1].label = L"A much longer caption than fits";
    Give(items.data(), static_cast<int>(items.size()));
    SetWindowPos(tree_, nullptr, 0, 0, 100, TreeHeight, SWP_NOZORDER | SWP_NOMOVE);
    const Pixels shot = Shot();
    EXPECT_EQ(state_->clientWidth - 50, ValueColumn());
    EXPECT_LT(ValueColumn(), state_->labelColumnWidth);
    RECT gap = {ValueColumn() - 3, Row(), ValueColumn(), 2 * Row()};
    EXPECT_EQ(3 * Row(), Count(shot, gap, IsWhite));
    EXPECT_GT(Count(shot, CaptionArea(1), IsDark), 30);
}

// A picture of every kind of row to look at: set OPTIONTREE_SHOT to a .png
// path (imagemagick's import must be installed).
TEST_F(Painting, ScreenshotOfEveryKindOfRow)
{
    const char* path = getenv("OPTIONTREE_SHOT");
    if (!path)
        GTEST_SKIP() << "OPTIONTREE_SHOT not set";
    static const WCHAR* const modes[] = {L"BMP", L"JPEG"};
    std::vector<OptionItem> items = {
        Record(L"Папка", 0, Text, reinterpret_cast<INT_PTR>(L"\\Temp")),
        Record(L"Задержка", 0, Number, 5),
        Record(L"Звук", 0, Check, 1),
        Record(L"Уведомление", 0, Check, 0),
        Record(L"Формат", 0, Choice, 1),
        Record(L"Вне списка", 0, Choice, 9),
        Record(L"Размер", 0, Group),
        Record(L"Ширина", 1, Number, 240),
        Record(L"Дополнительно", 1, Group),
        Record(L"Скрыто", 2, Check, 1),
        Record(L"Свёрнуто", 0, Group),
        Record(L"Внутри", 1, Number, 1),
        Record(L"Прочее", 0, 42),
    };
    items[4].choiceCount = items[5].choiceCount = 2;
    items[4].choices = items[5].choices = modes;
    SetWindowPos(tree_, nullptr, 0, 0, 240, 320, SWP_NOZORDER | SWP_NOMOVE);
    Give(items.data(), static_cast<int>(items.size()));
    Tap(ValueColumn() + 4, RowMiddle(3));  // changed Check
    Tap(state_->glyphWidth / 2, RowMiddle(9));  // fold the last Group
    Tap(10, RowMiddle(1));  // the editor open on "Задержка"
    PumpMessages(100);
    std::string command = std::string("import -window root ") + path;
    EXPECT_EQ(0, system(command.c_str()));
}
