#include "platform/AygShell.h"

#include <commctrl.h>
#include <stdlib.h>

#include <atomic>
#include <vector>

#include "config/DialogDriver.h"
#include "platform/ShellDialog.h"
#include "res/resource.h"
#include "support/TestSupport.h"

namespace {

int ScreenWidth() { return GetSystemMetrics(SM_CXSCREEN); }
int ScreenHeight() { return GetSystemMetrics(SM_CYSCREEN); }

// ---- A plain owner window that records what the bar sends it ----

std::vector<UINT> OwnerLog;  // messages and commands, on the owner's thread
std::atomic<int> OwnerCommands{0};

LRESULT CALLBACK OwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        OwnerLog.push_back(LOWORD(wParam));
        ++OwnerCommands;
        return 0;
    case WM_ENTERMENULOOP:
    case WM_EXITMENULOOP:
        OwnerLog.push_back(message);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND CreateOwner()
{
    static bool registered = false;
    if (!registered) {
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = OwnerProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
        windowClass.lpszClassName = L"TavroBarOwner";
        RegisterClassW(&windowClass);
        registered = true;
    }
    OwnerLog.clear();
    OwnerCommands = 0;
    HWND owner = CreateWindowExW(0, L"TavroBarOwner", L"owner", WS_POPUP | WS_VISIBLE, 0, 0,
                                 ScreenWidth(), ScreenHeight(), nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    SetForegroundWindow(owner);
    return owner;
}

SHMENUBARINFO BarInfo(HWND owner)
{
    SHMENUBARINFO info = {};
    info.cbSize = SHMENUBARINFO_HANDHELD_SIZE;
    info.hwndParent = owner;
    info.nToolBarId = IDM_CONFIG_MENU;
    info.hInstRes = GetModuleHandleW(nullptr);
    return info;
}

POINT KeyCentre(HWND bar, int index)
{
    RECT client;
    GetClientRect(bar, &client);
    POINT centre = {client.right / 4 + index * client.right / 2, client.bottom / 2};
    return centre;
}

}  // namespace

TEST(MenuBar, SitsAlongTheBottomOfTheScreenAndLeavesTheOwnerAboveIt)
{
    HWND owner = CreateOwner();
    SHMENUBARINFO info = BarInfo(owner);
    ASSERT_TRUE(SHCreateMenuBar(&info));
    ASSERT_TRUE(IsWindow(info.hwndMB));
    EXPECT_TRUE(IsWindowVisible(info.hwndMB));
    EXPECT_EQ(owner, GetWindow(info.hwndMB, GW_OWNER));

    RECT bar, ownerRect;
    GetWindowRect(info.hwndMB, &bar);
    GetWindowRect(owner, &ownerRect);
    EXPECT_EQ(0, bar.left);
    EXPECT_EQ(ScreenWidth(), bar.right);
    EXPECT_EQ(ScreenHeight(), bar.bottom);
    EXPECT_EQ(ScreenHeight() - ShellBarHeight(), bar.top);
    EXPECT_EQ(bar.top, ownerRect.bottom);  // the owner ends where the bar begins

    // The bar goes with its owner.
    DestroyWindow(owner);
    EXPECT_FALSE(IsWindow(info.hwndMB));
}

TEST(MenuBar, TakesTheHandheldRecordSizeOrItsOwnAndRefusesOthers)
{
    HWND owner = CreateOwner();
    SHMENUBARINFO info = BarInfo(owner);
    info.cbSize = sizeof(SHMENUBARINFO);
    EXPECT_TRUE(SHCreateMenuBar(&info));
    DestroyWindow(info.hwndMB);

    for (DWORD size : {0u, 32u, 40u}) {
        info = BarInfo(owner);
        info.cbSize = size;
        info.hwndMB = owner;
        EXPECT_FALSE(SHCreateMenuBar(&info)) << size;
        EXPECT_EQ(nullptr, info.hwndMB);
    }
    info = BarInfo(owner);
    info.nToolBarId = 4321;  // no such resource
    EXPECT_FALSE(SHCreateMenuBar(&info));
    info = BarInfo(nullptr);
    EXPECT_FALSE(SHCreateMenuBar(&info));
    EXPECT_FALSE(SHCreateMenuBar(nullptr));
    DestroyWindow(owner);
}

TEST(MenuBar, LeftKeySendsItsCommand)
{
    HWND owner = CreateOwner();
    SHMENUBARINFO info = BarInfo(owner);
    ASSERT_TRUE(SHCreateMenuBar(&info));
    POINT left = KeyCentre(info.hwndMB, 0);
    PostTap(info.hwndMB, left.x, left.y);
    PumpMessagesUntil([] { return OwnerCommands > 0; }, 3000);
    ASSERT_EQ(1u, OwnerLog.size());
    EXPECT_EQ(static_cast<UINT>(IDCANCEL), OwnerLog[0]);

    // A tap that slides off the key before it lifts sends nothing.
    PostMessageW(info.hwndMB, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(left.x, left.y));
    POINT right = KeyCentre(info.hwndMB, 1);
    PostMessageW(info.hwndMB, WM_LBUTTONUP, 0, MAKELPARAM(right.x, right.y));
    PumpPendingMessages();
    EXPECT_EQ(1u, OwnerLog.size());
    DestroyWindow(owner);
}

TEST(MenuBar, RightKeyOpensThePopupInAMenuLoopOfTheOwnerAndSendsThePick)
{
    HWND owner = CreateOwner();
    SHMENUBARINFO info = BarInfo(owner);
    ASSERT_TRUE(SHCreateMenuBar(&info));
    HWND bar = info.hwndMB;
    RECT menuRect = {};
    bool menuOpened = false;

    RunDriven(
        [] {
            PumpMessagesUntil([] { return OwnerCommands > 0; }, 8000);
            return 0;
        },
        [owner] { return owner; },
        [&](HWND) {
            POINT right = KeyCentre(bar, 1);
            PostTap(bar, right.x, right.y);
            HWND menu = WaitForWindow(FindOpenMenu);
            menuOpened = menu != nullptr;
            if (!menu)
                return;
            GetWindowRect(menu, &menuRect);
            PostKey(menu, VK_DOWN);
            PostKey(menu, VK_RETURN);
            WaitUntil([] { return OwnerCommands > 0; });
        });

    ASSERT_TRUE(menuOpened);
    // Above the bar, against the right edge of the screen.
    RECT barRect;
    GetWindowRect(bar, &barRect);
    EXPECT_LE(menuRect.bottom, barRect.top + 1);
    EXPECT_GE(menuRect.right, ScreenWidth() - 2);
    ASSERT_EQ(3u, OwnerLog.size());
    EXPECT_EQ(static_cast<UINT>(WM_ENTERMENULOOP), OwnerLog[0]);
    EXPECT_EQ(static_cast<UINT>(WM_EXITMENULOOP), OwnerLog[1]);
    EXPECT_EQ(static_cast<UINT>(IDC_CREATE_SHORTCUTS), OwnerLog[2]);
    DestroyWindow(owner);
}

TEST(MenuBar, DismissedPopupSendsNoCommand)
{
    HWND owner = CreateOwner();
    SHMENUBARINFO info = BarInfo(owner);
    ASSERT_TRUE(SHCreateMenuBar(&info));
    HWND bar = info.hwndMB;
    RunDriven(
        [] {
            // A pick would be sent right after the menu loop, in the same
            // dispatch of the tap.
            PumpMessagesUntil([] { return OwnerLog.size() >= 2; }, 8000);
            return 0;
        },
        [owner] { return owner; },
        [&](HWND) {
            POINT right = KeyCentre(bar, 1);
            PostTap(bar, right.x, right.y);
            if (HWND menu = WaitForWindow(FindOpenMenu))
                PostKey(menu, VK_ESCAPE);
            WaitUntil([] { return !FindOpenMenu(); });
        });
    ASSERT_EQ(2u, OwnerLog.size());
    EXPECT_EQ(static_cast<UINT>(WM_ENTERMENULOOP), OwnerLog[0]);
    EXPECT_EQ(static_cast<UINT>(WM_EXITMENULOOP), OwnerLog[1]);
    DestroyWindow(owner);
}

// ---- SHInitDialog on dialog 106 ----

namespace {

DWORD InitFlags = 0;
bool ClearOkStyle = false;

INT_PTR CALLBACK ShellTestDialog(HWND hDlg, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_INITDIALOG) {
        if (ClearOkStyle)
            SetWindowLongW(hDlg, GWL_EXSTYLE,
                           GetWindowLongW(hDlg, GWL_EXSTYLE) & ~WS_EX_CAPTIONOKBTN);
        SHINITDLGINFO info = {SHIDIM_FLAGS, hDlg, InitFlags};
        SHInitDialog(&info);
        return TRUE;
    }
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        EndDialog(hDlg, LOWORD(wParam));
        return TRUE;
    }
    if (message == WM_CLOSE) {
        EndDialog(hDlg, 16);
        return TRUE;
    }
    return FALSE;
}

