// The floor of a capture on this platform: the least a Win32 program does
// to store the screen as a BMP file. It reads the screen size, copies the
// screen into a 24-bit DIB section and writes headers and pixels with one
// CreateFileW and three WriteFile calls, to the file named on its command
// line (floor.bmp in the current folder without one), and sends the file to
// the disk before closing it, as a picture that outlives a power cut needs.
// Nothing of the program is linked: whatever a capture costs beyond this is
// the program's own.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR commandLine, int)
{
    const WCHAR* fileName = commandLine && *commandLine ? commandLine : L"floor.bmp";
    int width = GetSystemMetrics(SM_CXSCREEN);
    int height = GetSystemMetrics(SM_CYSCREEN);
    DWORD rowBytes = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
    DWORD imageSize = rowBytes * static_cast<DWORD>(height);

    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    info.bmiHeader.biSizeImage = imageSize;

    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap)
        return 1;
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
    GdiFlush();

    BITMAPFILEHEADER header = {};
    header.bfType = 0x4D42;
    header.bfOffBits = sizeof header + sizeof info.bmiHeader;
    header.bfSize = header.bfOffBits + imageSize;
    HANDLE file = CreateFileW(fileName, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    bool ok = file != INVALID_HANDLE_VALUE &&
              WriteFile(file, &header, sizeof header, &written, nullptr) &&
              WriteFile(file, &info.bmiHeader, sizeof info.bmiHeader, &written, nullptr) &&
              WriteFile(file, bits, imageSize, &written, nullptr) && written == imageSize &&
              FlushFileBuffers(file);
    if (file != INVALID_HANDLE_VALUE)
        ok = CloseHandle(file) && ok;

    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return ok ? 0 : 1;
}
