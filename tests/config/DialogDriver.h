// Drives a modal window from a second thread: the modal loop runs on the
// test's own thread while a script finds its windows and sends them the
// messages a user's taps and keys produce.
#pragma once

#include <windows.h>

#include <functional>

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
// Polls until condition() holds or the time runs out; its last answer.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs = 5000);

// Whether anyone holds the hot key vk without modifiers: such a key cannot
// be registered again.
bool HotKeyHeld(UINT vk);

// Posts a tap (button down and up) at client point (x, y).
void PostTap(HWND window, int x, int y);
// Posts a key press (down and up) to the window.
void PostKey(HWND window, UINT vk);

// AppSettings as at process start (all zero), so every run begins afresh.
void ResetSettingsInMemory();

// The dialog's child windows by class.
HWND TabOf(HWND dialog);
HWND TreeOf(HWND dialog);
HWND AboutTextOf(HWND dialog);
HWND MenuBarOf(HWND dialog);
