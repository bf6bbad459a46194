// Drives a modal window from a second thread: the modal loop runs on the
// test's own thread while a script finds its windows and sends them the
// messages a user's taps and keys produce.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "support/TestSupport.h"

// Runs modal() on this thread; as soon as a window that found() accepts
// appears, script(window) runs on a second thread. Whatever is still open
// when the script returns (message boxes, the window itself) is closed, so
// a failing script cannot hang the test. Returns modal()'s result;
// scriptRan tells whether the window appeared in time.
int RunDriven(const std::function<int()>& modal, const std::function<HWND()>& found,
              const std::function<void(HWND)>& script, bool* scriptRan = nullptr);

// RunDriven with RunConfigDialog and the configuration dialog.
int RunConfigDialogDriven(const std::function<void(HWND)>& script, bool* scriptRan = nullptr);

// The visible configuration dialog of this process (a #32770 window with a
// tab control), or null.
HWND FindConfigDialog();
// A visible top-level window of this process by class and title, or null.
HWND FindWindowOfThisProcess(const WCHAR* className, const WCHAR* title);
// A visible message box of this process other than the dialog, or null.
HWND FindMessageBox(HWND exceptDialog);
// The open popup menu's window, or null.
HWND FindOpenMenu();

// Polls until probe() gives a window or the time runs out.
HWND WaitForWindow(const std::function<HWND()>& probe, DWORD timeoutMs = 5000);

// Whether anyone holds the hot key vk without modifiers: such a key cannot
// be registered again.
bool HotKeyHeld(UINT vk);

// Posts a tap (button down and up) at client point (x, y).
void PostTap(HWND window, int x, int y);
// Posts a key press (down and up) to the window.
void PostKey(HWND window, UINT vk);

// Real input through the X server, as the user's stylus and keys make it:
// a click at a point of the screen; key presses by xdotool's key names
// ("Down Down Return"), to whatever window has the keyboard; typed text.
void ClickScreen(POINT point);
void PressKeys(const char* keys);
void TypeKeys(const char* text);

// Centre of soft key index (0 left, 1 right) in the bar's client area.
POINT MenuBarKeyCentre(HWND bar, int index);
// A posted tap, or a real click, on the dialog's soft key.
void TapMenuBarKey(HWND dialog, int index);
void ClickMenuBarKey(HWND dialog, int index);

// Whether the X server sends key presses to this process at all, which
// passes them on to its active window: Shift presses are sent and watched
// for. A window manager gives a new window the input focus a moment after
// it appears; until then real key presses go elsewhere.
bool KeysReachThisProcess(DWORD timeoutMs = 5000);
// The dialog (of this process or another) is the active window, and real
// key presses reach it.
bool TakesRealKeys(HWND dialog);

// The window with the keyboard focus in the thread that owns window.
HWND FocusOfThread(HWND window);

// Removes the two launch shortcuts from the Start menu's Programs folder.
void RemoveShortcuts();
// The Programs folder's path followed by name (such as "\\Tavro.lnk").
std::u16string ProgramsPath(const char* name);

// AppSettings as at process start (all zero), so every run begins afresh.
void ResetSettingsInMemory();

// The dialog's child windows by class.
HWND TabOf(HWND dialog);
HWND TreeOf(HWND dialog);
HWND AboutTextOf(HWND dialog);
HWND MenuBarOf(HWND dialog);
// The options tree's in-place editor.
HWND EditorOf(HWND tree);

// A window's text in UTF-8.
std::string WindowText(HWND window);

// Every run of the configuration dialog starts as a fresh process would: no
// stored settings, settings in memory all zero.
class ConfigDialogTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
};
