// The control as a user meets it: a real window under X, driven with the
// messages that taps, keys and the scroll bar produce.
#include "support/TestSupport.h"

#include <stdlib.h>

#include <vector>

#include "optiontree/OptionModel.h"
#include "optiontree/OptionTreeState.h"

namespace {

const int TreeWidth = 220;
const int TreeHeight = 200;

class TreeWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegisterOptionTreeClass();
        WNDCLASSW host = {};
        host.lpfnWndProc = DefWindowProcW;
        host.hInstance = GetModuleHandleW(nullptr);
        host.lpszClassName = L"TreeTestHost";
        host.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
        RegisterClassW(&host);
        host_ = CreateWindowExW(WS_EX_TOPMOST, L"TreeTestHost", L"", WS_POPUP | WS_VISIBLE, 0, 0,
                                240, 320, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(nullptr, host_);
        tree_ = CreateWindowExW(0, OPTION_TREE_CLASS, L"",
                                WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_VSCROLL | WS_TABSTOP,
                                0, 0, TreeWidth, TreeHeight, host_, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(nullptr, tree_);
        state_ = OptionTreeStateOf(tree_);
        ASSERT_NE(nullptr, state_);
        SetForegroundWindow(host_);
        PumpMessages(50);
    }
    void TearDown() override
    {
        if (host_)
            DestroyWindow(host_);
        PumpMessages(20);
    }

    void Give(OptionItem* items, int count)
    {
        EXPECT_EQ(1, SendMessageW(tree_, OTM_SETITEMS, reinterpret_cast<WPARAM>(items), count));
        PumpMessages(20);
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

    HWND host_ = nullptr;
    HWND tree_ = nullptr;
    OptionTreeState* state_ = nullptr;
};

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

TEST_F(TreeWindow, Smoke)
{
    static const WCHAR* const sizes[] = {L"Small", L"Medium", L"Large"};
    OptionItem items[] = {
        Record(L"Folder", 0, Text, reinterpret_cast<INT_PTR>(L"\\Temp")),
        Record(L"Delay", 0, Number, 5),
        Record(L"Sound", 0, Check, 1),
        Record(L"Size", 0, Choice, 1),
        Record(L"Group", 0, Group),
        Record(L"Inner", 1, Check),
    };
    items[3].choiceCount = 3;
    items[3].choices = sizes;
    Give(items, 6);
    printf("row %d textHeight %d textTop %d valueX %d label %d\n", Row(), state_->textHeight,
           state_->textTop, ValueColumn(), state_->labelColumnWidth);
    Tap(ValueColumn() + 5, RowMiddle(2));
    EXPECT_EQ(0, items[2].value);
    Tap(ValueColumn() + 5, RowMiddle(1));
    EXPECT_TRUE(EditorShown());
    EXPECT_EQ("5", EditorText());
    PumpMessages(200);
    system("import -window root /tmp/ot/smoke.png");
}
