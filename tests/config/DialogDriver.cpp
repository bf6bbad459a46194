#include "config/DialogDriver.h"

#include <commctrl.h>
#include <shlobj.h>
#include <stdlib.h>

#include <atomic>

#include "app/AppState.h"
#include "app/Settings.h"
#include "config/ConfigDialog.h"
#include "optiontree/OptionTree.h"
#include "platform/AygShell.h"
#include "support/TestSupport.h"

namespace {

struct ScriptThread {
    const std::function<HWND()>* found;
    const std::function<void(HWND)>* script;
    bool ran;
    HANDLE modalEnded;  // an event, set once modal() has returned
};

bool IsVisibleOfThisProcess(HWND window)
{
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    return process == GetCurrentProcessId() && IsWindowVisible(window);
}

struct TopLevelSearch {
    const std::function<bool(HWND)>* accept;
    HWND found;
};

BOOL CALLBACK MatchTopLevel(HWND window, LPARAM lParam)
{
    auto* search = reinterpret_cast<TopLevelSearch*>(lParam);
    if (IsVisibleOfThisProcess(window) && (*search->accept)(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND FindTopLevel(const std::function<bool(HWND)>& accept)
{
    TopLevelSearch search = {&accept, nullptr};
    EnumWindows(MatchTopLevel, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool HasClass(HWND window, const WCHAR* name)
{
    WCHAR className[64];
    return GetClassNameW(window, className, ARRAYSIZE(className)) && !lstrcmpiW(className, name);
}

// Closes whatever the script left open: message boxes first, then the
// window the modal loop runs.
void CloseLeftovers(HWND window)
{
    for (int i = 0; i < 10; ++i) {
        HWND box = FindMessageBox(window);
        if (!box)
            break;
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        WaitUntil([box] { return !IsWindowVisible(box); });
    }
    if (HWND menu = FindOpenMenu())
        PostMessageW(menu, WM_CANCELMODE, 0, 0);
    if (IsWindow(window))
        PostMessageW(window, WM_CLOSE, 0, 0);
}

DWORD WINAPI RunScript(void* parameter)
{
    auto* thread = static_cast<ScriptThread*>(parameter);
    HWND window = WaitForWindow(*thread->found, 10000);
    if (window) {
        thread->ran = true;
        (*thread->script)(window);
    }
    CloseLeftovers(window);
    // Should the window have come late or refused to close, keep asking
    // for a while, so that a broken run fails instead of hanging.
    for (int i = 0; i < 100 && WaitForSingleObject(thread->modalEnded, 100) == WAIT_TIMEOUT;
         ++i) {
        if (HWND late = (*thread->found)())
            CloseLeftovers(late);
    }
    return 0;
}

// Set when the X server has sent a Shift key press to this process.
std::atomic<bool> ProbeSeen{false};

LRESULT CALLBACK WatchForProbe(int code, WPARAM wParam, LPARAM lParam)
{
    const auto* key = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
    if (code == HC_ACTION && (key->vkCode == VK_LSHIFT || key->vkCode == VK_SHIFT))
        ProbeSeen = true;
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

int RunDriven(const std::function<int()>& modal, const std::function<HWND()>& found,
              const std::function<void(HWND)>& script, bool* scriptRan)
{
    ScriptThread thread = {&found, &script, false, CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    HANDLE handle = CreateThread(nullptr, 0, RunScript, &thread, 0, nullptr);
    int result = modal();
    SetEvent(thread.modalEnded);
    WaitForSingleObject(handle, INFINITE);
    CloseHandle(handle);
    CloseHandle(thread.modalEnded);
    if (scriptRan)
        *scriptRan = thread.ran;
    return result;
}

int RunConfigDialogDriven(const std::function<void(HWND)>& script, bool* scriptRan)
{
    return RunDriven(RunConfigDialog, FindConfigDialog, script, scriptRan);
}

HWND FindWindowOfThisProcess(const WCHAR* className, const WCHAR* title)
{
    return FindTopLevel([className, title](HWND window) {
        WCHAR text[128] = {};
        GetWindowTextW(window, text, 128);
        return HasClass(window, className) && !lstrcmpW(text, title);
    });
}

HWND FindConfigDialog()
{
    return FindTopLevel([](HWND window) {
        return HasClass(window, L"#32770") && TabOf(window) != nullptr;
    });
}

HWND FindMessageBox(HWND exceptDialog)
{
    return FindTopLevel([exceptDialog](HWND window) {
        return window != exceptDialog && HasClass(window, L"#32770") && !TabOf(window);
    });
}

HWND FindOpenMenu()
{
    return FindTopLevel([](HWND window) { return HasClass(window, L"#32768"); });
}

HWND WaitForWindow(const std::function<HWND()>& probe, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (HWND window = probe())
            return window;
        if (GetTickCount() - start > timeoutMs)
            return nullptr;
        Sleep(20);
    }
}

bool HotKeyHeld(UINT vk)
{
    const int probeId = 0x3F00;
    if (!RegisterHotKey(nullptr, probeId, 0, vk))
        return true;
    UnregisterHotKey(nullptr, probeId);
    return false;
}

void PostTap(HWND window, int x, int y)
{
    PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    PostMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

void PostKey(HWND window, UINT vk)
{
    PostMessageW(window, WM_KEYDOWN, vk, 1);
    PostMessageW(window, WM_KEYUP, vk, 0xC0000001);
}

void ClickScreen(POINT point)
{
    char command[96];
    wsprintfA(command, "xdotool mousemove %d %d click 1", static_cast<int>(point.x),
              static_cast<int>(point.y));
    system(command);
}

void PressKeys(const char* keys)
{
    std::string command = std::string("xdotool key --delay 20 ") + keys;
    system(command.c_str());
}

void TypeKeys(const char* text)
{
    std::string command = std::string("xdotool type --delay 20 '") + text + "'";
    system(command.c_str());
}

POINT MenuBarKeyCentre(HWND bar, int index)
{
    RECT client;
    GetClientRect(bar, &client);
    POINT centre = {client.right / 4 + index * client.right / 2, client.bottom / 2};
    return centre;
}

void TapMenuBarKey(HWND dialog, int index)
{
    HWND bar = MenuBarOf(dialog);
    POINT centre = MenuBarKeyCentre(bar, index);
    PostTap(bar, centre.x, centre.y);
}

void ClickMenuBarKey(HWND dialog, int index)
{
    HWND bar = MenuBarOf(dialog);
    POINT centre = MenuBarKeyCentre(bar, index);
    ClientToScreen(bar, &centre);
    ClickScreen(centre);
}

bool KeysReachThisProcess(DWORD timeoutMs)
{
    HHOOK hook = SetWindowsHookExW(WH_KEYBOARD_LL, WatchForProbe, GetModuleHandleW(nullptr), 0);
    if (!hook)
        return false;
    ProbeSeen = false;
    // A press the X server sends before this program has the focus goes
    // elsewhere and is never seen, so another follows every little while.
    // The hook runs in this thread's message loop.
    const DWORD start = GetTickCount();
    while (!ProbeSeen && GetTickCount() - start < timeoutMs) {
        PressKeys("Shift_L");
        PumpMessagesUntil([] { return ProbeSeen.load(); }, 100);
    }
    UnhookWindowsHookEx(hook);
    return ProbeSeen;
}

bool TakesRealKeys(HWND dialog)
{
    return WaitUntil([dialog] { return GetForegroundWindow() == dialog; }) &&
           KeysReachThisProcess();
}

HWND FocusOfThread(HWND window)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info))
        return nullptr;
    return info.hwndFocus;
}

std::u16string ProgramsPath(const char* name)
{
    WCHAR folder[MAX_PATH] = {};
    SHGetSpecialFolderPathW(nullptr, folder, CSIDL_PROGRAMS, TRUE);
    return U16(folder) + Utf16(name);
}

void RemoveShortcuts()
{
    DeleteFileW(W(ProgramsPath("\\Tavro.lnk")));
    DeleteFileW(W(ProgramsPath("\\Tavro Config.lnk")));
}

void ResetSettingsInMemory()
{
    AppSettings = Settings{};
}

HWND TabOf(HWND dialog)
{
    return FindWindowExW(dialog, nullptr, WC_TABCONTROLW, nullptr);
}

HWND TreeOf(HWND dialog)
{
    HWND tab = TabOf(dialog);
    return tab ? FindWindowExW(tab, nullptr, OPTION_TREE_CLASS, nullptr) : nullptr;
}

HWND AboutTextOf(HWND dialog)
{
    HWND tab = TabOf(dialog);
    return tab ? FindWindowExW(tab, nullptr, L"Static", nullptr) : nullptr;
}

HWND MenuBarOf(HWND dialog)
{
    return FindTopLevel([dialog](HWND window) {
        return HasClass(window, SHELL_MENU_BAR_CLASS) && GetWindow(window, GW_OWNER) == dialog;
    });
}

HWND EditorOf(HWND tree)
{
    return FindWindowExW(tree, nullptr, L"Edit", nullptr);
}

std::string WindowText(HWND window)
{
    WCHAR text[1024] = {};
    GetWindowTextW(window, text, 1024);
    return Utf8(text);
}

void ConfigDialogTest::SetUp()
{
    AppInstance = GetModuleHandleW(nullptr);
    ClearSettingsKey();
    ResetSettingsInMemory();
}

void ConfigDialogTest::TearDown()
{
    ClearSettingsKey();
}