int RunShellDialog()
{
    return static_cast<int>(DialogBoxParamW(GetModuleHandleW(nullptr),
                                            MAKEINTRESOURCEW(IDD_CONFIG), nullptr,
                                            ShellTestDialog, 0));
}

HWND FindShellDialog()
{
    return FindWindowOfThisProcess(L"#32770", L"Tavro");
}

}  // namespace

TEST(ShellDialog, FillsTheScreenAboveTheMenuBarUnderItsTitleStrip)
{
    InitFlags = 0x6D;
    ClearOkStyle = false;
    RECT window = {}, client = {};
    POINT clientOrigin = {};
    LONG style = 0;
    RECT ok = {};
    int code = RunDriven(RunShellDialog, FindShellDialog, [&](HWND dialog) {
        GetWindowRect(dialog, &window);
        GetClientRect(dialog, &client);
        ClientToScreen(dialog, &clientOrigin);
        style = GetWindowLongW(dialog, GWL_STYLE);
        ok = ShellOkButtonRect(dialog);
        SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_EQ(IDCANCEL, code);
    EXPECT_EQ(0, window.left);
    EXPECT_EQ(0, window.top);
    EXPECT_EQ(ScreenWidth(), window.right);
    EXPECT_EQ(ScreenHeight() - ShellBarHeight(), window.bottom);
    EXPECT_EQ(ShellBarHeight(), clientOrigin.y);  // the title strip
    EXPECT_EQ(0, clientOrigin.x);
    EXPECT_EQ(ScreenWidth(), client.right);
    EXPECT_EQ(ScreenHeight() - 2 * ShellBarHeight(), client.bottom);
    EXPECT_EQ(0, style & WS_CAPTION);  // no desktop caption left to draw

    // The ok button: in the title strip, at its right end.
    EXPECT_FALSE(IsRectEmpty(&ok));
    EXPECT_GE(ok.top, 0);
    EXPECT_LE(ok.bottom, ShellBarHeight());
    EXPECT_GT(ok.left, ScreenWidth() / 2);
    EXPECT_LE(ok.right, ScreenWidth());
}

TEST(ShellDialog, OkButtonTapSendsIdok)
{
    InitFlags = 0x6D;
    ClearOkStyle = false;
    int code = RunDriven(RunShellDialog, FindShellDialog, [](HWND dialog) {
        RECT ok = ShellOkButtonRect(dialog);
        LPARAM point = MAKELPARAM((ok.left + ok.right) / 2, (ok.top + ok.bottom) / 2);
        LRESULT hit = SendMessageW(dialog, WM_NCHITTEST, 0, point);
        SendMessageW(dialog, WM_NCLBUTTONDOWN, hit, point);
        SendMessageW(dialog, WM_NCLBUTTONUP, hit, point);
    });
    EXPECT_EQ(IDOK, code);
}

TEST(ShellDialog, TapOnTheTitleOutsideTheButtonDoesNothing)
{
    InitFlags = 0x6D;
    ClearOkStyle = false;
    bool stillOpen = false;
    int code = RunDriven(RunShellDialog, FindShellDialog, [&](HWND dialog) {
        LPARAM point = MAKELPARAM(20, ShellBarHeight() / 2);
        LRESULT hit = SendMessageW(dialog, WM_NCHITTEST, 0, point);
        SendMessageW(dialog, WM_NCLBUTTONDOWN, hit, point);
        SendMessageW(dialog, WM_NCLBUTTONUP, hit, point);
        Sleep(200);
        RECT window;
        GetWindowRect(dialog, &window);
        stillOpen = IsWindowVisible(dialog) && window.top == 0;
        SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(IDCANCEL, code);
}

TEST(ShellDialog, RealClickOnTheOkButton)
{
    InitFlags = 0x6D;
    ClearOkStyle = false;
    int code = RunDriven(RunShellDialog, FindShellDialog, [](HWND dialog) {
        RECT ok = ShellOkButtonRect(dialog);
        char command[128];
        wsprintfA(command, "xdotool mousemove %d %d click 1", static_cast<int>((ok.left + ok.right) / 2),
                  static_cast<int>((ok.top + ok.bottom) / 2));
        system(command);
        WaitUntil([dialog] { return !IsWindowVisible(dialog); });
    });
    EXPECT_EQ(IDOK, code);
}

TEST(ShellDialog, NoOkButtonUnlessAskedFor)
{
    InitFlags = SHIDIF_SIZEDLGFULLSCREEN;  // neither the flag nor the style
    ClearOkStyle = true;
    RECT ok = {1, 1, 2, 2};
    RECT window = {};
    RunDriven(RunShellDialog, FindShellDialog, [&](HWND dialog) {
        ok = ShellOkButtonRect(dialog);
        GetWindowRect(dialog, &window);
    });
    EXPECT_TRUE(IsRectEmpty(&ok));
    EXPECT_EQ(ScreenHeight(), window.bottom);  // no menu bar expected: the whole screen

    // The extended style alone asks for it too.
    InitFlags = SHIDIF_SIZEDLGFULLSCREEN;
    ClearOkStyle = false;
    RunDriven(RunShellDialog, FindShellDialog, [&](HWND dialog) { ok = ShellOkButtonRect(dialog); });
    EXPECT_FALSE(IsRectEmpty(&ok));
}

TEST(ShellDialog, TakesTheScreenAgainWhenItChangesSize)
{
    InitFlags = 0x6D;
    ClearOkStyle = false;
    RECT moved = {}, restored = {};
    RunDriven(RunShellDialog, FindShellDialog, [&](HWND dialog) {
        SetWindowPos(dialog, nullptr, 10, 10, 100, 100, SWP_NOZORDER | SWP_NOACTIVATE);
        GetWindowRect(dialog, &moved);
        SendMessageW(dialog, WM_DISPLAYCHANGE, 24,
                     MAKELPARAM(ScreenWidth(), ScreenHeight()));
        GetWindowRect(dialog, &restored);
    });
    EXPECT_EQ(10, moved.left);
    EXPECT_EQ(0, restored.left);
    EXPECT_EQ(0, restored.top);
    EXPECT_EQ(ScreenWidth(), restored.right);
    EXPECT_EQ(ScreenHeight() - ShellBarHeight(), restored.bottom);
}

TEST(ShellDialog, RefusesAMissingRecordOrWindow)
{
    EXPECT_FALSE(SHInitDialog(nullptr));
    SHINITDLGINFO info = {SHIDIM_FLAGS, nullptr, 0x6D};
    EXPECT_FALSE(SHInitDialog(&info));
    EXPECT_TRUE(SHInitExtraControls());
}

// ---- A bar window whose creation fails after it has taken its record ----

namespace {

const UINT_PTR FailCreationId = 0x7A5E;
HHOOK FailCreationHook = nullptr;
int BarNcDestroys = 0;

// Passes everything on to the bar's own procedure but WM_CREATE, which it
// fails: the window then goes (with WM_NCDESTROY) after the bar has been
// given WM_NCCREATE, as a failure of the system's part of the creation
// would have it.
LRESULT CALLBACK FailCreation(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                              DWORD_PTR)
{
    if (message == WM_CREATE)
        return -1;
    if (message == WM_NCDESTROY) {
        ++BarNcDestroys;
        RemoveWindowSubclass(window, FailCreation, FailCreationId);
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

LRESULT CALLBACK FailNewBars(int code, WPARAM wParam, LPARAM lParam)
{
    WCHAR className[64];
    HWND window = reinterpret_cast<HWND>(wParam);
    if (code == HCBT_CREATEWND && GetClassNameW(window, className, ARRAYSIZE(className)) &&
        !lstrcmpW(className, SHELL_MENU_BAR_CLASS))
        SetWindowSubclass(window, FailCreation, FailCreationId, 0);
    return CallNextHookEx(FailCreationHook, code, wParam, lParam);
}

// Counts the records the bars take and give back; a record given back
// twice is counted, not freed again.
std::vector<void*> LiveBarRecords;
int BarRecordsFreedTwice = 0;

void* CountedAllocate(size_t count, size_t size)
{
    void* block = calloc(count, size);
    if (block)
        LiveBarRecords.push_back(block);
    return block;
}

void CountedRelease(void* block)
{
    for (size_t i = 0; i < LiveBarRecords.size(); ++i) {
        if (LiveBarRecords[i] == block) {
            LiveBarRecords.erase(LiveBarRecords.begin() + i);
            free(block);
            return;
        }
    }
    ++BarRecordsFreedTwice;
}

class CountedBarRecords {
public:
    CountedBarRecords() : saved_(MenuBarRecords)
    {
        LiveBarRecords.clear();
        BarRecordsFreedTwice = 0;
        MenuBarRecords = {CountedAllocate, CountedRelease};
    }
    ~CountedBarRecords() { MenuBarRecords = saved_; }
    CountedBarRecords(const CountedBarRecords&) = delete;
    CountedBarRecords& operator=(const CountedBarRecords&) = delete;

private:
    ShellRecordHeap saved_;
};

}  // namespace

TEST(MenuBar, AWindowFailingAfterItTookItsRecordFreesItOnce)
{
    HWND owner = CreateOwner();
    CountedBarRecords counted;
    BarNcDestroys = 0;
    FailCreationHook = SetWindowsHookExW(WH_CBT, FailNewBars, nullptr, GetCurrentThreadId());
    ASSERT_NE(nullptr, FailCreationHook);
    SHMENUBARINFO info = BarInfo(owner);
    info.hwndMB = owner;
    const BOOL made = SHCreateMenuBar(&info);
    UnhookWindowsHookEx(FailCreationHook);

    EXPECT_FALSE(made);
    EXPECT_EQ(nullptr, info.hwndMB);
    EXPECT_EQ(1, BarNcDestroys);  // the failure path was taken
    EXPECT_EQ(0, BarRecordsFreedTwice);
    EXPECT_TRUE(LiveBarRecords.empty());
    EXPECT_EQ(nullptr, FindShellMenuBar(owner));

    // Bars made and destroyed as usual give their records back once too.
    info = BarInfo(owner);
    ASSERT_TRUE(SHCreateMenuBar(&info));
    EXPECT_EQ(1u, LiveBarRecords.size());
    DestroyWindow(info.hwndMB);
    info = BarInfo(owner);
    info.nToolBarId = 4321;  // no such resource: the record goes before any window
    EXPECT_FALSE(SHCreateMenuBar(&info));
    EXPECT_EQ(0, BarRecordsFreedTwice);
    EXPECT_TRUE(LiveBarRecords.empty());
    DestroyWindow(owner);
}
