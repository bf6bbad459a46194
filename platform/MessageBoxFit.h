// Message boxes that fit the handheld's screen. The handheld wraps a
// message box's text to its narrow screen; a desktop message box is laid
// out for a wide one and would reach past the edges of a 240-pixel screen,
// cutting its text off.
#pragma once

#include <windows.h>

// Narrows box to the screen when it is wider, wrapping its text anew and
// moving its buttons below it, then centres it on the screen.
void FitMessageBoxToScreen(HWND box);

// While one lives, every message box this thread opens is fitted to the
// screen as it appears, and shows its caption in the shell's title strip.
class ScreenFittedMessageBoxes {
public:
    ScreenFittedMessageBoxes();
    ~ScreenFittedMessageBoxes();
    ScreenFittedMessageBoxes(const ScreenFittedMessageBoxes&) = delete;
    ScreenFittedMessageBoxes& operator=(const ScreenFittedMessageBoxes&) = delete;

private:
    HHOOK hook_;
};
