#include "support/ScreenPattern.h"

#include <vector>

#include "support/TestSupport.h"

DWORD ScreenPattern::Default(int x, int y)
{
    DWORD red = (x * 7 + y * 3) & 0xFF;
    DWORD green = (x ^ y) & 0xFF;
    DWORD blue = (x * y + 17) & 0xFF;
    return red << 16 | green << 8 | blue;
}

ScreenPattern::ScreenPattern(ColourAt colour, Layer layer)
    : colour_(colour),
      width_(GetSystemMetrics(SM_CXSCREEN)),
      height_(GetSystemMetrics(SM_CYSCREEN)),
      window_(nullptr)
{
    static bool registered = false;
    if (!registered) {
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = WindowProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"TavroTestPattern";
        RegisterClassW(&windowClass);
        registered = true;
    }
    window_ = CreateWindowExW((layer == Topmost ? WS_EX_TOPMOST : 0) | WS_EX_TOOLWINDOW,
                              L"TavroTestPattern", L"",
                              WS_POPUP | WS_VISIBLE, 0, 0, width_, height_, nullptr, nullptr,
                              GetModuleHandleW(nullptr), this);
    UpdateWindow(window_);
    // A window manager maps the window a moment later, and Wine puts what
    // was painted on the screen after the paint; nothing that covers the
    // pattern is the test's concern here, so a wait that runs out is no
    // failure.
    PumpMessagesUntil([this] { return Shown(); }, 3000);
}

ScreenPattern::~ScreenPattern()
{
    DestroyWindow(window_);
    PumpMessagesUntil([this] { return !Shown(); }, 1000);
}

// Some rows rather than the whole screen: enough to tell the pattern from
// what it covers or uncovers, and cheap on any screen size.
bool ScreenPattern::Shown() const
{
    const int rows = 8;
    for (int k = 0; k < rows; ++k) {
        const int y = k * (height_ - 1) / (rows - 1);
        std::vector<DWORD> shown = ScreenPixels(RECT{0, y, width_, y + 1});
        for (int x = 0; x < width_; ++x)
            if (shown.size() != static_cast<size_t>(width_) || shown[x] != colour_(x, y))
                return false;
    }
    return true;
}

LRESULT CALLBACK ScreenPattern::WindowProc(HWND window, UINT message, WPARAM wParam,
                                           LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<ScreenPattern*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_ERASEBKGND)
        return 1;
    if (message == WM_PAINT && self) {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        self->Paint(dc);
        EndPaint(window, &paint);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void ScreenPattern::Paint(HDC dc)
{
    std::vector<DWORD> pixels(static_cast<size_t>(width_) * height_);
    for (int y = 0; y < height_; ++y)
        for (int x = 0; x < width_; ++x)
            pixels[static_cast<size_t>(y) * width_ + x] = colour_(x, y);
    BITMAPINFO info = TopDownDibInfo(width_, height_);
    SetDIBitsToDevice(dc, 0, 0, width_, height_, 0, 0, 0, height_, pixels.data(), &info,
                      DIB_RGB_COLORS);
}
