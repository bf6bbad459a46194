// A borderless topmost window over the whole screen, painted with a known
// pattern, so that a capture can be compared with what was on the screen.
#pragma once

#include <windows.h>

class ScreenPattern {
public:
    // A pattern function: the colour at screen (x, y) as 0x00RRGGBB.
    typedef DWORD (*ColourAt)(int x, int y);

    // A topmost pattern covers every other window; a window manager keeps
    // it above windows that come later, too, which a test of those windows
    // does not want: Below lets them come on top.
    enum Layer { Topmost, Below };

    explicit ScreenPattern(ColourAt colour = Default, Layer layer = Topmost);
    ~ScreenPattern();

    int Width() const { return width_; }
    int Height() const { return height_; }
    DWORD Colour(int x, int y) const { return colour_(x, y); }

    static DWORD Default(int x, int y);

    // Whether the screen shows the pattern (some rows across the whole
    // screen, every pixel of each).
    bool Shown() const;

private:
    static LRESULT CALLBACK WindowProc(HWND, UINT, WPARAM, LPARAM);
    void Paint(HDC dc);

    ColourAt colour_;
    int width_;
    int height_;
    HWND window_;
};
